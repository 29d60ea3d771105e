#!/usr/bin/env bash
# The Windows build, made and tested here: installs the mingw-w64 -posix
# compilers, wine (with its 32-bit side) and GoogleTest's sources,
# cross-builds zolmek for x86_64 (build-win64) and i686 (build-win32) with
# warnings as errors, runs the x86_64 tests under wine (this machine cannot
# start 32-bit programs, even under wine: the i686 build can run in the VM
# test's system tier, whose kernel can, when configured with
# -DZOLMEK_SYSTEM_TIER_I686=ON), checks that the DLLs export the
# five functions undecorated and that the real one goes through HID.DLL and
# SETUPAPI.DLL, and makes the zips.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

packages=(
  cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 wine32:i386 googletest bsdutils
)
missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] ||
    missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package.
  foreign=$(dpkg --print-foreign-architectures)
  [[ $'\n'"$foreign"$'\n' == *$'\n'i386$'\n'* ]] ||
    $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] || jobs=2

# A wine prefix of our own, quiet, without sound drivers (there is no sound
# device here; PlaySoundA then returns at once). wineserver is started
# first and kept, or every run waits ~3 s for it to exit.
export WINEPREFIX="$root/build-win64/wineprefix"
export WINEDEBUG=err+module,-all
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d"
# A prefix made before wine's 32-bit side was installed has no 32-bit
# system folder and cannot run the i686 build: it is made anew.
[ ! -d "$WINEPREFIX/drive_c" ] || [ -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] ||
  rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

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
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOLMEK_BENCHMARKS=OFF \
  "-DZOLMEK_KEY_SOUND_FILE=$root/build-win64/test1.wav" >/dev/null
cmake --build build-win32 -j "$jobs"
echo "   built in $((SECONDS - start)) s"

echo "== Exports of the transport DLLs"
expected="CloseHidHandle OpenHidHandle ReadReport ReadReportTimeout WriteReport"
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
echo "   five undecorated exports each, no mingw runtime DLLs"

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
