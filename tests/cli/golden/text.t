# Results as text, on 2024-05-01 at 12:00 in Berlin, and as JSON with --json.

$ lumetra status
< {"ok":true,"result":{"current":{"description":"Planning the beds","duration_seconds":3900,"end":null,"entry":"tracked","id":42,"project":"Garden","project_id":1,"running":true,"start":"2024-05-01T09:30:00+02:00","times":"real"},"date":"2024-05-01","last_session":null,"today":[{"project":"Garden","project_id":1,"seconds":3900},{"project":"Writing","project_id":2,"seconds":5700}],"today_seconds":9600}}
| Tracking Garden since 09:30 (1h 05m), session 42
|   Planning the beds
| Today: 2h 40m
|   Garden   1h 05m
|   Writing  1h 35m
$ lumetra status
< {"ok":true,"result":{"current":null,"date":"2024-05-01","last_session":{"description":null,"end":"2024-05-01T10:35:00+02:00","id":7,"project":"Garden","project_id":1,"resumable_until":"2024-05-02T10:35:00+02:00","start":"2024-05-01T09:30:00+02:00"},"today":[{"project":"Garden","project_id":1,"seconds":3570}],"today_seconds":3570}}
| Not tracking
| Last session: Garden, ended 10:35; can be resumed until 2024-05-02 10:35 with “lumetra resume”
| Today: 1h 00m
|   Garden  1h 00m
# Names pad by characters, not bytes; a duration rounds to the minute, half up.
$ lumetra status
< {"ok":true,"result":{"current":null,"date":"2024-05-01","last_session":null,"today":[{"project":"Café","project_id":1,"seconds":89},{"project":"日本語","project_id":2,"seconds":30},{"project":"éx","project_id":3,"seconds":29}],"today_seconds":-5}}
| Not tracking
| Today: 0m
|   Café  1m
|   日本語   1m
|   éx    0m
$ lumetra start Garden
< {"ok":true,"result":{"session":{"description":"Sow\nbeans","duration_seconds":0,"end":null,"entry":"tracked","id":43,"project":"Garden","project_id":1,"running":true,"start":"2024-05-01T11:00:00+02:00","times":"real"},"started":true,"stopped":{"description":null,"duration_seconds":360000,"end":"2024-05-01T11:00:00+02:00","entry":"tracked","id":42,"project":"Writing","project_id":2,"running":false,"start":"2024-04-30T09:00:00+02:00","times":"real"}}}
| Stopped Writing (100h 00m)
| Started Garden at 11:00 (session 43)
|   Sow beans
$ lumetra start Writing
< {"ok":true,"result":{"session":{"description":null,"duration_seconds":90000,"end":null,"entry":"tracked","id":42,"project":"Writing","project_id":2,"running":true,"start":"2024-04-30T09:00:00+02:00","times":"real"},"started":false,"stopped":null}}
| Already tracking Writing since 2024-04-30 09:00 (25h 00m)
$ lumetra stop
< {"ok":true,"result":{"discarded":false,"session":{"description":null,"duration_seconds":90000,"end":"2024-05-01T10:00:00+02:00","entry":"tracked","id":5,"project":"Garden","project_id":1,"running":false,"start":"2024-04-30T09:00:00+02:00","times":"real"}}}
| Stopped Garden at 10:00 (25h 00m)
$ lumetra stop
< {"ok":true,"result":{"discarded":true,"session":{"description":null,"duration_seconds":0,"end":null,"entry":"tracked","id":5,"project":"Garden","project_id":1,"running":false,"start":"2024-05-01T11:59:59+02:00","times":"real"}}}
| Stopped Garden. It ran for under a second, so it wasn't kept.
$ lumetra resume
< {"ok":true,"result":{"session":{"description":"Weeding","duration_seconds":60,"end":null,"entry":"tracked","id":6,"project":"Garden","project_id":1,"running":true,"start":"2024-05-01T11:00:00+02:00","times":"real"}}}
| Resumed Garden at 11:00 (session 6)
|   Weeding
$ lumetra describe Weeding
< {"ok":true,"result":{"session":{"description":"Weeding","duration_seconds":60,"end":null,"entry":"tracked","id":6,"project":"Garden","project_id":1,"running":true,"start":"2024-05-01T11:00:00+02:00","times":"real"}}}
| Described session 6 (Garden, 11:00 to now)
|   Weeding
$ lumetra describe 5 ""
< {"ok":true,"result":{"session":{"description":null,"duration_seconds":90000,"end":"2024-05-01T10:00:00+02:00","entry":"tracked","id":5,"project":"Garden","project_id":1,"running":false,"start":"2024-04-30T09:00:00+02:00","times":"real"}}}
| Removed the description of session 5 (Garden, 2024-04-30 09:00 to 10:00)
$ lumetra projects
< {"ok":true,"result":{"projects":[]}}
| No projects. Create one with lumetra-app project add NAME.
$ lumetra projects --all
< {"ok":true,"result":{"projects":[{"id":1,"name":"Garden","archived":false},{"id":2,"name":"Old","archived":true}]}}
| Garden
| Old (archived)
$ lumetra projects --json
< {"ok":true,"result":{"projects":[{"id":1,"name":"Garden","archived":false}]}}
| {
|   "projects" : [
|     {
|       "archived" : false,
|       "id" : 1,
|       "name" : "Garden"
|     }
|   ]
| }
$ lumetra sessions
< {"ok":true,"result":{"sessions":[]}}
| No sessions
# A session that began the day before shows its day under DATE only; ids align right.
$ lumetra sessions
< {"ok":true,"result":{"sessions":[{"description":"late\nnight","duration_seconds":7200,"end":"2024-05-01T01:00:00+02:00","entry":"tracked","id":7,"project":"Café","project_id":1,"running":false,"start":"2024-04-30T23:00:00+02:00","times":"real"},{"description":null,"duration_seconds":720,"end":null,"entry":"tracked","id":123,"project":"X","project_id":2,"running":true,"start":"2024-05-01T11:00:00+02:00","times":"real"}]}}
|  ID  DATE        START  END    TIME    PROJECT  DESCRIPTION
|   7  2024-04-30  23:00  01:00  2h 00m  Café     late night
| 123  2024-05-01  11:00  now    12m     X

$ lumetra-app project archive Garden
< {"ok":true,"result":{"project":{"archived":true,"id":1,"name":"Garden"},"stopped_running":true}}
| Archived “Garden”. Its running session was stopped.
$ lumetra-app project delete Garden --yes
< {"ok":true,"result":{"deleted_sessions":1,"project":{"archived":false,"id":1,"name":"Garden"},"stopped_running":false}}
| Deleted “Garden” and its 1 session.
$ lumetra-app session split 1 09:30
< {"ok":true,"result":{"first":{"description":null,"duration_seconds":1800,"end":"2024-05-01T09:30:00+02:00","entry":"manual","id":1,"project":"Yard","project_id":1,"running":false,"start":"2024-05-01T09:00:00+02:00","times":"real"},"second":{"description":null,"duration_seconds":1800,"end":"2024-04-30T10:00:00+02:00","entry":"manual","id":2,"project":"Yard","project_id":1,"running":false,"start":"2024-04-30T09:30:00+02:00","times":"real"}}}
| Split into session 1 (Yard, 09:00 to 09:30) and session 2 (Yard, 2024-04-30 09:30 to 2024-04-30 10:00).
$ lumetra-app session neighbours 2
< {"ok":true,"result":{"next":null,"previous":null,"session":{"description":null,"duration_seconds":1800,"end":"2024-05-01T09:30:00+02:00","entry":"manual","id":2,"project":"Yard","project_id":1,"running":false,"start":"2024-05-01T09:00:00+02:00","times":"real"}}}
| No neighbour of session 2 (Yard, 09:00 to 09:30) can be merged with it: merging needs the same project and kind of times, next to each other and at most 5 minutes apart.
$ lumetra-app web-port
< {"ok":true,"result":{"changed":false,"port":"8080","serving":"47823"}}
| The window is on port 47823 now; its setting is port 8080.
$ lumetra-app idle-timeout --json
< {"ok":true,"result":{"detected":true,"off":false,"seconds":90.0}}
| {
|   "detected" : true,
|   "off" : false,
|   "seconds" : 90.0
| }
$ lumetra-app idle-timeout
< {"ok":true,"result":{"detected":true,"off":false,"seconds":90.0}}
| Sessions stop after 1.5 minutes without input.
$ lumetra-app idle-timeout off
< {"ok":true,"result":{"detected":true,"off":true,"seconds":0.0}}
| Sessions don't stop for want of input; sleep still ends them. Give a number of minutes to turn it on.
$ lumetra-app export
< {"ok":true,"result":{"csv":"Project,Date\n"}}
| Project,Date
$ lumetra-app open
< {"ok":true,"result":{"url":"http://127.0.0.1:47823/?token=abc"}}
| Lumetra's window: http://127.0.0.1:47823/?token=abc
# Empty lists and objects, and slashes as they are.
$ lumetra sessions --json
< {"ok":true,"result":{"sessions":[]}}
| {
|   "sessions" : []
| }
$ lumetra-app export --json
< {"ok":true,"result":{"csv":"a/b"}}
| {
|   "csv" : "a/b"
| }
# Several computers.
$ lumetra-app sync enable /home/ann/Sync --dry-run
< {"ok":true,"result":{"already":false,"computer":"0123456789abcdef0123456789abcdef","computers":[{"already_here":1180,"computer":"Desktop","conflicts":0,"new":24,"overlaps":3,"projects_merged":2,"sessions":1204},{"already_here":0,"computer":"Old laptop","conflicts":1,"new":1,"overlaps":0,"projects_merged":0,"sessions":1}],"dry_run":true,"folder":"/home/ann/Sync","name":"Laptop"}}
| If this computer, “Laptop”, joined /home/ann/Sync:
|   Desktop: 1,204 sessions, 1,180 already here, 24 new; 2 projects merged by name; 3 overlaps
|   Old laptop: 1 session, 0 already here, 1 new; 1 conflict
| Nothing was changed.
$ lumetra-app sync status
< {"ok":true,"result":{"bad_lines":0,"computer":"0123456789abcdef0123456789abcdef","computers":[{"behind":0,"clock_ahead":0,"forgotten":false,"id":"fedcba9876543210fedcba9876543210","last_record":1234,"last_written":"2024-05-01T11:58:00+02:00","later_format":false,"name":"Desktop","running":"Garden since 11:40","running_since":"2024-05-01T11:40:00+02:00"},{"behind":12,"clock_ahead":190,"forgotten":false,"id":"aaaaaaaa876543210fedcba987654321","last_record":3,"last_written":"2024-04-30T08:00:00+02:00","later_format":false,"name":"Old laptop","running":null,"running_since":null}],"conflicts":2,"enabled":true,"engine":"Syncthing","folder":"/home/ann/Sync","name":"Laptop","one_timer":true,"pending":1,"problem":null}}
| This computer: Laptop (01234567)
| Folder: /home/ann/Sync (kept by Syncthing)
| Other computers:
|   Desktop: last wrote 11:58, all read; tracking Garden since 11:40
|   Old laptop: last wrote 2024-04-30 08:00, 12 records not read yet; its clock is 3 minutes ahead
| Waiting to be written: 1 change
| Conflicts: 2 (lumetra-app sync conflicts)
$ lumetra-app sync conflicts
< {"ok":true,"result":{"conflicts":[{"fixes":["restore","keep"],"id":3,"kind":"deleted-edit","text":"Desktop deleted Garden 2024-04-30 09:00–10:30, and Laptop changed its description without seeing that."}]}}
| 3  Desktop deleted Garden 2024-04-30 09:00–10:30, and Laptop changed its description without seeing that.
|    lumetra-app sync resolve 3 restore | keep
