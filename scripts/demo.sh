#!/usr/bin/env bash
# Sets up, builds and runs zolmek against the emulated remote: the program
# binary is the real one; the emulator library takes the transport's place
# because it comes first in the library path. Escape (or the scripted Home
# press at the end) quits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build="$(pwd)/${BUILD_DIR:-build}"
cd "$build"  # test1.wav is read from the working directory
export LD_LIBRARY_PATH="$build/emulator${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export ZOLMEK_EMU_SCENARIO="${ZOLMEK_EMU_SCENARIO:-$OLDPWD/scripts/demo.scenario}"
# Without a sound card SDL would fall back to ALSA, which complains on
# stderr; the dummy driver keeps the demo quiet.
[ -e /dev/snd ] || export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
exec ./zolmek
