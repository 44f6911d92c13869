#!/usr/bin/env bash
# The window's speed as a user feels it, on a virtual X display:
#   cold start   from the command to the window's first paint flushed (median of 10)
#   20,000 rows  a folder of 20,000 RAW files imported until every row is listed
#   idle memory  resident size of the window, idle, after start-up
#   bench/window.sh BUILD_DIR     (builds nothing itself)
set -euo pipefail
here=$(dirname "$0")
source "$here/common.sh"
build_folder "$@"
quillmere="$build/src/quillmere"
rows="$build/bench/window_rows"
require_built "$quillmere" "$rows"
require_tools Xvfb xdotool

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export DISPLAY=$display XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
unset QT_QPA_PLATFORM
mkdir -p "$work/run" && chmod 700 "$work/run"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

starts=()
for run in $(seq 10); do
  rm -f "$work/painted"
  begin=$(date +%s%N)
  QUILLMERE_FIRST_PAINT_FILE="$work/painted" "$quillmere" & pid=$!
  for _ in $(seq 500); do [ -s "$work/painted" ] && break; sleep 0.01; done
  painted=$(cat "$work/painted")
  starts+=($(( (painted - begin) / 1000000 )))
  if [ "$run" -eq 10 ]; then
    sleep 2
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
  fi
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
median=$(printf '%s\n' "${starts[@]}" | sort -n | sed -n 5p)
echo "cold start to the first paint: median ${median} ms of 10 (${starts[*]}) (target < 300 ms)"
echo "idle resident memory: $((rss / 1024)) MB (target < 80 MB)"

mkdir -p "$work/card"
python3 - "$work/card" <<'PY'
import os, sys
folder = sys.argv[1]
for i in range(20000):
    sub = os.path.join(folder, f"DCIM{i // 1000:03d}")
    os.makedirs(sub, exist_ok=True)
    with open(os.path.join(sub, f"IMG_{i:05d}.CR2"), "wb") as f:
        f.write(b"raw")
PY
QT_QPA_PLATFORM=offscreen "$rows" "$work/card" "$work/rows.ini" | sed 's/$/ (target < 2000 ms)/;1s/ (target.*//'
