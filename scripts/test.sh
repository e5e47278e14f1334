#!/bin/sh
# Builds Korvane and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 300
