# Lab scenario (../shared/vlab, run by hand): a camera left in each updater stage is named by
# `cameracontrol-cli list` run as a user who may not open its SCSI generic node (root:disk 0660,
# without the package's rule), from what sysfs lists for the disk.
#   flock /work/vlab.lock ../shared/vlab/run.sh packaging/lab/stuck-without-rights.sh
# The camera is of the QX line, the one the default configuration selects. Runs the command-line
# program of build/ as the user "nobody". Exits 0 when every stage is named.
program=$PROJECT/build/cli/cameracontrol-cli
wait_for() { for i in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; return 1; }
mkdir -p $H/tmp/nobody && chown 65534:65534 $H/tmp/nobody
named=0
for stage in rom updater uboot; do
    /bin/usbip_uvc --line 0 --start $stage -R /tmp/rec-$stage.txt 2>>/tmp/emu.log & E=$!
    wait_for "[ -e /dev/sg0 ]"; sleep 2
    device=/sys/class/scsi_generic/sg0/device
    echo "--- stage $stage: $(ls -l /dev/sg0 | cut -c1-10) vendor '$(cat $device/vendor)' model '$(cat $device/model)'"
    chroot $H /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups \
        env HOME=/tmp/nobody QT_QPA_PLATFORM=offscreen $program list >/tmp/list-$stage.txt 2>&1
    cat /tmp/list-$stage.txt
    case $stage in rom) want=ROM ;; updater) want=Updater ;; uboot) want=u-Boot ;; esac
    grep -q "in its $want stage" /tmp/list-$stage.txt && named=$((named + 1))
    kill $E; wait $E 2>/dev/null; sleep 3
done
[ $named = 3 ]
