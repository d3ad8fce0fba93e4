#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the
# program needs. Packages already present are skipped, so a second run is
# quick and touches nothing.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libgl-dev libfluidsynth-dev libasound2-dev libsdl2-dev libpipewire-0.3-dev libpulse-dev
  libxkbcommon-dev libxkbcommon-x11-dev libxcb-xkb-dev libwayland-dev
  abcmidi wayland-protocols qt6-base-private-dev
  # run
  qt6-qpa-plugins qt6-wayland fluid-soundfont-gm fonts-noto-cjk
  # test and measure
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  xvfb xauth xdotool wmctrl x11-utils x11-apps x11-xkb-utils x11-xserver-utils xkb-data openbox weston sway wtype
  pulseaudio pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber dbus stress-ng fluidsynth
  at-spi2-core python3-pyatspi
  # check the Debian package
  lintian desktop-file-utils appstream
)

# npm fetches Ruffle, the Flash player, when the build is configured; any
# npm will do (NodeSource's nodejs brings its own and conflicts with
# Debian's npm package).
if ! command -v npm >/dev/null; then
  packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
