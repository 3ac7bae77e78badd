#!/usr/bin/env bash
# Sets up, builds and runs the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
cmake --preset release -DV3D_BUILD_TESTS=OFF -DV3D_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target velmora3d
cd build
# The program runs from build/, where its modules lie beside it. Without a display, it runs
# under a virtual one (Debian's xvfb, installed on demand).
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if ! command -v xvfb-run >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y -qq --no-install-recommends xvfb xauth >/dev/null
  fi
  exec xvfb-run -a ./velmora3d "$@"
fi
exec ./velmora3d "$@"
