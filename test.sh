#!/usr/bin/env bash
# Installs missing packages, builds, and runs every test through ctest:
#   1. the whole system with warnings as errors (windows on Qt's offscreen platform);
#   2. every test again under AddressSanitizer + UndefinedBehaviorSanitizer (leaks included; the
#      windows too, on Qt's offscreen platform);
#   3. every fuzz target for a short fixed number of runs on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
start=$(date +%s)
stage=$start
# How long the stage that just ended took, so that the budget of the whole run stays visible.
stage_done() {
  echo "== $1 took $(( $(date +%s) - stage )) s"
  stage=$(date +%s)
}

echo "== build and test (ci preset)"
cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"
stage_done "ci stage"

echo "== build and test under sanitizers (sanitize preset)"
cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset sanitize -j "$jobs"
stage_done "sanitize stage"

echo "== fuzz targets, short runs (fuzz preset)"
scripts/fuzz.sh short
stage_done "fuzz stage"

echo "== all stages passed in $(( $(date +%s) - start )) s"
