# fish completion for lumetra and lumetra-app

# Project names, asked of the running host; nothing when it isn't running or doesn't answer soon.
function __lumetra_projects
    set -l program (commandline -opc)[1]
    timeout 1 $program projects --all --json 2>/dev/null |
        sed -n 's/^ *"name" : "\(.*\)",\{0,1\}$/\1/p' | sed 's/\\\\"/"/g; s/\\\\\\\\/\\\\/g'
end

set -l tool_commands status projects start stop resume describe sessions import mcp help
complete -c lumetra -f
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a status -d "What is being tracked, and today's totals"
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a projects -d 'List the projects'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a start -d 'Start tracking a project'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a stop -d 'Stop tracking'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a resume -d 'Resume the last session'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a describe -d "Set a session's description"
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a sessions -d 'List sessions'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a import -d 'Import sessions from a CSV file'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a mcp -d 'Serve MCP over standard input and output'
complete -c lumetra -n "not __fish_seen_subcommand_from $tool_commands" -a help -d 'Show the commands'
complete -c lumetra -l json -d 'Print JSON'
complete -c lumetra -n '__fish_seen_subcommand_from projects' -l all -d 'Include archived projects'
complete -c lumetra -n '__fish_seen_subcommand_from start' -a '(__lumetra_projects)'
complete -c lumetra -n '__fish_seen_subcommand_from start' -s d -l description -r -d 'Description'
complete -c lumetra -n '__fish_seen_subcommand_from sessions' -l since -l until -x -a 'today yesterday'
complete -c lumetra -n '__fish_seen_subcommand_from sessions' -s p -l project -x -a '(__lumetra_projects)'
complete -c lumetra -n '__fish_seen_subcommand_from sessions' -s n -l limit -x -d 'At most N sessions'
complete -c lumetra -n '__fish_seen_subcommand_from import' -F
complete -c lumetra -n '__fish_seen_subcommand_from import' -l dry-run -d 'Show what would be added'
complete -c lumetra -n '__fish_seen_subcommand_from import' -l allow-overlaps -d 'Accept overlapping rows'

set -l app_commands projects project session idle-timeout web-port open export report convert install-tool uninstall-tool install-claude install-mcp install-service uninstall-service help
complete -c lumetra-app -f
complete -c lumetra-app -n "not __fish_seen_subcommand_from $app_commands" -a "$app_commands"
complete -c lumetra-app -n "not __fish_seen_subcommand_from $app_commands" -l version -d 'Print the version'
complete -c lumetra-app -l json -d 'Print JSON'
complete -c lumetra-app -n '__fish_seen_subcommand_from project; and not __fish_seen_subcommand_from add rename archive unarchive delete' -a 'add rename archive unarchive delete'
complete -c lumetra-app -n '__fish_seen_subcommand_from project; and __fish_seen_subcommand_from rename archive unarchive delete' -a '(__lumetra_projects)'
complete -c lumetra-app -n '__fish_seen_subcommand_from session; and not __fish_seen_subcommand_from add edit split merge delete neighbours' -a 'add edit split merge delete neighbours'
complete -c lumetra-app -n '__fish_seen_subcommand_from session; and __fish_seen_subcommand_from add' -a '(__lumetra_projects)'
complete -c lumetra-app -n '__fish_seen_subcommand_from session' -s p -l project -x -a '(__lumetra_projects)'
complete -c lumetra-app -n '__fish_seen_subcommand_from projects' -l all -d 'Include archived projects'
complete -c lumetra-app -n '__fish_seen_subcommand_from export' -a "'All Time' Today 'This Week' 'Last Week' 'This Month' 'Last Month'"
complete -c lumetra-app -n '__fish_seen_subcommand_from export' -s o -l output -r -F -d 'Write to this file'
complete -c lumetra-app -n '__fish_seen_subcommand_from install-mcp' -a 'claude-code vscode cursor'
complete -c lumetra-app -n '__fish_seen_subcommand_from report' -a "'All Time' Today Yesterday 'This Week' 'Last Week' 'This Month' 'Last Month' 'This Year' 'Last Year'"
complete -c lumetra-app -n '__fish_seen_subcommand_from report' -l by -x -a 'project day week' -d 'Group by'
complete -c lumetra-app -n '__fish_seen_subcommand_from report' -s p -l project -x -a '(__lumetra_projects)'
complete -c lumetra-app -n '__fish_seen_subcommand_from convert; and not __fish_seen_subcommand_from toggl clockify timewarrior watson' -a 'toggl clockify timewarrior watson'
complete -c lumetra-app -n '__fish_seen_subcommand_from convert; and __fish_seen_subcommand_from toggl clockify timewarrior watson' -F
complete -c lumetra-app -n '__fish_seen_subcommand_from convert' -s o -l output -r -F -d 'Write to this file'
complete -c lumetra-app -n '__fish_seen_subcommand_from convert' -l skip-bad -d "Leave out rows that can't be read"
