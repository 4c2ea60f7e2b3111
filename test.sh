#!/usr/bin/env bash
# Installs missing packages, builds with warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"
