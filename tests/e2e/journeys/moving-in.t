# Moving in: another tracker's export converted, checked and imported; importing it again adds
# nothing. The host reads local times in its own zone, whatever the tool's.

$ file toggl.csv
< User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,End time,Duration,Tags
< Ann,a@example.org,Acme,Garden,,"Weeding, then mulch",No,2026-11-30,09:00:00,2026-11-30,10:30:00,,
< Ann,a@example.org,,Writing,,Chapter 2,No,2026-11-30,11:00:00,2026-11-30,11:20:00,,
< Ann,a@example.org,,Writing,,Broken,No,2026-11-30,12:00:00,2026-11-30,99:00:00,,
$ lumetra-app convert toggl $DIR/toggl.csv -o $DIR/sessions.csv
! Line 4: End time “99:00:00” isn't a time.
! lumetra-app: Nothing was written: 1 line can't be read. Fix it, or give --skip-bad to leave it out.
[1]
$ lumetra-app convert toggl $DIR/toggl.csv -o $DIR/sessions.csv --skip-bad
! Left out line 4: End time “99:00:00” isn't a time.
! Converted 2 entries from toggl to $DIR/sessions.csv. Check it with: lumetra import $DIR/sessions.csv --dry-run
$ lumetra import $DIR/sessions.csv --dry-run
| Would import 2 sessions (1h 50m). Nothing was saved (dry run).
|
| Projects:
|   Garden (new)   1 session  1h 30m
|   Writing (new)  1 session  20m
$ TZ=America/New_York lumetra import $DIR/sessions.csv
| Imported 2 sessions (1h 50m).
|
| Projects:
|   Garden (new)   1 session  1h 30m
|   Writing (new)  1 session  20m
$ lumetra import $DIR/sessions.csv
| Nothing to import.
| Skipped 2 rows with source IDs imported before.
$ lumetra sessions
| ID  DATE        START  END    TIME    PROJECT  DESCRIPTION
|  1  2026-11-30  09:00  10:30  1h 30m  Garden   Weeding, then mulch [client: Acme]
|  2  2026-11-30  11:00  11:20  20m     Writing  Chapter 2
$ lumetra-app convert nope $DIR/toggl.csv
? There's no format named “nope”. Choose toggl, clockify, timewarrior, watson or spreadsheet.
