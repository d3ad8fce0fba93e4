#!/usr/bin/env bash
# Installs the build into a throw-away prefix and checks that the program,
# its browser module, Ruffle with its licences (when the build has it), the
# desktop entry, the four icons, the manual pages, the metainfo and the
# copyright file land where a Linux desktop and Debian look for them, and
# that the program does not name the build tree's library folder, from which
# it could load code.
set -euo pipefail
build_dir="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" --strip >/dev/null

status=0
expect() {
  if [ ! -s "$prefix/$1" ]; then
    echo "missing: $1"
    status=1
  fi
}
expect bin/tinko-piano
module=lib/x86_64-linux-gnu/tinko-piano/libtinko_webengine.so
expect $module
for file in applications/tinko-piano.desktop man/man1/tinko-piano.1.gz \
    man/zh_CN/man1/tinko-piano.1.gz metainfo/example.tinko.piano.metainfo.xml \
    doc/tinko-piano/copyright doc/tinko-piano/changelog.gz; do
  expect "share/$file"
done
for size in 16 32 48 64; do
  expect "share/icons/hicolor/${size}x${size}/apps/tinko-piano.png"
done
if [ -e "$build_dir/share/tinko-piano/ruffle/ruffle.js" ]; then
  for file in ruffle.js LICENSE_MIT LICENSE_APACHE; do
    expect "share/tinko-piano/ruffle/$file"
  done
fi
# Its texts in 8-bit and in 16-bit (QString) characters.
if { strings -a "$prefix/bin/tinko-piano"; strings -a -el "$prefix/bin/tinko-piano"; } |
    grep -qF "$(realpath "$build_dir")/lib"; then
  echo "bin/tinko-piano names the build tree's library folder"
  status=1
fi
grep -qx 'Exec=tinko-piano' "$prefix/share/applications/tinko-piano.desktop" || { echo "desktop entry: no Exec"; status=1; }
grep -qx 'Icon=tinko-piano' "$prefix/share/applications/tinko-piano.desktop" || { echo "desktop entry: no Icon"; status=1; }
[ -x "$prefix/bin/tinko-piano" ] || { echo "bin/tinko-piano is not executable"; status=1; }
[ "$(head -c 4 "$prefix/$module" | tail -c 3)" = "ELF" ] || { echo "module is not an ELF file"; status=1; }
[ $status = 0 ] && echo "installed layout complete"
exit $status
