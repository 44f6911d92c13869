#!/usr/bin/env bash
# A batch of full decodes with files side by side: FILES generated 24-megapixel DNGs
# converted to 48-bit TIFF ("--raw-load-as=48 --raw-tone-mapping=none") by
#   auto         quillmere with the automatic job count (render processes side by side)
#   jobs=1       quillmere one file at a time (one render process)
#   dcraw loop   a shell loop of dcraw_emu with the options bench/run.sh matches to
#                FreeImage's full decode (-T -4 -w -a +M -q 3), one file after the other
# side by side in rounds: each round runs the three once, in turn, under hyperfine (the
# order rotates from round to round), so a machine whose speed drifts over the minutes of
# the run -- a shared virtual machine does -- slows every command alike. Then the means,
# the ratios of each round and their median (targets: auto at most 0.6 x jobs=1 and
# 0.6 x the dcraw loop), and the peak memory of each batch's whole process tree
# against what the automatic job count budgets: N decodes of the largest file in half
# the memory that was free.
#   bench/parallel.sh BUILD_DIR     (make bench runs it after bench/run.sh)
# Environment: RUNS (rounds, default 3), FILES (default 8).
# Writes about 1.2 GB per run and command; takes several minutes on 2 cores. The cores column
# shows how much of the machine each command got: on a machine busy with other work every
# command gets about the same share, and the time ratios then follow the processor times
# (`nice -n -10 bench/parallel.sh BUILD_DIR` gives it more of the machine).
set -euo pipefail

source "$(dirname "$0")/common.sh"
build_folder "$@"
runs=${RUNS:-3}
files=${FILES:-8}
quillmere="$build/src/quillmere"
make_dng="$build/tools/make_dng"
job_budget="$build/bench/job_budget"
require_built "$quillmere" "$make_dng" "$job_budget"
require_tools hyperfine dcraw_emu

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-parallel-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/auto" "$work/jobs1" "$work/dcraw"
for i in $(seq 1 "$files"); do
  "$make_dng" "$work/in/picture-$i.dng" --width 6000 --height 4000 --exif --seed "$i"
done
echo "Input: $files DNGs of 6000 x 4000, $(du -sm "$work/in" | cut -f1) MB; $(nproc) cores;" \
     "load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"

options="--raw-load-as=48 --raw-tone-mapping=none"
# name | command (run by bash)
commands=(
  "auto|$quillmere -q -i $work/in -o $work/auto $options"
  "jobs=1|$quillmere -q -i $work/in -o $work/jobs1 $options --jobs=1"
  "dcraw loop|for f in $work/in/*.dng; do n=\${f##*/}; dcraw_emu -T -4 -w -a +M -q 3 -Z $work/dcraw/\${n%.dng}.tiff \$f; done"
)

# Each command once outside the clock: it must write every file (dcraw_emu exits 0
# even when it fails). This also warms the page cache.
for entry in "${commands[@]}"; do
  name=${entry%%|*}
  if ! bash -c "${entry#*|}" >"$work/check.log" 2>&1; then
    echo "\"$name\" failed:" >&2
    cat "$work/check.log" >&2
    exit 1
  fi
done
for folder in auto jobs1 dcraw; do
  count=$(find "$work/$folder" -name '*.tiff' -size +100M | wc -l)
  [ "$count" -eq "$files" ] || { echo "$folder wrote $count of $files full-size files" >&2; exit 1; }
done

: >"$work/times.csv"
for round in $(seq 1 "$runs"); do
  hyperfine_args=(--shell bash --warmup 0 --runs 1 --export-csv "$work/round.csv" --style basic)
  for i in "${!commands[@]}"; do
    entry=${commands[$(( (i + round - 1) % ${#commands[@]} ))]}
    hyperfine_args+=(--command-name "${entry%%|*}" "${entry#*|}")
  done
  echo "Round $round of $runs"
  hyperfine "${hyperfine_args[@]}" | grep -E '^(Benchmark|  Time)' || true
  tail -n +2 "$work/round.csv" | sed "s/^/$round,/" >>"$work/times.csv"
done

# Peak memory of a command's whole process tree, sampled every 20 ms: the largest sum of
# the resident sizes seen at one moment, the sum of each process's own peak (VmHWM, an
# upper bound of the former), the largest single process and the most processes at once.
descendants() {
  local child
  for child in $(ps -o pid= --ppid "$1"); do
    echo "$child"
    descendants "$child"
  done
}
tree_memory() {
  local root sum processes pid rss hwm
  declare -A peak=()
  local together=0 most=0
  bash -c "$1" >/dev/null 2>&1 &
  root=$!
  while kill -0 "$root" 2>/dev/null; do
    sum=0
    processes=0
    for pid in "$root" $(descendants "$root"); do
      read -r rss hwm < <(awk '/^VmRSS:/ { r = $2 } /^VmHWM:/ { h = $2 } END { print r + 0, h + 0 }' \
                          /proc/"$pid"/status 2>/dev/null || echo "0 0")
      [ "$rss" -gt 0 ] || continue
      sum=$((sum + rss))
      processes=$((processes + 1))
      if [ "$hwm" -gt "${peak[$pid]:-0}" ]; then peak[$pid]=$hwm; fi
    done
    [ "$sum" -gt "$together" ] && together=$sum
    [ "$processes" -gt "$most" ] && most=$processes
    sleep 0.02
  done
  wait "$root"
  local sum_of_peaks=0 largest=0
  for pid in "${!peak[@]}"; do
    sum_of_peaks=$((sum_of_peaks + peak[$pid]))
    [ "${peak[$pid]}" -gt "$largest" ] && largest=${peak[$pid]}
  done
  echo "$together $sum_of_peaks $largest $most"
}

# times.csv: round,command,mean,stddev,median,user,system,min,max
declare -A mean cpu memory
for entry in "${commands[@]}"; do
  name=${entry%%|*}
  read -r "mean[$name]" "cpu[$name]" < <(awk -F, -v n="$name" \
    '$2 == n { s += $3; c += $6 + $7; k++ } END { print s / k, c / k }' "$work/times.csv")
done
for entry in "${commands[@]}"; do
  memory[${entry%%|*}]=$(tree_memory "${entry#*|}")
done

echo
echo "Load average $(cut -d' ' -f1-3 /proc/loadavg) at the end (the machine's other work shares the cores)."
echo "Summary (mean wall time; processor time of the whole tree and the cores that makes on average;"
echo "memory in MB: peak of the tree's"
echo "summed resident size, sum of each process's own peak (an upper bound for processes alive together;"
echo "the loop's run one after the other), largest process, most processes at once):"
for entry in "${commands[@]}"; do
  name=${entry%%|*}
  read -r together sum_of_peaks largest most <<<"${memory[$name]}"
  awk -v n="$name" -v s="${mean[$name]}" -v c="${cpu[$name]}" -v t="$together" -v p="$sum_of_peaks" \
      -v l="$largest" -v m="$most" \
    'BEGIN { printf "  %-11s %7.2f s  cpu %7.2f s (%.2f cores)   tree %6.0f  peaks %6.0f  largest %5.0f  processes %d\n",
             n, s, c, c / s, t / 1024, p / 1024, l / 1024, m }'
done

# The ratio of the means, and the median of the ratios within each round: the latter
# compares commands that ran minutes apart at most.
ratio() {
  local rounds
  rounds=$(awk -F, -v a="$2" -v b="$3" '$2 == a { x[$1] = $3 } $2 == b { y[$1] = $3 }
             END { for (r in x) if (r in y) print x[r] / y[r] }' "$work/times.csv" | sort -g | tr '\n' ' ')
  awk -v label="$1" -v a="${mean[$2]}" -v b="${mean[$3]}" -v ca="${cpu[$2]}" -v cb="${cpu[$3]}" \
      -v target="$4" -v rounds="$rounds" \
    'BEGIN { r = a / b; n = split(rounds, each, " ")
             median = n % 2 ? each[(n + 1) / 2] : (each[n / 2] + each[n / 2 + 1]) / 2
             listed = ""; for (i = 1; i <= n; i++) listed = listed sprintf(" %.2f", each[i])
             printf "  %-20s means x%.2f, median of rounds x%.2f (target <= %s: %s)   cpu x%.2f   rounds:%s\n",
                    label, r, median, target, median <= target ? "met" : "missed", ca / cb, listed }'
}
echo
echo "Ratios:"
ratio "auto / jobs=1" auto "jobs=1" 0.6
ratio "auto / dcraw loop" auto "dcraw loop" 0.6
ratio "jobs=1 / dcraw loop" "jobs=1" "dcraw loop" 1.0

# What the automatic count promised: N decodes of the largest file fit in half the memory
# that is free, so the batch's render processes together stay within N x that estimate.
budget=$("$job_budget" 5 "$work"/in/*.dng)
jobs=$(awk '$1 == "jobs" { print $2 }' <<<"$budget")
largest=$(awk '$1 == "largest" { print $2 }' <<<"$budget")
free=$(awk '$1 == "free" { print $2 }' <<<"$budget")
read -r together sum_of_peaks single _ <<<"${memory[auto]}"
echo
awk -v j="$jobs" -v e="$largest" -v f="$free" -v t="$together" -v p="$sum_of_peaks" -v l="$single" \
  'BEGIN {
     printf "Automatic job count: %d; one decode estimated at %.0f MB; free now %.0f MB (budget %.0f MB)\n",
            j, e / 1048576, f / 1048576, f / 2097152
     printf "  %d x estimate = %.0f MB   measured: tree peak %.0f MB, sum of peaks %.0f MB, largest process %.0f MB (%s)\n",
            j, j * e / 1048576, t / 1024, p / 1024, l / 1024,
            (p * 1024 <= j * e + 64 * 1048576 && l * 1024 <= e) ? "within the estimate" : "OVER the estimate"
   }'
