#!/usr/bin/env bash
# Builds the Debian package (cpack, from the install rules) and checks it:
# its dependencies, that it has no maintainer scripts, and, unpacked into a
# throw-away root, that the program, its browser module, Ruffle with its
# licences (when the build has it), the desktop entry, the four icons, the
# manual pages, the metainfo, the copyright file and the changelog land where
# a Linux desktop and Debian look for them, and that the program does not
# name the build tree's library folder, from which it could load code. Then
# lintian, desktop-file-validate and appstreamcli judge it (any error or
# warning fails, and any hint of desktop-file-validate), and the unpacked
# program starts and plays on a desktop of its own (tests/app/end_to_end.py).
# Prints the package's installed size.
set -euo pipefail
build_dir="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build_dir" && cpack -G DEB -B "$work/out" >/dev/null)
package=$(ls "$work"/out/tinko-piano_*.deb)
echo "package: $(basename "$package"), installed size $(dpkg-deb -f "$package" Installed-Size) KiB"
dpkg -x "$package" "$work/root"
usr="$work/root/usr"

status=0
fail() {
  echo "$1"
  status=1
}
depends=$(dpkg-deb -f "$package" Depends)
for needed in libqt6widgets6 libfluidsynth3 fluid-soundfont-gm fonts-noto-cjk qt6-qpa-plugins; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
grep -Eq ' (pre|post)(inst|rm) ' <<<"$(dpkg-deb -I "$package")" &&
  fail "package has maintainer scripts"
module=lib/x86_64-linux-gnu/tinko-piano/libtinko_webengine.so
ruffle=()
[ -e "$build_dir/share/tinko-piano/ruffle/ruffle.js" ] &&
  ruffle=(share/tinko-piano/ruffle/{ruffle.js,LICENSE_MIT,LICENSE_APACHE})
for file in bin/tinko-piano "$module" share/applications/tinko-piano.desktop \
    share/icons/hicolor/{16x16,32x32,48x48,64x64}/apps/tinko-piano.png \
    share/man/man1/tinko-piano.1.gz share/man/zh_CN/man1/tinko-piano.1.gz \
    share/metainfo/example.tinko.piano.metainfo.xml share/doc/tinko-piano/{copyright,changelog.gz} \
    "${ruffle[@]}"; do
  [ -s "$usr/$file" ] || fail "package lacks usr/$file"
done
songs=$(find "$usr/share/tinko-piano/songs" -name '*.mid' -size +0 | wc -l)
[ "$songs" -ge 20 ] || fail "package holds $songs songs"
[ -s "$usr/share/tinko-piano/songs/小星星.mid" ] || fail "package lacks the song 小星星"
[ -x "$usr/bin/tinko-piano" ] || fail "bin/tinko-piano is not executable"
[ "$(head -c 4 "$usr/$module" | tail -c 3)" = ELF ] || fail "the browser module is not an ELF file"
# Its texts in 8-bit and in 16-bit (QString) characters. (grep without -q
# reads to the end: under pipefail, strings cut off by a pipe would fail.)
{ strings -a "$usr/bin/tinko-piano"; strings -a -el "$usr/bin/tinko-piano"; } |
  grep -F "$(realpath "$build_dir")/lib" >/dev/null &&
  fail "bin/tinko-piano names the build tree's library folder"
for line in Exec=tinko-piano Icon=tinko-piano; do
  grep -qx "$line" "$usr/share/applications/tinko-piano.desktop" || fail "desktop entry: no $line"
done
[ $status = 0 ] || exit $status

lintian --fail-on error,warning "$package" || { echo "lintian found errors or warnings"; exit 1; }
hints=$(desktop-file-validate "$usr/share/applications/tinko-piano.desktop" 2>&1) || true
[ -z "$hints" ] || { echo "desktop-file-validate: $hints"; exit 1; }
# The metainfo, and that its desktop entry is there.
appstreamcli validate-tree --no-net "$work/root"
# The unpacked program starts and its keys play, on a desktop of its own.
PYTHONDONTWRITEBYTECODE=1 TINKO_PROGRAM="$usr/bin/tinko-piano" \
  python3 "$(dirname "$0")/../app/end_to_end.py" EndToEnd.test_keys_play_by_the_layout_switched_to
