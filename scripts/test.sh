#!/usr/bin/env bash
# Sets up, builds and runs every test: the Linux build's suites through
# ctest (the VM test included), then the Windows builds and their tests
# under wine (scripts/test-windows.sh), then the VM test's system tier,
# which runs both Linux and Windows builds on the host's own desktop stack.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure -j "$(nproc)" -LE system)
scripts/test-windows.sh
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure -L system)
