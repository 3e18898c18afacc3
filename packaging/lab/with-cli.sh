# Sourced by the lab scenarios that drive cameracontrol-cli: picks the program of build-deb/
# (scripts/make-deb.sh) where there is one, else of build/; starts the emulated camera with its
# record in /tmp/rec.txt (process id in $E) and waits until udev has handled its video node; and
# gives `run EXPECTED-EXIT ARGUMENTS...`, which runs the program as root and counts in $failed
# every command that did not end with the expected exit code.
cli=$PROJECT/build-deb/cli/cameracontrol-cli
[ -x $H$cli ] || cli=$PROJECT/build/cli/cameracontrol-cli
[ -x $H$cli ] || { echo "no program at $cli"; exit 2; }
/bin/usbip_uvc -R /tmp/rec.txt 2>/tmp/emu.log & E=$!
for i in $(seq 150); do [ -e /dev/video0 ] && break; sleep 0.1; done
chroot $H udevadm settle -t 10 2>/dev/null
failed=0
run() {
    want=$1
    shift
    echo "\$ cameracontrol-cli $*"
    chroot $H env HOME=/root $cli "$@"
    rc=$?
    echo "(exit $rc, expected $want)"
    [ $rc = $want ] || failed=$((failed + 1))
}
