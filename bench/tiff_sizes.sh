#!/usr/bin/env bash
# Sizes and per-file time of the TIFF writer next to an earlier build of the
# program, side by side on the real Canon CRW of the fixture folder:
#   bench/tiff_sizes.sh BUILD_DIR EARLIER_QUILLMERE
# For each mode (48-bit with the default tone mapping, 48-bit linear) and each
# lossless compression it prints both sizes and their ratio, checks that the
# decoded samples equal the earlier uncompressed output, and then times one
# file per command with hyperfine, both programs in the same run (RUNS, default 5;
# TIMES_ONLY=1 skips the sizes).
set -euo pipefail

source "$(dirname "$0")/common.sh"
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR EARLIER_QUILLMERE" >&2; exit 1; }
build_folder "$1"
earlier=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
runs=${RUNS:-5}
quillmere="$build/src/quillmere"
require_built "$quillmere" "$earlier"
require_tools hyperfine compare
raw="$(dirname "$0")/../../shared/fixtures/raw/CRW_0305.CRW"
[ -f "$raw" ] || { echo "the real CRW is missing at $raw" >&2; exit 1; }
raw=$(cd "$(dirname "$raw")" && pwd)/CRW_0305.CRW

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-tiff-XXXXXX")
trap 'rm -rf "$work"' EXIT

convert_with() {  # program folder options...
  local program=$1 folder=$2
  shift 2
  mkdir -p "$folder"
  "$program" -q -i "$raw" -o "$folder" "$@" >/dev/null
  echo "$folder/CRW_0305.tiff"
}

mkdir -p "$work/t-earlier" "$work/t-now"
if [ -z "${TIMES_ONLY:-}" ]; then
  printf '%-34s %12s %12s %7s %s\n' mode earlier now ratio "samples vs earlier none"
  for mode in "48|--raw-load-as=48" "48-linear|--raw-load-as=48 --raw-tone-mapping=none"; do
    name=${mode%%|*}
    # shellcheck disable=SC2206  # options are words
    options=(${mode#*|})
    reference=$(convert_with "$earlier" "$work/earlier-$name-none" "${options[@]}" --tiff-compression=none)
    for compression in none deflate adobedeflate lzw packbits; do
      before=$(convert_with "$earlier" "$work/earlier-$name-$compression" "${options[@]}" --tiff-compression=$compression)
      after=$(convert_with "$quillmere" "$work/now-$name-$compression" "${options[@]}" --tiff-compression=$compression)
      differing=$(compare -metric AE "$reference" "$after" null: 2>&1 || true)
      printf '%-34s %12d %12d %7.4f %s\n' "$name $compression" "$(stat -c %s "$before")" "$(stat -c %s "$after")" \
        "$(awk -v a="$(stat -c %s "$after")" -v b="$(stat -c %s "$before")" 'BEGIN { print a / b }')" \
        "$differing pixels differ"
    done
  done
  echo
fi

# One hyperfine run per mode, both programs in it: its summary gives the ratio.
for mode in "48 deflate|--raw-load-as=48 --tiff-compression=deflate" \
            "48-linear none|--raw-load-as=48 --raw-tone-mapping=none" \
            "auto none|"; do
  name=${mode%%|*}
  options=${mode#*|}
  hyperfine --warmup 1 --runs "$runs" --style basic \
    --command-name "earlier $name" "$earlier -q -i $raw -o $work/t-earlier $options" \
    --command-name "now $name" "$quillmere -q -i $raw -o $work/t-now $options"
done
