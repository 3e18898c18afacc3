#!/usr/bin/env bash
# Builds a sample firmware package (a zip made with bsdtar, Debian package libarchive-tools) for the
# simulated camera.
#
# Usage: scripts/make-sample-package.sh [options] MODEL VERSION OUTPUT.zip
#   MODEL    the model name written into the model file: "QX-M30-000", "ZENTA 310", "ZENTA 320"
#            or "ZENTA 325" (any other text gives a package whose model is not recognised)
#   VERSION  the firmware version the camera reports after the upgrade, as major.minor.patch
#   OUTPUT   the zip to write (replaced when it exists)
# Options:
#   --model-file NAME   miservice.ubifs (default) or model.dat
#   --no-boot-loader    leave u-boot.bin out (a camera in its updater goes straight to the script)
#   --image-kib N       size of the kernel image in KiB (default 256)
#
# The package root holds auto_update.txt (the upgrade script), boot/, scripts/ and kernel/, the
# model file, u-boot.bin (boot-loader image for a camera in its updater), usb_updater.bin (updater
# program for a camera in its boot ROM) and cis.bin.
#
# Version marker: the kernel image carries the text "FWVER=<major>.<minor>.<patch>". The simulated
# camera reads it from the images it loads in its boot loader and reports that version once the
# script's "reset" has restarted it as a camera.
set -euo pipefail

model_file=miservice.ubifs
with_boot_loader=1
image_kib=256
while [[ $# -gt 0 && "$1" == --* ]]; do
    case "$1" in
    --model-file) model_file=$2; shift 2 ;;
    --no-boot-loader) with_boot_loader=0; shift ;;
    --image-kib) image_kib=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
if [[ $# -ne 3 ]]; then
    sed -n '2,14p' "$0" >&2
    exit 2
fi
model=$1
version=$2
output=$3
if [[ ! "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
    echo "version must be major.minor.patch" >&2
    exit 2
fi
if [[ "$model_file" != miservice.ubifs && "$model_file" != model.dat ]]; then
    echo "model file must be miservice.ubifs or model.dat" >&2
    exit 2
fi
command -v bsdtar >/dev/null || { echo "bsdtar is missing (package libarchive-tools)" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/boot" "$stage/scripts" "$stage/kernel"

# A binary image: a text header, filler bytes, optional extra text.
make_image() { # file size_bytes header [extra]
    local file=$1 size=$2 header=$3 extra=${4:-}
    {
        printf '%s\n' "$header"
        [[ -n "$extra" ]] && printf '%s\n' "$extra"
        head -c "$size" /dev/zero | tr '\0' '\132'
    } >"$file"
}

make_image "$stage/boot/ipl.bin" 8192 "IPL sample image"
make_image "$stage/kernel/uImage" $((image_kib * 1024)) "kernel sample image" "FWVER=$version"
make_image "$stage/u-boot.bin" 65536 "boot loader sample image"
make_image "$stage/usb_updater.bin" 20480 "usb updater sample image"
make_image "$stage/cis.bin" 2048 "cis sample data"
make_image "$stage/$model_file" 16384 "model file" "$model"

cat >"$stage/auto_update.txt" <<SCRIPT
# Sample firmware package for "$model", version $version.
# estar <script>: runs another script; tftp <hex address> <file>: loads a file into memory;
# any other line is a boot-loader command. The kernel image carries FWVER=$version.
% written by make-sample-package.sh
estar scripts/boot.es
estar scripts/kernel.es
setenv ota_upgrade_status 1
saveenv
reset
SCRIPT
cat >"$stage/scripts/boot.es" <<'SCRIPT'
# boot partition
tftp 0x21000000 boot/ipl.bin
nand erase.part   IPL
	nand write.e 0x21000000	IPL 0x2000   
SCRIPT
{
    echo "# kernel and system partitions"
    echo "tftp 0x21000000 kernel/uImage"
    echo "nand erase.part KERNEL"
    echo "nand write.e 0x21000000 KERNEL 0x$(printf '%x' $((image_kib * 1024)))"
    if [[ "$model_file" == miservice.ubifs ]]; then
        echo "tftp 0X21800000 miservice.ubifs"
        echo "ubi part UBI"
        echo "ubi write 0x21800000 miservice 0x4000"
    fi
} >"$stage/scripts/kernel.es"

entries=(auto_update.txt boot scripts kernel "$model_file" usb_updater.bin cis.bin)
((with_boot_loader)) && entries+=(u-boot.bin)
mkdir -p "$(dirname "$output")"
output_abs=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
rm -f "$output_abs"
(cd "$stage" && bsdtar --format zip -cf "$output_abs" "${entries[@]}")
echo "$output_abs"
