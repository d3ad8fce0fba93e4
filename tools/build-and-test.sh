#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the ordinary
# build, then the whole suite again built with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer, with bounded fuzzer runs. Needs no display
# and no sound card: GUI tests draw offscreen or on an Xvfb of their own, and
# the sound tests start their own PulseAudio server.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./tools/build.sh
(cd "${TINKO_BUILD_DIR:-build}" && ctest --output-on-failure --timeout 300)

sanitize_dir="${TINKO_SANITIZE_BUILD_DIR:-build-sanitize}"
TINKO_BUILD_DIR="$sanitize_dir" ./tools/build.sh \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTINKO_SANITIZE=ON -DTINKO_FUZZ=ON -DTINKO_BUILD_BENCHMARKS=OFF
export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/tools/sanitizers/ubsan.supp"
cd "$sanitize_dir"
ctest --output-on-failure --timeout 600
