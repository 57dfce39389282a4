#!/usr/bin/env bash
# Installs the Debian packages that building and running the utility need, and with
# "test" (the default) also what the tests, the sanitizer and fuzz stages need. Only
# packages that are missing are installed.
#   scripts/install-deps.sh [run|test]
set -euo pipefail
mode="${1:-test}"
packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libcups2-dev dpkg-dev file
    xvfb xauth fonts-dejavu-core fonts-noto-cjk
)
case "$mode" in
run) ;;
test)
    packages+=(
        gcc-multilib python3 ansible-core
        man-db appstream desktop-file-utils lintian
        libgtest-dev libgmock-dev googletest libbenchmark-dev
        cups-daemon
        clang libclang-rt-14-dev
    )
    ;;
*)
    echo "install-deps.sh: unknown mode '$mode' (run or test)" >&2
    exit 2
    ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi
