# Lab scenario (../shared/vlab, run by hand): a profile on the real drivers with the emulated camera.
# The camera is set up (settings, picture, position) and the profile saved and chosen as its
# connect profile; `watch --apply` runs; the settings, the picture and the position are changed
# and the microphone is switched, which restarts the camera (it comes back at its home position
# with its picture at the defaults); then the emulator's record shows what watch --apply wrote
# after the camera came back, and `apply --check` that it is as the profile says.
#   ../shared/vlab/run.sh packaging/lab/profiles.sh   (from the project root, after a build)
# Exits 0 when the camera ends as the profile says and the record holds the writes after the
# restart.
. $H$PROJECT/packaging/lab/with-cli.sh
echo "--- the room as it should be"
run 0 set tracking-mode Off
run 0 set anti-flicker 60Hz
run 0 ptz --zoom 250 --pan 10 --tilt -5
run 0 set brightness 20
run 0 set white-balance-automatic off
run 0 set white-balance-temperature 5200
run 0 profile save Room
run 0 profile show Room
run 0 profile connect Room
echo "--- watch --apply runs; the room is changed, and the microphone switch restarts the camera"
chroot $H env HOME=/root $cli watch --apply --json >$H/tmp/watch.txt 2>$H/tmp/watch.err & W=$!
for i in $(seq 100); do grep -q '"event":"applied"' $H/tmp/watch.txt 2>/dev/null && break; sleep 0.1; done
run 0 set anti-flicker 50Hz
run 0 set hdr On
run 0 ptz --zoom 400 --pan -20 --tilt 10
run 0 set brightness -10
mark=$(wc -l </tmp/rec.txt)
echo "\$ cameracontrol-cli set microphone Disable   (watch may answer before it reads back)"
chroot $H env HOME=/root $cli set microphone Disable
echo "(exit $?)"
# Until watch has applied the profile after the camera's last return, and then prints nothing for
# three seconds.
last=0 quiet=0
for i in $(seq 600); do
    lines=$(wc -l <$H/tmp/watch.txt)
    if [ "$lines" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0 last=$lines; fi
    [ "$(grep -c '"event":"applied"' $H/tmp/watch.txt)" -ge 3 ] && [ $quiet -ge 30 ] && break
    sleep 0.1
done
kill $W 2>/dev/null; wait $W 2>/dev/null
echo "--- watch --apply --json (event, then per item what it found and what it left)"
sed -E 's/"time":"[^"]*",//' $H/tmp/watch.txt
echo "--- what reached the camera from the microphone switch on (the emulator's record)"
tail -n +$((mark + 1)) /tmp/rec.txt | grep -E ' (ATTACH|DETACH|PTZ|PIC) |op=write' | cut -d' ' -f2- |
    sed -E 's/ req=SET_CUR dir=out len=[0-9]+ data=[0-9a-f]+ st=ok//'
echo "--- the camera now, against the profile"
chroot $H env HOME=/root $cli apply --check --json Room >/tmp/check.txt
rc=$?
cat /tmp/check.txt
echo "(exit $rc)"
kill $E
echo "--- commands that did not end as expected: $failed"
[ $failed = 0 ] && [ $rc = 0 ] && grep -q '"changed": false' /tmp/check.txt
