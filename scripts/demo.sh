#!/usr/bin/env bash
# Converts a folder of sample RAW files with the built command line, to see the product work.
#   scripts/demo.sh BUILD_DIR        (make demo)
# Builds nothing: BUILD_DIR must hold a build (make_dng and quillmere). The samples are
# generated DNG files in samples/ at the top of the checkout, made once and kept; the
# converted files go to out/ there.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 1
fi
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
make_dng="$build/tools/make_dng"
quillmere="$build/src/quillmere"
for program in "$make_dng" "$quillmere"; do
  if [ ! -x "$program" ]; then
    echo "$program is missing: build first (make build)" >&2
    exit 1
  fi
done

# name | make_dng options. Landscape and portrait (by orientation, as cameras tag them, and
# by shape), with and without an embedded preview, two at 24 megapixels.
samples=(
  "landscape-24mp-preview.dng|--width 6000 --height 4000 --preview --exif --gps --seed 1"
  "portrait-24mp-preview.dng|--width 6000 --height 4000 --orientation 6 --preview --exif --seed 2"
  "landscape-thumbnail.dng|--width 3000 --height 2000 --exif --seed 3"
  "trip/portrait-no-preview.dng|--width 2000 --height 3000 --no-thumbnail --seed 4"
  "trip/upside-down-preview.dng|--width 3000 --height 2000 --orientation 3 --preview --seed 5"
)

cd "$top"
echo "Samples in $top/samples:"
for sample in "${samples[@]}"; do
  name=${sample%%|*}
  options=${sample#*|}
  path="samples/$name"
  if [ -s "$path" ]; then
    echo "  $name (kept)"
    continue
  fi
  mkdir -p "$(dirname "$path")"
  # shellcheck disable=SC2086  # the options are words on purpose
  "$make_dng" "$path" $options
  echo "  $name: make_dng $options"
done

mkdir -p out
echo
echo "\$ $quillmere -i samples -o out"
start=$EPOCHREALTIME
status=0
"$quillmere" -i samples -o out || status=$?
end=$EPOCHREALTIME
echo
awk -v s="$start" -v e="$end" -v c="$status" 'BEGIN { printf "quillmere exited with %d after %.1f s\n", c, e - s }'
echo "Output in $top/out:"
find out -type f -printf '  %P  %s bytes\n' | sort
exit "$status"
