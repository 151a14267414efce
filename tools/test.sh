#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test.
#   tools/test.sh              Debug build in build/ (or $BUILD_DIR)
#   tools/test.sh --sanitize   the same under ASan+UBSan (GCC), in build-asan/ (or $BUILD_DIR-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
[ "${1:-}" = "--sanitize" ] && sanitize=1
tools/install-deps.sh
build=${BUILD_DIR:-build}
options=()
if [ "$sanitize" = 1 ]; then
  build="$build-asan"
  # -O1 keeps the instrumented suite fast enough for CI; no recovery, so any report fails the test.
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g"
  options=(-DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined")
  # Leak checking stays off: Qt keeps global singletons (the platform plugin, fontconfig, the
  # event dispatcher's thread data) that are freed by the OS at exit, not by Qt, and LSan reports
  # them from every GUI test. Memory errors, not leaks, are what this build is for.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMERIDIAL_BUILD_TESTS=ON "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
