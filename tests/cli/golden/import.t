# Import reports: printed in full whatever the outcome; status 1 when there are problems, or
# overlaps that weren't allowed.

$ lumetra import a.csv
< {"ok":true,"result":{"dry_run":false,"allow_overlaps":false,"imported":false,"sessions":3,"approximate_sessions":0,"placeholder_sessions":0,"seconds":8100,"skipped":1,"projects":[{"project":"Garden","new":true,"archived":false,"sessions":2,"seconds":5400},{"project":"Writing","new":false,"archived":false,"sessions":1,"seconds":2700}],"overlaps":[{"line":4,"other_line":null,"session_id":17,"project":"Writing","start":"2024-04-30T09:00:00+02:00","end":"2024-04-30T10:00:00+02:00"}],"problems":[]}}
| Nothing was imported, because some rows overlap recorded time or each other.
| Skipped 1 row with source IDs imported before.
|
| Projects:
|   Garden (new)  2 sessions  1h 30m
|   Writing        1 session  45m
|
| Overlaps (refused; add --allow-overlaps to import them anyway):
|   Line 4 overlaps session 17: Writing, 2024-04-30 09:00 to 2024-04-30 10:00
[1]
$ lumetra import a.csv --dry-run --allow-overlaps
< {"ok":true,"result":{"dry_run":true,"allow_overlaps":true,"imported":false,"sessions":2,"approximate_sessions":3,"placeholder_sessions":1,"seconds":5400,"skipped":0,"projects":[{"project":"Old","new":false,"archived":true,"sessions":2,"seconds":5400}],"overlaps":[{"line":3,"other_line":2,"session_id":null,"project":"Garden","start":"2024-05-01T09:00:00+02:00","end":"2024-05-01T10:00:00+02:00"},{"line":5,"other_line":null,"session_id":9,"project":"Garden","start":"2024-05-01T11:00:00+02:00","end":null},{"line":6,"other_line":null,"session_id":null,"project":"?","start":"2024-05-01T11:00:00+02:00","end":null}],"problems":[]}}
| Would import 2 sessions (1h 30m). Nothing was saved (dry run).
| 3 sessions have approximate times.
| 1 session has placeholder times.
|
| Projects:
|   Old (archived)  2 sessions  1h 30m
|
| Overlaps (allowed, so that time would count twice):
|   Line 3 overlaps line 2: Garden, 09:00 to 10:00
|   Line 5 overlaps session 9: Garden, 11:00 to now
|   Line 6 overlaps a session: ?, 11:00 to now
$ lumetra import a.csv
< {"ok":true,"result":{"dry_run":false,"allow_overlaps":true,"imported":true,"sessions":1,"approximate_sessions":0,"placeholder_sessions":0,"seconds":5400,"skipped":0,"projects":[],"overlaps":[{"line":3,"other_line":2,"session_id":null,"project":"Garden","start":"2024-05-01T09:00:00+02:00","end":"2024-05-01T10:00:00+02:00"}],"problems":[]}}
| Imported 1 session (1h 30m).
|
| Overlaps (imported anyway, so that time counts twice):
|   Line 3 overlaps line 2: Garden, 09:00 to 10:00
$ lumetra import a.csv
< {"ok":true,"result":{"dry_run":false,"allow_overlaps":false,"imported":false,"sessions":2,"approximate_sessions":0,"placeholder_sessions":0,"seconds":8100,"skipped":0,"projects":[],"overlaps":[],"problems":[{"line":2,"message":"Two\nlines"}]}}
| Nothing was imported. Fix the problems below first.
|
| Problems:
|   Line 2: Two lines
[1]
$ lumetra import a.csv --dry-run
< {"ok":true,"result":{"dry_run":true,"allow_overlaps":false,"imported":false,"sessions":2,"approximate_sessions":0,"placeholder_sessions":0,"seconds":8100,"skipped":0,"projects":[],"overlaps":[{"line":3,"other_line":2,"session_id":null,"project":"Garden","start":"2024-05-01T09:00:00+02:00","end":null}],"problems":[]}}
| Nothing would be imported, because some rows overlap recorded time or each other.
|
| Overlaps (refused; add --allow-overlaps to import them anyway):
|   Line 3 overlaps line 2: Garden, 09:00 to now
[1]
$ lumetra import a.csv --dry-run
< {"ok":true,"result":{"dry_run":true,"allow_overlaps":false,"imported":false,"sessions":0,"approximate_sessions":0,"placeholder_sessions":0,"seconds":0,"skipped":0,"projects":[],"overlaps":[],"problems":[]}}
| Nothing to import.
