#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the utility need.
# Only packages that are missing are installed.
set -euo pipefail
packages=(
    cmake g++ make pkg-config gcc-multilib
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libcups2-dev cups-daemon dpkg-dev file
    clang libclang-rt-14-dev
    xvfb xauth fonts-dejavu-core fonts-noto-cjk
)
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
