#!/usr/bin/env bash
# The Debian package, built and tried as the README's "Install" section says:
# installs the packaging tools and the build dependencies, builds the source
# package and, from the same clean copy of the tree, the binary package with
# `dpkg-buildpackage -us -uc -b` (in build-deb/), fails on any lintian error
# or warning, checks what the package holds, installs it, runs the installed
# /usr/bin/zolmek against the installed emulator for one key press, and
# removes the package again. Needs root or sudo (apt-get).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$SECONDS

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
updated=""
apt_update() {
  [ -n "$updated" ] || scripts/apt-update.sh
  updated=1
}

echo "== Package: tools and build dependencies"
scripts/install-packages.sh dpkg-dev lintian >/dev/null
if ! dpkg-checkbuilddeps 2>/dev/null; then
  apt_update
  $sudo apt-get build-dep -y -qq ./ >/dev/null
fi
echo "   ready after $((SECONDS - start)) s"

echo "== Package: build from a clean copy of the tree"
build_start=$SECONDS
out="$root/build-deb"
src="$out/zolmek"
rm -rf "$out"
mkdir -p "$src"
# The files git knows and the new ones it does not ignore, as they are now
# (so uncommitted changes are packaged too); no build folders.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do
    if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
  done | tar -c --null -T - | tar -x -C "$src"
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
multiarch=$(dpkg-architecture -q DEB_HOST_MULTIARCH)
(cd "$out" && dpkg-source --build zolmek >source.log 2>&1) ||
  { cat "$out/source.log" >&2; exit 1; }
(cd "$src" && dpkg-buildpackage -us -uc -b -j"$(nproc)" >"$out/build.log" 2>&1) ||
  { tail -50 "$out/build.log" >&2; exit 1; }
deb="$out/zolmek_${version}_${arch}.deb"
echo "   built $(basename "$deb") in $((SECONDS - build_start)) s"

echo "== Package: lintian"
lintian --fail-on error,warning "$out/zolmek_${version}.dsc" \
  "$out/zolmek_${version}_${arch}.changes"
echo "   no errors, no warnings"

echo "== Package: contents"
contents=$(dpkg-deb -c "$deb")
echo "$contents"
for f in usr/bin/zolmek usr/bin/zolmek-remote \
  "usr/lib/$multiarch/zolmek/libzolmek-hid.so.1" \
  "usr/lib/$multiarch/zolmek/emulator/libzolmek-hid.so.1" \
  usr/lib/udev/rules.d/70-zolmek.rules usr/share/zolmek/test1.wav \
  usr/share/man/man1/zolmek.1.gz usr/share/man/man1/zolmek-remote.1.gz \
  usr/lib/systemd/user/zolmek.service \
  usr/share/doc/zolmek/copyright usr/share/doc/zolmek/examples/keymap.conf; do
  if [[ "$contents"$'\n' != *" ./$f"$'\n'* ]]; then
    echo "the package lacks /$f" >&2
    exit 1
  fi
done

echo "== Package: install, run the installed zolmek, remove"
installed=""
cleanup() {
  [ -z "$installed" ] || $sudo apt-get purge -y -qq zolmek >/dev/null
  [ -z "${run_dir:-}" ] || rm -rf "$run_dir"
}
trap cleanup EXIT
$sudo apt-get install -y -qq --no-install-recommends --reinstall "$deb" \
  >/dev/null
installed=1

# Without LD_LIBRARY_PATH the loader finds the real transport through the
# program's RUNPATH, in the private folder.
libraries=$(ldd /usr/bin/zolmek)
transport=""
if [[ "$libraries" =~ libzolmek-hid\.so\.1\ =\>\ ([^ ]+) ]]; then
  transport=$(realpath "${BASH_REMATCH[1]}")
fi
if [ "$transport" != "/usr/lib/$multiarch/zolmek/libzolmek-hid.so.1" ]; then
  echo "/usr/bin/zolmek does not find its transport:" >&2
  echo "$libraries" >&2
  exit 1
fi

# With it, the emulator: a 5 pressed at scan pass 3, then Home.
run_dir=$(mktemp -d)
printf 'press 5 3\nhome 60\n' >"$run_dir/scenario"
cp /usr/share/zolmek/test1.wav "$run_dir/"
status=0
output=$(cd "$run_dir" && env -u DISPLAY -u WAYLAND_DISPLAY \
  LD_LIBRARY_PATH="/usr/lib/$multiarch/zolmek/emulator" \
  ZOLMEK_EMU_SCENARIO="$run_dir/scenario" SDL_AUDIODRIVER=dummy \
  timeout 30 /usr/bin/zolmek </dev/null 2>"$run_dir/stderr") || status=$?
if [ "$status" -ne 0 ] || [[ $'\n'"$output"$'\n' != *$'\npress (5)\n'* ]]; then
  echo "the installed zolmek: exit status $status, output:" >&2
  echo "$output" >&2
  cat "$run_dir/stderr" >&2
  exit 1
fi
echo "   /usr/bin/zolmek printed 'press (5)' and exited 0"

# The user unit as installed: systemd's own check (its program and man page
# must be there), and the example key map the package ships is good.
unit=/usr/lib/systemd/user/zolmek.service
runtime=$(mktemp -d)
XDG_RUNTIME_DIR=$runtime systemd-analyze verify --user "$unit"
rm -rf "$runtime"  # systemd leaves its own folders there
echo "   systemd-analyze verify --user $unit: no complaints"
/usr/bin/zolmek --check-keymap /usr/share/doc/zolmek/examples/keymap.conf >/dev/null
echo "   zolmek --check-keymap of the example map: good"

$sudo apt-get purge -y -qq zolmek >/dev/null
installed=""
if [ -e /usr/bin/zolmek ]; then
  echo "/usr/bin/zolmek is still there after removing the package" >&2
  exit 1
fi
echo "   removed; the package check took $((SECONDS - start)) s"
