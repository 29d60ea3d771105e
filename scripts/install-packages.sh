#!/usr/bin/env bash
# Installs those of the named Debian packages that are not installed yet,
# after one apt-get update (scripts/apt-update.sh); does nothing when all
# of them are there. A name with an architecture (wine32:i386) adds that
# architecture to dpkg first.
# Needs root or sudo when something is missing.
#
#   scripts/install-packages.sh PACKAGE...
set -euo pipefail

missing=()
for p in "$@"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] ||
    missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
native=$(dpkg --print-architecture)
for p in "${missing[@]}"; do
  [[ "$p" == *:* ]] || continue
  arch=${p#*:}
  foreign=$(dpkg --print-foreign-architectures)
  [ "$arch" = "$native" ] || [[ $'\n'"$foreign"$'\n' == *$'\n'"$arch"$'\n'* ]] ||
    $sudo dpkg --add-architecture "$arch"
done
echo "== installing: ${missing[*]}"
"$(dirname "$0")/apt-update.sh"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
