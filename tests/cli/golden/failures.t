# Failures choose the exit status: 3 when the host isn't running or didn't answer, else 1.

$ lumetra status
< !not_running Lumetra isn't running. Open it and try again.
! lumetra: Lumetra isn't running. Open it and try again.
[3]
$ lumetra status --json
< !not_running Lumetra isn't running. Open it and try again.
| {
|   "error" : {
|     "code" : "not_running",
|     "message" : "Lumetra isn't running. Open it and try again."
|   }
| }
[3]
$ lumetra stop
< !timed_out Refused.
! lumetra: Refused.
[3]
$ lumetra stop
< !unknown_project Refused.
! lumetra: Refused.
[1]
$ lumetra start X
< {"ok":false,"error":{"code":"unknown_project","message":"No project “X”."}}
! lumetra: No project “X”.
[1]
$ lumetra stop
< {"ok":true}
! lumetra: Lumetra reported an error without details.
[1]
$ lumetra stop
< {"ok":false,"error":{"code":"sleepy","message":"x"}}
! lumetra: Lumetra sent a reply that couldn't be read: The value of “error.code” isn't one of the known values.
[1]
$ lumetra-app project add " "
< {"error":{"code":"invalid","message":"Project name cannot be empty."},"ok":false}
! lumetra-app: Project name cannot be empty.
[1]
$ lumetra-app projects
< !not_running Lumetra isn't running. Start it with lumetra-app and try again.
! lumetra-app: Lumetra isn't running. Start it with lumetra-app and try again.
[3]
# A reply that can't be read says why.
$ lumetra projects
< {"result":{"projects":[]}}
! lumetra: Lumetra sent a reply that couldn't be read: The value of “ok” is missing.
[1]
$ lumetra projects
< {"ok":true,"result":{"projects":[{"name":"A","archived":false}]}}
! lumetra: Lumetra sent a reply that couldn't be read: The value of “result.projects[0].id” is missing.
[1]
$ lumetra projects
< not json
! lumetra: Lumetra sent a reply that couldn't be read: It isn't valid JSON (error at byte 2).
[1]
$ lumetra resume
< {"ok":true,"result":{"session":{"id":1,"project_id":1,"project":"A","start":"noon","end":null,"running":true,"duration_seconds":0,"entry":"tracked","description":null,"times":"real"}}}
! lumetra: Lumetra sent a reply that couldn't be read: Not an ISO 8601 time: noon
[1]
