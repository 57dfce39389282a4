#!/usr/bin/env bash
# Checks the documents that ship with the packages; each check must print nothing but its
# verdict.
#   check_documents.sh man PAGE...            man renders each page without a warning
#   check_documents.sh appstream FILE         appstreamcli validates the AppStream data
#   check_documents.sh desktop FILE           desktop-file-validate finds nothing to say
#   check_documents.sh help VERSION PROGRAM...  --help and --version answer on standard
#                                             output, exit 0 and open no window
set -uo pipefail
what=$1
shift
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

case "$what" in
man)
    for page in "$@"; do
        warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$page: $warnings"
        lines=$(MANWIDTH=80 man -l "$page" 2>/dev/null | wc -l)
        [ "$lines" -gt 20 ] || fail "$page renders to $lines lines"
    done
    ;;
appstream)
    out=$(appstreamcli validate --no-net "$1" 2>&1) || fail "appstreamcli: $out"
    grep -Eq '^(E|W):' <<<"$out" && fail "appstreamcli: $out"
    ;;
desktop)
    out=$(desktop-file-validate "$1" 2>&1)
    [ $? -eq 0 ] && [ -z "$out" ] || fail "desktop-file-validate: $out"
    ;;
help)
    version=$1
    shift
    for program in "$@"; do
        name=${program##*/}
        # No display and the window system asked for: a program that opened a window
        # would fail here.
        for option in --help -h; do
            out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$program" "$option" 2>&1)
            status=$?
            [ $status -eq 0 ] || fail "$name $option: exit $status: $out"
            grep -q "^Usage: $name" <<<"$out" || fail "$name $option: no usage line"
        done
        out=$(env -u DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$program" --version 2>&1)
        status=$?
        [ $status -eq 0 ] || fail "$name --version: exit $status"
        [ "$out" = "$name $version" ] || fail "$name --version printed '$out'"
    done
    ;;
*)
    fail "unknown check $what"
    ;;
esac
[ $failures -eq 0 ] && echo "ok $what"
[ $failures -eq 0 ]
