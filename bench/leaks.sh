#!/usr/bin/env bash
# Whether memory stays flat over a long batch: converts 1,000 small DNG files
# (64 x 48) in one batch and samples, ten times a second, the resident memory
# (VmRSS) and its peak (VmHWM) of the batch process and of each render process.
# A process that leaks a little per file grows steadily; one that does not
# holds the level it reaches after its first files. Two runs: plain, and with
# the steps that allocate the most (48-bit decode, rotation, resize, frame,
# text watermark, dither).
#   bench/leaks.sh BUILD_DIR      (builds nothing itself; about a minute)
# Environment: FILES (default 1000), JOBS (render processes, default 2),
# SLACK_KB (growth still counted as flat, default 2048).
# Exit 1 when a process's resident memory grew by more than the slack from the
# second tenth of the batch (after warming up) to the last. The leak check proper (memcheck
# on 200 files, render processes included) is the LeakCheck test of
# test_reliability.
set -euo pipefail

source "$(dirname "$0")/common.sh"
build_folder "$@"
files=${FILES:-1000}
jobs=${JOBS:-2}
slack=${SLACK_KB:-2048}
quillmere="$build/src/quillmere"
make_dng="$build/tools/make_dng"
require_built "$quillmere" "$make_dng"

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-leaks-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in"
# A hundred different files, repeated under new names up to the count.
for i in $(seq 0 99); do
  "$make_dng" "$work/in/src$i.dng" --width 64 --height 48 --seed $((i + 1)) --exif >/dev/null
done
for i in $(seq 0 $((files - 1))); do
  cp "$work/in/src$((i % 100)).dng" "$work/in/$(printf 'f%05d' "$i").dng"
done
rm "$work"/in/src*.dng
echo "Input: $files DNG files of 64 x 48 pixels, $jobs render processes"

# kB of VmRSS and VmHWM of a process, or nothing once it is gone.
memory_of() {
  awk '/^VmRSS:/ {rss = $2} /^VmHWM:/ {hwm = $2} END {if (rss != "") print rss, hwm}' "/proc/$1/status" 2>/dev/null || true
}

# One batch, sampled; writes "seconds outputs role pid rss hwm" rows to $2.
sample_batch() {
  local name=$1 samples=$2
  shift 2
  rm -rf "$work/out"
  mkdir -p "$work/out"
  local started
  started=$(date +%s.%N)
  "$quillmere" -q -i "$work/in" -o "$work/out" --jobs="$jobs" "$@" &
  local batch=$!
  : >"$samples"
  while kill -0 "$batch" 2>/dev/null; do
    local now outputs
    now=$(date +%s.%N)
    outputs=$(find "$work/out" -maxdepth 1 -name '*.tiff' | wc -l)
    local line
    line=$(memory_of "$batch")
    [ -n "$line" ] && echo "$now $outputs batch $batch $line" >>"$samples"
    for child in $(cat /proc/"$batch"/task/*/children 2>/dev/null); do
      line=$(memory_of "$child")
      [ -n "$line" ] && echo "$now $outputs render $child $line" >>"$samples"
    done
    sleep 0.1
  done
  local code=0
  wait "$batch" || code=$?
  local seconds converted
  seconds=$(echo "$(date +%s.%N) - $started" | bc)
  converted=$(find "$work/out" -maxdepth 1 -name '*.tiff' | wc -l)
  printf '\n%s: exit code %d, %d of %d files converted in %.1f s\n' "$name" "$code" "$converted" "$files" "$seconds"
  [ "$code" -eq 0 ] && [ "$converted" -eq "$files" ] || { echo "the batch failed" >&2; return 1; }
}

# Per process: the peak (VmHWM), and the highest resident memory in each tenth
# of the batch (by outputs written). The first tenth warms up (libraries,
# fonts, the allocator's pools); memory that grows after it grows per file.
# Prints a FLAT or GROWING verdict per process; exit 1 when any grew.
judge() {
  awk -v files="$files" -v slack="$slack" '
    {
      key = $3 " " $4
      if (!(key in seen)) { seen[key] = 1; order[++count] = key }
      if ($6 > hwm[key]) hwm[key] = $6
      tenth = int($2 * 10 / files); if (tenth > 9) tenth = 9
      if ($5 > peakIn[key, tenth]) peakIn[key, tenth] = $5
    }
    END {
      printf "  %-14s %9s %15s %15s %8s\n", "process", "VmHWM kB", "RSS 2nd tenth", "RSS last tenth", "growth"
      for (i = 1; i <= count; i++) {
        key = order[i]
        # A fast batch may leave a tenth without a sample: take the nearest.
        first = 1; while (first < 9 && !((key, first) in peakIn)) first++
        last = 9; while (last > first && !((key, last) in peakIn)) last--
        if (!((key, first) in peakIn) || !((key, last) in peakIn) || last - first < 5) {
          printf "  %-14s %9d %15s %15s %8s\n", key, hwm[key], "-", "-", "(too few samples)"
          continue
        }
        e = peakIn[key, first]; l = peakIn[key, last]
        verdict = (l - e <= slack) ? "flat" : "GROWING"
        if (verdict == "GROWING") bad = 1
        printf "  %-14s %9d %15d %15d %+8d  %s\n", key, hwm[key], e, l, l - e, verdict
      }
      printf "  highest RSS (kB) in each tenth of the batch:\n"
      for (i = 1; i <= count; i++) {
        key = order[i]
        line = sprintf("  %-14s", key)
        for (t = 0; t < 10; t++) line = line sprintf(" %6s", ((key, t) in peakIn) ? peakIn[key, t] : "-")
        print line
      }
      exit bad
    }' "$1"
}

status=0
sample_batch "plain" "$work/plain.samples" || status=1
judge "$work/plain.samples" || status=1
sample_batch "every allocating step" "$work/steps.samples" \
  --raw-load-as=48 --width=50 --height=40 --rotation=30 --fr-solid-left=3 --fr-solid-top=2 \
  --wm-text="%n% %rnd%" --contrast=10 --dither=bayer4 || status=1
judge "$work/steps.samples" || status=1
echo
if [ "$status" -eq 0 ]; then
  echo "Resident memory stays flat over $files files (growth within $slack kB per process)."
else
  echo "Resident memory GREW over the batch (or a batch failed)."
fi
exit "$status"
