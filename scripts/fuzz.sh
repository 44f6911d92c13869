#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a while.
#
#   scripts/fuzz.sh [seconds-per-target]        (default 60)
#
# Environment: FUZZ_BUILD (default build-fuzz in the checkout), JOBS (build
# jobs, default 2), FUZZ_TARGETS (names to run, default all).
#
# Each target starts from its seed corpus (tests/fuzz/corpus/<target>/) and
# every input that ever crashed it (tests/fuzz/regressions/<target>/); new
# coverage goes into the build folder, never into the checkout. An input that
# crashes, leaks, hangs or runs out of memory is copied into
# tests/fuzz/regressions/<target>/, where the regression test
# (tests/reliability/fuzz_regressions_test.cpp) replays it from then on, and
# the run fails.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$(realpath -m "${FUZZ_BUILD:-$root/build-fuzz}")
jobs=${JOBS:-2}
targets=(${FUZZ_TARGETS:-preference_file list_file command_line output_name identify pixel_import})
supp=$root/tests/sanitizers

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQUILL_FUZZ=ON -DQUILL_TESTS=OFF \
    -DSANITIZE=address,undefined -DWERROR=ON >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_targets

# Fuzzing keeps ASan's fast unwinder, which cannot see function names inside
# libraries without frame pointers: their leaks are matched by module.
mkdir -p "$build"
cat "$supp/lsan.supp" "$supp/lsan-fast-unwind.supp" >"$build/lsan-fuzz.supp"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1:suppressions=$supp/asan.supp"
export LSAN_OPTIONS="suppressions=$build/lsan-fuzz.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp"
export QT_QPA_PLATFORM=offscreen

failed=()
for target in "${targets[@]}"; do
    seeds=$root/tests/fuzz/corpus/$target
    regressions=$root/tests/fuzz/regressions/$target
    work=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    mkdir -p "$work" "$artifacts"
    rm -f "$artifacts"/*
    folders=("$work" "$seeds")
    [ -d "$regressions" ] && folders+=("$regressions")
    options=(-max_total_time="$seconds" -max_len=4096 -timeout=25 -rss_limit_mb=2560
             -print_final_stats=1 -artifact_prefix="$artifacts/")
    [ -f "$root/tests/fuzz/$target.dict" ] && options+=(-dict="$root/tests/fuzz/$target.dict")

    echo "== fuzz_$target for ${seconds}s"
    log=$build/fuzz-$target.log
    status=0
    "$build/tests/fuzz/fuzz_$target" "${options[@]}" "${folders[@]}" >"$log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ +DONE)' "$log" || true

    shopt -s nullglob
    found=("$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*)
    slow=("$artifacts"/slow-unit-*)
    shopt -u nullglob
    # A unit over 10 s is worth a look but depends on the machine's load.
    [ ${#slow[@]} -gt 0 ] && echo "   note: ${#slow[@]} slow input(s) kept in $artifacts"
    if [ "$status" -ne 0 ] || [ ${#found[@]} -gt 0 ]; then
        failed+=("$target")
        mkdir -p "$regressions"
        for input in "${found[@]}"; do
            cp "$input" "$regressions/"
            echo "   kept $(basename "$input") in tests/fuzz/regressions/$target/"
        done
        echo "   fuzz_$target FAILED (exit $status); its output:"
        grep -v '^#[0-9]' "$log" | tail -60
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: failing targets: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: no target found a crash in ${seconds}s each"
