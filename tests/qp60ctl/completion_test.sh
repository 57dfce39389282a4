#!/usr/bin/env bash
# Sources the bash completion of qp60ctl and checks what it offers: commands, options,
# setting names, and the registered ports that the program itself lists.
#   completion_test.sh COMPLETION_FILE PROGRAM_FOLDER
set -u
completion="$1"
export PATH="$2:$PATH"
work="$(mktemp -d "${TMPDIR:-/tmp}/qp60ctl-completion.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export QP60UTIL_COMMON_APPDATA="$work" XDG_RUNTIME_DIR="$work" QPCOMM_DISCOVERY_ADDR=127.0.0.1
# shellcheck disable=SC1090
source "$completion"
failures=0

# complete_words WORD... : what the completion offers for the last word.
complete_words()
{
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _qp60ctl qp60ctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect()
{
    local what="$1" wanted="$2"
    shift 2
    local got
    got="$(complete_words "$@")"
    if [[ " $got " == *" $wanted "* ]]; then
        echo "ok  $what"
    else
        echo "FAIL $what: wanted '$wanted' in '$got'"
        failures=$((failures + 1))
    fi
}

expect "commands" "backup" qp60ctl ba
expect "a command after an option" "restore" qp60ctl --json res
expect "options" "--jobs" qp60ctl info --jo
expect "--watch for status" "--watch" qp60ctl status --wa
expect "setting names for get" "memsw3" qp60ctl get x mem
expect "NAME= for set" "density=" qp60ctl set x den
expect "kinds of port" "usb" qp60ctl add-port u
expect "parity values" "even" qp60ctl add-port com x --parity e
qp60ctl add-port net 127.0.0.1:9 --force >/dev/null 2>&1 || { echo "FAIL add-port"; failures=$((failures + 1)); }
expect "registered ports" "127.0.0.1:9" qp60ctl info 127
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
