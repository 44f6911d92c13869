#!/usr/bin/env bash
# What a file manager waits for per RAW thumbnail: the whole thumbnailer run
# (start, render process, preview decode, fit, PNG) on the real 4 MP CRW of the
# fixtures, at the normal (128) and large (256) sizes. Goal: 30 ms or less.
#   bench/thumbnail.sh BUILD_DIR     (part of make bench; builds nothing itself)
set -euo pipefail
source "$(dirname "$0")/common.sh"
build_folder "$@"
quillmere="$build/src/quillmere"
crw="$(cd "$(dirname "$0")/.." && pwd)/../shared/fixtures/raw/CRW_0305.CRW"
require_built "$quillmere"
require_tools hyperfine
[ -f "$crw" ] || { echo "bench/thumbnail.sh: $crw is missing (the RAW fixtures)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
thumbnailer="$build/packaging/quillmere-thumbnailer"
require_built "$thumbnailer"
hyperfine --warmup 3 --runs 30 -N \
  -n "thumbnailer 128" "$thumbnailer 128 $crw $work/t128.png" \
  -n "thumbnailer 256" "$thumbnailer 256 $crw $work/t256.png" \
  -n "quillmere --thumbnail=256" "$quillmere --thumbnail=256 $crw $work/q256.png"
