#!/usr/bin/env bash
# Measures the built program's start: time from launch to its window on the
# screen (the synthesizer is open by then, so a key plays from that moment:
# one is pressed at once and must be heard), and resident memory when idle. Runs on an Xvfb and a
# PulseAudio null sink of its own; prints figures, asserts nothing. With
# SONG_FILES, the user's song folder holds that many files (copies of the
# program's own songs) for the start to read.
#
#     bench/startup.sh [RUNS] [SONG_FILES]   (default 5 and 0; build first with tools/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
song_files="${2:-0}"
program="${TINKO_BUILD_DIR:-build}/app/tinko-piano"
[ -x "$program" ] || { echo "build the program first: tools/build.sh"; exit 1; }

work=$(mktemp -d)
chmod 700 "$work"
songs="$work/data/tinko-piano/songs"
mkdir -p "$songs"
own=("$(dirname "$program")"/../share/tinko-piano/songs/*.mid)
for i in $(seq 1 "$song_files"); do
  cp "${own[$((i % ${#own[@]}))]}" "$songs/song $i.mid"
done
echo "the user's song folder holds $(find "$songs" -type f | wc -l) files"
display=":$((300 + $$ % 600))"
cleanup() {
  pkill -P $$ 2>/dev/null || true
  kill "$xvfb" "$pulse" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1400x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
XDG_RUNTIME_DIR="$work" HOME="$work" pulseaudio --daemonize=no -n --exit-idle-time=-1 \
  --use-pid-file=no --load="module-null-sink sink_name=tinko_startup" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$work/native" >"${TINKO_PULSE_LOG:-/dev/null}" 2>&1 &
pulse=$!
for _ in $(seq 200); do [ -S "$work/native" ] && [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
export DISPLAY="$display" PULSE_SERVER="unix:$work/native" XDG_RUNTIME_DIR="$work"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Whether the recording after byte $2 is loud anywhere.
heard() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()[int(sys.argv[2]) // 4 * 4:]
samples = struct.unpack('<%dh' % (len(data) // 2), data[:len(data) // 2 * 2])
print('yes' if any(abs(s) > 300 for s in samples) else 'NO')
PY
}

echo "run  window(ms)  key-heard  idle-RSS(MB)"
for run in $(seq "$runs"); do
  parec -d tinko_startup.monitor --raw --format=s16le --rate=48000 --channels=2 \
    --latency-msec=5 > "$work/rec.raw" &
  recorder=$!
  while [ ! -s "$work/rec.raw" ]; do sleep 0.01; done
  recorded_before=$(stat -c %s "$work/rec.raw")
  start=$(now_ms)
  XDG_DATA_HOME="$work/data" "$program" 2>>"$work/program.log" &
  app=$!
  # Polled every 20 ms: xdotool's own --sync waits half a second between
  # looks, and polling without a pause runs the X server out of clients.
  window=""
  while [ -z "$window" ]; do
    kill -0 "$app" 2>/dev/null || { echo "the program ended before its window appeared"; exit 1; }
    window=$(xdotool search --onlyvisible --class tinko-piano 2>/dev/null | tail -1 || true)
    [ -n "$window" ] || sleep 0.02
  done
  shown=$(now_ms)
  xdotool windowfocus "$window" keydown k
  sleep 0.5
  xdotool keyup k
  sleep 2.5
  rss=$(awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$app/status")
  kill "$recorder" "$app"
  wait "$app" "$recorder" 2>/dev/null || true

  printf "%3d  %10d  %9s  %12s\n" "$run" $((shown - start)) \
    "$(heard "$work/rec.raw" "$recorded_before")" "$rss"
  sleep 1
done
if [ -s "$work/program.log" ]; then
  echo "the program said:"
  sort "$work/program.log" | uniq -c
fi
