#!/usr/bin/env bash
# Builds the .deb from a build folder, lists it, unpacks it into a scratch root, runs the
# installed meridial-cli and meridiald from there, runs the maintainer scripts through an install,
# enable, removal and purge of the sync timer and the service there, and runs lintian on the
# package; any lintian error fails.
# Usage: tools/check-deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)

if ! command -v lintian >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
  echo "lintian or dpkg-shlibdeps missing: run tools/install-deps.sh"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
echo "== $(basename "$deb")"
dpkg-deb --field "$deb"
echo "== files"
dpkg-deb --contents "$deb" | awk '{print $1, $6}'

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/meridial-cli usr/bin/meridial-sign usr/bin/meridial-sign-view usr/bin/meridiald \
         usr/share/doc/meridial/copyright usr/share/doc/meridial/LICENSE \
         usr/share/doc/meridial/README.md usr/share/man/man1/meridial-cli.1.gz \
         usr/share/man/man1/meridial-sign.1.gz usr/share/man/man1/meridial-sign-view.1.gz \
         usr/share/bash-completion/completions/meridial-cli \
         usr/share/man/man8/meridiald.8.gz usr/lib/systemd/system/meridiald.service \
         usr/lib/systemd/system/meridial-sync.service usr/lib/systemd/system/meridial-sync.timer; do
  [ -e "$root/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done

# The installed CLI, with a home of its own so no settings file of this machine is read.
home="$work/home"
mkdir -p "$home"
run() { env -u MERIDIAL_SETTINGS HOME="$home" XDG_CONFIG_HOME="$home/.config" "$@"; }
echo "== installed meridial-cli"
run "$root/usr/bin/meridial-cli" --version | tee "$work/version"
grep -qx "meridial-cli [0-9][0-9.]*" "$work/version"
run "$root/usr/bin/meridial-cli" transfer --dry-run --id 3 --message HELLO >"$work/frames"
cat "$work/frames"
[ "$(wc -l <"$work/frames")" -eq 3 ] || { echo "--dry-run printed no three frames"; exit 1; }
# Run as root the program's folder is writable; the settings file must still be the user's.
run "$root/usr/bin/meridial-cli" ports | tee "$work/ports" | tail -n 1
grep -qx "Settings file: $home/.config/meridial/meridial.ini" "$work/ports" ||
  { echo "meridial-cli uses a settings file outside the user's configuration"; exit 1; }

run "$root/usr/bin/meridiald" --version | grep -qx "meridiald [0-9][0-9.]*" ||
  { echo "the installed meridiald does not run"; exit 1; }

echo "== maintainer scripts"
control="$work/control"
dpkg-deb --control "$deb" "$control"
for script in postinst prerm postrm; do
  [ -x "$control/$script" ] || { echo "missing from the package or not executable: $script"; exit 1; }
  sh -n "$control/$script" || { echo "$script is not valid shell"; exit 1; }
done
# Configured, the timer enabled as "systemctl enable" links it, removed and purged, all in the
# scratch root (DPKG_ROOT keeps the scripts off this machine's systemd): nothing of the units may
# be left under /etc/systemd or in the helper's state.
maint() {
  DPKG_ROOT="$root" DPKG_MAINTSCRIPT_PACKAGE=meridial DPKG_MAINTSCRIPT_NAME="$1" \
    sh "$control/$1" "$2" || { echo "$1 $2 failed"; exit 1; }
}
wants="$root/etc/systemd/system/timers.target.wants"
mkdir -p "$wants" "$root/var/lib/systemd"
maint postinst configure
ln -s /usr/lib/systemd/system/meridial-sync.timer "$wants/"
mkdir -p "$root/etc/systemd/system/multi-user.target.wants"
ln -s /usr/lib/systemd/system/meridiald.service "$root/etc/systemd/system/multi-user.target.wants/"
maint prerm remove
rm -r "$root/usr/lib/systemd"
maint postrm remove
maint postrm purge
left=$(find "$root/etc/systemd" "$root/var/lib/systemd" -name 'meridial*')
[ -z "$left" ] || { echo "left behind by a purge:"; echo "$left"; exit 1; }
echo "purge leaves no unit link"

echo "== lintian"
# Exit status 2 means errors were found, 1 that lintian itself failed.
status=0
lintian --info --display-info "$deb" >"$work/lintian" 2>&1 || status=$?
cat "$work/lintian"
if [ "$status" -ne 0 ] || grep -q '^E:' "$work/lintian"; then
  echo "lintian reported errors or failed (status $status)"
  exit 1
fi
echo "package check passed"
