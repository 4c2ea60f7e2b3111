#!/usr/bin/env bash
# Installs missing packages, builds the window and the command-line checker,
# and opens the window on FILE (or on the bundled sample). Without a display
# it prints the command-line check instead.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
file="${1:-$here/examples/sample.edf}"
case "$file" in /*) ;; *) file="$PWD/$file" ;; esac

cd "$here"
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset default >/dev/null
# Only the two programs: the tests and benchmarks are ./test.sh's business.
cmake --build --preset default -j "$jobs" --target vellicor vellicor-check

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/default/app/vellicor "$file"
fi

echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open."
echo "Printing the command-line check of $file instead:"
echo
exec build/default/cli/vellicor-check "$file"
