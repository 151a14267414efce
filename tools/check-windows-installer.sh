#!/usr/bin/env bash
# Checks what tools/package-windows.sh made, in the Wine prefix $WINEPREFIX (tools/test-windows.sh
# runs it in its own): the zip holds exactly the three files; the installer, run with /S, puts the
# program, read-me, licence and uninstaller in Program Files\Meridial, the Start-menu entry for all
# users and the Apps entry; the uninstaller, run with /S, takes all of them away again.
# Usage: tools/check-windows-installer.sh EXE   the program that was packaged
set -euo pipefail
cd "$(dirname "$0")/.."
: "${WINEPREFIX:?run it in a Wine prefix, as tools/test-windows.sh does}"
exe=$1
build=${BUILD_WIN_DIR:-build-win}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$build/dist/Meridial-$version-portable.zip
setup=$build/dist/Meridial-$version-setup.exe
fail() { echo "check-windows-installer: $*" >&2; exit 1; }
run() { timeout --kill-after=10 "$1" "${@:2}"; }

entries=$(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$zip")
[ "$entries" = "Meridial.exe meridialmanual.txt LICENSE" ] || fail "$zip holds '$entries'"

dir=$WINEPREFIX/drive_c/Program\ Files/Meridial
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Meridial.lnk
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Meridial'
windir='C:\Program Files\Meridial'

run 120 wine "$setup" /S || fail "$setup /S ended with status $?"
cmp -s "$exe" "$dir/Meridial.exe" || fail "$dir/Meridial.exe is not $exe"
cmp -s doc/meridialmanual.txt "$dir/meridialmanual.txt" || fail "$dir/meridialmanual.txt differs"
cmp -s LICENSE "$dir/LICENSE" || fail "$dir/LICENSE differs"
[ -f "$dir/uninstall.exe" ] || fail "no $dir/uninstall.exe"
[ ! -e "$dir/Meridial.INI" ] || fail "the installer put a Meridial.INI in $dir"
[ -f "$shortcut" ] || fail "no Start-menu entry $shortcut"

values=$(run 60 wine reg query "$key" | tr -d '\r') || fail "no registry key $key"
value() { sed -n "s/^    $1    REG_[A-Z]*    //p" <<<"$values"; }
expect() { [ "$(value "$1")" = "$2" ] || fail "$key $1 is '$(value "$1")', not '$2'"; }
expect DisplayName Meridial
expect DisplayVersion "$version"
expect Publisher "Meridial contributors"
expect InstallLocation "$windir"
expect UninstallString "\"$windir\\uninstall.exe\""
expect QuietUninstallString "\"$windir\\uninstall.exe\" /S"
expect NoModify 0x1
expect NoRepair 0x1
size=$(value EstimatedSize)
[ -n "$size" ] && [ $((size)) -ge $(($(stat -c %s "$exe") / 1024)) ] ||
  fail "$key EstimatedSize is '$size' KB, less than the program alone"

# An NSIS uninstaller copies itself to the temporary folder, starts that copy and ends at once;
# the copy does the work, the registry key last.
run 60 wine "$windir\\uninstall.exe" /S || fail "uninstall.exe /S ended with status $?"
for _ in $(seq 100); do [ -e "$dir" ] || break; sleep 0.2; done
[ ! -e "$dir" ] || fail "$dir is still there after the uninstaller: $(ls "$dir")"
for _ in $(seq 20); do run 60 wine reg query "$key" >/dev/null 2>&1 || break; sleep 0.5; done
! run 60 wine reg query "$key" >/dev/null 2>&1 || fail "$key is still there after the uninstaller"
[ ! -e "$shortcut" ] || fail "$shortcut is still there after the uninstaller"
