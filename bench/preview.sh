#!/usr/bin/env bash
# The preview window's speed on this machine, medians, offscreen:
#   a 24 MP DNG with an embedded JPEG preview, default settings (Auto)
#   the same file after a settings change (brightness and frame width)
#   a real 4 MP Canon CRW in 48-bit mode, approximate (half-size decode)
# and a conversion of the CRW in 48-bit mode beside it, for scale.
#   bench/preview.sh BUILD_DIR
set -euo pipefail
here=$(dirname "$0")
source "$here/common.sh"
build_folder "$@"
quillmere="$build/src/quillmere"
latency="$build/bench/preview_latency"
make_dng="$build/tools/make_dng"
require_built "$quillmere" "$latency" "$make_dng"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config"
"$make_dng" "$work/big.dng" --width 6000 --height 4000 --preview >/dev/null

echo "== 24 MP DNG, embedded JPEG preview, Auto"
"$latency" "$quillmere" "$work/config.ini" "$work/big.dng" 0
fixtures=${QUILL_FIXTURES_DIR:-$(cd "$here/../.." && pwd)/shared/fixtures/raw}
crw=$(ls "$fixtures"/*.crw "$fixtures"/*.CRW 2>/dev/null | head -1 || true)
if [ -n "$crw" ]; then
  echo "== $(basename "$crw"), RGB48, approximate"
  "$latency" "$quillmere" "$work/config.ini" "$crw" 5
  mkdir -p "$work/out"
  begin=$(date +%s%N)
  "$quillmere" -i "$crw" -o "$work/out" --raw-load-as=48 -q >/dev/null || true
  echo "conversion of the same file in 48-bit mode: $(( ($(date +%s%N) - begin) / 1000000 )) ms"
else
  echo "no CRW in $fixtures: the camera-file case is skipped"
fi
