# lumetra-app's commands against the real host, and their refusals.

$ lumetra-app project add Garden
| Added project “Garden”.
$ lumetra-app project add garden
! lumetra-app: A project named “garden” already exists.
[1]
$ lumetra-app project add
? project add needs a project name.
$ lumetra-app project rename Garden Yard
| Renamed “Garden” to “Yard”.
$ lumetra start Yard
| Started Yard at ??:?? (session 1)
$ lumetra-app project archive yard
| Archived “Yard”. Its running session was stopped.
$ lumetra start Yard
! lumetra: “Yard” is archived. Unarchive it with lumetra-app project unarchive to track it.
[1]
# Nothing here tells when the user last gave input, and the host says so.
$ lumetra-app idle-timeout 15
| Sessions would stop after 15 minutes without input, but Lumetra can't see keyboard and mouse activity here, so sessions won't stop by themselves when you step away.
$ lumetra-app session add Yard "2024-05-01 09:00" "2024-05-01 10:00" -d Beds
| Added session 1 (Yard, 2024-05-01 09:00 to 2024-05-01 10:00).
$ lumetra-app session split 1 "2024-05-01 09:30"
| Split into session 1 (Yard, 2024-05-01 09:00 to 2024-05-01 09:30) and session 2 (Yard, 2024-05-01 09:30 to 2024-05-01 10:00).
$ lumetra-app session neighbours 1
| Can be merged with the next session 2 (Yard, 2024-05-01 09:30 to 2024-05-01 10:00).
$ lumetra-app session merge 2 1
| Merged into session 1 (Yard, 2024-05-01 09:00 to 2024-05-01 10:00).
$ lumetra-app session delete 99 --yes
! lumetra-app: There's no session with id 99.
[1]
# Without a terminal to ask on, a delete wants --yes.
$ lumetra-app project delete Yard
? project delete asks before it deletes, and there is no terminal to ask on. Add --yes to delete without asking.
$ lumetra-app project delete Yard --yes
| Deleted “Yard” and its 1 session.
