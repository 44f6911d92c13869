#!/usr/bin/env bash
# Converts real camera RAW files with the built command line and checks that
# every one became a TIFF. Uses the shared fixtures when present, else a
# generated DNG.
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"
fixtures="$(cd "$(dirname "$0")/.." && pwd)/../shared/fixtures/raw"
if [ -d "$fixtures" ]; then
  find "$fixtures" -maxdepth 1 -type f ! -name '*.md' -exec cp {} "$work/in/" \;
else
  "$build/tools/make_dng" "$work/in/generated.dng" --width 1200 --height 800 --preview --exif
fi
queued=$(find "$work/in" -type f | wc -l)
"$build/src/quillmere" -i "$work/in" -o "$work/out" --raw-load-as=48HS
written=$(find "$work/out" -type f -name '*.tiff' | wc -l)
echo "smoke: $written of $queued files converted"
[ "$written" -eq "$queued" ]
