#!/usr/bin/env bash
# Checks qp60ctl in an unpacked qp60util package: the link in bin, --help and --version,
# the man page as man finds it, and the bash completion. Called by the package test.
#   package_check.sh UNPACKED_ROOT VERSION
set -u
root="$1"
version="$2"
failures=0
check() {
    local what="$1"
    shift
    if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
program="$root/usr/bin/qp60ctl"
check "usr/bin/qp60ctl is a relative link into the program folder" \
    test "$(readlink "$program")" = "../lib/qp60util/qp60ctl"
check "qp60ctl --help works from the package" sh -c "'$program' --help | grep -q 'Usage: qp60ctl'"
check "qp60ctl --version names $version" sh -c "'$program' --version | grep -qx 'qp60ctl $version'"
check "bad usage exits with status 2" sh -c "'$program' info; test \$? -eq 2"
man_page="$root/usr/share/man/man1/qp60ctl.1.gz"
check "the man page is installed gzipped" gzip -t "$man_page"
check "man qp60ctl shows the page" \
    sh -c "MANPATH='$root/usr/share/man' MANWIDTH=80 man qp60ctl 2>/dev/null | grep -q 'EXIT STATUS'"
check "the bash completion is installed" \
    bash -c "source '$root/usr/share/bash-completion/completions/qp60ctl' && complete -p qp60ctl"
echo "qp60ctl: $failures failure(s)"
[ "$failures" -eq 0 ]
