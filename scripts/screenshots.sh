#!/usr/bin/env bash
# Builds the screenshot program and writes docs/screenshots/{valid,faulty,results}.png:
# the main window on a valid file and on a file with faults, and the results
# window of the digital min/max check. Needs no display (Qt's offscreen platform).
#   scripts/screenshots.sh [BUILD_DIR]      default: build/default
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/default}"
jobs=$(nproc 2>/dev/null || echo 2)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target vellicor-screenshots -j "$jobs"
mkdir -p "$here/docs/screenshots"
QT_QPA_PLATFORM=offscreen "$build/examples/vellicor-screenshots" "$here/docs/screenshots"
ls -l "$here"/docs/screenshots/{valid,faulty,results}.png
