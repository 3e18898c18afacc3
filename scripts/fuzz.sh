#!/usr/bin/env bash
# Builds the fuzzing harnesses (tests/fuzz) with clang in a build folder of their own and runs each
# for the given time on its seeds. New inputs that widen the coverage collect in
# <build>/corpus/<harness>/; an input that crashes a harness, or runs too long, is written to
# <build>/findings/<harness>/ and fails the run.
# Usage: scripts/fuzz.sh [seconds per harness, default 60] [harness...]
# Environment: CC_FUZZ_BUILD_DIR (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
seconds=${1:-60}
shift || true
build=${CC_FUZZ_BUILD_DIR:-build-fuzz}
if (($#)); then
    harnesses=("$@")
else
    mapfile -t harnesses < <(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCC_BUILD_FUZZERS=ON -DCC_BUILD_TESTS=OFF -DCC_BUILD_DEMO=OFF -DCC_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "${harnesses[@]}" -j"$(nproc)"

failed=0
for harness in "${harnesses[@]}"; do
    corpus=$build/corpus/$harness
    findings=$build/findings/$harness
    mkdir -p "$corpus" "$findings"
    log=$build/$harness.log
    echo "== $harness: $seconds s"
    if "$build/tests/fuzz/$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$harness" \
        >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        failed=1
        grep -E -A12 "^==[0-9]+==ERROR|Test unit written|SUMMARY" "$log" || tail -20 "$log"
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "$harness: $result, ${executions:-?} executions, corpus $(ls "$corpus" | wc -l) inputs"
done
exit $failed
