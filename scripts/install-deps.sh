#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when some are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build g++ clang libclang-rt-dev clang-format
  googletest libgtest-dev libbenchmark-dev
  libsdl2-dev pkg-config
  g++-mingw-w64-x86-64-posix
  wine wine64
  nsis
  git osslsigncode openssl
  xvfb xdotool x11-utils x11-apps python3
  time acl attr
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
