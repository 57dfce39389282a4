#!/usr/bin/env bash
# Installs what the build needs (Debian packages), builds from scratch with two jobs and
# runs every test; runs each fuzz target for 25 s (scripts/fuzz.sh); then builds and runs
# the suite again under AddressSanitizer + UndefinedBehaviorSanitizer and under
# ThreadSanitizer (scripts/sanitize.sh). Every stage runs even when an earlier one failed;
# the script exits non-zero when anything failed. QPU_SKIP_SANITIZERS=1 runs only the
# normal build and tests, without fuzzing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/install-deps.sh test

failed=()
summary=()
stage() {
    local name="$1"
    shift
    local start=$SECONDS
    echo "=== $name"
    if "$@"; then
        echo "=== $name: passed in $((SECONDS - start)) s"
        summary+=("$(printf '%-46s passed %5d s' "$name" $((SECONDS - start)))")
    else
        echo "=== $name: FAILED after $((SECONDS - start)) s"
        summary+=("$(printf '%-46s FAILED %5d s' "$name" $((SECONDS - start)))")
        failed+=("$name")
    fi
}

# A stage runs as a condition, where errexit does not hold: chain its steps with &&.
normal_build() {
    rm -rf build &&
        cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
        cmake --build build -j2
}

normal_tests() {
    (cd build && QT_QPA_PLATFORM=offscreen QPCOMM_DISCOVERY_ADDR=127.0.0.1 \
        ctest -j2 --output-on-failure --timeout 300)
}

sanitized_build() {
    rm -rf "build-$1" && bash scripts/sanitize.sh "$1"
}

stage "build" normal_build
if [ ${#failed[@]} -eq 0 ]; then
    stage "tests" normal_tests
fi
if [ "${QPU_SKIP_SANITIZERS:-0}" != 1 ]; then
    # A short run of every fuzz target on its seed corpus (clang, libFuzzer, build-fuzz/).
    stage "fuzz targets" bash scripts/fuzz.sh 25
    stage "address and undefined-behaviour sanitizers" sanitized_build asan
    stage "thread sanitizer" sanitized_build tsan
fi

echo "=== stages"
printf '%s\n' "${summary[@]}"
echo "total: $SECONDS s"
if [ ${#failed[@]} -gt 0 ]; then
    echo "Failed: ${failed[*]}" >&2
    exit 1
fi
echo "All stages passed."
