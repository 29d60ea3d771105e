#!/usr/bin/env bash
# The VM test's system tier: the same kernel booted with an initramfs of
# busybox and the modules that reach the host's file system (virtio, 9p,
# overlay). The guest mounts the host's / read-only through 9p, puts a tmpfs
# overlay on it and runs the GUEST script there as root, chrooted: the
# host's own udevd, libinput, ALSA tools and wine run on the guest's kernel,
# with every module of the kernel package at hand. Passes when the guest
# prints its PASS line; tests/vm/vm_boot.sh has what the tiers share (the
# options below but the last two, the skips, the kernel, the boot).
#
#   system_tier.sh --cache DIR --work DIR --init FILE [--need FILE]...
#                  --guest FILE [--env NAME=VALUE]...
#
# --env passes a variable to the GUEST script.
set -euo pipefail

guest_env=()
tier_option() {
  case "$1" in
    --guest) guest=$2 ;;
    --env) guest_env+=("$2") ;;
    *) return 1 ;;
  esac
}
# shellcheck source=tests/vm/vm_boot.sh
. "$(dirname "$0")/vm_boot.sh"
vm_parse_options "$@"
vm_check_host
vm_fetch_kernel

vm_initramfs_begin
# What the guest's init hands to the GUEST script; the programs and files
# named there are reached through 9p at their host paths.
{
  printf 'export ZOLMEK_VM_GUEST=%q ZOLMEK_VM_MODULES=%q\n' "$guest" "$modules"
  for assignment in "${guest_env[@]}"; do
    printf 'export %s=%q\n' "${assignment%%=*}" "${assignment#*=}"
  done
} >"$root/etc/zolmek-vm.env"
# The guest's userland loads the rest with modprobe.
vm_initramfs_end virtio-pci 9pnet-virtio 9p overlay

# The host's / read-only over 9p. wine needs SMAP off: with it, qemu's TCG
# faults wine's return from its system call dispatcher.
# 4 GiB: the i686 part makes a wine prefix of 1.3 GB in the guest's tmpfs.
# The tier's programs (wine's above all) need about 1.1 GB of translated
# code, beyond TCG's default 1 GiB buffer. A full buffer is flushed whole,
# and the guest then crawls for seconds while everything is translated
# again, long enough to miss zolmek's 100 ms probe window. 2 GiB is the most
# an x86_64 host allows; the host pages in only what is used.
vm_boot system tcg,tb-size=2048 -m 4096 -smp 1 -cpu max,-smap \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap
