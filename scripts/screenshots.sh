#!/usr/bin/env bash
# Builds the screenshot program and writes docs/screenshots/{valid,faulty,results,quality}.png:
# the main window on a valid file and on a file with faults, the results
# window of the digital min/max check and that of the signal-quality check
# with its map, then docs/screenshots/report.png: the archive page of
# vellicor-check --html in headless Chromium, with the details and quality
# map of the two-hour recording of quality.png shown. Needs no display (Qt's
# offscreen platform).
#   scripts/screenshots.sh [BUILD_DIR]      default: build/default
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/default}"
jobs=$(nproc 2>/dev/null || echo 2)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/site-a" "$work/site-b"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target vellicor-screenshots -j "$jobs"
mkdir -p "$here/docs/screenshots"
QT_QPA_PLATFORM=offscreen "$build/examples/vellicor-screenshots" "$here/docs/screenshots" "$work/site-a/night-03.edf"
ls -l "$here"/docs/screenshots/{valid,faulty,results,quality}.png

# The archive page (docs/screenshots/report.png): a small run over the sample,
# faulty copies of it and the two-hour recording with quality faults, opened
# in headless Chromium with that recording's details and map shown.
cmake --build "$build" --target vellicor-check -j "$jobs"
check="$(cd "$build" && pwd)/cli/vellicor-check"
sample="$here/examples/sample.edf"
cp "$sample" "$work/site-a/night-01.edf"
cp "$sample" "$work/site-a/night-02.edf"
cp "$sample" "$work/site-b/night-01.edf"
cp "$sample" "$work/site-b/night-02.edf"
printf '07-12-26' | dd of="$work/site-a/night-02.edf" bs=1 seek=168 conv=notrunc status=none   # StartDate
printf '1,5     ' | dd of="$work/site-b/night-01.edf" bs=1 seek=568 conv=notrunc status=none   # a PhysiMin
head -c 3000 "$sample" > "$work/site-b/night-03.edf"                                           # cut short
(cd "$work" && "$check" --minmax --conformance --quality -r site-a site-b --html "$work/report.html" >/dev/null) || true
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
  --force-device-scale-factor=1 --window-size=1280,1720 --virtual-time-budget=3000 \
  --screenshot="$here/docs/screenshots/report.png" "file://$work/report.html#file=site-a/night-03.edf" 2>/dev/null
ls -l "$here/docs/screenshots/report.png"
