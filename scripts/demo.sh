#!/usr/bin/env bash
# The main job: builds the programs and decodes the bundled sample track.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
cmake --build build/release -j 2
build/release/tools/tarnwick/tarnwick decode --stats "$@" data/sample-track.nmea
