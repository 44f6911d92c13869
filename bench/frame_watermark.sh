#!/usr/bin/env bash
# What a frame and a text watermark add to one 24-megapixel conversion:
#   plain            full 48-bit decode of a 6000 x 4000 DNG, written as a 24-bit TIFF
#   frame+text       the same conversion with a 60-pixel frame of four colours at
#                    opacity 200 and a two-line smoothed text watermark (48 points,
#                    half-opaque background, turned by 30 degrees)
# Both write 24-bit TIFFs (the frame makes the image 24 bits anyway), so the
# difference is the drawing and compositing alone. Target: at most +25 % of the
# processor time (user + system), which other load on the machine does not skew.
#   bench/frame_watermark.sh BUILD_DIR        (builds nothing itself)
# Environment: RUNS (hyperfine runs per command, default 5). Takes about a minute.
set -euo pipefail

source "$(dirname "$0")/common.sh"
build_folder "$@"
runs=${RUNS:-5}
quillmere="$build/src/quillmere"
make_dng="$build/tools/make_dng"
require_built "$quillmere" "$make_dng"
require_tools hyperfine

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/plain" "$work/decorated"
raw="$work/in/bench.dng"
"$make_dng" "$raw" --width 6000 --height 4000 --preview --exif
echo "Input: 6000 x 4000 DNG, full decode, $(stat -c %s "$raw") bytes"

common="-i $raw --raw-load-as=48 --raw-tone-mapping=none --tiff-bpp=24 -q"
decorations=(
  --fr-solid-left=60 --fr-solid-right=60 --fr-solid-top=60 --fr-solid-bottom=60
  --fr-solid-left-color=C00000 --fr-solid-right-color=00C000
  --fr-solid-top-color=0000C0 --fr-solid-bottom-color=C0C000 --fr-solid-opacity=200
  "--wm-text=Varnetta Quillmere %yyyy%%eol%%width% x %height%"
  --wm-font-size=48 --wm-text-antialiasing --wm-back-opacity=128 --wm-text-padding=12
  --wm-text-rotation=30 --wm-text-boundary=frame
)

# Each command once outside the clock: it must succeed and write its file.
"$quillmere" $common -o "$work/plain" >"$work/check.log" 2>&1 || { cat "$work/check.log" >&2; exit 1; }
"$quillmere" $common -o "$work/decorated" "${decorations[@]}" >"$work/check.log" 2>&1 ||
  { cat "$work/check.log" >&2; exit 1; }
for output in "$work/plain/bench.tiff" "$work/decorated/bench.tiff"; do
  [ -s "$output" ] || { echo "no output at $output" >&2; exit 1; }
  printf '  %-24s %11d bytes\n' "${output#"$work"/}" "$(stat -c %s "$output")"
done
echo

# hyperfine runs its commands through a shell: quote the watermark text for it.
quoted=""
for word in "${decorations[@]}"; do
  quoted+=" $(printf '%q' "$word")"
done
hyperfine --warmup 0 --runs "$runs" --export-csv "$work/times.csv" --style basic \
  --command-name "plain" "$quillmere $common -o $work/plain" \
  --command-name "frame+text" "$quillmere $common -o $work/decorated$quoted"

# Wall time moves with whatever else the machine does; the processor time the
# program itself used (user + system) does not, so the target is judged on it.
declare -A wall cpu
while IFS=, read -r name mean _ _ user system _; do
  [ "$name" = command ] && continue
  wall[$name]=$mean
  cpu[$name]=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
done <"$work/times.csv"
echo
awk -v a="${wall[frame+text]}" -v b="${wall[plain]}" 'BEGIN {
  printf "wall time  frame+text / plain: %6.3f s / %6.3f s = x%.3f (%+.1f %%)\n", a, b, a / b, (a / b - 1) * 100 }'
awk -v a="${cpu[frame+text]}" -v b="${cpu[plain]}" 'BEGIN {
  printf "CPU time   frame+text / plain: %6.3f s / %6.3f s = x%.3f (%+.1f %%), target at most +25 %%\n",
         a, b, a / b, (a / b - 1) * 100
  exit (a / b > 1.25) }' || { echo "over the target" >&2; exit 2; }
