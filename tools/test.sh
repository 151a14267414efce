#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors (MERIDIAL_WERROR) and runs
# every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMERIDIAL_BUILD_TESTS=ON -DMERIDIAL_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
