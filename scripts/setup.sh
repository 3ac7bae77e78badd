#!/usr/bin/env bash
# Installs the Debian packages the project needs when they are missing: idempotent, and
# quiet when everything is present.
#
#   scripts/setup.sh run    what building and running the program needs
#   scripts/setup.sh test   that, plus the test, sanitizer, fuzzing and benchmark tools
set -euo pipefail

run_packages=(cmake g++ make pkg-config libtiff-dev libjpeg62-turbo-dev qt6-base-dev fonts-dejavu-core)
# python3-tifffile: the TIFF stack round trips against an independent implementation.
test_packages=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev python3-numpy python3-tifffile)
# The surface renderer: Qt's OpenGL widgets, GL and GLU headers, and Mesa's software rasteriser
# with Xvfb, on which its tests draw real pixels.
run_packages+=(libqt6opengl6-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri)
test_packages+=(xvfb xauth)

packages=("${run_packages[@]}")
if [ "${1:-test}" = test ]; then packages+=("${test_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
