# Lab scenario (../shared/vlab, run by hand): cameracontrol-cli on the real drivers with the
# emulated camera: list, info --json, set (anti-flicker, tracking mode, and the microphone, whose
# change restarts the camera) and ptz, then what reached the camera by the emulator's record; and
# info as the user "nobody", who may not open the video node (exit code 4, with the advice).
#   ../shared/vlab/run.sh packaging/lab/cli.sh   (from the project root, after a build)
# Exits 0 when every command ended as expected and the camera recorded the writes and the moves.
. $H$PROJECT/packaging/lab/with-cli.sh
run 0 list
run 0 info --json
run 0 set anti-flicker 60Hz
run 0 set tracking-mode Off
run 0 ptz --zoom 250 --pan 10 --tilt -5
run 0 set microphone Disable
run 0 info
echo "\$ cameracontrol-cli info   (as nobody; /dev/video0 is $(stat -c "%A, owner %u:%g" /dev/video0))"
mkdir -p $H/tmp/nobody && chown 65534:65534 $H/tmp/nobody
chroot $H /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups \
    env HOME=/tmp/nobody $cli info
rc=$?
echo "(exit $rc)"
[ $rc = 4 ] || failed=$((failed + 1))
kill $E
echo "--- what reached the camera (the emulator's record: writes, moves, restarts)"
grep -E ' (ATTACH|DETACH|PTZ) |op=write' /tmp/rec.txt | cut -d' ' -f2- |
    sed -E 's/ req=SET_CUR dir=out len=[0-9]+ data=[0-9a-f]+ st=ok//'
echo "--- commands that did not end as expected: $failed"
[ $failed = 0 ] && grep -q 'PTZ pan=' /tmp/rec.txt && grep -q 'op=write' /tmp/rec.txt
