#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each on its seed corpus.
#   scripts/fuzz.sh short [TARGET...]          a fixed number of runs per target (CI)
#   scripts/fuzz.sh runs RUNS [TARGET...]      each target (or the ones named) for RUNS runs
#   scripts/fuzz.sh long [SECONDS] [TARGET...] each target for SECONDS (default 300)
# Every mode keeps what it finds: new inputs in build/fuzz/corpus/<target>/, an input
# that fails in build/fuzz/artifacts/<target>/, the output in build/fuzz/<target>.log.
# The documented long run is at least ten million runs per target on a spare machine:
#   nice scripts/fuzz.sh runs 10000000
# A failing target does not stop the others; the script exits 1 if any failed.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-short}"
[ $# -gt 0 ] && shift
limit=""
case "$mode" in
  short) ;;
  runs)
    limit="${1:-}"
    [ $# -gt 0 ] && shift
    if ! [[ "$limit" =~ ^[0-9]+$ ]] || [ "$limit" -eq 0 ]; then
      echo "usage: scripts/fuzz.sh runs RUNS [TARGET...]" >&2
      exit 2
    fi
    ;;
  long)
    limit=300
    if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
      limit="$1"
      shift
    fi
    ;;
  *)
    echo "usage: scripts/fuzz.sh short | runs RUNS [TARGET...] | long [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

shopt -s nullglob
targets=()
if [ $# -gt 0 ]; then
  for name in "$@"; do targets+=("build/fuzz/fuzz/$name"); done
else
  targets=(build/fuzz/fuzz/fuzz_*)
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built" >&2
  exit 1
fi
failed=()
for exe in "${targets[@]}"; do
  name=$(basename "$exe")
  if [ ! -x "$exe" ] || [ -d "$exe" ]; then
    echo "no fuzz target $name" >&2
    failed+=("$name")
    continue
  fi
  seeds="fuzz/corpus/$name"
  work="build/fuzz/corpus/$name"
  artifacts="build/fuzz/artifacts/$name"
  mkdir -p "$work" "$artifacts"
  args=(-rss_limit_mb=2048 -timeout=20 -print_final_stats=1 -artifact_prefix="$artifacts/")
  case "$mode" in
    runs) args+=(-runs="$limit") ;;
    long) args+=(-max_total_time="$limit") ;;
    *)
      # Fixed run counts, sized so that all targets together stay within a few
      # minutes on two cores (about three, measured on a busy machine); the
      # targets that open a file per run are the slow ones.
      case "$name" in
        fuzz_edf_open) args+=(-runs=10000) ;;
        fuzz_edf_structured) args+=(-runs=10000) ;;
        *) args+=(-runs=20000) ;;
      esac
      ;;
  esac
  echo "-- $name ($mode${limit:+ $limit})"
  corpora=("$work")
  [ -d "$seeds" ] && corpora+=("$seeds")
  log="build/fuzz/$name.log"
  if ! "$exe" "${args[@]}" "${corpora[@]}" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "$name failed (log: $log, failing input in $artifacts/)" >&2
    failed+=("$name")
    continue
  fi
  grep -E "stat::number_of_executed_units|Done " "$log" || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
