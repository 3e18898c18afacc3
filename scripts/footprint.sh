#!/usr/bin/env bash
# Prints the Linux program's footprint beside qv4l2's (Debian's Qt 5 V4L2 tool), measured in one
# run on this machine:
# - the packages and installed size that installing the Debian package brings onto a fresh
#   Debian 12 minbase system (apt-get install -s in a debootstrap'd tree, Recommends included as
#   apt installs them);
# - the shared libraries the program needs (ldd) and those mapped once its window shows;
# - the resident memory with the window open and no camera;
# - the time from exec to the visible window (Xvfb, warm cache; min, median, max of the runs).
# Usage: scripts/footprint.sh [build-dir] [runs]   (default build, 7 runs). Needs debootstrap,
# qv4l2, Xvfb and x11-utils (scripts/install-deps.sh installs them); run as root for the minbase
# tree, which is made once in $FOOTPRINT_ROOT (default /var/tmp/cc-minbase, a network download).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
runs=${2:-7}
program=$build/app/cameracontrol
tool=$(command -v qv4l2)
root=${FOOTPRINT_ROOT:-/var/tmp/cc-minbase}
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

# --- packages on a fresh minbase system
if [ ! -x "$root/usr/bin/apt-get" ]; then
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >&2
fi
if ! ls "$root"/var/lib/apt/lists/*_Packages >/dev/null 2>&1; then
    chroot "$root" apt-get update -qq >&2
fi
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/cameracontrol_*.deb)
cp "$deb" "$root/tmp/cc-footprint.deb"
# The packages apt would install, as name=version.
packages() {
    chroot "$root" apt-get install -s "$1" 2>/dev/null | awk '/^Inst /{print $2 "=" substr($3, 2)}'
}
# Adds up the Installed-Size (KiB) of the packages read ("name=version"), the program's own
# package ($1 KiB) counted apart.
installed_kib() {
    grep -v '^cameracontrol=' | xargs chroot "$root" apt-cache show 2>/dev/null |
        awk -v own="$1" '/^Package:/ {p = $2} /^Installed-Size:/ && !(p in seen) {seen[p]; s += $2}
            END {print s + own}'
}
ours_list=$(packages /tmp/cc-footprint.deb)
tool_list=$(packages qv4l2)
ours_count=$(wc -l <<<"$ours_list")
tool_count=$(wc -l <<<"$tool_list")
ours_mib=$(($(installed_kib "$(dpkg-deb -f "$deb" Installed-Size)" <<<"$ours_list") / 1024))
tool_mib=$(($(installed_kib 0 <<<"$tool_list") / 1024))
opencv=$(grep -c '^libopencv' <<<"$ours_list" || true)

# --- the window
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
# Starts a program, waits for a viewable top-level window of its class; leaves the milliseconds
# from exec to then in $elapsed (-1: it ended first) and the process id in $started.
start_until_visible() {
    local class=$1
    shift
    local t0 id
    t0=$(date +%s%N)
    HOME=$work/home XDG_RUNTIME_DIR=$work/run "$@" >/dev/null 2>&1 &
    started=$!
    while :; do
        for id in $(xwininfo -root -tree 2>/dev/null | awk -v c="(\"$class\"" '
            index($0, c) { for (i = 1; i <= NF; ++i) if ($i ~ /^[0-9]+x[0-9]+\+/) {
                split($i, g, /[x+]/); if (g[1] >= 50 && g[2] >= 50) print $1 } }'); do
            if xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
                elapsed=$((($(date +%s%N) - t0) / 1000000))
                return
            fi
        done
        kill -0 $started 2>/dev/null || { elapsed=-1; return; }
    done
}
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
# Resident memory (MB) and mapped shared objects of a running process, once it has settled.
settle_figures() {
    sleep 2
    rss_mb=$(awk '/^VmRSS:/{printf "%.0f", $2 / 1024}' /proc/"$1"/status)
    mapped=$(awk '$6 ~ /\.so/ {print $6}' /proc/"$1"/maps | sort -u | wc -l)
}
median() { sort -n | awk '{v[NR] = $1} END {print v[1] "/" v[int((NR + 1) / 2)] "/" v[NR]}'; }
measure() {
    local class=$1
    shift
    local times=()
    for i in $(seq "$runs"); do
        start_until_visible "$class" "$@"
        times+=("$elapsed")
        if [ "$i" = 1 ]; then settle_figures $started; fi
        kill $started 2>/dev/null || true
        wait $started 2>/dev/null || true
    done
    startup=$(printf '%s\n' "${times[@]}" | median)
}
# One run of each first, so both start from a warm cache.
measure cameracontrol env QT_QPA_PLATFORM=xcb "$program"
measure qv4l2 "$tool"
measure cameracontrol env QT_QPA_PLATFORM=xcb "$program"
ours_rss=$rss_mb ours_mapped=$mapped ours_start=$startup
measure qv4l2 "$tool"
tool_rss=$rss_mb tool_mapped=$mapped tool_start=$startup
ours_ldd=$(ldd "$program" | wc -l)
tool_ldd=$(ldd "$tool" | wc -l)
ours_cv=$(ldd "$program" | grep -c opencv || true)

row() { printf '%-52s %22s %22s\n' "$@"; }
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
echo "Footprint of $(git -C "$source_dir" rev-parse --short HEAD) ($build) on $(uname -m)," \
    "$(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg), $runs starts each"
row "" "cameracontrol" "qv4l2"
row ".deb on Debian 12 minbase: packages" "$ours_count" "$tool_count"
row ".deb on Debian 12 minbase: installed MiB" "$ours_mib" "$tool_mib"
row "  of which OpenCV packages" "$opencv" "0"
row "shared libraries (ldd)" "$ours_ldd" "$tool_ldd"
row "  of which OpenCV" "$ours_cv" "0"
row "shared objects mapped, window shown" "$ours_mapped" "$tool_mapped"
row "resident memory, window open, no camera, MB" "$ours_rss" "$tool_rss"
row "exec to visible window, ms (min/median/max)" "$ours_start" "$tool_start"
