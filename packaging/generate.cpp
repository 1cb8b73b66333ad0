// Writes what the package ships about the commands from the command table, at build time:
//   lumetra-generate man PROGRAM TEMPLATE OUT   the man page, its COMMANDS list put at @COMMANDS@
//   lumetra-generate bash|zsh|fish OUT          the shell's completion for both programs
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.hpp"
#include "control/ResumeWindow.hpp"

namespace {

using namespace lumetra;
using Commands::Program;
using Commands::Row;

constexpr Program kPrograms[] = {Program::tool, Program::app};

std::vector<const Row*> rowsOf(Program program) {
  std::vector<const Row*> rows;
  for (const Row& row : Commands::rows()) {
    if (row.in(program) && !row.words.empty()) rows.push_back(&row);
  }
  return rows;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Man pages

// A synopsis in the man page's markup: words and options bold, placeholders underlined.
std::string marked(std::string_view synopsis) {
  std::string out;
  std::size_t i = 0;
  while (i < synopsis.size()) {
    const auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; };
    if (!isWord(synopsis[i])) {
      out += synopsis[i++];
      continue;
    }
    std::size_t end = i;
    while (end < synopsis.size() && isWord(synopsis[end])) ++end;
    const std::string_view word = synopsis.substr(i, end - i);
    const bool placeholder = std::none_of(word.begin(), word.end(), [](char c) { return std::islower(static_cast<unsigned char>(c)); });
    out += (placeholder ? "_" : "*") + std::string(word) + (placeholder ? "_" : "*");
    i = end;
  }
  return out;
}

// The text in lines of at most `width` columns after a tab.
std::string wrapped(const std::string& text, std::size_t width = 88) {
  std::istringstream words(text);
  std::string out, line;
  for (std::string word; words >> word;) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += "\t" + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + "\t" + line + "\n";
}

std::string commandsSection(Program program) {
  const std::string name(Commands::name(program));
  std::string out;
  for (const Row* row : rowsOf(program)) {
    out += marked(row->synopsis) + "\n";
    out += wrapped(replaced(std::string(row->manual), "{resume window}", ResumeWindow::text()));
    if (!row->example.empty()) out += "\n\tExample: *" + name + " " + std::string(row->example) + "*\n";
    out += "\n";
  }
  return out;
}

// Completion: each shell gets the same table, then a function of its own that reads it.

// "words:positional kinds split by ;:options", a line per command. (Not tabs: bash's read would
// run two of them together where a field is empty.)
std::string table(Program program) {
  std::string out;
  for (const Row* row : rowsOf(program)) {
    std::string kinds, options;
    for (const auto kind : row->completes) {
      if (!kind.empty()) kinds += (kinds.empty() ? "" : ";") + std::string(kind);
    }
    for (const auto& option : Commands::options(program)) {
      if (row->takes(option.canonical) || option.canonical == "--json") options += std::string(option.spelling) + " ";
    }
    if (row->bare || row->channel == Commands::Channel::entry || row->channel == Commands::Channel::help) options.clear();
    out += std::string(row->words) + ":" + kinds + ":" + options + "\n";
  }
  return out;
}

// What an option's value completes to; options not listed take no value.
const std::map<std::string_view, std::string_view> kValueKinds{
    {"--project", "@project"}, {"--output", "@file"},        {"--by", "project|day|week"},
    {"--since", "today|yesterday"}, {"--until", "today|yesterday"}, {"--description", ""},
    {"--limit", ""},           {"--start", ""},              {"--end", ""},
    {"--first", ""},           {"--second", ""},             {"--name", ""},
    {"--at", "now|yesterday"},      {"--project-tags", ""},     {"--untagged", ""},
};

std::string valueTable() {
  std::map<std::string, std::string> lines;
  for (const Program program : kPrograms) {
    for (const auto& option : Commands::options(program)) {
      if (option.takesValue) lines[std::string(option.spelling)] = std::string(kValueKinds.at(option.canonical));
    }
  }
  std::string out;
  for (const auto& [spelling, kind] : lines) out += spelling + ":" + kind + "\n";
  return out;
}

// A text as a quoted shell word: $'…' in bash and zsh.
std::string quoted(const std::string& text) {
  std::string out = "$'";
  for (const char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\'' || c == '\\') out += std::string("\\") + c;
    else out += c;
  }
  return out + "'";
}

constexpr const char* kBash = R"sh(
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

# Offers what a kind stands for: project names, files, or choices split by "|".
_lumetra_kind() {
  case $2 in
    @project) _lumetra_offer "$1" "$(_lumetra_projects "$3")" ;;
    @file) mapfile -t COMPREPLY < <(compgen -f -- "$1") ;;
    '') COMPREPLY=() ;;
    *) _lumetra_offer "$1" "$(tr '|' '\n' <<<"$2")" ;;
  esac
}

# $1: the program's table of commands; $2: the options it takes before a command.
_lumetra_complete() {
  local rows=$1 cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} program=${COMP_WORDS[0]}
  local -a words=()
  local i kind
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ ${COMP_WORDS[i]} == -* ]]; then
      grep -q "^${COMP_WORDS[i]}:" <<<"$_lumetra_values" && ((i++))
    else
      words+=("${COMP_WORDS[i]}")
    fi
  done
  if kind=$(grep "^$prev:" <<<"$_lumetra_values"); then
    _lumetra_kind "$cur" "${kind#*:}" "$program"
    return
  fi
  local command="" kinds="" options="" line
  while IFS=: read -r line_words line_kinds line_options; do
    local -a parts=($line_words)
    if ((${#parts[@]} <= ${#words[@]} && ${#parts[@]} > ${#command})) &&
      [[ "${words[*]:0:${#parts[@]}}" == "$line_words" ]]; then
      command=$line_words kinds=$line_kinds options=$line_options
    fi
  done <<<"$rows"
  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      _lumetra_offer "$cur" "$(tr ' ' '\n' <<<"$2")"
    else
      _lumetra_offer "$cur" "$(while IFS=: read -r line_words _; do
        local -a parts=($line_words)
        [[ "${parts[*]:0:${#words[@]}}" == "${words[*]}" ]] && echo "${parts[${#words[@]}]}"
      done <<<"$rows" | sort -u)"
    fi
    return
  fi
  if [[ $cur == -* ]]; then
    _lumetra_offer "$cur" "$(tr ' ' '\n' <<<"$options")"
    return
  fi
  local -a parts=($command) kindList
  IFS=';' read -ra kindList <<<"$kinds"
  _lumetra_kind "$cur" "${kindList[$((${#words[@]} - ${#parts[@]}))]}" "$program"
}

_lumetra() { _lumetra_complete "$_lumetra_rows" "--json --help"; }
_lumetra_app() { _lumetra_complete "$_lumetra_app_rows" "--json --help --version"; }
complete -F _lumetra lumetra
complete -F _lumetra_app lumetra-app
)sh";

std::string bash() {
  return "# bash completion for lumetra and lumetra-app, made from their command table  -*- shell-script -*-\n\n"
         "_lumetra_rows=" + quoted(table(Program::tool)) + "\n_lumetra_app_rows=" + quoted(table(Program::app)) +
         "\n_lumetra_values=" + quoted(valueTable()) + "\n" + kBash;
}

constexpr const char* kZsh = R"sh(
# Project names, asked of the running host; nothing when it isn't running or doesn't answer soon.
_lumetra_projects() {
  local -a names
  names=(${(f)"$(timeout 1 ${words[1]} projects --all --json 2>/dev/null |
    sed -n 's/^ *"name" : "\(.*\)",\{0,1\}$/\1/p' | sed 's/\\"/"/g; s/\\\\/\\/g')"})
  compadd -a names
}

_lumetra_kind() {
  case $1 in
    @project) _lumetra_projects ;;
    @file) _files ;;
    '') ;;
    *) local -a choices; choices=(${(s:|:)1}); compadd -a choices ;;
  esac
}

# $1: the program's table of commands; $2: its briefs; $3: the options it takes before a command.
_lumetra_complete() {
  local -a typed rows briefs
  local i value
  rows=(${(f)1})
  briefs=(${(f)2})
  for ((i = 2; i < CURRENT; i++)); do
    if [[ ${words[i]} == -* ]]; then
      [[ -n ${(M)${(f)_lumetra_values}:#${words[i]}:*} ]] && ((i++))
    else
      typed+=(${words[i]})
    fi
  done
  value=${(M)${(f)_lumetra_values}:#${words[CURRENT-1]}:*}
  if [[ -n $value ]]; then
    _lumetra_kind ${value#*:}
    return
  fi
  local command= kinds= options= row
  local -i best=0
  for row in $rows; do
    local -a fields parts
    fields=("${(@s.:.)row}")
    parts=(${(s: :)fields[1]})
    if ((${#parts} <= ${#typed} && ${#parts} > best)) && [[ "${typed[1,${#parts}]}" == "${fields[1]}" ]]; then
      command=${fields[1]} kinds=${fields[2]} options=${fields[3]} best=${#parts}
    fi
  done
  if [[ -z $command ]]; then
    if [[ $PREFIX == -* ]]; then
      compadd -- ${(s: :)3}
      return
    fi
    local -a next described
    for ((i = 1; i <= ${#rows}; i++)); do
      local -a parts
      parts=(${(s: :)${rows[i]%%:*}})
      if [[ "${parts[1,${#typed}]}" == "${typed}" && -n ${parts[${#typed}+1]} ]]; then
        next+=(${parts[${#typed}+1]})
        described+=("${parts[${#typed}+1]}:${briefs[i]}")
      fi
    done
    _describe -t commands 'command' described
    return
  fi
  if [[ $PREFIX == -* ]]; then
    compadd -- ${(s: :)options}
    return
  fi
  local -a kindList
  kindList=("${(@s:;:)kinds}")
  _lumetra_kind "${kindList[$(( ${#typed} - best + 1 ))]}"
}

case $service in
  lumetra-app) _lumetra_complete "$_lumetra_app_rows" "$_lumetra_app_briefs" "--json --help --version" ;;
  *) _lumetra_complete "$_lumetra_rows" "$_lumetra_briefs" "--json --help" ;;
esac
)sh";

std::string briefs(Program program) {
  std::string out;
  for (const Row* row : rowsOf(program)) out += std::string(row->brief) + "\n";
  return out;
}

std::string zsh() {
  return "#compdef lumetra lumetra-app\n# zsh completion for lumetra and lumetra-app, made from their command table\n\n"
         "_lumetra_rows=" + quoted(table(Program::tool)) + "\n_lumetra_briefs=" + quoted(briefs(Program::tool)) +
         "\n_lumetra_app_rows=" + quoted(table(Program::app)) + "\n_lumetra_app_briefs=" + quoted(briefs(Program::app)) +
         "\n_lumetra_values=" + quoted(valueTable()) + "\n" + kZsh;
}

// fish: the same tables as lists, and a function that reads them.
std::string fishQuoted(std::string_view text) { return "'" + replaced(replaced(std::string(text), "\\", "\\\\"), "'", "\\'") + "'"; }

constexpr const char* kFish = R"sh(
# Project names, asked of the running host; nothing when it isn't running or doesn't answer soon.
function __lumetra_projects -a program
    timeout 1 $program projects --all --json 2>/dev/null |
        sed -n 's/^ *"name" : "\(.*\)",\{0,1\}$/\1/p' | sed 's/\\\\"/"/g; s/\\\\\\\\/\\\\/g'
end

# What a kind stands for: project names, files, or choices split by "|".
function __lumetra_kind -a kind program cur
    switch $kind
        case '@project'
            __lumetra_projects $program
        case '@file'
            __fish_complete_path $cur
        case ''
        case '*'
            string split '|' -- $kind
    end
end

function __lumetra_complete -a program
    set -l rows $__lumetra_rows
    set -l top --json --help
    if test $program = lumetra-app
        set rows $__lumetra_app_rows
        set top --json --help --version
    end
    set -l tokens (commandline -opc)
    set -e tokens[1]
    set -l cur (commandline -ct)
    set -l typed
    set -l valueOf ''
    for word in $tokens
        if test -n "$valueOf"
            set valueOf ''
        else if string match -q -- '-*' $word
            set -l value (string match -- "$word:*" $__lumetra_values)
            test -n "$value"; and set valueOf $value
        else
            set -a typed $word
        end
    end
    if test -n "$valueOf"
        __lumetra_kind (string split -m1 : -- $valueOf)[2] $program $cur
        return
    end
    set -l command ''
    set -l kinds ''
    set -l options ''
    set -l best 0
    for row in $rows
        set -l fields (string split : -- $row)
        set -l parts (string split ' ' -- $fields[1])
        set -l n (count $parts)
        if test $n -le (count $typed) -a $n -gt $best
            if test "$typed[1..$n]" = "$fields[1]"
                set command $fields[1]
                set kinds $fields[2]
                set options $fields[3]
                set best $n
            end
        end
    end
    if test -z "$command"
        if string match -q -- '-*' $cur
            string split ' ' -- $top
            return
        end
        set -l done (count $typed)
        for row in $rows
            set -l fields (string split : -- $row)
            set -l parts (string split ' ' -- $fields[1])
            test (count $parts) -gt $done; or continue
            if test $done -gt 0
                test "$parts[1..$done]" = "$typed"; or continue
            end
            set -l next (math $done + 1)
            if test (count $parts) -eq $next
                printf '%s\t%s\n' $parts[$next] $fields[4]
            else
                echo $parts[$next]
            end
        end | sort -u
        return
    end
    if string match -q -- '-*' $cur
        string split ' ' -- (string trim -- $options)
        return
    end
    set -l index (math (count $typed) - $best + 1)
    set -l kindList (string split ';' -- $kinds)
    test $index -le (count $kindList); and __lumetra_kind $kindList[$index] $program $cur
end

complete -c lumetra -f -a '(__lumetra_complete lumetra)'
complete -c lumetra-app -f -a '(__lumetra_complete lumetra-app)'
)sh";

std::string fishList(Program program) {
  std::string out;
  std::istringstream lines(table(program));
  std::size_t i = 0;
  const auto rows = rowsOf(program);
  for (std::string line; std::getline(lines, line); ++i) {
    out += " \\\n    " + fishQuoted(line + ":" + std::string(rows[i]->brief));
  }
  return out;
}

std::string fish() {
  std::string values;
  std::istringstream lines(valueTable());
  for (std::string line; std::getline(lines, line);) values += " " + fishQuoted(line);
  return "# fish completion for lumetra and lumetra-app, made from their command table\n\n"
         "set -g __lumetra_rows" + fishList(Program::tool) + "\nset -g __lumetra_app_rows" + fishList(Program::app) +
         "\nset -g __lumetra_values" + values + "\n" + kFish;
}

bool write(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 4 && words[0] == "man") {
    const Program program = words[1] == "lumetra" ? Program::tool : Program::app;
    std::ifstream input(words[2], std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(input)), {});
    return write(words[3], replaced(page, "@COMMANDS@\n", commandsSection(program))) ? 0 : 1;
  }
  if (words.size() == 2 && words[0] == "bash") return write(words[1], bash()) ? 0 : 1;
  if (words.size() == 2 && words[0] == "zsh") return write(words[1], zsh()) ? 0 : 1;
  if (words.size() == 2 && words[0] == "fish") return write(words[1], fish()) ? 0 : 1;
  std::cerr << "usage: lumetra-generate man PROGRAM TEMPLATE OUT | bash OUT | zsh OUT | fish OUT\n";
  return 2;
}
