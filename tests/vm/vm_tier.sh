#!/usr/bin/env bash
# The VM test's vm tier: Debian's current kernel under qemu with an
# initramfs holding busybox, the kernel's uhid/hid/evdev/uinput modules, the
# built zolmek, libzolmek-hid.so, zolmek-remote and the guest tests, which
# the guest's init runs (tests/vm/init.sh). Passes when the guest prints its
# PASS line; tests/vm/vm_boot.sh has what the tiers share (the options below
# but the last three, the skips, the kernel, the boot).
#
#   vm_tier.sh --cache DIR --work DIR --init FILE [--need FILE]...
#              --zolmek FILE --remote FILE --tests FILE
set -euo pipefail

tier_option() {
  case "$1" in
    --zolmek) zolmek=$2 ;;
    --remote) remote=$2 ;;
    --tests) tests=$2 ;;
    *) return 1 ;;
  esac
}
# shellcheck source=tests/vm/vm_boot.sh
. "$(dirname "$0")/vm_boot.sh"
vm_parse_options "$@"
vm_check_host
vm_fetch_kernel

# The project's own library (libzolmek-hid.so, found through zolmek's
# RUNPATH in the build tree) goes beside libc, where a package would install
# it and the guest's loader looks by default.
system_lib_dir=$(dirname "$(ldd "$zolmek" | grep -o '/[^ ]*/libc\.so\.6')")
vm_initramfs_begin
copy_with_libraries "$zolmek" /usr/bin/zolmek
copy_with_libraries "$remote" /usr/bin/zolmek-remote
copy_with_libraries "$tests" /usr/bin/zolmek-vm-guest-tests
[[ "$(ldd "$zolmek")" == *"libzolmek-hid.so.1 => /"* ]] ||
  { echo "zolmek does not link libzolmek-hid.so.1" >&2; exit 1; }
# Each after what it depends on; the guest's init loads them in this order.
vm_initramfs_end hid uhid hid-generic evdev uinput

vm_boot vm tcg -m 512 -smp 1
