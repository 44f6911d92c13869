#!/usr/bin/env bash
# How fast quillmere converts one 24-megapixel RAW file, next to what the libraries alone
# take for the same work:
#   quillmere      the product, one file in, one TIFF out
#   floor          bench/freeimage_floor: one FreeImage load and one uncompressed TIFF save,
#                  the least any FreeImage-based converter does
#   dcraw_emu      LibRaw's own command line with the settings FreeImage's RAW loader uses
#                  for a full decode (16-bit linear, AHD, camera and auto white balance,
#                  embedded colour matrix, no auto-brightening)
# in both RAW modes: the default "Auto" (embedded JPEG preview) and the full 48-bit decode
# ("--raw-load-as=48 --raw-tone-mapping=none", uncompressed TIFF by default).
#   bench/run.sh BUILD_DIR        (make bench; builds nothing itself)
# A batch of such files side by side, by job count: bench/parallel.sh (make bench runs it next).
# Environment: RUNS (hyperfine runs per command, default 5). Takes about two minutes.
set -euo pipefail

source "$(dirname "$0")/common.sh"
build_folder "$@"
runs=${RUNS:-5}
quillmere="$build/src/quillmere"
make_dng="$build/tools/make_dng"
floor="$build/bench/freeimage_floor"
require_built "$quillmere" "$make_dng" "$floor"
require_tools hyperfine dcraw_emu /usr/bin/time

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/q-auto" "$work/q-full"
raw="$work/in/bench.dng"
"$make_dng" "$raw" --width 6000 --height 4000 --preview --exif
echo "Input: 6000 x 4000 DNG with a 3000 x 2000 JPEG preview, $(stat -c %s "$raw") bytes"

# name | command. The full decodes write about 144 MB each; every output is replaced per run.
commands=(
  "quillmere auto|$quillmere -i $raw -o $work/q-auto"
  "floor preview|$floor $raw $work/floor-auto.tif --preview"
  "quillmere full|$quillmere -i $raw -o $work/q-full --raw-load-as=48 --raw-tone-mapping=none"
  "floor full|$floor $raw $work/floor-full.tif"
  "dcraw_emu full|dcraw_emu -T -4 -w -a +M -q 3 -Z $work/dcraw-full.tiff $raw"
)

# Each command once outside the clock: it must succeed and write its file.
for entry in "${commands[@]}"; do
  name=${entry%%|*}
  command=${entry#*|}
  if ! $command >"$work/check.log" 2>&1; then
    echo "\"$name\" failed:" >&2
    cat "$work/check.log" >&2
    exit 1
  fi
done
for output in "$work/q-auto/bench.tiff" "$work/floor-auto.tif" "$work/q-full/bench.tiff" \
              "$work/floor-full.tif" "$work/dcraw-full.tiff"; do
  [ -s "$output" ] || { echo "no output at $output" >&2; exit 1; }
  printf '  %-28s %11d bytes\n' "${output#"$work"/}" "$(stat -c %s "$output")"
done
echo

# The check above has warmed the page cache already.
hyperfine_args=(--warmup 0 --runs "$runs" --export-csv "$work/times.csv" --style basic)
for entry in "${commands[@]}"; do
  hyperfine_args+=(--command-name "${entry%%|*}" "${entry#*|}")
done
hyperfine "${hyperfine_args[@]}"

# Peak memory, one run each.
declare -A peak
for entry in "${commands[@]}"; do
  name=${entry%%|*}
  # shellcheck disable=SC2086  # the command is words on purpose
  /usr/bin/time -v ${entry#*|} >/dev/null 2>"$work/time.log"
  peak[$name]=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.log")
done

declare -A mean
while IFS=, read -r name seconds _; do
  [ "$name" = command ] && continue
  mean[$name]=$seconds
done <"$work/times.csv"

echo
echo "Summary (mean wall time, peak resident memory):"
for entry in "${commands[@]}"; do
  name=${entry%%|*}
  awk -v n="$name" -v s="${mean[$name]}" -v m="${peak[$name]}" \
    'BEGIN { printf "  %-16s %7.3f s %8.0f MB\n", n, s, m / 1024 }'
done
ratio() {
  awk -v label="$1" -v a="${mean[$2]}" -v b="${mean[$3]}" -v ma="${peak[$2]}" -v mb="${peak[$3]}" \
    'BEGIN { printf "  %-40s time x%.2f   memory x%.2f\n", label, a / b, ma / mb }'
}
echo
echo "Ratios:"
ratio "quillmere full / floor full" "quillmere full" "floor full"
ratio "quillmere full / dcraw_emu full" "quillmere full" "dcraw_emu full"
ratio "floor full / dcraw_emu full" "floor full" "dcraw_emu full"
ratio "quillmere auto / floor preview" "quillmere auto" "floor preview"
ratio "quillmere full / quillmere auto" "quillmere full" "quillmere auto"
