#!/bin/bash
# The system tier's guest side, run as root in the host's userland on the
# VM's kernel (tests/vm/init.sh): the kernel's file systems, the modules,
# the users, zolmek's udev rules and a running systemd-udevd, then the tests.
# Exits with the tests' status.
set -u
export PATH=/usr/sbin:/usr/bin:/sbin:/bin GTEST_COLOR=no HOME=/root
# udevadm ignores trigger and settle in a chroot unless told otherwise.
export SYSTEMD_IGNORE_CHROOT=1
now() { echo "$EPOCHREALTIME"; }
started=$(now)
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
# A /tmp of the guest's own, with what the tests use from the host's /tmp
# (a checkout or build there) bound back in: each top-level entry that a
# ZOLMEK_* path starts with.
mkdir -p /run/host-tmp
mount --bind /tmp /run/host-tmp
mount -t tmpfs tmpfs /tmp
chmod 1777 /tmp /dev/shm
for name in "${!ZOLMEK_@}"; do
  path=${!name}
  [[ "$path" == /tmp/?* ]] || continue
  entry=${path#/tmp/}
  entry=${entry%%/*}
  [ -e "/run/host-tmp/$entry" ] && [ ! -e "/tmp/$entry" ] || continue
  if [ -d "/run/host-tmp/$entry" ]; then mkdir "/tmp/$entry"; else touch "/tmp/$entry"; fi
  mount --bind "/run/host-tmp/$entry" "/tmp/$entry"
done

# The kernel package's modules, where modprobe and udevd look for them.
modules=/lib/modules/$(uname -r)
mkdir -p "$modules"
mount --bind "$ZOLMEK_VM_MODULES" "$modules"

# The user zolmek runs as, in the group zolmek that the group rule hands the
# nodes to (ids as in tests/vm/guest_harness.h); the host's own users with
# those ids or names give way.
sed -i -E '/^(player|zolmek):|^[^:]*:[^:]*:(1000|990):/d' /etc/passwd /etc/group
echo 'player:x:1000:1000:player:/tmp:/bin/sh' >>/etc/passwd
printf 'player:x:1000:\nzolmek:x:990:player\n' >>/etc/group

mkdir -p /etc/udev/rules.d
cp "$ZOLMEK_PACKAGING/70-zolmek.rules" "$ZOLMEK_PACKAGING/70-zolmek-group.rules" \
  /etc/udev/rules.d/
modprobe -a uhid uinput evdev hid-generic hid-wiimote snd-aloop
/lib/systemd/systemd-udevd --daemon
# Only the subsystems the tests use: a full trigger loads a driver for
# every emulated device (graphics, CD-ROM, KVM), which takes seconds.
udevadm trigger --action=add --subsystem-match=misc --subsystem-match=input \
  --subsystem-match=hid --subsystem-match=hidraw --subsystem-match=sound
udevadm settle
echo "zolmek-vm: userland and udevd ready after $(awk "BEGIN { printf \"%.1f\", $(now) - $started }") s"

# wine: the prefix scripts/test-windows.sh made (writes go to the overlay).
# winebus.sys finds HID devices through udev and hidraw; with libSDL2
# installed it would leave them to its SDL backend instead, and its evdev
# backend would take the guest's keyboards too.
export WINEPREFIX=$ZOLMEK_WINEPREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv=d"
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine

# The tier runs in two parts, each a boot of its own (tests/vm/CMakeLists.txt):
# "main", the Linux build on the desktop stack and the x86_64 Windows build
# under wine, and "i686", the i686 Windows build under wine, for where the
# host cannot run it. Each build is started through its own loader: Debian's
# `wine` script would start the 32-bit loader for both.
filter='*'
if [ "$ZOLMEK_SYSTEM_PART" = i686 ]; then
  if ! "$wine32" --version >/dev/null 2>&1; then
    echo "zolmek-vm: $wine32 does not start here either"
    exit 1
  fi
  if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    # The host's prefix has no 32-bit side (the host cannot make one); a
    # prefix of this boot's own is made whole here: wine fills the 32-bit
    # side when it makes a prefix, not when it updates one.
    made=$(now)
    export WINEPREFIX=/tmp/wineprefix
    mkdir -p "$WINEPREFIX"
    WINEDEBUG=err+all WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES" \
      "$wine64" wineboot --init </dev/null >/tmp/wineboot.log 2>&1
    wineserver -w
    if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
      cat /tmp/wineboot.log
      echo "zolmek-vm: wine could not make a prefix with its 32-bit side here"
      exit 1
    fi
    echo "zolmek-vm: a prefix with wine's 32-bit side made here in $(awk "BEGIN { printf \"%.0f\", $(now) - $made }") s"
  fi
  export ZOLMEK_WINDOWS_RUNS="$wine32=$ZOLMEK_WIN32_BUILD"
  filter='Builds/WineTest.*'
else
  export ZOLMEK_WINDOWS_RUNS="$wine64=$ZOLMEK_WIN64_BUILD"
fi
echo "zolmek-vm: part $ZOLMEK_SYSTEM_PART, wine runs $ZOLMEK_WINDOWS_RUNS"
if [ "${ZOLMEK_WINE_CONSOLE:-OFF}" != ON ]; then
  # The console program's windows under wine on the emulated CPU: only when
  # asked for (tests/vm/system_test.cpp says why).
  filter="$filter-*ConsoleProgramKeepsItsWindows*"
  echo "zolmek-vm: the console program under wine not run (-DZOLMEK_SYSTEM_TIER_WINE_CONSOLE=ON runs it)"
fi

cat >>"$WINEPREFIX/system.reg" <<'REGISTRY'

[System\\CurrentControlSet\\Services\\winebus] 0
"DisableInput"=dword:00000001
"Enable SDL"=dword:00000000
REGISTRY
# wineserver writes the whole machine registry (3 MB of text) back to the
# prefix 30 s after any change, and every device that comes or goes changes
# it. On the emulated CPU that write holds up every wine process for long
# enough to swallow zolmek's 100 ms probe window. The prefix is made
# read-only, so that each save fails before it starts; drive_c, where
# programs write, stays writable.
mount --bind "$WINEPREFIX" "$WINEPREFIX"
mount -o remount,bind,ro "$WINEPREFIX"
mount --bind "$WINEPREFIX/drive_c" "$WINEPREFIX/drive_c"
mount -o remount,bind,rw "$WINEPREFIX/drive_c"
wineserver -p  # kept: each run would otherwise wait for it to exit

install -m 755 "$ZOLMEK_BINARY" /usr/bin/zolmek
install -m 755 "$ZOLMEK_REMOTE" /usr/bin/zolmek-remote
"$ZOLMEK_SYSTEM_TESTS" --gtest_filter="$filter"
