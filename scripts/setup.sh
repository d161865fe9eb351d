#!/usr/bin/env bash
# Installs the Debian 12 packages Corvane needs, if any are missing, then configures and builds.
# Usage: scripts/setup.sh [build-dir [target...]]   (root, or a user with sudo)
# With targets, only those (and what they need) are built; without, everything.
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-shadertools-dev qt6-l10n-tools qt6-tools-dev qt6-5compat-dev qt6-multimedia-dev qt6-svg-dev libqt6opengl6-dev
  qml6-module-qtqml qml6-module-qtqml-workerscript qml6-module-qtquick qml6-module-qtquick-window
  qml6-module-qtquick-controls qml6-module-qtquick-templates qml6-module-qtquick-layouts
  qml6-module-qtquick-shapes qml6-module-qt5compat-graphicaleffects
  libgl-dev libgl1-mesa-dri libegl-dev libssl-dev openssl libpulse-dev libglib2.0-dev libsystemd-dev
  libx11-dev libxcb1-dev libxcb-ewmh-dev libxrandr-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  pci.ids fonts-inter fonts-quicksand fonts-dejavu-core fonts-materialdesignicons-webfont
  xvfb xauth x11-utils x11-apps xdotool imagemagick dbus dbus-bin dbus-daemon trayer pkexec
  fio pulseaudio pulseaudio-utils openssl
  poppler-utils libnl-genl-3-dev libcurl4-openssl-dev libsensors-dev
  libical-dev tzdata libecal2.0-dev evolution-data-server libxcb-present-dev libxcb-randr0-dev libdrm-dev
  openbox xfwm4 fluxbox tint2 qt6-gtk-platformtheme libglib2.0-bin conky-std appstream desktop-file-utils clang libfuzzer-14-dev libclang-rt-14-dev libxml2-utils locales
  weston xwayland qt6-wayland xserver-xorg-core xserver-xorg-video-dummy
  libwayland-dev
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The users' locale: scripts/test.sh runs the sanitizer suite under it.
locale -a 2>/dev/null | grep -qix 'ro_RO\.utf-\?8' || $SUDO localedef -i ro_RO -f UTF-8 ro_RO.UTF-8

BUILD="${1:-build}"
shift || true
TARGETS=()
for t in "$@"; do TARGETS+=(--target "$t"); done
# Fresh clones land in new folders: let ccache match them to earlier builds.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LAUNCHER[@]}"
# Sources are globbed: make moc look again for headers added since the last build.
find "$BUILD" -path '*_autogen/timestamp' -delete 2>/dev/null || true
cmake --build "$BUILD" -j"${CORVANE_JOBS:-$(nproc)}" "${TARGETS[@]}"
