#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz/ and runs each for
# the given number of seconds (default 30) on its seed corpus. Exits non-zero on a crash.
#   scripts/fuzz.sh [seconds] [target...]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
build="$root/build-fuzz"
cxx="${CXX_FUZZ:-clang++}"

command -v "$cxx" >/dev/null || { echo "fuzz.sh: $cxx not found (apt-get install clang libclang-rt-14-dev)"; exit 1; }
mkdir -p "$build"
if ! { CXX="$cxx" cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=Debug &&
    cmake --build "$build" -j2; } >"$build/build.log" 2>&1; then
    tail -30 "$build/build.log"
    echo "fuzz.sh: build failed, see $build/build.log"
    exit 1
fi

# Longest input per target: files are kept small, answers are streams.
declare -A max_len=(
    [fuzz_profile]=4096
    [fuzz_lang_file]=8192
    [fuzz_menu_file]=8192
    [fuzz_printer_ini]=4096
    [fuzz_settings_file]=16384
    [fuzz_command_line]=1024
    [fuzz_qpcomm_answers]=2048
)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_profile fuzz_lang_file fuzz_menu_file fuzz_printer_ini
    fuzz_settings_file fuzz_command_line fuzz_qpcomm_answers)

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_LOGGING_RULES="*.debug=false;*.warning=false"
failed=0
for t in "${targets[@]}"; do
    seeds="$root/tests/fuzz/corpus/$t"
    work="$build/corpus/$t"
    artifacts="$build/artifacts/$t/"
    mkdir -p "$work" "$artifacts"
    log="$build/$t.log"
    echo "== $t (${seconds}s, max_len ${max_len[$t]})"
    "$build/$t" -max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$artifacts" -print_final_stats=1 \
        "$work" "$seeds" >"$log" 2>&1 &
    pid=$!
    wait $pid
    rc=$?
    rm -rf "/dev/shm/qpu_fuzz_$pid"
    last="$(grep -E '^#[0-9]+' "$log" | tail -1)"
    execs="$(grep -E 'stat::average_exec_per_sec' "$log" | awk '{print $2}')"
    echo "   ${last:-no progress line}"
    echo "   exec/s: ${execs:-?}"
    if [ $rc -ne 0 ]; then
        echo "   CRASH (exit $rc): see $log and $artifacts"
        grep -E 'ERROR|runtime error|SUMMARY' "$log" | head -5 | sed 's/^/   /'
        failed=1
    fi
done
exit $failed
