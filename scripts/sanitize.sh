#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer + UndefinedBehaviorSanitizer in
# build-asan/ and runs the test suite there (the package test is skipped: it
# packs the normal build). Usage: scripts/sanitize.sh [extra ctest args]
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${QPU_ASAN_BUILD_DIR:-$repo/build-asan}"
jobs="${QPU_JOBS:-2}"
san="-fsanitize=address,undefined -fno-omit-frame-pointer"
link="-fsanitize=address,undefined"

generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$build/Makefile" ]; then
    generator=(-G Ninja)
fi

cmake -S "$repo" -B "$build" "${generator[@]}" \
    -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$san" -DCMAKE_CXX_FLAGS="$san" \
    -DCMAKE_EXE_LINKER_FLAGS="$link" \
    -DCMAKE_SHARED_LINKER_FLAGS="$link" \
    -DCMAKE_MODULE_LINKER_FLAGS="$link"
cmake --build "$build" -j"$jobs"

export QT_QPA_PLATFORM=offscreen
export QPCOMM_DISCOVERY_ADDR=127.0.0.1
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_leaks=1"
supp="$repo/tests/sanitizers/lsan.supp"
if [ -f "$supp" ]; then
    export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
fi

cd "$build"
ctest -j"$jobs" --timeout 300 -E package --output-on-failure "$@"
