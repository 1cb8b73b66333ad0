# Bad usage ("? sentence"): status 2, the sentence and the pointer to help on standard error,
# and nothing sent.

$ lumetra --bogus --help
? Unknown option --bogus.
$ lumetra foo
? Unknown command “foo”.
$ lumetra mcp --json
? mcp takes no options or arguments.
$ lumetra status --json=1
? Unknown option --json=1.
$ lumetra start
? start needs a project name.
$ lumetra start Client Work
? Too many arguments for start. Put text with spaces in quotes.
$ lumetra start Work -d
? -d needs a value.
$ lumetra describe
? describe needs a description. Use "" to remove one.
$ lumetra describe 42
? describe 42 needs the text too. To set the text “42”, use “lumetra describe -- 42”.
$ lumetra describe 0 x
? “0” isn't a session id. Ids are shown by “lumetra sessions”.
$ lumetra import
? import needs a CSV file, or - to read standard input.
$ lumetra sessions --limit 99999999999999999999
? --limit needs a whole number above 0.
$ lumetra sessions --since 2024-02-30
? “2024-02-30” isn't a date. Use YYYY-MM-DD, today or yesterday.
$ lumetra sessions --since "2024-05-01 09:30:00"
? “2024-05-01 09:30:00” isn't a date. Use YYYY-MM-DD, today or yesterday.
# The command's own values come before the options it doesn't take.
$ lumetra sessions --since soon --all
? “soon” isn't a date. Use YYYY-MM-DD, today or yesterday.
$ lumetra stop --all
? stop doesn't take --all.
$ lumetra projects -p x --json --dry-run
? projects doesn't take --dry-run.

$ lumetra-app fly
? Unknown command “fly”.
$ lumetra-app project fly
? Unknown command “project fly”.
$ lumetra-app project add A B
? Too many arguments for project add. Put text with spaces in quotes.
$ lumetra-app project rename A
? project rename needs the project's name and its new name.
$ lumetra-app session add A 09:00
? session add needs a project, a start and an end.
$ lumetra-app session add A 9am 10:00
? “9am” isn't a time. Use HH:MM or HH:MM:SS (today), yesterday HH:MM, YYYY-MM-DD HH:MM[:SS], an ISO 8601 time, or 10m ago, 1h30m ago, 90 minutes ago.
$ lumetra-app session delete x
? “x” isn't a session id. Ids are shown by “lumetra sessions”.
$ lumetra-app session delete 1 -d x
? session delete doesn't take --description.
$ lumetra-app idle-timeout 0
? “0” isn't a number of minutes above 0, or off.
$ lumetra-app session split 1 10:00 --first
? --first needs a value.
$ lumetra-app session edit 1
? session edit needs --project, --start or --end.
$ lumetra-app report --by hour
? --by takes project, day or week, not “hour”.
$ lumetra-app install-tool --json
? install-tool takes no options or arguments.
$ lumetra-app install-mcp
? install-mcp takes one assistant: claude-code, vscode or cursor.
$ lumetra-app convert toggl
? convert needs a format (toggl, clockify, timewarrior, watson or spreadsheet) and the export's file.

# Help in every form, and nothing sent.
$ lumetra help status
| Usage: lumetra <command> [options]
|
| Commands:
|   status                       What's being tracked, today's totals, and when nothing is
|                                running, the last session that resume would resume
|   projects [--all]             Active projects (--all adds archived ones)
|   start PROJECT [-d TEXT]      Start tracking PROJECT, with an optional description.
|                                Switches from any other running session.
|   stop                         Stop tracking
|   resume                       Start a new session on the last tracked session's project
|                                with its description, if it ended less than 24 hours ago.
|                                Fails while something is running; use start to switch.
|   describe [SESSION_ID] TEXT   Set the description of the running session, or of
|                                session SESSION_ID. An empty TEXT ("") removes it.
|   sessions [--since DATE] [--until DATE] [--project NAME] [--limit N]
|                                Sessions, oldest first: the last 20 by default, or
|                                all from DATE with --since. --until is inclusive.
|                                DATE is YYYY-MM-DD, today, yesterday or an ISO 8601 time.
|   import FILE [--dry-run] [--allow-overlaps]
|                                Import sessions from a CSV file (- reads standard input),
|                                all or nothing. --dry-run shows what would be added.
|                                Rows that overlap recorded time are refused unless
|                                --allow-overlaps is given.
|   mcp                          Serve the same commands to an MCP client, such as the
|                                Claude desktop app, over stdin and stdout
|   help                         Show this help
|
| Options:
|   --json                       Print the result as JSON
|
| Lumetra must be running. Exit status: 0 on success, 1 if Lumetra reported an
| error, an import was refused or its file couldn't be read, 2 for bad usage, 3 if
| Lumetra isn't running or didn't answer.
# Berlin's clocks jump from 02:00 to 03:00 on 2024-03-31.
$ lumetra-app session add A "2024-03-31 02:30" "2024-03-31 04:00"
? “2024-03-31 02:30” never happens here: the clocks skip that hour when they go forward. Use a time before or after it.
$ lumetra-app sync enable
? sync enable needs a folder that a sync engine keeps equal.
$ lumetra-app sync resolve x keep
? “x” isn't a conflict's number. “lumetra-app sync conflicts” lists them.
$ lumetra-app sync one-timer maybe
? sync one-timer takes on or off, not “maybe”.
$ lumetra-app sync disable --json
? sync disable takes no options or arguments.

# One way in: each program points to the other's commands, and lumetra-app to its own.
$ lumetra project add Garden
? Unknown command “project”.
? That's a lumetra-app command: lumetra-app project add NAME
$ lumetra report
? Unknown command “report”.
? That's a lumetra-app command: lumetra-app report [RANGE] [--by project|day|week] [--project NAME]...
$ lumetra-app mcp
? Unknown command “mcp”.
? That's a lumetra command: lumetra mcp
$ lumetra-app stauts
? Unknown command “stauts”.
? Did you mean “lumetra-app status”?
$ lumetra-app session
? session needs a command: add, edit, split, merge, delete or neighbours.
$ lumetra-app report 2026-12-07..2026-12-01
? “2026-12-07..2026-12-01”: FROM is after TO.
$ lumetra-app start Garden --at tomorrow
? “tomorrow” isn't a time. Use HH:MM or HH:MM:SS (today), yesterday HH:MM, YYYY-MM-DD HH:MM[:SS], an ISO 8601 time, or 10m ago, 1h30m ago, 90 minutes ago.
