# The words become these request bytes ("> bytes" with no reply: only what is sent counts).

$ lumetra status
> {"command":"status","version":1}
$ lumetra projects --all
> {"command":"projects","include_archived":true,"version":1}
$ lumetra start Garden -d Planning
> {"command":"start","description":"Planning","project":"Garden","version":1}
$ lumetra start X --description=
> {"command":"start","description":"","project":"X","version":1}
$ lumetra start -5
> {"command":"start","project":"-5","version":1}
$ lumetra start -- --json
> {"command":"start","project":"--json","version":1}
$ lumetra describe -- 42
> {"command":"describe","description":"42","version":1}
$ lumetra describe 42 fixed
> {"command":"describe","description":"fixed","session_id":42,"version":1}
$ lumetra describe ""
> {"command":"describe","description":"","version":1}
$ lumetra sessions -n 5 --limit=7
> {"command":"sessions","limit":7,"version":1}
$ lumetra sessions --until 2024-05-01
> {"command":"sessions","until":"2024-05-02T00:00:00+02:00","version":1}
$ lumetra sessions --until 2024-05-01T10:00:00+02:00
> {"command":"sessions","until":"2024-05-01T10:00:00+02:00","version":1}
$ lumetra sessions --since yesterday --until TODAY
> {"command":"sessions","since":"2024-04-30T00:00:00+02:00","until":"2024-05-02T00:00:00+02:00","version":1}
# The day the clocks go forward is still one calendar day long.
$ lumetra sessions --since 2024-03-31 --until 2024-03-31
> {"command":"sessions","since":"2024-03-31T00:00:00+01:00","until":"2024-04-01T00:00:00+02:00","version":1}
$ lumetra import a.csv --dry-run
> {"command":"import","csv":"Project,Start,End\n","dry_run":true,"version":1}

$ lumetra-app projects --all
> {"action":"projects","all":true}
$ lumetra-app project rename A B
> {"action":"project-rename","name":"A","new_name":"B"}
$ lumetra-app session add A 09:00 "2024-04-30 10:00" -d x
> {"action":"session-add","description":"x","end":"2024-04-30T10:00:00+02:00","project":"A","start":"2024-05-01T09:00:00+02:00"}
$ lumetra-app session edit 3 --end 2024-05-01T08:00:00Z
> {"action":"session-edit","end":"2024-05-01T10:00:00+02:00","id":3}
$ lumetra-app session merge 3 4
> {"action":"session-merge","id":3,"next_id":4}
$ lumetra-app idle-timeout 1.5
> {"action":"idle-timeout","seconds":90.0}
$ lumetra-app report "last month" --by week -p A --project B
> {"action":"report","by":"week","projects":["A","B"],"range":"last month"}
$ lumetra-app sync enable /home/ann/Sync --name Laptop --dry-run
> {"action":"sync-enable","dry_run":true,"folder":"/home/ann/Sync","name":"Laptop"}
$ lumetra-app sync resolve 3 rename Yard
> {"action":"sync-resolve","fix":"rename","id":3,"name":"Yard"}
$ lumetra-app sync one-timer off
> {"action":"sync-one-timer","on":false}
