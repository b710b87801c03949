#!/usr/bin/env bash
# Installs every Debian package Volleyrun needs to build, test and regenerate
# its content. Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  libglfw3-dev rapidjson-dev libglm-dev
  libasound2-dev libsndfile1-dev libsamplerate0-dev libstb-dev python3-glad
  libevdev-dev libudev-dev
  libgtest-dev libgmock-dev libbenchmark-dev valgrind time
  clang libclang-rt-14-dev
  xvfb xauth libgl1-mesa-dri
  python3-pil python3-numpy vorbis-tools sox espeak-ng fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
