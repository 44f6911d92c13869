#!/usr/bin/env bash
# What splitting a run costs: the same folder of 24 MP camera files converted
# by one run with --jobs=3 and by three --shard slices side by side under GNU
# parallel (one job each), timed together by hyperfine. The slices should cost
# no more than the split itself: at most 5 % more wall time.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_folder "$@"
quillmere=$build/src/quillmere
require_built "$quillmere" "$build/tools/make_dng"
require_tools hyperfine parallel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in/a" "$work/in/b" "$work/one" "$work/sliced"
for i in $(seq 1 12); do
  folder=$([ $((i % 2)) -eq 0 ] && echo a || echo b)
  "$build/tools/make_dng" "$work/in/$folder/img$i.dng" --width 6000 --height 4000 --seed "$i" >/dev/null
done
options="-q --raw-load-as=48 --raw-tone-mapping=none --filename-mask=%n%_%filename%.%ext%"

hyperfine --warmup 1 --runs "${SHARD_RUNS:-3}" --export-json "$work/times.json" \
  -n "one run, --jobs=3" "$quillmere -i $work/in -o $work/one $options --jobs=3" \
  -n "3 slices under parallel" \
  "parallel --will-cite -j3 $quillmere -i $work/in -o $work/sliced $options --jobs=1 --shard={}/3 ::: 1 2 3"

diff -r "$work/one" "$work/sliced" >/dev/null && echo "slices wrote the same tree as one run"
python3 - "$work/times.json" <<'PY'
import json, sys
one, sliced = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print(f"slices / one run: {sliced / one:.3f} (target <= 1.05)")
PY
