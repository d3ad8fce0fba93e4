#!/usr/bin/env bash
# Builds the Debian package, checks its dependencies and contents, has
# lintian, desktop-file-validate and appstreamcli judge it (any error or
# warning fails, and any hint of desktop-file-validate), unpacks it into a
# throw-away root and starts the unpacked program under an Xvfb of its own
# until its window appears. Prints the package's installed size.
set -euo pipefail
build_dir="$1"
work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build_dir" && cpack -G DEB -B "$work/out" >/dev/null)
package=$(ls "$work"/out/tinko-piano_*.deb)
echo "package: $(basename "$package"), installed size $(dpkg-deb -f "$package" Installed-Size) KiB"

depends=$(dpkg-deb -f "$package" Depends)
status=0
for needed in libqt6widgets6 libfluidsynth3 fluid-soundfont-gm fonts-noto-cjk qt6-qpa-plugins; do
  case "$depends" in
    *"$needed"*) ;;
    *) echo "Depends lacks $needed: $depends"; status=1 ;;
  esac
done
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/tinko-piano ./usr/lib/x86_64-linux-gnu/tinko-piano/libtinko_webengine.so \
    ./usr/share/applications/tinko-piano.desktop \
    ./usr/share/icons/hicolor/64x64/apps/tinko-piano.png \
    ./usr/share/man/man1/tinko-piano.1.gz ./usr/share/man/zh_CN/man1/tinko-piano.1.gz \
    ./usr/share/metainfo/example.tinko.piano.metainfo.xml; do
  grep -q " $path\$" <<<"$contents" || { echo "package lacks $path"; status=1; }
done
if dpkg-deb -I "$package" | grep -Eq ' (pre|post)(inst|rm) '; then
  echo "package has maintainer scripts"; status=1
fi
[ $status = 0 ] || exit $status

lintian --fail-on error,warning "$package" || { echo "lintian found errors or warnings"; exit 1; }
dpkg -x "$package" "$work/root"
hints=$(desktop-file-validate "$work/root/usr/share/applications/tinko-piano.desktop" 2>&1) || true
[ -z "$hints" ] || { echo "desktop-file-validate: $hints"; exit 1; }
# The metainfo, and that its desktop entry is there.
appstreamcli validate-tree --no-net "$work/root"
display=":$((150 + $$ % 50))"
Xvfb "$display" -screen 0 1400x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
mkdir -m 700 "$work/runtime"
DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
  "$work/root/usr/bin/tinko-piano" 2>"$work/stderr" &
app=$!
for _ in $(seq 200); do
  window=$(DISPLAY="$display" xdotool search --onlyvisible --class tinko-piano 2>/dev/null | tail -1 || true)
  [ -n "$window" ] && break
  kill -0 "$app" 2>/dev/null || { echo "the unpacked program ended:"; cat "$work/stderr"; exit 1; }
  sleep 0.1
done
[ -n "$window" ] || { echo "no window from the unpacked program"; exit 1; }
echo "the unpacked program shows: $(DISPLAY="$display" xdotool getwindowname "$window" | cut -c1-20)…"
