#!/usr/bin/env bash
# Sets up, builds and runs the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
cmake --preset release -DV3D_BUILD_TESTS=OFF -DV3D_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target velmora3d-demo
mkdir -p build/demo-output
exec build/cli/velmora3d-demo build/demo-output "$@"
