#!/bin/sh
# The main job: build, then grab frames from the built-in simulated camera.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build
./build/bin/korvane-grab --quiet --system-path korvane-data --frames 10 --out korvane-data/frames "$@"
