#!/usr/bin/env bash
# Cross-builds the Windows side (tools/build-windows.sh) and runs its tests under Wine:
# core_tests.exe, and win32_tests.exe against the real Win32 API with COM1 mapped to a
# pseudo-terminal that sends every byte back; then packages it (tools/package-windows.sh) and
# installs and uninstalls the installer silently (tools/check-windows-installer.sh). One fresh
# Wine prefix per run, removed at the end.
# Skips (exit 0, with a message) only when Wine cannot run on this machine at all.
set -euo pipefail
cd "$(dirname "$0")/.."
began=$SECONDS
tools/build-windows.sh
build=${BUILD_WIN_DIR:-build-win}
program=$build/src/win32/Meridial.exe
tools/package-windows.sh "$program" >/dev/null
built=$SECONDS

if ! wine --version >/dev/null 2>&1; then
  echo "test-windows: SKIPPED, wine cannot run on this machine ($(wine --version 2>&1 | head -1))"
  exit 0
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/meridial-wine.XXXXXX")
export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko: they are not needed, and their installers would ask on a display. No menu
# builder: it would turn the installer's Start-menu entry into a desktop file in $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
loopback_pid=""
sign_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$loopback_pid" ] && kill "$loopback_pid" 2>/dev/null
  [ -n "$sign_pid" ] && kill "$sign_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  # The server saves the registry as it ends: only then is the prefix done with.
  wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
  rm -rf "$prefix"
}
on_exit() {
  local status=$?
  cleanup || true
  exit "$status"
}
trap on_exit EXIT

# A hung Wine must fail the run, not stall it.
run() { timeout --kill-after=10 "$1" "${@:2}"; }

run 180 wineboot -i >/dev/null 2>&1 || { echo "test-windows: wineboot -i failed in $prefix" >&2; exit 1; }

# Wine rewrites dosdevices/com1 when it starts; the registry's Ports key is what it follows.
exec {loopback_in}> >(exec python3 tools/pty-loopback.py >"$prefix/pty")
loopback_pid=$!
for _ in $(seq 50); do [ -s "$prefix/pty" ] && break; sleep 0.1; done
pty=$(head -1 "$prefix/pty")
[ -c "$pty" ] || { echo "test-windows: no pseudo-terminal from pty-loopback.py" >&2; exit 1; }
run 60 wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty" /f >/dev/null
run 60 wineserver -w
# A server of our own, so that what it prints when it ends goes to its log, not the run's.
wineserver 2>"$prefix/wineserver.log"
booted=$SECONDS

run 120 wine "$build/tests/core_tests.exe" --gtest_brief=1
# A read that never times out would hang here; the time-out makes it a failure.
MERIDIAL_LOOPBACK_COM1=1 TZ=Asia/Tokyo run 120 wine "$build/tests/win32_tests.exe" --gtest_brief=1
# The line settings the link's last open left on the terminal, seen from the Linux side.
exec {loopback_in}>&-
for _ in $(seq 50); do [ "$(wc -l <"$prefix/pty")" -ge 2 ] && break; sleep 0.1; done
line=$(sed -n 2p "$prefix/pty")
[ "$line" = "19200 8N1" ] || { echo "test-windows: COM1 was left at '$line', not 19200 8N1" >&2; exit 1; }
tested=$SECONDS
tools/check-windows-installer.sh "$program"
run 60 wineserver -w

# End to end: Meridial.exe in Xvfb against the Linux virtual sign on COM1, driven with xdotool:
# a typed message and Transfer put three frames in the sign's log.
sign=${BUILD_DIR:-build}/src/sign/meridial-sign
if [ -x "$sign" ] && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  "$sign" --log "$prefix/sign.jsonl" >"$prefix/sign.out" &
  sign_pid=$!
  for _ in $(seq 50); do [ -s "$prefix/sign.out" ] && break; sleep 0.1; done
  run 60 wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$(head -1 "$prefix/sign.out")" /f >/dev/null
  run 60 wineserver -w
  # A display of its own: Xvfb picks a free number and says which.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$prefix/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$prefix/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -1 "$prefix/display")
  cp "$build/src/win32/Meridial.exe" "$prefix/"
  wine "$prefix/Meridial.exe" >/dev/null 2>&1 &
  window=""
  for _ in $(seq 60); do
    window=$(xdotool search --name '^Meridial$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || { echo "test-windows: no window captioned Meridial" >&2; exit 1; }
  # Found as soon as it exists; mapped and drawn a little later.
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The editor, then Transfer, at their places in the window's fixed layout.
  xdotool mousemove $((X + 300)) $((Y + 110)) click 1
  sleep 0.5
  xdotool type --delay 30 "Hello Wine"
  sleep 0.5
  xdotool mousemove $((X + 300)) $((Y + 483)) click 1
  for _ in $(seq 150); do [ "$(wc -l <"$prefix/sign.jsonl" 2>/dev/null || echo 0)" -ge 3 ] && break; sleep 0.1; done
  # For the eye: the window with the Transfer's outcome box.
  command -v import >/dev/null && import -window root "${TMPDIR:-/tmp}/meridial-wine.png"
  frames=$(grep -c '"checksumOk":true' "$prefix/sign.jsonl" || true)
  grep -q '"body":"Hello Wine"' "$prefix/sign.jsonl" && [ "$frames" -eq 3 ] ||
    { echo "test-windows: the sign received $frames good frames, not the three of a Transfer" >&2; exit 1; }
  # Byte for byte what the Linux program builds for the same values: its dry run at the moment
  # the window's clock frame carried.
  cli=${BUILD_DIR:-build}/src/cli/meridial-cli
  if [ -x "$cli" ]; then
    read -r date time < <(python3 -c 'import json,sys
u = json.loads(open(sys.argv[1]).readline())["decoded"]["utc"]
print(u[:10], u[11:19])' "$prefix/sign.jsonl")
    expected=$(TZ=UTC MERIDIAL_SETTINGS=/nonexistent "$cli" transfer --dry-run --message "Hello Wine" \
      --date "$date" --time "$time")
    received=$(python3 -c 'import json,sys
for line in open(sys.argv[1]): print(json.loads(line)["hex"])' "$prefix/sign.jsonl")
    [ "$received" = "$expected" ] ||
      { printf 'test-windows: frames differ from the dry run\n%s\n%s\n' "$received" "$expected" >&2; exit 1; }
    echo "test-windows: Meridial.exe's Transfer is byte-identical to meridial-cli's dry run"
  fi
  wineserver -k
else
  echo "test-windows: end to end SKIPPED (needs $sign, Xvfb and xdotool)"
fi
echo "test-windows: build $((built - began)) s, Wine prefix $((booted - built)) s," \
  "tests $((tested - booted)) s, installer $((SECONDS - tested)) s"
