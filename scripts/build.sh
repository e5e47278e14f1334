#!/bin/sh
# Configures and builds Korvane into build/ (or the directory given).
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
shift 2>/dev/null || true
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
