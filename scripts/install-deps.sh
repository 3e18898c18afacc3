#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with. Run as root.
set -euo pipefail
packages=(
    build-essential cmake pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libqt5x11extras5-dev
    qttools5-dev qttools5-dev-tools qttranslations5-l10n
    libudev-dev libturbojpeg0-dev
    libarchive-dev libarchive-tools
    clang libfuzzer-14-dev
    fonts-crosextra-carlito fonts-wqy-microhei
    dpkg-dev file desktop-file-utils appstream
    # scripts/footprint.sh: the tool it compares with, a minbase tree, a headless display
    qv4l2 debootstrap xvfb x11-utils
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
