#!/usr/bin/env bash
# The Debian package as a user gets it: builds it (scripts/package.sh), installs it with apt-get,
# upgrades the installed virtual module with the installed command-line program, checks that
# the wizard, the man pages, the desktop entry and the icons are in place, then removes the
# package and checks that its files are gone. Installs into /usr: run as root or with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
fail() { echo "$*" >&2; exit 1; }

deb=$(bash scripts/package.sh | tail -n 1)
echo "== package $deb"
dpkg-deb --field "$deb" Package Version Depends
# The windows are measured with these faces; without them texts overflow.
for need in qt6-qpa-plugins fonts-liberation; do
  dpkg-deb --field "$deb" Depends | grep -qw -- "$need" || fail "the package does not depend on $need"
done
dpkg-deb --contents "$deb"
pkg=$(dpkg-deb --field "$deb" Package)
work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -z "$sim_pid" ] || { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
  rm -rf "$work"
  # A failed check must not leave the package behind.
  if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    $SUDO apt-get remove -y -q "$pkg" >/dev/null || true
  fi
}
trap cleanup EXIT

echo "== apt-get install $deb"
# apt reads a local package as its unprivileged download user; a copy in /tmp is readable.
cp "$deb" "$work/" && chmod 755 "$work"
$SUDO apt-get install -y -q --reinstall "$work/$(basename "$deb")"
files=(/usr/bin/tarvel-upgrade /usr/bin/tarvel-upgrade-cli /usr/bin/tarvel-sim
  /usr/share/man/man1/tarvel-upgrade.1 /usr/share/man/man1/tarvel-upgrade-cli.1 /usr/share/man/man1/tarvel-sim.1
  /usr/share/applications/tarvel-upgrade.desktop /usr/share/bash-completion/completions/tarvel-upgrade-cli
  /usr/share/icons/hicolor/48x48/apps/tarvel-upgrade.png /usr/share/icons/hicolor/128x128/apps/tarvel-upgrade.png)
for f in "${files[@]}"; do [ -s "$f" ] || fail "missing after install: $f"; done
for size in 48 128; do
  kind=$(file -b "/usr/share/icons/hicolor/${size}x$size/apps/tarvel-upgrade.png")
  [[ $kind == "PNG image data, $size x $size,"* ]] || fail "icon ${size}x$size: $kind"
done
desktop-file-validate /usr/share/applications/tarvel-upgrade.desktop
for page in tarvel-upgrade tarvel-upgrade-cli tarvel-sim; do
  # Roff mistakes show as warnings; a page must format cleanly.
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man $page: $out"
done
bash -c 'source /usr/share/bash-completion/completions/tarvel-upgrade-cli && complete -p tarvel-upgrade-cli' >/dev/null
# Every library of the wizard comes from the package's dependencies.
missing=$(ldd /usr/bin/tarvel-upgrade | grep "not found" || true)
[ -z "$missing" ] || fail "tarvel-upgrade lacks: $missing"
echo "installed files, menu entry and man pages in place"

echo "== installed tarvel-upgrade-cli against the installed tarvel-sim"
head -c 16384 /dev/urandom > "$work/tarvelboot.dmf"
head -c 65536 /dev/urandom > "$work/tarvel.dmf"
tarvel-sim --link "$work/tty" --store "$work/received" > "$work/sim.out" 2> "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do
  [ -L "$work/tty" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; fail "tarvel-sim did not start"; }
  sleep 0.1
done
status=0
timeout 600 tarvel-upgrade-cli -y -o "$work/tty" -b "$work/tarvelboot.dmf" -c "$work/tarvel.dmf" || status=$?
echo "tarvel-upgrade-cli exit status: $status"
sleep 0.5
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true
sim_pid=""
[ "$status" -eq 0 ] || { cat "$work/sim.log" >&2; exit 1; }
for f in tarvelboot.dmf tarvel.dmf; do cmp "$work/$f" "$work/received/$f"; done
echo "the installed module received both files intact"

echo "== apt-get remove $pkg"
$SUDO apt-get remove -y -q "$pkg"
for f in "${files[@]}"; do [ ! -e "$f" ] || fail "left behind after removal: $f"; done
echo "package removed, its files are gone"
