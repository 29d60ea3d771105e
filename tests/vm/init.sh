#!/bin/busybox sh
# The test VM's init: mounts the kernel's file systems, loads the modules for
# uhid, hidraw, evdev and uinput, runs the tests and powers off. A crash here
# or in the tests ends without the PASS line, which is all the host checks.
/bin/busybox --install -s /bin
export PATH=/usr/bin:/bin GTEST_COLOR=no
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /run
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /run
for module in $(cat /lib/modules/load-order); do
  insmod "/lib/modules/$module.ko" || echo "zolmek-vm: insmod $module failed"
done
echo "zolmek-vm: kernel $(uname -r), tests start"
/usr/bin/zolmek-vm-guest-tests
status=$?
echo "zolmek-vm: tests ended with status $status"
[ "$status" = 0 ] && echo "zolmek-vm: PASS"
sync
poweroff -f
