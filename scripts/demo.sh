#!/bin/sh
# The main job: build the driver and korvane-grab only, then grab frames
# from the built-in simulated camera. (./scripts/test.sh builds the rest.)
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh demo
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target Korvane korvane-grab -j "$(nproc)"
./build/bin/korvane-grab --quiet --system-path korvane-data --frames 10 --out korvane-data/frames "$@"
