#!/usr/bin/env bash
# The MIDI ports' figures (bench/MidiPortsFigures.cpp) on a PipeWire daemon
# of its own: the ports' output is linked to their input once they are up.
# Prints figures; asserts nothing.
#
#     bench/midi-ports.sh      (build first with tools/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
figures="${TINKO_BUILD_DIR:-build}/bench/midi_ports_figures"
[ -x "$figures" ] || { echo "build the benchmarks first: tools/build.sh"; exit 1; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'kill "$daemon" "$run" 2>/dev/null || true; rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" PIPEWIRE_RUNTIME_DIR="$runtime" HOME="$runtime"
pipewire >/dev/null 2>&1 &
daemon=$!
for _ in $(seq 100); do [ -S "$runtime/pipewire-0" ] && break; sleep 0.05; done

"$figures" >"$runtime/out" &
run=$!
until grep -q "link the output" "$runtime/out" 2>/dev/null; do
  kill -0 "$run" 2>/dev/null || break
  sleep 0.1
done
pw-link "tinko-piano-midi:Tinko 钢琴 输出" "tinko-piano-midi:Tinko 钢琴 输入" || true
wait "$run" || true
grep -v "link the output" "$runtime/out"
