#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/build.sh
exec "${TINKO_BUILD_DIR:-build}/app/tinko-piano" "$@"
