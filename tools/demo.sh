#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual sign and points COM1 at it through a
# temporary settings file. With a display it opens the program's window on that sign (press
# "Transfer", then close the window); without one it runs one Transfer of a sample message from
# the command line. Then it prints what the sign decoded and stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${BUILD_DIR:-build-demo}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMERIDIAL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

work=$(mktemp -d)
sign_pid=""
cleanup() {
  [ -n "$sign_pid" ] && kill "$sign_pid" 2>/dev/null && wait "$sign_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/src/sign/meridial-sign" --link "$work/sign" > "$work/sign.out" &
sign_pid=$!
for _ in $(seq 50); do [ -e "$work/sign" ] && break; sleep 0.1; done
printf '[Sign]\ncomport=1\n[Ports]\nCOM1=%s\n' "$work/sign" > "$work/meridial.INI"
export MERIDIAL_SETTINGS="$work/meridial.INI"
echo "Virtual sign on $(head -n1 "$work/sign.out"), mapped to COM1 in $MERIDIAL_SETTINGS"

status=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ -z "${MERIDIAL_DEMO_CLI:-}" ]; then
  echo "Opening the window: type a message, press \"Transfer\", then close the window."
  "$build/src/app/meridial" || status=$?
else
  "$build/src/cli/meridial-cli" transfer --id 0 --message "Welcome to Meridial" || status=$?
fi
sleep 0.3
echo "--- what the virtual sign received ---"
tail -n +2 "$work/sign.out"
exit $status
