#!/usr/bin/env bash
# Installs the Debian 12 packages one command needs; skips what is there.
# Usage: tools/install-deps.sh [NEED]
#   build   compiler, CMake, Qt (with its HTTP server, for meridiald: Debian's package finds
#           its CMake files only with the WebSockets ones, which it does not depend on) and the
#           zone database: what building the programs takes
#   demo    build's, and xdpyinfo, with which tools/demo.sh looks for a display
#   windows MinGW-w64, GoogleTest's sources, Wine, python3 for the pseudo-terminal the Wine
#           tests map to COM1 and for the portable zip, NSIS for the installer: what
#           tools/build-windows.sh, tools/package-windows.sh and tools/test-windows.sh take
#   test    demo's and windows', and GoogleTest, lintian and dpkg-dev for the package check,
#           ser2net for the device-server tests and bench-fleet, mosquitto and its clients for
#           the MQTT bridge's test (the default)
set -euo pipefail
need=${1:-test}
build=(g++ cmake make pkg-config qt6-base-dev qt6-serialport-dev qt6-httpserver-dev qt6-websockets-dev
       libmosquitto-dev libgl-dev tzdata)
demo=("${build[@]}" x11-utils)
windows=(cmake make g++-mingw-w64-x86-64-posix googletest wine wine64 python3 nsis xvfb xauth xdotool)
test=("${demo[@]}" "${windows[@]}" libgtest-dev libgmock-dev dpkg-dev file lintian ser2net)
# The web page test drives headless Chromium with Selenium under /usr/bin/python3.
test+=(chromium chromium-driver python3-selenium mosquitto mosquitto-clients)
case $need in
  build) packages=("${build[@]}") ;;
  demo) packages=("${demo[@]}") ;;
  windows) packages=("${windows[@]}") ;;
  test) packages=("${test[@]}") ;;
  *) echo "usage: $0 [build|demo|windows|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# Debian's ser2net and mosquitto start their services when installed (ser2net serving
# /dev/ttyS0 on localhost:2000, mosquitto a broker on port 1883); the tests start instances of
# their own with their own configuration. Installed here, they are kept from starting (a
# policy-rc.d of our own while apt runs, unless the system has one) and from starting at boot.
daemons=()
for d in ser2net mosquitto; do
  if [[ " ${missing[*]} " == *" $d "* ]]; then daemons+=("$d"); fi
done
policy=/usr/sbin/policy-rc.d
our_policy=""
if [ ${#daemons[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  our_policy=1
  trap '$sudo rm -f "$policy"' EXIT
  printf '#!/bin/sh\n# Written by install-deps.sh while it installs packages: start no service.\nexit 101\n' |
    $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
fi

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

if [ -n "$our_policy" ]; then
  $sudo rm -f "$policy"
  trap - EXIT
fi
for d in "${daemons[@]}"; do
  now=""
  [ -d /run/systemd/system ] && now="--now"
  if command -v systemctl >/dev/null; then
    $sudo systemctl disable $now "$d.service" >/dev/null 2>&1
  elif command -v update-rc.d >/dev/null; then
    $sudo update-rc.d "$d" disable >/dev/null
  fi || echo "$d's own service could not be disabled: sudo systemctl disable --now $d"
done
