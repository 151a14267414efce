#!/usr/bin/env bash
# Figures for Meridial.exe under Wine in Xvfb against the virtual sign (a benchmark, not a test:
# it prints, it does not judge). Needs build-win/ (tools/build-windows.sh) and the Linux
# meridial-sign (build/ or $BUILD_DIR). Under Wine every figure is Wine's as much as the
# program's: the working set is the Wine process's, the start time includes Wine's loader.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_WIN_DIR:-build-win}
program=$build/src/win32/Meridial.exe
texts=$build/tests/window-texts.exe
sign=${BUILD_DIR:-build}/src/sign/meridial-sign
for need in "$program" "$texts" "$sign"; do
  [ -e "$need" ] || { echo "bench/windows.sh: $need is missing" >&2; exit 1; }
done
prefix=$(mktemp -d "${TMPDIR:-/tmp}/meridial-bench.XXXXXX")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
sign_pid="" xvfb_pid="" app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$sign_pid" ] && kill "$sign_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
  rm -rf "$prefix"
}
trap 'cleanup || true' EXIT

# The trivial window to compare the start with: a class, a window, a message loop.
cat >"$prefix/hello.cpp" <<'CPP'
#include <windows.h>
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSW c{};
    c.lpfnWndProc = DefWindowProcW;
    c.hInstance = instance;
    c.lpszClassName = L"Hello";
    RegisterClassW(&c);
    HWND w = CreateWindowW(L"Hello", L"Hello", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                           nullptr, instance, nullptr);
    ShowWindow(w, show);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    return 0;
}
CPP
x86_64-w64-mingw32-g++ -O2 -static -s -mwindows -o "$prefix/hello.exe" "$prefix/hello.cpp"
cp "$program" "$prefix/"

timeout 180 wineboot -i >/dev/null 2>&1
"$sign" --link "$prefix/com1" --log "$prefix/sign.jsonl" >"$prefix/sign.out" &
sign_pid=$!
for _ in $(seq 50); do [ -L "$prefix/com1" ] && break; sleep 0.1; done
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$prefix/com1" /f >/dev/null
wineserver -w
wineserver 2>/dev/null
Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$prefix/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$prefix/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$prefix/display")
# A first run of each warms Wine's caches; what follows is the best of three.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
start_ms() {  # exe caption: milliseconds from launch to the mapped window
  local best="" began took
  for _ in 1 2 3 4; do
    began=$(now_ms)
    wine "$1" >/dev/null 2>&1 &
    app_pid=$!
    until xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1; do sleep 0.01; done
    took=$(($(now_ms) - began))
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
    sleep 0.5
    [ -z "$best" ] || [ "$took" -lt "$best" ] && best=$took
  done
  [ -n "$best" ] && echo "$best"
}
hello_ms=$(start_ms "$prefix/hello.exe" Hello)
meridial_ms=$(start_ms "$prefix/Meridial.exe" Meridial)

wine "$prefix/Meridial.exe" >/dev/null 2>&1 &
app_pid=$!
until window=$(xdotool search --onlyvisible --name '^Meridial$' 2>/dev/null | head -1); do sleep 0.05; done
sleep 2
rss_kb=$(awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status")
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 300)) $((Y + 110)) click 1
sleep 0.3
message="Hello Wine, a benchmark"
xdotool type --delay 20 "$message"
sleep 0.5
ticks() { awk '{print $14 + $15}' "/proc/$app_pid/stat"; }
: >"$prefix/sign.jsonl"
before=$(ticks) began=$(now_ms)
xdotool mousemove $((X + 300)) $((Y + 483)) click 1
until [ "$(wc -l <"$prefix/sign.jsonl")" -ge 3 ]; do sleep 0.01; done
# The box's arrival closes the transfer: the reply read and the outcome shown.
until wine "$texts" Meridial 2>/dev/null | grep -q '^#32770 '; do sleep 0.05; done
cpu_ticks=$(($(ticks) - before)) wall_ms=$(($(now_ms) - began))

python3 - "$prefix/sign.jsonl" "$(stat -c %s "$program")" "$rss_kb" "$hello_ms" "$meridial_ms" \
  "$cpu_ticks" "$(getconf CLK_TCK)" "$wall_ms" <<'PY'
import json, sys
log, size, rss, hello, meridial, ticks, hz, wall = sys.argv[1:]
frames = [json.loads(line) for line in open(log)]
span = frames[2]["lastByteMs"] - frames[0]["firstByteMs"]
message_bytes = len(frames[2]["hex"].split())
# Three header pauses of 100 ms, two frame pauses of 300 ms, 16 ms before every message byte.
pauses = 3 * 100 + 2 * 300 + message_bytes * 16
cpu_ms = 1000 * int(ticks) / int(hz)
rows = [
    ("Transfer, first to last byte ÷ the pauses", f"{span} ms / {pauses} ms = {span / pauses:.3f}", "<= 1.02"),
    ("Meridial.exe size", f"{int(size) / 1e6:.2f} MB", "<= 3 MB"),
    ("Working set after start (Wine's process)", f"{int(rss) / 1024:.1f} MB", "<= 20 MB"),
    ("Start to first window, Meridial ÷ hello", f"{meridial} ms / {hello} ms = {int(meridial) / int(hello):.2f}", "<= 1.5"),
    ("CPU during a Transfer (click to box)", f"{cpu_ms:.0f} ms in {wall} ms = {100 * cpu_ms / int(wall):.1f} %", "<= 2 %"),
]
for name, value, goal in rows:
    print(f"{name:44} {value:32} goal {goal}")
print("CPU is counted in 1/%s s ticks of the Wine process's utime+stime." % hz)
PY
