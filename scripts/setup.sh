#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need (only
# those missing), then configures and builds into build/. Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config clang libclang-rt-14-dev clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev qt6-qpa-plugins qt6-translations-l10n
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-ipafont-gothic
  xvfb xauth
  python3 chromium
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_TYPE="${TOBRISK_BUILD_TYPE:-RelWithDebInfo}"
cmake -S . -B build -DCMAKE_BUILD_TYPE="$BUILD_TYPE" -DTOBRISK_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)"
