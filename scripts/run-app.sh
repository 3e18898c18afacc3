#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it.
# Usage: scripts/run-app.sh [--demo]   (--demo starts the simulated camera instead of real ones)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [[ "${1:-}" == "--demo" ]]; then
    exec build/demo/cameracontrol-demo
fi
exec build/app/cameracontrol
