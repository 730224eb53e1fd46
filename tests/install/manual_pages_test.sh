#!/usr/bin/env bash
# manual_pages_test.sh MANDIR KESTRA CARDLOAD
#
# The manual pages written by hand, held against the usage of their programs: kestra's page has
# an entry for every command, names every option of every command and explains every exit code;
# cardload's page names every option of its usage.
set -uo pipefail
mandir=$1 kestra=$2 cardload=$3
source "$(dirname "$0")/kestra_usage.sh"

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}
# The page's source with its escaped hyphens as hyphens.
page() { gzip -dc "$mandir/$1.1.gz" | sed 's/\\-/-/g'; }

kestra_page=$(page kestra)
while read -r command; do
    grep -Eq "^\.BI? \"?$command( |\"|$)" <<<"$kestra_page" ||
        fail "kestra.1: no entry for the command \"$command\""
    for option in $(kestra_options "$kestra" $command); do
        grep -Eq -- "(^|[ \"])$option([ \",]|$)" <<<"$kestra_page" ||
            fail "kestra.1: the option $option of \"kestra $command\" is not named"
    done
done < <(kestra_command_lines "$kestra")
for code in $(kestra_exit_codes "$kestra"); do
    sed -n '/^\.SH "EXIT STATUS"/,/^\.SH /p' <<<"$kestra_page" | grep -q "^\.B $code$" ||
        fail "kestra.1: exit code $code is not explained"
done

cardload_page=$(page cardload)
for option in $("$cardload" --help | sed -n 's|^\(/[a-z]*\).*|\1|p'); do
    grep -Eq "$option([^a-z]|$)" <<<"$cardload_page" ||
        fail "cardload.1: the option $option is not named"
done

if ((failures > 0)); then
    echo "$failures differences between the manual pages and the usage"
    exit 1
fi
