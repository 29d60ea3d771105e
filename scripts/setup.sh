#!/usr/bin/env bash
# Installs what building and testing zolmek needs on Debian/Ubuntu.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libhidapi-dev libudev-dev libevdev-dev libsdl2-dev libsystemd-dev scdoc
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils xfonts-base
  # The VM test: a stock kernel under qemu with a busybox initramfs.
  qemu-system-x86 busybox-static cpio xz-utils kmod
  # Its system tier runs this machine's own udevd, libinput and ALSA in the
  # VM (and wine, which scripts/test-windows.sh installs).
  udev libinput-tools libasound2-dev
)

"$(dirname "$0")/install-packages.sh" "${packages[@]}"
