# Lab scenario (../shared/vlab, run by hand): a user who may not open the camera's nodes is told
# which node, why and what to do: the camera's video node (root:video 0660) and the SCSI generic
# node of a camera in its boot-loader stage (root:disk 0660), without the package's rule.
#   ../shared/vlab/run.sh packaging/lab/no-access.sh   (from the project root)
# Runs the program of build-deb/ (scripts/make-deb.sh) where there is one, else of build/, as the
# user "nobody". Exits 0 when both refusals are logged.
program=$PROJECT/build-deb/app/cameracontrol
[ -x $H$program ] || program=$PROJECT/build/app/cameracontrol
wait_for() { for i in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; return 1; }
run_as_nobody() { # starts the program as nobody with its log in $1
    mkdir -p $H/tmp/nobody && chown 65534:65534 $H/tmp/nobody
    chroot $H /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups \
        env HOME=/tmp/nobody QT_QPA_PLATFORM=offscreen $program >$1 2>&1 &
    P=$!
}
found=0
for stage in camera uboot; do
    /bin/usbip_uvc --start $stage -R /tmp/rec.txt 2>>/tmp/emu.log & E=$!
    node=/dev/video0; [ $stage = uboot ] && node=/dev/sg0
    wait_for "[ -e $node ]"; sleep 2
    echo "--- a camera in stage $stage: $(ls -l $node)"
    run_as_nobody /tmp/$stage.log
    wait_for "grep -q 'cannot open' /tmp/$stage.log" && found=$((found + 1))
    grep "cannot open" /tmp/$stage.log | sed "s/^.*\] //"
    kill $P $E; wait $E 2>/dev/null; sleep 3
done
[ $found = 2 ]
