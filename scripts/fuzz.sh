#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for the given number of seconds
# (default 30) on its seed corpus, one after another. Exits non-zero when the build fails or
# any target crashes, leaks, times out or runs out of memory; the input that did it is kept
# in build-fuzz/artifacts/<target>/. Everything a run writes stays in build-fuzz/.
#   scripts/fuzz.sh [seconds] [target...]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
build="$root/build-fuzz"
cxx="${CXX_FUZZ:-clang++}"

all_targets=(fuzz_profile fuzz_lang_file fuzz_menu_file fuzz_printer_ini fuzz_settings_file
    fuzz_command_line fuzz_qpcomm_answers)
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

# 0 would make libFuzzer run without end.
case "$seconds" in
'' | *[!0-9]* | 0*)
    echo "fuzz.sh: seconds must be a whole number from 1 on, not '$seconds'"
    exit 2
    ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
    [ -n "${max_len[$t]:-}" ] || {
        echo "fuzz.sh: unknown target '$t' (known: ${all_targets[*]})"
        exit 2
    }
done

# clang must come with the libFuzzer and sanitizer runtimes of its own version.
command -v "$cxx" >/dev/null || {
    echo "fuzz.sh: $cxx not found (scripts/install-deps.sh installs clang and its runtimes)"
    exit 1
}
runtime_dir="$("$cxx" -print-runtime-dir 2>/dev/null)"
if [ -z "$runtime_dir" ]; then
    echo "fuzz.sh: $cxx is not clang (set CXX_FUZZ to a clang++)"
    exit 1
elif [ ! -f "$runtime_dir/libclang_rt.fuzzer-x86_64.a" ]; then
    version="$("$cxx" -dumpversion 2>/dev/null)"
    echo "fuzz.sh: the libFuzzer runtime of $cxx $version is missing in '$runtime_dir'" \
        "(Debian package libclang-rt-${version%%.*}-dev)"
    exit 1
fi

mkdir -p "$build"
echo "== building the fuzz targets in $build"
# The whole tree, every file instrumented; only the fuzz targets and what they link are built.
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link -g -O1"
if ! { CXX="$cxx" CC="${CC_FUZZ:-clang}" cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="" -DCMAKE_CXX_FLAGS_DEBUG="" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DBUILD_TESTING=OFF -DQPU_FUZZ=ON &&
    cmake --build "$build" -j2 --target "${targets[@]}"; } >"$build/build.log" 2>&1; then
    tail -30 "$build/build.log"
    echo "fuzz.sh: build failed, see $build/build.log"
    exit 1
fi

# A smaller quarantine than the default 256 MB: the parsers make many tiny allocations,
# whose quarantined chunks would otherwise take about 1 GB.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=64}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_LOGGING_RULES="*.debug=false;*.warning=false"
# The targets write their inputs as files below this folder.
export QPU_FUZZ_WORK_DIR="$build/work"
export TMPDIR="$build/tmp"
mkdir -p "$QPU_FUZZ_WORK_DIR" "$TMPDIR"

failed=()
for t in "${targets[@]}"; do
    seeds="$root/tests/fuzz/corpus/$t"
    work="$build/corpus/$t"
    artifacts="$build/artifacts/$t/"
    mkdir -p "$work" "$artifacts"
    log="$build/$t.log"
    echo "== $t (${seconds} s, inputs up to ${max_len[$t]} bytes)"
    # New inputs go to the first folder, the work corpus; the seeds are only read.
    "$build/tests/fuzz/$t" -max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$artifacts" -print_final_stats=1 \
        "$work" "$seeds" >"$log" 2>&1 &
    pid=$!
    wait $pid
    rc=$?
    rm -rf "$QPU_FUZZ_WORK_DIR/qpu_fuzz_$pid"
    last="$(grep -E '^#[0-9]+' "$log" | tail -1)"
    figure() { grep -E "^stat::$1:" "$log" | awk '{print $2}'; }
    echo "   ${last:-no progress line}"
    echo "   runs: $(figure number_of_executed_units), exec/s: $(figure average_exec_per_sec)," \
        "peak RSS: $(figure peak_rss_mb) MB"
    if [ $rc -ne 0 ] || ! grep -q '^Done [0-9]* runs' "$log"; then
        echo "   FAILED (exit $rc): see $log and $artifacts"
        grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -6 | sed 's/^/   /'
        failed+=("$t")
    fi
done
rm -rf "$TMPDIR"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: failed: ${failed[*]}"
    exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets ran ${seconds} s each without a fault"
