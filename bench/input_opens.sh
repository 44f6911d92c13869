#!/usr/bin/env bash
# How often converting one file opens that file, per process: the batch (the
# process started from the command line) and the render process that decodes it.
# Every camera fixture and a generated DNG with a JPEG preview, in the default
# mode (embedded preview) and the full 48-bit decode, with the debug log on.
#   bench/input_opens.sh BUILD_DIR [FIXTURE_DIR]
# FIXTURE_DIR defaults to ../shared/fixtures/raw beside the checkout; without it only the DNG is used.
set -euo pipefail

source "$(dirname "$0")/common.sh"
build_folder "$1"
fixtures=${2:-$(dirname "$0")/../../shared/fixtures/raw}
quillmere="$build/src/quillmere"
make_dng="$build/tools/make_dng"
require_built "$quillmere" "$make_dng"
require_tools strace

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-opens-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"
"$make_dng" "$work/in/generated.dng" --preview --exif --gps >/dev/null
inputs=("$work/in/generated.dng")
if [ -d "$fixtures" ]; then
  fixtures=$(cd "$fixtures" && pwd)  # the program names its inputs by absolute paths
  for file in "$fixtures"/*; do
    [ -f "$file" ] && [ "${file##*.}" != md ] && inputs+=("$file")
  done
fi

printf '%-18s %-6s %6s %7s\n' file mode batch render
for input in "${inputs[@]}"; do
  for mode in auto 48; do
    out="$work/out-$mode"
    rm -rf "$out" && mkdir -p "$out"
    extra=()
    [ "$mode" = 48 ] && extra=(--raw-load-as=48 --raw-tone-mapping=none)
    strace -f -qq -e trace=openat,open,clone,clone3,execve -o "$work/trace" \
      "$quillmere" -i "$input" -o "$out" -d "${extra[@]}" >/dev/null || true
    # strace names threads by their own ids: each is counted with the process
    # that started it; a child that is no thread is a process of its own.
    counts=$(awk -v input="\"$input\"" '
      NR == 1 { batch = $1; owner[$1] = $1 }
      /clone/ && !/resumed>/ { pendingThread[$1] = /CLONE_THREAD/ }
      /clone/ && /= [0-9]+$/ { child = $NF; owner[child] = pendingThread[$1] ? owner[$1] : child }
      /open/ && index($0, input) { if (owner[$1] == batch) b++; else r++ }
      END { printf "%d %d", b, r }' "$work/trace")
    printf '%-18s %-6s %6s %7s\n' "$(basename "$input")" "$mode" ${counts}
  done
done
