#!/usr/bin/env bash
# Runs the README's GNU parallel recipe (map) on a small folder, then checks
# that the merged JSON lines equal one `-r --json` run file for file, and
# that --summarize of them (reduce) equals that run's --summary.
#   parallel_recipe_test.sh VELLICOR_CHECK README.md SAMPLE.edf
set -euo pipefail
exe=$(realpath "$1"); readme="$2"; sample="$3"
command -v parallel >/dev/null || { echo "GNU parallel is not installed (scripts/install-deps.sh installs it)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
archive="$work/archive"
mkdir -p "$archive/night 2" "$archive/sub"
cp "$sample" "$archive/a.edf"
cp "$sample" "$archive/night 2/B.EDF"
# A broken copy: another start date layout and a missing half record.
python3 - "$sample" "$archive/sub/c.edf" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read())
b[168:176] = b'01-02-03'
open(sys.argv[2], 'wb').write(bytes(b[:-10]))
PY
echo "not EDF" > "$archive/notes.txt"
mkdir -p "$work/bin" "$work/parallel-home"
ln -s "$exe" "$work/bin/vellicor-check"
touch "$work/parallel-home/will-cite"

# The recipe: the first sh block after the marker line in the README.
recipe=$(awk '/<!-- parallel recipe -->/ {on=1; next} on && /^```sh/ {grab=1; next} grab && /^```/ {exit} grab {print}' "$readme")
[ -n "$recipe" ] || { echo "no recipe found after <!-- parallel recipe --> in $readme"; exit 1; }
echo "recipe:"; echo "$recipe"
recipe=${recipe//\/archive/$archive}
# A run with an invalid file exits 1 by design; the lines are what counts.
(cd "$work" && PATH="$work/bin:$PATH" PARALLEL_HOME="$work/parallel-home" bash -c "$recipe") || true
[ -s "$work/results.jsonl" ] || { echo "the recipe wrote no results.jsonl"; exit 1; }

"$exe" -r --json "$archive" > "$work/one-run.jsonl" || true
if ! diff <(sort "$work/results.jsonl") <(sort "$work/one-run.jsonl"); then
  echo "the merged lines differ from one -r --json run"; exit 1
fi
lines=$(wc -l < "$work/one-run.jsonl")
[ "$lines" -eq 3 ] || { echo "expected 3 files, got $lines lines"; exit 1; }

"$exe" -r --json --summary "$archive" | tail -n 1 > "$work/run-summary.json" || true
"$exe" --summarize --json "$work/results.jsonl" > "$work/reduced-summary.json" || true
if ! diff "$work/run-summary.json" "$work/reduced-summary.json"; then
  echo "--summarize of the merged lines differs from --summary of one run"; exit 1
fi
echo "parallel recipe: $lines files, merged lines and summary equal one run"
