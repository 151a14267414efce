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
installed=$SECONDS

# End to end: Meridial.exe in Xvfb against the Linux virtual sign on COM1, driven with xdotool:
# a typed message and Transfer put three frames in the sign's log; the outcome boxes for each
# answer of the sign; Ctrl+F9's SetID sends the reset; SetCom's OK writes the INI.
sign=${BUILD_DIR:-build}/src/sign/meridial-sign
texts=$build/tests/window-texts.exe
fail() { echo "test-windows: $*" >&2; exit 1; }
# One sign per reply mode, all on the same link: COM1 follows it, and the program opens the
# port afresh for every transfer, so neither Wine nor the program restarts.
sign_with() {
  if [ -n "$sign_pid" ]; then kill "$sign_pid"; wait "$sign_pid" 2>/dev/null || true; fi
  rm -f "$prefix/sign.jsonl" "$prefix/sign.out"
  "$sign" --reply "$1" --link "$prefix/com1" --log "$prefix/sign.jsonl" >"$prefix/sign.out" &
  sign_pid=$!
  for _ in $(seq 50); do [ -s "$prefix/sign.out" ] && [ -L "$prefix/com1" ] && break; sleep 0.1; done
}
frames() { wc -l <"$prefix/sign.jsonl" 2>/dev/null || echo 0; }
await_frames() { for _ in $(seq 150); do [ "$(frames)" -ge "$1" ] && break; sleep 0.1; done; }
# The visible top-level windows captioned $1, one line each: class, then the controls' texts
# (a status bar's first panel among them).
window_texts() { run 30 wine "$texts" "$1" 2>/dev/null | tr -d '\r'; }
# Waits for a window captioned $1 whose line matches the pattern $2, and prints that line.
await_window() {
  local line
  for _ in $(seq 40); do
    line=$(window_texts "$1" | grep -m1 -- "$2") && { echo "$line"; return 0; }
    sleep 0.25
  done
  return 1
}
await_gone() {
  for _ in $(seq 40); do window_texts "$1" | grep -q -- "$2" || return 0; sleep 0.25; done
  return 1
}
if [ -x "$sign" ] && [ -f "$texts" ] && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  sign_with ack
  run 60 wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$prefix/com1" /f >/dev/null
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
  [ -n "$window" ] || fail "no window captioned Meridial"
  # Found as soon as it exists; mapped and drawn a little later.
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # The editor, then Transfer, at their places in the window's fixed layout.
  xdotool mousemove $((X + 300)) $((Y + 110)) click 1
  sleep 0.5
  xdotool type --delay 30 "Hello Wine"
  sleep 0.5
  # Transfer against the sign answering $1: three frames, the box saying $2, the status bar $3.
  transfer() {
    sign_with "$1"
    xdotool mousemove $((X + 300)) $((Y + 483)) click 1
    await_frames 3
    box=$(await_window Meridial "^#32770 .*$2") ||
      fail "after a transfer to a sign answering $1, no box saying '$2'"
    # For the eye: the window with the Transfer's outcome box.
    [ "$1" = ack ] && command -v import >/dev/null && import -window root "${TMPDIR:-/tmp}/meridial-wine.png"
    # After a failure the status bar says so; the next good transfer clears it.
    status=$(window_texts Meridial | grep -m1 '^Meridial') || fail "the window went"
    if [ -n "$3" ]; then
      grep -q " | $3\( |\|$\)" <<<"$status" ||
        fail "after a transfer to a sign answering $1, the status bar does not say '$3'"
    elif grep -q 'Error' <<<"$status"; then
      fail "after a transfer to a sign answering $1, the window still shows an error: $status"
    fi
    # The box takes Return, and the window is the operator's again.
    xdotool key Return
    await_gone Meridial '^#32770 ' || fail "the box '$2' did not go on Return"
    frames=$(grep -c '"checksumOk":true' "$prefix/sign.jsonl" || true)
    grep -q '"body":"Hello Wine"' "$prefix/sign.jsonl" && [ "$frames" -eq 3 ] ||
      fail "the sign answering $1 received $frames good frames, not the three of a Transfer"
  }
  transfer nak 'Transmission Error\.' 'Sending Date&Time Error'
  transfer ack 'Transmission OK\.' ''
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
      fail "$(printf 'frames differ from the dry run\n%s\n%s' "$received" "$expected")"
    echo "test-windows: Meridial.exe's Transfer is byte-identical to meridial-cli's dry run"
  fi
  transfer silent 'Transmission Error\.' 'Sending Date&Time Error'
  echo "test-windows: the outcome boxes for ack, nak and silent"

  # Ctrl+F9, SetID's OK and the question's Yes: one reset frame giving the sign ID 01.
  sign_with ack
  xdotool key ctrl+F9
  await_window SetID '^MeridialSetID' >/dev/null || fail "Ctrl+F9 showed no window captioned SetID"
  xdotool key Return
  await_window Meridial '^#32770 .*Confirm to Reset ID' >/dev/null || fail "SetID's OK asked nothing"
  xdotool key Return
  await_frames 1
  sleep 0.3
  [ "$(frames)" -eq 1 ] && grep -q '"kind":"reset".*"decoded":{"newId":"01"}' "$prefix/sign.jsonl" ||
    fail "$(printf 'SetID sent not the one reset frame for Sign ID 01:\n%s' "$(cat "$prefix/sign.jsonl" 2>/dev/null)")"
  xdotool key Escape
  await_gone SetID '^MeridialSetID' || fail "SetID did not go on Escape"
  echo "test-windows: Ctrl+F9, SetID, Yes sent the reset for Sign ID 01"

  # SetCom from the menu: COM3 and OK write the INI beside the program.
  xdotool key F10 Down Return
  await_window SetCom '^MeridialSetCom' >/dev/null || fail "Set Com... showed no window captioned SetCom"
  # From OK back to the list, then its third entry.
  xdotool key shift+Tab Home Down Down Return
  await_gone SetCom '^MeridialSetCom' || fail "SetCom did not go on OK"
  for _ in $(seq 20); do grep -qx 'comport=3' "$prefix/Meridial.INI" 2>/dev/null && break; sleep 0.1; done
  python3 -c 'import configparser,sys
c = configparser.ConfigParser(); c.read(sys.argv[1])
sys.exit(0 if c.get("Sign", "comport", fallback="") == "3" else 1)' "$prefix/Meridial.INI" ||
    fail "$(printf 'SetCom'"'"'s OK left Meridial.INI without comport=3 under [Sign]:\n%s' "$(cat "$prefix/Meridial.INI" 2>/dev/null)")"
  echo "test-windows: SetCom wrote comport=3 into Meridial.INI"
  wineserver -k
else
  echo "test-windows: end to end SKIPPED (needs $sign, $texts, Xvfb and xdotool)"
fi
echo "test-windows: build $((built - began)) s, Wine prefix $((booted - built)) s," \
  "tests $((tested - booted)) s, installer $((installed - tested)) s, end to end $((SECONDS - installed)) s"
