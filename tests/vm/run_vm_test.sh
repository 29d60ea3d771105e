#!/usr/bin/env bash
# Boots Debian's current kernel under qemu (TCG) and passes when the guest
# prints its PASS line. Two tiers share it:
#
# - vm: an initramfs holding busybox, the kernel's uhid/hid/evdev/uinput
#   modules, the built zolmek, libzolmek-hid.so, zolmek-remote and the guest
#   tests, which run as the guest's init.
# - system: an initramfs of busybox and the modules that reach the host's
#   file system (virtio, 9p, overlay). The guest mounts the host's / read-only
#   through 9p, puts a tmpfs overlay on it and runs the GUEST script there as
#   root, chrooted: the host's own udevd, libinput, ALSA tools and wine run
#   on the guest's kernel, with every module of the kernel package at hand.
#
# Exits 77 (ctest: skipped) with the reason when qemu, busybox or the kernel
# image cannot be had, unless ZOLMEK_VM_TEST_REQUIRED=1 (as in CI), where
# that fails instead.
#
#   run_vm_test.sh [--tier vm] --cache DIR --work DIR --init FILE
#                  --zolmek FILE --remote FILE --tests FILE
#   run_vm_test.sh --tier system --cache DIR --work DIR --init FILE
#                  --guest FILE [--env NAME=VALUE]... [--need FILE]...
#
# --env passes a variable to the GUEST script; --need names a file the tier
# cannot run without (it is skipped, or fails in CI, when one is missing).
set -euo pipefail

tier=vm
guest_env=()
needed=()
while [ $# -gt 0 ]; do
  case "$1" in
    --tier) tier=$2 ;;
    --cache) cache=$2 ;;
    --work) work=$2 ;;
    --init) init=$2 ;;
    --zolmek) zolmek=$2 ;;
    --remote) remote=$2 ;;
    --tests) tests=$2 ;;
    --guest) guest=$2 ;;
    --env) guest_env+=("$2") ;;
    --need) needed+=("$2") ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

skip() {
  if [ "${ZOLMEK_VM_TEST_REQUIRED:-0}" = 1 ]; then
    echo "VM test cannot run: $*" >&2
    exit 1
  fi
  echo "SKIPPED: $*"
  exit 77
}

command -v qemu-system-x86_64 >/dev/null ||
  skip "no qemu-system-x86_64 (apt-get install --no-install-recommends qemu-system-x86)"
busybox=$(command -v busybox || true)
[ -n "$busybox" ] || skip "no busybox (apt-get install busybox-static)"
for tool in cpio dpkg-deb apt-get apt-cache xz depmod; do
  command -v $tool >/dev/null || skip "no $tool (scripts/setup.sh installs it)"
done
for file in "${needed[@]}"; do
  [ -e "$file" ] || skip "no $file"
done

# The modules the initramfs loads, each after what it depends on. The system
# tier loads the rest with modprobe from the guest's userland.
if [ "$tier" = system ]; then
  wanted_modules=(virtio-pci 9pnet-virtio 9p overlay)
else
  wanted_modules=(hid uhid hid-generic evdev uinput)
fi

# --- The kernel -------------------------------------------------------------
# linux-image-amd64 depends on the current versioned image package.
mkdir -p "$cache"
# (Under pipefail no pipeline here ends in a reader that stops early, such
# as head, grep -q or sed's q: the writer can die of SIGPIPE and fail the
# pipeline although the reader found what it looked for.)
package=$(apt-cache depends linux-image-amd64 2>/dev/null |
  sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' || true)
package=${package%%$'\n'*}
if [ -z "$package" ]; then
  # No package lists (apt-get update not run, or offline): an earlier
  # download still does.
  package=$(ls -t "$cache" 2>/dev/null | grep '^linux-image-' || true)
  package=${package%%$'\n'*}
  [ -n "$package" ] && [ -e "$cache/$package/ready" ] ||
    skip "cannot look up linux-image-amd64 (run apt-get update) and nothing cached in $cache"
fi
kdir="$cache/$package"

# "ready": the image and every module, indexed by depmod (an older cache
# that holds only some of the modules is made anew).
if [ ! -e "$kdir/ready" ]; then
  rm -rf "$kdir"
  mkdir -p "$kdir/download"
  echo "== downloading $package"
  start=$(date +%s)
  if ! (cd "$kdir/download" && apt-get download -qq "$package") >"$cache/download.log" 2>&1; then
    cat "$cache/download.log"
    rm -rf "$kdir"
    skip "apt-get download $package failed"
  fi
  deb=$(ls "$kdir"/download/*.deb)
  echo "   $(du -m "$deb" | cut -f1) MB in $(($(date +%s) - start)) s"
  mkdir -p "$kdir/x"
  dpkg-deb --fsys-tarfile "$deb" |
    tar -x -C "$kdir/x" --wildcards './boot/vmlinuz-*' './lib/modules/*' \
      './usr/lib/modules/*' 2>/dev/null || true
  [ -n "$(ls "$kdir"/x/boot/vmlinuz-* 2>/dev/null)" ] ||
    { rm -rf "$kdir"; echo "no kernel image in $deb" >&2; exit 1; }
  if [ ! -d "$kdir/x/lib/modules" ]; then  # a merged-/usr package
    mkdir -p "$kdir/x/lib"
    mv "$kdir/x/usr/lib/modules" "$kdir/x/lib/modules"
  fi
  version=$(ls "$kdir/x/lib/modules")
  depmod -b "$kdir/x" "$version"
  vmlinuz=$(ls "$kdir"/x/boot/vmlinuz-*)
  # qemu boots an ELF vmlinux that carries a PVH entry note directly, which
  # is quicker than going through the bzImage's real-mode set-up and its
  # decompressor under TCG. The bzImage holds it xz-compressed.
  offset=$(LC_ALL=C grep -m 1 -obUaP '\xFD7zXZ\x00' "$vmlinuz" | cut -d: -f1 || true)
  if [ -n "$offset" ]; then
    tail -c +$((offset + 1)) "$vmlinuz" | xz -dc --single-stream >"$kdir/vmlinux" 2>/dev/null || true
  fi
  notes=""
  [ -s "$kdir/vmlinux" ] && command -v readelf >/dev/null &&
    notes=$(readelf -n "$kdir/vmlinux" 2>/dev/null || true)
  if [[ "$notes" =~ Xen[^$'\n']*\(0x00000012\) ]]; then
    echo "   booting the ELF vmlinux (PVH)"
  else
    rm -f "$kdir/vmlinux"
    echo "   booting the bzImage"
  fi
  rm -rf "$kdir/download"
  touch "$kdir/ready"
  echo "   kernel ready after ${SECONDS} s"
fi
kernel="$kdir/vmlinux"
[ -e "$kernel" ] || kernel=$(ls "$kdir"/x/boot/vmlinuz-*)

modules="$kdir/x/lib/modules/$(ls "$kdir/x/lib/modules")"

# --- The initramfs ----------------------------------------------------------
rm -rf "$work"
root="$work/root"
mkdir -p "$root"/{bin,usr/bin,lib/modules,etc,proc,sys,dev,tmp}
chmod 1777 "$root/tmp"

# A file and every shared library it needs: the system's at the paths the
# host's loader found them, the project's own (libzolmek-hid.so, found
# through zolmek's RUNPATH in the build tree) beside libc, where a package
# would install it and the guest's loader looks by default.
system_lib_dir=""
[ "$tier" = system ] ||
  system_lib_dir=$(dirname "$(ldd "$zolmek" | grep -o '/[^ ]*/libc\.so\.6')")
copy_with_libraries() {
  local file=$1 dest=$2 lib target
  cp -L "$file" "$root$dest"
  for lib in $(ldd "$file" 2>/dev/null | grep -o '/[^ ]*' || true); do
    case "$lib" in
      /lib/* | /lib64/* | /usr/lib/* | /usr/lib64/*) target=$lib ;;
      *) target="$system_lib_dir/$(basename "$lib")" ;;
    esac
    [ -e "$root$target" ] && continue
    mkdir -p "$root$(dirname "$target")"
    cp -L "$lib" "$root$target"
  done
}
copy_with_libraries "$busybox" /bin/busybox
cp "$init" "$root/init"
chmod 755 "$root/init"
if [ "$tier" = system ]; then
  # What the guest's init hands to the GUEST script; the programs and
  # files named there are reached through 9p at their host paths.
  {
    printf 'export ZOLMEK_VM_GUEST=%q ZOLMEK_VM_MODULES=%q\n' "$guest" "$modules"
    for assignment in "${guest_env[@]}"; do
      printf 'export %s=%q\n' "${assignment%%=*}" "${assignment#*=}"
    done
  } >"$root/etc/zolmek-vm.env"
else
  copy_with_libraries "$zolmek" /usr/bin/zolmek
  copy_with_libraries "$remote" /usr/bin/zolmek-remote
  copy_with_libraries "$tests" /usr/bin/zolmek-vm-guest-tests
  [[ "$(ldd "$zolmek")" == *"libzolmek-hid.so.1 => /"* ]] ||
    { echo "zolmek does not link libzolmek-hid.so.1" >&2; exit 1; }
fi

# Modules in load order, each after what it depends on (modules.dep lists a
# module's dependencies, transitively, those to load last first).
order=()
add_module_file() {
  local file=$1 name d
  name=${file##*/}; name=${name%%.ko*}; name=${name//-/_}
  for d in "${order[@]}"; do [ "$d" = "$name" ] && return 0; done
  case "$file" in
    *.ko.xz) xz -dc "$modules/$file" ;;
    *.ko.zst) zstd -dc "$modules/$file" ;;
    *.ko.gz) gzip -dc "$modules/$file" ;;
    *) cat "$modules/$file" ;;
  esac >"$root/lib/modules/$name.ko"  # busybox insmod takes plain .ko only
  order+=("$name")
}
add_module() {
  local line deps i
  # Names compared with '-' and '_' alike, as modprobe does.
  line=$(awk -v want="${1//-/_}" '{
      name = $1; sub(/:$/, "", name); sub(/.*\//, "", name); sub(/\.ko.*/, "", name)
      gsub(/-/, "_", name)
      if (name == want) { print; exit }
    }' "$modules/modules.dep")
  [ -n "$line" ] || { echo "no module $1 in $kdir" >&2; exit 1; }
  read -r -a deps <<<"${line#*:}"
  for ((i = ${#deps[@]} - 1; i >= 0; i--)); do add_module_file "${deps[i]}"; done
  add_module_file "${line%%:*}"
}
for m in "${wanted_modules[@]}"; do add_module "$m"; done
printf '%s\n' "${order[@]}" >"$root/lib/modules/load-order"

# root, the unprivileged user zolmek runs as, and the group that gets the
# remote's hidraw node and /dev/uinput (tests/vm/guest_harness.h). The
# system tier makes them in the host's own /etc, on the overlay.
cat >"$root/etc/passwd" <<'PASSWD'
root:x:0:0:root:/root:/bin/sh
player:x:1000:1000:player:/tmp:/bin/sh
PASSWD
cat >"$root/etc/group" <<'GROUP'
root:x:0:
player:x:1000:
zolmek:x:990:player
GROUP

(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio"
echo "== initramfs: $(du -m "$work/initramfs.cpio" | cut -f1) MB, modules: ${order[*]} (at ${SECONDS} s)"

# --- Boot -------------------------------------------------------------------
accel=tcg
machine=(-m 512 -smp 1)
if [ "$tier" = system ]; then
  # The host's / read-only over 9p. wine needs SMAP off: with it, qemu's
  # TCG faults wine's return from its system call dispatcher.
  # 4 GiB: the i686 part makes a wine prefix of 1.3 GB in the guest's tmpfs.
  machine=(-m 4096 -smp 1 -cpu max,-smap
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap)
  # The tier's programs (wine's above all) need about 1.1 GB of translated
  # code, beyond TCG's default 1 GiB buffer. A full buffer is flushed whole,
  # and the guest then crawls for seconds while everything is translated
  # again, long enough to miss zolmek's 100 ms probe window. 2 GiB is the
  # most an x86_64 host allows; the host pages in only what is used.
  accel=tcg,tb-size=2048
fi
echo "== booting $(basename "$kernel") of $package under qemu (TCG), tier $tier"
start=$(date +%s)
set +e
timeout 840 qemu-system-x86_64 -accel "$accel" "${machine[@]}" -nographic \
  -no-reboot -nic none -kernel "$kernel" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 panic=-1 quiet" </dev/null 2>&1 | tee "$work/console.log"
qemu_status=${PIPESTATUS[0]}
set -e
echo "== qemu ended with status $qemu_status after $(($(date +%s) - start)) s"
grep -q '^zolmek-vm: PASS' "$work/console.log"
