#!/usr/bin/env bash
# completion_test.sh COMPLETION KESTRA SCRATCH
#
# The bash completion of kestra, loaded as bash-completion loads it: the commands and options it
# offers are those kestra's usage lists, command by command, and a file argument offers the
# files of its kind (and folders) of a scratch folder.
set -uo pipefail
completion=$1 kestra=$2 scratch=$3
source "$(dirname "$0")/kestra_usage.sh"
source /usr/share/bash-completion/bash_completion
source "$completion"

# offered WORD...: what completing the last word of "kestra WORD..." offers, sorted, on one line.
offered() {
    COMP_WORDS=(kestra "$@")
    COMP_CWORD=$#
    COMP_LINE="kestra $*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _kestra kestra "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

failures=0
# expect "WORDS" "OFFERS": the words are split at spaces; "''" stands for an empty last word.
expect() {
    local -a words
    read -ra words <<<"$1"
    [[ ${words[-1]} == "''" ]] && words[-1]=""
    local got
    got=$(offered "${words[@]}")
    if [[ $got != "$2" ]]; then
        echo "kestra $1<TAB>: offers \"$got\", expected \"$2\""
        failures=$((failures + 1))
    fi
}
sorted() { sort | xargs; }

# Commands and options, as the usage lists them.
expect "''" "$(kestra_commands "$kestra" | sorted)"
expect "-" "$(kestra_options "$kestra" | sorted)"
expect "card ''" "$(kestra_commands "$kestra" card | sorted)"
while read -r line; do
    expect "$line -" "$(kestra_options "$kestra" $line | sorted)"
done < <(kestra_command_lines "$kestra")

# Files by kind, in a folder of the test's own.
rm -rf "$scratch"
mkdir -p "$scratch/folder"
touch "$scratch"/{a.kpr,B.KPR,c.json,d.img,e.pdf,f.txt}
cd "$scratch" || exit 1
while IFS='|' read -r words offers; do
    expect "$words" "$offers"
done <<'TABLE'
pan|panel-image
card s|send
info ''|B.KPR a.kpr folder
check --repair-menu-fields ''|B.KPR a.kpr folder
import ''|c.json folder
export a.kpr -o ''|c.json folder
import c.json --output ''|B.KPR a.kpr folder
panel-image a.kpr -o ''|d.img folder
print a.kpr --pdf ''|e.pdf folder
print a.kpr --text -o ''|B.KPR a.kpr c.json d.img e.pdf f.txt folder
card send ''|B.KPR a.kpr d.img folder
card send --name ''|
card list --port ''|
check --option ''|
TABLE

if ((failures > 0)); then
    echo "$failures completions differ"
    exit 1
fi
