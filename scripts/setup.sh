#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: does nothing (and prints nothing) when everything is there.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config
  libpugixml-dev nlohmann-json3-dev libcurl4-openssl-dev libsodium-dev
  libmsgsl-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev libpng-dev xvfb xauth
  clang libclang-rt-14-dev
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
