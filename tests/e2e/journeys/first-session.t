# A new user's first session, against the real host.

$ lumetra status
| Not tracking
| Today: 0m
$ lumetra projects
| No projects. Create one with lumetra-app project add NAME.
$ lumetra-app project add Garden
| Added project “Garden”.
$ lumetra-app project add Writing
| Added project “Writing”.
$ lumetra start garden -d "Planning the beds"
| Started Garden at ??:?? (session 1)
|   Planning the beds
# Sessions under a second aren't kept.
$ sleep 1.1
$ lumetra start Writing
| Stopped Garden (0m)
| Started Writing at ??:?? (session 2)
$ lumetra describe "Chapter 2"
| Described session 2 (Writing, ??:?? to now)
|   Chapter 2
$ lumetra status
| Tracking Writing since ??:?? (0m), session 2
|   Chapter 2
| Today: 0m
|   Garden  0m
$ sleep 1.1
$ lumetra stop
| Stopped Writing at ??:?? (0m)
$ lumetra stop
! lumetra: Nothing is being tracked.
[1]
$ lumetra sessions
| ID  DATE        START  END    TIME  PROJECT  DESCRIPTION
|  1  ????-??-??  ??:??  ??:??  0m    Garden   Planning the beds
|  2  ????-??-??  ??:??  ??:??  0m    Writing  Chapter 2
$ lumetra resume
| Resumed Writing at ??:?? (session 3)
|   Chapter 2
$ lumetra start Nope
! lumetra: There's no project named “Nope”. Projects: Garden, Writing.
[1]
