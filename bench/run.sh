#!/usr/bin/env bash
# Builds and runs the benchmarks against a private PulseAudio server with a
# null sink, so the figures need no sound card. Prints figures; asserts none.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/build.sh -DTINKO_BUILD_BENCHMARKS=ON >/dev/null
build_dir="${TINKO_BUILD_DIR:-build}"

runtime=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR="$runtime" HOME="$runtime" pulseaudio --daemonize=no -n --exit-idle-time=-1 \
  --use-pid-file=no --load="module-null-sink sink_name=tinko_bench" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" \
  >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -S "$runtime/native" ] && break; sleep 0.05; done
export PULSE_SERVER="unix:$runtime/native" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen

echo "== first open of device 0, fresh process =="
"$build_dir/bench/open_device_figures"
echo
echo "== song book and a listened song's timing, fresh process =="
"$build_dir/bench/song_figures"
echo
echo "== key to synthesizer =="
"$build_dir/bench/midi_benchmark" --benchmark_min_time=0.5 "$@"

echo
echo "== keyboard redraw and drag =="
"$build_dir/bench/keyboard_benchmark" --benchmark_min_time=0.5 | tee "$runtime/keyboard.txt"
awk '/^BM_PlainCopyOfTwoImages/ {copy = $2}
     /^BM_Redraw\/1 / {one = $2}
     /^BM_Redraw\/10 / {ten = $2}
     END {if (copy > 0) printf "redraw / plain copy of both images: %.2f with 1 key, %.2f with 10 keys\n", one / copy, ten / copy}' \
  "$runtime/keyboard.txt"

echo
echo "== Flash song page (on an X server of its own) =="
python3 tests/support/on_desktop.py --audio "$build_dir/bench/flash_figures"
