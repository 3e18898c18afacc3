#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds the programs without the tests and
# packs them with CPack (debug information stripped). Run as root on Debian 12.
# Usage: scripts/make-deb.sh [build-dir]   (default build-deb; the package is written there)
# Install it with: apt install ./build-deb/cameracontrol_<version>_<architecture>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build_dir=${1:-build-deb}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DCC_BUILD_TESTS=OFF -DCC_BUILD_BENCHMARKS=OFF
cmake --build "$build_dir" -j"$(nproc)"
rm -f "$build_dir"/cameracontrol_*.deb
(cd "$build_dir" && cpack -G DEB)
package=$(ls "$build_dir"/cameracontrol_*.deb)
desktop-file-validate packaging/cameracontrol.desktop
appstreamcli validate --no-net --pedantic "$build_dir/com.example.cameracontrol.metainfo.xml"
echo "$package"
