#!/usr/bin/env bash
# Installs every package the build, the tests and the sample workspace need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpugixml-dev libdw-dev libbackward-cpp-dev
  qt6-base-dev qt6-translations-l10n fonts-dejavu-core dpkg-dev
  clang clang-format clang-tidy lua5.4 xvfb xauth libdtl-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
