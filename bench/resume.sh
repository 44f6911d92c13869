#!/usr/bin/env bash
# What resuming costs with --existing-files=skip, over small generated DNGs:
#   all kept     10,000 inputs whose outputs are all there (target: at most 2 s)
#   100 missing  1,000 inputs of which 100 lack their output, against converting
#                those 100 alone (target: at most 1.1 times as long)
#   bench/resume.sh BUILD_DIR
# Environment: RUNS (hyperfine runs per command, default 5).
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_folder "$@"
quillmere=$build/src/quillmere
make_dng=$build/tools/make_dng
require_built "$quillmere" "$make_dng"
require_tools hyperfine python3
runs=${RUNS:-5}

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-resume-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Ten distinct camera files, copied under many names in ten folders.
mkdir -p "$work/seed"
for i in $(seq 0 9); do
  "$make_dng" "$work/seed/s$i.dng" --width 160 --height 120 --seed $((i + 1)) >/dev/null
done
# copies FOLDER COUNT [FROM TO]: FOLDER/dK/imgN.dng for N below COUNT (K its
# last digit), copied from seed/sK.dng, or from FROM/sK.tiff as TO/dK/imgN.tiff.
copies() {
  python3 - "$work" "$@" <<'PY'
import os, shutil, sys
work, folder, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
source, ext = (sys.argv[4], "tiff") if len(sys.argv) > 4 else (work + "/seed", "dng")
width = len(str(count - 1))
for n in range(count):
    digits = str(n).zfill(width)
    os.makedirs(f"{folder}/d{digits[-1]}", exist_ok=True)
    seed = digits[-1] if ext == "dng" else "0"
    shutil.copyfile(f"{source}/s{seed}.{ext}", f"{folder}/d{digits[-1]}/img{digits}.{ext}")
PY
}

# 10,000 inputs, every output there already (an output is any whole file).
copies "$work/big" 10000
"$quillmere" -q -i "$work/seed/s0.dng" -o "$work/seed"
copies "$work/big-out" 10000 "$work/seed"

# 1,000 inputs converted once; 100 of them (every tenth) lose their output
# before each timed run. The same 100 alone in a folder of their own.
copies "$work/mid" 1000
mkdir -p "$work/mid-out"
"$quillmere" -q -i "$work/mid" -o "$work/mid-out"
(cd "$work/mid" && find . -name '*0.dng' | sort) > "$work/missing.txt"
[ "$(wc -l < "$work/missing.txt")" -eq 100 ]
while read -r input; do
  mkdir -p "$work/alone/$(dirname "$input")"
  cp "$work/mid/$input" "$work/alone/$input"
done < "$work/missing.txt"
remove_missing="cd $work/mid-out && sed 's/\\.dng\$/.tiff/' $work/missing.txt | xargs rm -f"

hyperfine --warmup 1 --runs "$runs" --export-json "$work/times.json" \
  --prepare true --prepare "$remove_missing" --prepare "rm -rf $work/alone-out && mkdir $work/alone-out" \
  -n "10000 inputs, all kept" -n "1000 inputs, 100 missing" -n "the 100 alone" \
  "$quillmere -q -i $work/big -o $work/big-out --existing-files=skip" \
  "$quillmere -q -i $work/mid -o $work/mid-out --existing-files=skip" \
  "$quillmere -q -i $work/alone -o $work/alone-out"

[ "$(find "$work/mid-out" -name '*.tiff' | wc -l)" -eq 1000 ] && echo "the resumed run wrote the 100 missing outputs"
python3 - "$work/times.json" <<'PY'
import json, sys
kept, resumed, alone = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print(f"10000 all kept: {kept:.2f} s (target <= 2 s)")
print(f"1000 with 100 missing / the 100 alone: {resumed:.2f} s / {alone:.2f} s = {resumed / alone:.3f} (target <= 1.1)")
PY
