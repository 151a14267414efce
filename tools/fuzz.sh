#!/usr/bin/env bash
# Runs one fuzz target under libFuzzer (clang, ASan+UBSan) for a while, growing its corpus in a
# scratch copy; new crashes are left as crash-* files in the build folder.
#   tools/fuzz.sh TARGET SECONDS      TARGET: sign_decoder frame_roundtrip integer_text time_field_rules cli_options
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target}
seconds=${2:-60}
[ -d "fuzz/corpus/$target" ] || { echo "no such target: $target" >&2; exit 2; }
tools/install-deps.sh build
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi
build=${FUZZ_BUILD_DIR:-build-fuzz}
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DMERIDIAL_BUILD_TESTS=OFF -DMERIDIAL_BUILD_GUI=OFF \
  -DMERIDIAL_LIBFUZZER=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "fuzz-$target"
work="$build/corpus-$target"
mkdir -p "$work"
cp -n fuzz/corpus/"$target"/* "$work"/
cd "$build"
UBSAN_OPTIONS=print_stacktrace=1 "./fuzz/fuzz-$target" -max_total_time="$seconds" -print_final_stats=1 \
  "corpus-$target"
