#!/usr/bin/env bash
# The build's check of the message catalogues: the project's catalogue and a
# further language pass; each fault a translator or a developer can make in a
# copy fails the build's tool, which names it.
# Usage: catalogue_check_test.sh MAKE_CATALOGUE MSGFMT MSGCMP PO_FOLDER
set -uo pipefail
tool="$1" msgfmt="$2" msgcmp="$3" po="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0

# A second language: ja.po with another Language, as msginit would start it.
make_second() {
    sed 's/^"Language: ja\\n"$/"Language: xx\\n"/' "$work/ja.po" >"$work/xx.po"
}

# run NAME EXPECTED EDIT: a fresh copy of the catalogues, EDIT (a shell
# command run in it), then the tool; EXPECTED is "ok" or a part of its error.
run() {
    local name="$1" expected="$2" edit="$3"
    rm -rf "$work"/*
    mkdir "$work/out"
    cp "$po/ja.po" "$work/ja.po"
    (cd "$work" && eval "$edit")
    local catalogues=("$work/ja.po") file
    for file in "$work"/*.po; do
        [ "$file" = "$work/ja.po" ] || catalogues+=("$file")
    done
    local output
    output="$("$tool" "$msgfmt" "$msgcmp" "$work/out" "${catalogues[@]}" 2>&1)"
    local code=$?
    if [ "$expected" = ok ]; then
        if [ $code -ne 0 ] || ! grep -q '"ja", ' "$work/out/message_table.cpp"; then
            echo "FAIL $name: the tool failed or wrote no table: $output"
            status=1
        fi
    elif [ $code -eq 0 ] || ! grep -qF -- "$expected" <<<"$output" || [ -e "$work/out/message_table.cpp" ]; then
        echo "FAIL $name: expected a failure naming '$expected', got ($code): $output"
        status=1
    fi
}

# The first msgstr after key $1's msgctxt line, changed by the sed expression $2.
in_entry() {
    printf '/^msgctxt "%s"$/,/^msgstr/{/^msgstr/%s}' "$1" "$2"
}

run "the project's catalogue" ok ":"
run "a second language" ok "make_second"
run "untranslated" "not translated" "sed -i '$(in_entry ReportOutputError 's/".*"/""/')' ja.po"
run "fuzzy" "fuzzy" "make_second; sed -i 's/^msgctxt \"ReportOutputError\"$/#, fuzzy\n&/' xx.po"
run "a placeholder's type" "for argument 1 are not the same" "sed -i '$(in_entry ErrorInputTooLarge 's/%u/%s/')' ja.po"
run "a placeholder lost" "' does not match" "make_second; sed -i '$(in_entry ErrorNumberRange 's/%ld//')' xx.po"
run "a line end lost" "end with" "sed -i '$(in_entry ReportOutputError 's/\\n"$/"/')' ja.po"
run "a key missing" "ReportOutputError: missing" \
    "make_second; sed -i '/^msgctxt \"ReportOutputError\"$/,/^$/d' xx.po"
run "a key of its own" "Invented: not in" \
    "make_second; printf '\nmsgctxt \"Invented\"\nmsgid \"new\"\nmsgstr \"neu\"\n' >>xx.po"
run "a stale msgid" "ReportOutputError: its msgid differs" \
    "make_second; sed -i '/^msgctxt \"ReportOutputError\"$/{n;s/output error/output failure/}' xx.po"
run "English beyond ASCII" "English must be printable ASCII" \
    "sed -i '/^msgctxt \"ReportOutputError\"$/{n;s/output error/output érror/}' ja.po"
run "a placeholder not checked" "without c-format" \
    "sed -i '/^#, c-format$/{N;s/^#, c-format\\n\\(msgctxt \"ErrorInputTooLarge\"\\)$/\\1/}' ja.po"
run "a key twice" "duplicate" "sed -n '/^msgctxt \"ReportOutputError\"$/,/^$/p' ja.po >>ja.po"
run "no identifier" "is no identifier" "sed -i 's/^msgctxt \"ReportOutputError\"$/msgctxt \"Report error\"/' ja.po"
run "a file not named after its language" "must be named xx.po" "make_second; mv xx.po yy.po"

[ $status -eq 0 ] && echo "the catalogue check passes the catalogues and refuses every fault tried"
exit $status
