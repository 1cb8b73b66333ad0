# bash completion for lumetra and lumetra-app                             -*- shell-script -*-

# Project names, asked of the running host; nothing when it isn't running or doesn't answer soon.
_lumetra_projects() {
  timeout 1 "$1" projects --all --json 2>/dev/null |
    sed -n 's/^ *"name" : "\(.*\)",\{0,1\}$/\1/p' | sed 's/\\"/"/g; s/\\\\/\\/g'
}

# Sets COMPREPLY to the lines of $2 that start with the word being completed, quoted for the shell.
_lumetra_offer() {
  local cur=$1 line
  local prefix=${cur#[\"\']}
  COMPREPLY=()
  while IFS= read -r line; do
    [[ -n $line && $line == "$prefix"* ]] && COMPREPLY+=("$(printf '%q' "$line")")
  done <<<"$2"
}

_lumetra_words() { _lumetra_offer "$1" "$(printf '%s\n' "${@:2}")"; }

_lumetra() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local program=${COMP_WORDS[0]} command="" index=0 i
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} != -* ]]; then command=${COMP_WORDS[i]}; index=$i; break; fi
  done
  if [[ -z $command ]]; then
    _lumetra_words "$cur" status projects start stop resume describe sessions import mcp help --json --help
    return
  fi
  case $prev in
    -p | --project) _lumetra_offer "$cur" "$(_lumetra_projects "$program")"; return ;;
    --since | --until) _lumetra_words "$cur" today yesterday; return ;;
    -d | --description | -n | --limit) return ;;
  esac
  if [[ $cur == -* ]]; then
    case $command in
      projects) _lumetra_words "$cur" --all --json ;;
      start) _lumetra_words "$cur" --description -d --json ;;
      sessions) _lumetra_words "$cur" --since --until --project -p --limit -n --json ;;
      import) _lumetra_words "$cur" --dry-run --allow-overlaps --json ;;
      mcp | help) ;;
      *) _lumetra_words "$cur" --json ;;
    esac
    return
  fi
  case $command in
    start) ((COMP_CWORD == index + 1)) && _lumetra_offer "$cur" "$(_lumetra_projects "$program")" ;;
    import) ((COMP_CWORD == index + 1)) && mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
  esac
}

_lumetra_app() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local program=${COMP_WORDS[0]} i
  local -a words=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -p | --project | -o | --output | -d | --description | --start | --end | --first | --second | --by) ((i++)) ;;
      -*) ;;
      *) words+=("${COMP_WORDS[i]}") ;;
    esac
  done
  case $prev in
    -p | --project) _lumetra_offer "$cur" "$(_lumetra_projects "$program")"; return ;;
    -o | --output) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    --by) _lumetra_words "$cur" project day week; return ;;
    -d | --description | --start | --end | --first | --second) return ;;
  esac
  if [[ $cur == -* ]]; then
    case "${words[0]}:${words[1]}" in
      projects:*) _lumetra_words "$cur" --all --json ;;
      export:*) _lumetra_words "$cur" --output -o ;;
      report:*) _lumetra_words "$cur" --by --project -p --json ;;
      convert:*) _lumetra_words "$cur" --output -o --skip-bad ;;
      session:add | session:merge) _lumetra_words "$cur" --description -d --json ;;
      session:edit) _lumetra_words "$cur" --project -p --start --end --json ;;
      session:split) _lumetra_words "$cur" --first --second --json ;;
      install-*) ;;
      :) _lumetra_words "$cur" --version --help --json ;;
      *) _lumetra_words "$cur" --json ;;
    esac
    return
  fi
  case ${#words[@]}:${words[0]}:${words[1]} in
    0:*) _lumetra_words "$cur" projects project session idle-timeout web-port open export report convert install-tool \
      uninstall-tool install-claude install-mcp install-service uninstall-service help ;;
    1:project:*) _lumetra_words "$cur" add rename archive unarchive delete ;;
    1:session:*) _lumetra_words "$cur" add edit split merge delete neighbours ;;
    2:project:add) ;;
    2:project:* | 2:session:add) _lumetra_offer "$cur" "$(_lumetra_projects "$program")" ;;
    1:export:*) _lumetra_words "$cur" "All Time" Today "This Week" "Last Week" "This Month" "Last Month" ;;
    1:report:*) _lumetra_words "$cur" "All Time" Today Yesterday "This Week" "Last Week" "This Month" \
      "Last Month" "This Year" "Last Year" ;;
    1:convert:*) _lumetra_words "$cur" toggl clockify timewarrior watson ;;
    2:convert:*) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
    1:install-mcp:*) _lumetra_words "$cur" claude-code vscode cursor ;;
  esac
}

complete -F _lumetra lumetra
complete -F _lumetra_app lumetra-app
