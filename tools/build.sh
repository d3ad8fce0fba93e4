#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or the
# folder in TINKO_BUILD_DIR). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
build_dir="${TINKO_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" "$@"
cmake --build "$build_dir" -j "$(nproc)"
