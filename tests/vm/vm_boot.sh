# shellcheck shell=bash
# What both tiers of the VM test share; tests/vm/vm_tier.sh and
# tests/vm/system_tier.sh source it. It reads the options every tier takes,
# skips the test when the host lacks what a boot needs, fetches Debian's
# current kernel (once: it is kept in the cache), starts and finishes the
# initramfs (busybox, the guest's init, the tier's modules in load order,
# the users) and boots it under qemu (TCG), passing when the guest prints its
# PASS line.
#
# A boot is skipped (exit 77, ctest's SKIP_RETURN_CODE) with the reason when
# qemu, busybox, the kernel image or a file the tier needs cannot be had,
# unless ZOLMEK_VM_TEST_REQUIRED=1 (as in CI), where that fails instead.
#
# Options of every tier: --cache DIR (the kernel cache), --work DIR (the
# initramfs and the guest's console.log, made anew), --init FILE (the
# guest's init), --need FILE (a file the tier cannot run without; it is
# skipped, or fails in CI, when one is missing; may be given again). A tier
# reads its own options in `tier_option NAME VALUE`, which returns 1 for a
# name it does not know.

needed=()
vm_parse_options() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --cache) cache=$2 ;;
      --work) work=$2 ;;
      --init) init=$2 ;;
      --need) needed+=("$2") ;;
      *) tier_option "$1" "$2" || { echo "unknown argument $1" >&2; exit 2; } ;;
    esac
    shift 2
  done
}

skip() {
  if [ "${ZOLMEK_VM_TEST_REQUIRED:-0}" = 1 ]; then
    echo "VM test cannot run: $*" >&2
    exit 1
  fi
  echo "SKIPPED: $*"
  exit 77
}

# qemu, busybox, the tools that unpack the kernel and make the initramfs,
# and the tier's --need files.
vm_check_host() {
  local tool file
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
}

# --- The kernel -------------------------------------------------------------
# Sets package, kdir (its cache), kernel (the image qemu boots) and modules
# (the package's module tree, indexed by depmod).
vm_fetch_kernel() {
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
    if ! (cd "$kdir/download" && apt-get download -qq -o Acquire::Retries=3 "$package") >"$cache/download.log" 2>&1; then
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
}

# --- The initramfs ----------------------------------------------------------
# vm_initramfs_begin makes $work/root with busybox and the init; the tier
# adds its own files; vm_initramfs_end MODULE... adds the modules, the users
# and packs it all into $work/initramfs.cpio.
vm_initramfs_begin() {
  rm -rf "$work"
  root="$work/root"
  mkdir -p "$root"/{bin,usr/bin,lib/modules,etc,proc,sys,dev,tmp}
  chmod 1777 "$root/tmp"
  copy_with_libraries "$busybox" /bin/busybox
  cp "$init" "$root/init"
  chmod 755 "$root/init"
}

# A file and every shared library it needs: the system's at the paths the
# host's loader found them, any other beside libc, in system_lib_dir (which
# the tier sets when it copies such a library).
system_lib_dir=""
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

vm_initramfs_end() {
  local m
  for m in "$@"; do add_module "$m"; done
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
}

# --- Boot -------------------------------------------------------------------
#   vm_boot TIER ACCEL QEMU_ARGS...
# Boots the kernel with the initramfs, for at most 840 s (ctest's limit is
# 900), with the guest's console in $work/console.log; returns whether the
# guest printed its PASS line.
vm_boot() {
  local tier=$1 accel=$2 start qemu_status
  shift 2
  echo "== booting $(basename "$kernel") of $package under qemu (TCG), tier $tier"
  start=$(date +%s)
  set +e
  timeout 840 qemu-system-x86_64 -accel "$accel" "$@" -nographic \
    -no-reboot -nic none -kernel "$kernel" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet" </dev/null 2>&1 | tee "$work/console.log"
  qemu_status=${PIPESTATUS[0]}
  set -e
  echo "== qemu ended with status $qemu_status after $(($(date +%s) - start)) s"
  grep -q '^zolmek-vm: PASS' "$work/console.log"
}
