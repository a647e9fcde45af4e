#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds into build/.
# Usage: tools/bootstrap.sh [cmake preset]   (default: "default"; CI uses "ci")
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-tools-dev qt6-tools-dev-tools
  qt6-l10n-tools qt6-translations-l10n libgl-dev
  # Qt Multimedia plays through GStreamer: MP3 parsing and decoding (base, good), the sound
  # server's client (pulseaudio, which PipeWire's pulse service answers too), and the headers
  # the player uses to look the elements up before it trusts the back end.
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio libgstreamer1.0-dev
  fonts-noto-cjk xvfb xauth
  lame ffmpeg python3-mutagen kid3-cli
  clang libclang-rt-14-dev
  desktop-file-utils appstream
)
# CI has no sound server of its own: .ci/run starts one with a null sink. A desktop has one.
if [ "$preset" = ci ]; then packages+=(pulseaudio); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset "$preset" -G Ninja >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
