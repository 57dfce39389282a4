#!/usr/bin/env bash
# Installs what the build needs (Debian packages), builds from scratch with two jobs and
# runs every test. Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/install-deps.sh
rm -rf build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
cd build
QT_QPA_PLATFORM=offscreen QPCOMM_DISCOVERY_ADDR=127.0.0.1 ctest -j2 --output-on-failure --timeout 300
