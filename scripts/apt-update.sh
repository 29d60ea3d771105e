#!/usr/bin/env bash
# Refreshes the package lists, patiently: a Debian mirror in the middle of a
# sync answers with index files of the wrong size ("Mirror sync in
# progress?"), sometimes for days (bookworm-security's i386 list did), and
# one such file must not fail a build; apt-get still updates every list
# that did download. Tries three times, waiting 10 s and then 20 s; if every try
# fails but lists from an earlier update are there, says so and goes on with
# them (a package that is really missing then fails its install, clearly).
# Needs root or sudo.
#
#   scripts/apt-update.sh
set -uo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

for attempt in 1 2 3; do
  if $sudo apt-get update -qq -o Acquire::Retries=3 >"$log" 2>&1 &&
    ! grep -q '^E: ' "$log"; then
    exit 0
  fi
  [ "$attempt" -eq 3 ] && break
  echo "apt-get update failed (try $attempt of 3), trying again in $((attempt * 10)) s:" >&2
  grep -m 3 '^E: ' "$log" >&2
  sleep $((attempt * 10))
done

cat "$log" >&2
if compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null; then
  echo "apt-get update failed 3 times; going on with the package lists already here" >&2
  exit 0
fi
echo "apt-get update failed 3 times and there are no package lists to go on with" >&2
exit 1
