#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when
# any is missing. Runs as root (CI) or through sudo.
set -euo pipefail

packages=(
  cmake make g++ clang-14 libclang-rt-14-dev clang-format-14
  libgtest-dev googletest libbenchmark-dev
  libx11-dev libfreetype-dev fonts-liberation2
  libsndfile1-dev libebur128-dev libsoxr-dev ffmpeg python3
  xvfb xauth x11-utils libxtst-dev
  lv2-dev liblilv-dev lilv-utils lv2file sordi
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo_cmd apt-get update -qq
$sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
