#!/bin/busybox sh
# The test VM's init: mounts the kernel's file systems, loads the modules in
# the initramfs, runs the tests and powers off. A crash here or in the tests
# ends without the PASS line, which is all the host checks.
#
# The vm tier's tests are in the initramfs. The system tier's initramfs has
# only what reaches the host's / over 9p: it is mounted read-only, a tmpfs
# overlay on top takes the writes, and the tier's script runs chrooted there.
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
if [ -e /etc/zolmek-vm.env ]; then
  mkdir -p /host /rw /newroot
  mount -t 9p -o trans=virtio,version=9p2000.L,cache=loose,msize=262144 \
    hostroot /host
  mount -t tmpfs -o mode=755 tmpfs /rw
  mkdir -p /rw/upper /rw/work
  mount -t overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work \
    overlay /newroot
  cp /etc/zolmek-vm.env /newroot/run-zolmek-vm.env
  chroot /newroot /bin/bash -c \
    '. /run-zolmek-vm.env && exec /bin/bash "$ZOLMEK_VM_GUEST"'
else
  /usr/bin/zolmek-vm-guest-tests
fi
status=$?
echo "zolmek-vm: tests ended with status $status"
[ "$status" = 0 ] && echo "zolmek-vm: PASS"
sync
poweroff -f
