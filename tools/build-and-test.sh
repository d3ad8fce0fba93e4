#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Needs no display and
# no sound card: GUI tests draw offscreen, and the sound tests start their
# own PulseAudio server.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/build.sh
cd "${TINKO_BUILD_DIR:-build}"
ctest --output-on-failure --timeout 300
