#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each on its seed corpus.
#   scripts/fuzz.sh short          a fixed number of runs per target (CI)
#   scripts/fuzz.sh long [SECONDS] each target for SECONDS (default 300), corpus grows in build/fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-short}"
seconds="${2:-300}"
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

shopt -s nullglob
targets=(build/fuzz/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built" >&2
  exit 1
fi
for exe in "${targets[@]}"; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  seeds="fuzz/corpus/$name"
  work="build/fuzz/corpus/$name"
  mkdir -p "$work"
  args=(-rss_limit_mb=2048 -timeout=20 -print_final_stats=1)
  if [ "$mode" = "long" ]; then
    args+=(-max_total_time="$seconds")
  else
    # Fixed run counts, sized so that all targets together stay within a few minutes.
    case "$name" in
      fuzz_edf_open) args+=(-runs=10000) ;;
      *) args+=(-runs=20000) ;;
    esac
  fi
  echo "-- $name (${mode})"
  corpora=("$work")
  [ -d "$seeds" ] && corpora+=("$seeds")
  log="build/fuzz/$name.log"
  if ! "$exe" "${args[@]}" "${corpora[@]}" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "$name failed (log: $log)" >&2
    exit 1
  fi
  grep -E "stat::number_of_executed_units|Done " "$log" || true
done
