#!/usr/bin/env bash
# Installs what is missing, builds, and shows one Transfer: the three frames of a sample message.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${BUILD_DIR:-build-demo}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
"$build/src/cli/meridial-cli" transfer --dry-run --id 1 --message "HELLO from Meridial"
