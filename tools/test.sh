#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors (MERIDIAL_WERROR) and runs
# every test; then the Windows build's tests under Wine (tools/test-windows.sh).
#   tools/test.sh              Debug build in build/ (or $BUILD_DIR)
#   tools/test.sh --sanitize   the same under ASan+UBSan (GCC), in build-asan/ (or $BUILD_DIR-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
[ "${1:-}" = "--sanitize" ] && sanitize=1
tools/install-deps.sh test
build=${BUILD_DIR:-build}
options=()
if [ "$sanitize" = 1 ]; then
  build="$build-asan"
  # -O1 keeps the instrumented suite fast enough for CI; no recovery, so any report fails the test.
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g"
  options=(-DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined")
  # Leak checking stays on: the suite, Qt's offscreen windows and the spawned CLI and sign
  # included, frees what it allocates (Qt's process-lifetime singletons are still reachable at
  # exit, which LSan does not report). Should a Qt update change that, suppress the library in a
  # file named by LSAN_OPTIONS=suppressions=... rather than turning leaks off.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMERIDIAL_BUILD_TESTS=ON -DMERIDIAL_WERROR=ON "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
cd - >/dev/null
# The sanitizers are a Linux build's; the Windows side is tested once, in the plain run.
[ "$sanitize" = 1 ] || tools/test-windows.sh
