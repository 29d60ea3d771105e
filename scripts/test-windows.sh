#!/usr/bin/env bash
# The Windows build, made and tested here: installs the mingw-w64 -posix
# compilers, wine (64- and 32-bit) and GoogleTest's sources, finds out which
# Windows programs this machine runs, makes the wine prefix once, before any
# wine process needs it, cross-builds zolmek for x86_64 (build-win64) and
# i686 (build-win32) with warnings as errors, runs the tests of each build
# this machine can run under wine, checks that the DLLs export the eight
# functions undecorated and that the real one goes through HID.DLL and
# SETUPAPI.DLL, and makes the zips.
#
# Some machines refuse i386 programs (their kernel has 32-bit support, but
# starting one fails with "Exec format error"): there wine's 32-bit loader
# cannot run, so the i686 build's programs run in the VM test's system tier
# instead, whose kernel runs them. tests/vm/system_i686.sh reads what was
# found here from build-win64/wine-machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-packages.sh cmake make g++-mingw-w64-x86-64-posix \
  g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 \
  wine wine64 googletest bsdutils
# wine's 32-bit side on its own: it needs the i386 builds of every library
# wine uses, at the versions of the amd64 ones, so a mirror whose i386
# security list is broken (one served a stale one for days) cannot give
# it. Without it the i686 build is still built and checked here; only its
# programs have nowhere to run, and the line below and the system tier say
# so.
wine32_missing=""
if ! wine32_log=$(scripts/install-packages.sh wine32:i386 2>&1); then
  printf '%s\n' "$wine32_log" | tail -n 5 >&2
  wine32_missing="wine32:i386 cannot be installed from this machine's package lists"
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] || jobs=2

# --- What this machine runs ---------------------------------------------------
# The loaders themselves, not Debian's `wine` script: it picks the 32-bit
# loader whenever that is installed, whether or not it can run.
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
i386_status=0
i386_said=$("$wine32" --version 2>&1) || i386_status=$?
if [ -n "$wine32_missing" ]; then
  host_i386=no
  echo "== wine: $wine32_missing (its output is above): the x86_64 build's" \
    "tests run here, the i686 build is built and checked here but its" \
    "programs run nowhere on this machine"
elif [ "$i386_status" -eq 0 ]; then
  host_i386=yes
  echo "== wine: this machine runs x86_64 and i386 programs: both Windows" \
    "builds' tests run here; the VM's system tier runs the x86_64 build"
else
  host_i386=no
  echo "== wine: this machine runs x86_64 programs but not i386 ones" \
    "($wine32: ${i386_said##*: }): the x86_64 build's tests run here, the" \
    "i686 build is built and checked here and runs in the VM's system tier"
fi
mkdir -p build-win64
printf 'host_i386=%s\nwine32_missing="%s"\n' "$host_i386" "$wine32_missing" \
  >build-win64/wine-machine

# --- The wine prefix ------------------------------------------------------------
# One prefix of our own, made completely before anything runs in it: the
# first wine process in an empty prefix makes it itself, which takes 10 s and
# more, long enough for whatever started it (ctest's test discovery) to give
# up. Quiet, and without sound drivers (there is no sound device here;
# PlaySoundA then returns at once). Its 32-bit side (syswow64) is made only
# where the 32-bit loader runs. The marker is written once the prefix is
# whole; a prefix without it, or without the 32-bit side this machine could
# make, is made anew.
export WINEPREFIX="$root/build-win64/wineprefix"
export WINEDEBUG=err+module,-all
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d"
marker="$WINEPREFIX/.zolmek-prefix"
prefix_whole() {
  [ -e "$marker" ] && [ -e "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] &&
    { [ "$host_i386" = no ] || [ -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; }
}
if ! prefix_whole; then
  start=$SECONDS
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  log="$root/build-win64/wineprefix.log"
  # wine-mono and wine-gecko are not installed and not needed: not asked for.
  if ! WINEDEBUG=fixme-all WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES" \
    "$wine64" wineboot --init </dev/null >"$log" 2>&1 ||
    ! wineserver -w >>"$log" 2>&1 || ! touch "$marker" || ! prefix_whole; then
    cat "$log" >&2
    echo "wine could not make its prefix in $WINEPREFIX (wine64 wineboot --init; its output is above)" >&2
    exit 1
  fi
  echo "   prefix made in $((SECONDS - start)) s"
fi
# wineserver is started first and kept, or every run waits ~3 s for it to
# exit. wine's own background programs (services.exe, winedevice.exe,
# explorer.exe) start with the first program run in it, keep that program's
# output open and, with the server kept, stay: started by ctest's test
# discovery, they would hold its pipe open until it gives up after 60 s.
# One run of cmd starts them here, their output going nowhere.
wineserver -p
"$wine64" cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

echo "== Windows x86_64: build"
start=$SECONDS
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOLMEK_BENCHMARKS=OFF >/dev/null
cmake --build build-win64 -j "$jobs"
echo "   built in $((SECONDS - start)) s"

echo "== Windows x86_64: tests under wine"
start=$SECONDS
(cd build-win64 && ctest --output-on-failure -j "$jobs")
echo "   tested in $((SECONDS - start)) s"

echo "== Windows i686: build"
start=$SECONDS
i686_wine=""
[ "$host_i386" = no ] || i686_wine=$wine32
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOLMEK_BENCHMARKS=OFF \
  "-DZOLMEK_KEY_SOUND_FILE=$root/build-win64/test1.wav" \
  "-DZOLMEK_WINE32=$i686_wine" >/dev/null
cmake --build build-win32 -j "$jobs"
echo "   built in $((SECONDS - start)) s"

if [ "$host_i386" = yes ]; then
  echo "== Windows i686: tests under wine"
  start=$SECONDS
  (cd build-win32 && ctest --output-on-failure -j "$jobs")
  echo "   tested in $((SECONDS - start)) s"
fi

echo "== Exports of the transport DLLs"
expected="CloseHidHandle GetHidDevicePath GetHidNote OpenHidHandle ReadReport ReadReportTimeout WaitForHidDevice WriteReport"
for arch in win64:x86_64 win32:i686; do
  dir=build-${arch%%:*}
  for dll in "$dir/zolmek-hid.dll" "$dir/emulator/zolmek-hid.dll"; do
    names=$("${arch##*:}-w64-mingw32-objdump" -p "$dll" |
      sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      awk '/^\t\[/ {print $NF}' | grep -v '^_Z' | sort | tr '\n' ' ')
    if [ "${names% }" != "$expected" ]; then
      echo "$dll exports: $names (want: $expected)" >&2
      exit 1
    fi
    for dep in libstdc++-6.dll libgcc_s libwinpthread-1.dll; do
      imports=$("${arch##*:}-w64-mingw32-objdump" -p "$dll" "$dir/zolmek.exe")
      if grep -qi "DLL Name: $dep" <<<"$imports"; then
        echo "$dll or zolmek.exe needs $dep: not linked statically" >&2
        exit 1
      fi
    done
  done
done
echo "   eight undecorated exports each, no mingw runtime DLLs"

echo "== The real transport DLLs use the Win32 HID API"
for arch in win64:x86_64 win32:i686; do
  dll=build-${arch%%:*}/zolmek-hid.dll
  imports=$("${arch##*:}-w64-mingw32-objdump" -p "$dll")
  for dep in HID.DLL SETUPAPI.DLL; do
    if ! grep -qi "DLL Name: $dep" <<<"$imports"; then
      echo "$dll does not import $dep: is it the emulator?" >&2
      exit 1
    fi
  done
done
echo "   HID.DLL and SETUPAPI.DLL"

echo "== Windows zips"
for dir in build-win64 build-win32; do
  (cd "$dir" && cpack -G ZIP >/dev/null && ls "$(pwd)"/zolmek-*.zip)
done
