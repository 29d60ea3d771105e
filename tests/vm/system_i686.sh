#!/usr/bin/env bash
# The system tier's i686 part: boots the VM only where it has something to
# run. A host that runs i386 programs has run the i686 Windows build's tests
# itself (scripts/test-windows.sh wrote what it found into WINE_MACHINE);
# elsewhere, or when asked for (ON), the i686 build runs in the guest. Where
# wine's 32-bit side could not be installed at all, the part is skipped,
# saying why, whatever ZOLMEK_VM_TEST_REQUIRED says: there is no i386 wine
# on this machine to run the build with.
#
#   system_i686.sh WINE_MACHINE ON|OFF system_tier.sh ARGS...
set -euo pipefail
machine=$1
asked=$2
shift 2
host_i386=""
wine32_missing=""
[ ! -e "$machine" ] || . "$machine"
if [ -n "$wine32_missing" ]; then
  # Not something the guest can mend: it runs the host's own wine files.
  echo "SKIPPED: i686 part: $wine32_missing (scripts/test-windows.sh)"
  exit 77
fi
if [ "$host_i386" = yes ] && [ "$asked" != ON ]; then
  echo "i686 part: not booted; this machine runs i386 programs, and the i686 build's tests ran on it under wine (scripts/test-windows.sh)"
  exit 0
fi
exec "$@"
