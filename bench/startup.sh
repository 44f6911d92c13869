#!/usr/bin/env bash
# What the command line costs around the conversions themselves: start-up until
# the first file, and queueing plus naming per file.
#   one file     quillmere on one tiny RAW file vs. the bare FreeImage floor on it;
#                the difference is start-up, checks, queueing and naming
#   folder of N  quillmere on N copies of that file vs. N floor runs in one process
#                would be unfair, so: vs. N separate floor runs (each pays its own start)
#   bench/startup.sh BUILD_DIR     (part of make bench; builds nothing itself)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
quillmere="$build/src/quillmere"
floor="$build/bench/freeimage_floor"
make_dng="$build/tools/make_dng"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/one" "$work/many" "$work/out"
"$make_dng" "$work/one/tiny.dng" --width 64 --height 48 --preview >/dev/null
for i in $(seq -w 1 50); do cp "$work/one/tiny.dng" "$work/many/tiny$i.dng"; done

hyperfine --warmup 3 --runs 30 -N --export-json "$work/one.json" \
  -n "quillmere one file" "$quillmere -i $work/one/tiny.dng -o $work/out" \
  -n "floor one file" "$floor $work/one/tiny.dng $work/out/floor.tif --preview" \
  -n "quillmere --version" "$quillmere --version"

hyperfine --warmup 1 --runs 5 --export-json "$work/many.json" \
  -n "quillmere 50 files" "$quillmere -i $work/many -o $work/out --jobs=1" \
  -n "floor 50 runs" "for f in $work/many/*.dng; do $floor \$f $work/out/floor.tif --preview; done"

python3 - "$work/one.json" "$work/many.json" <<'PY'
import json, sys
one = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
many = {r["command"]: r["mean"] for r in json.load(open(sys.argv[2]))["results"]}
overhead = (one["quillmere one file"] - one["floor one file"]) * 1000
per_file = (many["quillmere 50 files"] - many["floor 50 runs"]) / 50 * 1000
print(f"start-up to the first file: {overhead:.1f} ms beyond the floor (target < 50 ms)")
print(f"queueing and naming per file in a folder of 50: {per_file:+.1f} ms vs. a separate floor run each")
PY
