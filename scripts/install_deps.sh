#!/usr/bin/env bash
# Installs what building and testing need, on a fresh Debian machine of this
# project's kind; installs nothing that is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config python3     # native build
  g++-mingw-w64-i686 binutils-mingw-w64-i686   # the Windows product
  libgtest-dev libbenchmark-dev                # tests and benchmarks
  python3-pefile                               # the product binaries' check
  alsa-utils libsndfile1-dev                   # real WAV files and an independent reader
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
