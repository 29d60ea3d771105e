#!/usr/bin/env bash
# Configures and builds zolmek in ./build (or $BUILD_DIR). Extra arguments go
# to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
