#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual sign and points COM1 at it through a
# temporary settings file. With a display the sign is the graphical one, in its own window next
# to the program's (press "Transfer", watch the sign, then close the program's window); without
# one it runs one Transfer of a sample message from the command line and prints what the sign
# decoded. Then it stops the sign.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh demo
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

graphical=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ -z "${MERIDIAL_DEMO_CLI:-}" ]; then
  graphical=1
fi
if [ -n "$graphical" ]; then
  "$build/src/view/meridial-sign-view" --link "$work/sign" > "$work/sign.out" &
else
  "$build/src/sign/meridial-sign" --link "$work/sign" > "$work/sign.out" &
fi
sign_pid=$!
for _ in $(seq 50); do [ -e "$work/sign" ] && break; sleep 0.1; done
printf '[Sign]\ncomport=1\n[Ports]\nCOM1=%s\n' "$work/sign" > "$work/meridial.INI"
export MERIDIAL_SETTINGS="$work/meridial.INI"
echo "Virtual sign on $(head -n1 "$work/sign.out"), mapped to COM1 in $MERIDIAL_SETTINGS"

status=0
if [ -n "$graphical" ]; then
  echo "Opening the window: type a message, press \"Transfer\" and watch the sign's window;"
  echo "Help > Sign Preview... shows the same before sending. Close the window to end."
  "$build/src/qt/meridial" || status=$?
else
  "$build/src/cli/meridial-cli" transfer --id 0 --message "Welcome to Meridial" || status=$?
  sleep 0.3
  echo "--- what the virtual sign received ---"
  tail -n +2 "$work/sign.out"
fi
exit $status
