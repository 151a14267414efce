#!/usr/bin/env bash
# Cross-builds the Windows side with MinGW-w64 into build-win/ (or $BUILD_WIN_DIR): the protocol
# core, the Win32 layer and their tests (core_tests.exe, win32_tests.exe), each one static .exe.
# Qt is not cross-built. BUILD_TYPE (default Release) and JOBS (default: the cores) as for CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh windows
build=${BUILD_WIN_DIR:-build-win}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MinGW-w64.cmake" \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DMERIDIAL_BUILD_TESTS=ON -DMERIDIAL_WERROR=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}"
