#!/usr/bin/env bash
# Makes what a Windows user downloads, from the cross build in build-win/ (or $BUILD_WIN_DIR):
#   build-win/dist/Meridial-<version>-portable.zip   Meridial.exe, meridialmanual.txt, LICENSE
#   build-win/dist/Meridial-<version>-setup.exe      the NSIS installer (cmake/windows/meridial.nsi)
# Usage: tools/package-windows.sh [EXE]   the program to package, build-win/src/win32/Meridial.exe
# by default; it is named Meridial.exe inside either way. The version is the CMake project's.
# No Meridial.INI is packaged: SetCom's first "OK" writes it beside the program.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_WIN_DIR:-build-win}
exe=${1:-$build/src/win32/Meridial.exe}
[ -f "$exe" ] || { echo "package-windows: no program at $exe (run tools/build-windows.sh)" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)
[ -n "$version" ] || { echo "package-windows: no project version in $build/CMakeCache.txt" >&2; exit 1; }
command -v makensis >/dev/null || tools/install-deps.sh windows

dist=$build/dist
zip=$dist/Meridial-$version-portable.zip
setup=$dist/Meridial-$version-setup.exe
mkdir -p "$dist"
rm -f "$zip" "$setup"

python3 - "$zip" "$exe" doc/meridialmanual.txt LICENSE <<'EOF'
import sys, zipfile
target, exe, manual, licence = sys.argv[1:]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for source, name in ((exe, "Meridial.exe"), (manual, "meridialmanual.txt"), (licence, "LICENSE")):
        z.write(source, name)
EOF

makensis -V2 -WX -NOCD -DVERSION="$version" -DEXE="$exe" -DMANUAL=doc/meridialmanual.txt \
  -DLICENSE=LICENSE -DOUTFILE="$setup" cmake/windows/meridial.nsi
echo "package-windows: $zip, $setup"
