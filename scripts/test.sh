#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux build's suites through
# ctest (the VM test included), then the Windows builds and their tests
# under wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure -j "$(nproc)")
scripts/test-windows.sh
