#!/usr/bin/env bash
# Runs the cross-built test suite under wine: every test program on the offscreen platform, one
# after the other, and ends with the count over all test cases ("N passed, N failed"). The cases
# that cannot run there are listed, each with its reason, in tests/windows-skips.txt.
#
# Then the programs of the portable zip start on a Windows without Media Foundation (an N edition
# without the media pack): cameracontrol-cli --help answers, and the demo comes up far enough to
# log its start. Only the zip's own DLLs are found there.
#
# Usage: scripts/run-windows-tests.sh [build-dir]   (default: build-win, made by build-windows.sh)
# Exits non-zero when a case failed, a test program ended without its report, or a program of the
# zip did not start.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
toolchain=${CC_WINDOWS_TOOLCHAIN:-$root/../shared/windows}
if [[ ! -f $toolchain/wine-env.sh ]]; then
    echo "run-windows-tests: no Windows cross toolchain in $toolchain (set CC_WINDOWS_TOOLCHAIN)" >&2
    exit 1
fi
# shellcheck source=/dev/null
source "$toolchain/wine-env.sh"
wine=/usr/lib/wine/wine64
export QT_QPA_PLATFORM=offscreen
timeout_s=300

build_dir=$(cd "${1:-build-win}" && pwd)
reports=$build_dir/windows-test-reports
rm -rf "$reports"
mkdir -p "$reports"
skip_file=$root/tests/windows-skips.txt

# "function" or "function:data tag" of every case of a test program.
list_cases() { # exe
    "$wine" "$1" -datatags | tr -d '\r' | sed -E 's/^[^ ]+ ([^ ]+)( (.*))?$/\1:\3/; s/:$//'
}
# The cases of a program that the skip list leaves out, one per line.
skipped_cases() { # program
    sed -E 's/#.*//; s/[[:space:]]+$//' "$skip_file" | awk -v p="$1" '$1 == p { sub(/^[^ ]+ /, ""); print }'
}

passed=0 failed=0 skipped=0 left_out=0 broken=()
while IFS= read -r exe; do
    name=$(basename "$exe" .exe)
    report=$reports/$name.txt
    mapfile -t skips < <(skipped_cases "$name")
    arguments=()
    if ((${#skips[@]})); then
        # Run every case but those listed: a function name leaves out all of its rows.
        mapfile -t cases < <(list_cases "$exe")
        for case in "${cases[@]}"; do
            leave=0
            for skip in "${skips[@]}"; do
                [[ $case == "$skip" || $case == "$skip":* ]] && leave=1
            done
            if ((leave)); then left_out=$((left_out + 1)); else arguments+=("$case"); fi
        done
        ((${#arguments[@]})) || { echo "$name: left out"; continue; }
    fi
    status=0
    (cd "$(dirname "$exe")" && timeout "$timeout_s" "$wine" "$exe" -o "$report,txt" "${arguments[@]}" \
        >/dev/null 2>&1) || status=$?
    totals=$(grep -a '^Totals:' "$report" 2>/dev/null | tr -d '\r' || true)
    if [[ -z $totals ]]; then
        echo "$name: ended without a report (exit status $status)"
        broken+=("$name")
        continue
    fi
    read -r p f s < <(sed -E 's/Totals: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped.*/\1 \2 \3/' <<<"$totals")
    passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
    echo "$name: ${totals#Totals: }"
    ((f == 0)) || grep -a -A4 '^FAIL!' "$report" | tr -d '\r' | sed 's/^/    /'
done < <(find "$build_dir/tests" -name 'tst_*.exe' | sort)

echo "$passed passed, $failed failed"
echo "($skipped skipped by the tests themselves, $left_out left out by tests/windows-skips.txt)"
((${#broken[@]} == 0)) || echo "without a report: ${broken[*]}"

# The zip's programs with Media Foundation switched off and nothing but the zip on the DLL path.
zip_failures=0
stage=$build_dir/package/cameracontrol-win64
start_timeout_s=120
if [[ -d $stage ]]; then
    (
        unset WINEPATH
        export WINEDLLOVERRIDES="mf,mfplat,mfreadwrite=d"
        cd "$stage"
        if ! timeout "$timeout_s" "$wine" cameracontrol-cli.exe --help >/dev/null 2>&1; then
            echo "without Media Foundation: cameracontrol-cli --help failed"
            exit 1
        fi
        # The start banner in the log says that the demo came up; it is then ended.
        log=$WINEPREFIX/drive_c/users/$(id -un)/.cameracontrol/cameracontrol.log
        rm -f "$log"
        "$wine" cameracontrol-demo.exe >/dev/null 2>&1 &
        demo=$!
        started=0
        for ((tick = 0; tick < start_timeout_s * 2; ++tick)); do
            if grep -qa "System Start" "$log" 2>/dev/null; then
                started=1
                break
            fi
            kill -0 "$demo" 2>/dev/null || break
            sleep 0.5
        done
        kill "$demo" 2>/dev/null || true
        wait "$demo" 2>/dev/null || true
        if ((!started)); then
            echo "without Media Foundation: cameracontrol-demo did not start"
            exit 1
        fi
        echo "without Media Foundation: cameracontrol-cli --help and cameracontrol-demo start"
    ) || zip_failures=1
else
    echo "no zip staged in $stage: build it with scripts/build-windows.sh"
    zip_failures=1
fi
((failed == 0 && ${#broken[@]} == 0 && zip_failures == 0))
