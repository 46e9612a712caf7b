#!/usr/bin/env bash
# The manual page and `tolvarinxc --help` name the same switches: a switch
# added to one of them and not to the other fails here.
# Usage: man_page_test.sh PROGRAM MAN_PAGE
set -euo pipefail
program="$1" page="$2"

# --help: the lines "  -x ...  text" of its switch table, with their
# spellings ("-h, --help") before the two spaces that start the text.
help_switches="$("$program" --help | sed -n 's/^  \(-[^ ,]*\(, -[^ ,]*\)*\) .*/\1/p' | tr ',' '\n' | tr -d ' ' | sort -u)"
# The manual page: the tag line after each .TP of the OPTIONS section, whose
# words starting with \- are the spellings.
man_switches="$(sed -n '/^\.SH OPTIONS/,/^\.SH /{/^\.TP/{n;p}}' "$page" |
    grep -o '\\-\(\\-\)\?[a-z][a-z0-9]*' | sed 's/\\//g' | sort -u)"

[ -n "$help_switches" ] || { echo "no switches found in --help"; exit 1; }
[ -n "$man_switches" ] || { echo "no switches found in $page"; exit 1; }
if [ "$help_switches" != "$man_switches" ]; then
    echo "the switches of --help (<) and of $page (>) differ:"
    diff <(echo "$help_switches") <(echo "$man_switches") || true
    exit 1
fi
echo "--help and the manual page name the same $(echo "$help_switches" | wc -l) switches"
