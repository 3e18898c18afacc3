# Lab scenario (../shared/vlab, run by hand): the picture controls through cameracontrol-cli on the
# real uvcvideo: the list with ranges, steps, defaults and states; writes of each kind (a number, a
# menu entry, a switch) and the refusals that the driver would otherwise clamp or refuse (a value
# off the range or the step; a manual value while its automatic control is on), a reset, and the
# defaults coming back after the camera restarts (a microphone change). Then what reached the
# camera: the emulator's PIC record lines.
#   flock /work/vlab.lock ../shared/vlab/run.sh packaging/lab/picture.sh   (from the project root)
# Exits 0 when every command ended with its expected exit code and no refused value reached the
# camera.
. $H$PROJECT/packaging/lab/with-cli.sh
run 0 picture
run 0 set brightness 20
run 2 set brightness 99
run 2 set white-balance-temperature 5005
run 5 set white-balance-temperature 5000
run 0 set white-balance-automatic off
run 0 set white-balance-temperature 5000
run 5 set exposure-time 300
run 0 set auto-exposure "Manual Mode"
run 0 set exposure-time 300
run 0 get exposure-time
run 0 picture --reset
run 0 set contrast 70
run 0 set microphone Disable
run 0 get contrast
run 0 info
kill $E
sleep 1
echo "--- what reached the camera (the emulator's record)"
grep -E ' (PIC|ATTACH|DETACH) ' /tmp/rec.txt | cut -d' ' -f2-
echo "--- commands that did not end as expected: $failed"
[ $failed = 0 ] && ! grep -q ' PIC .*result=out-of-range\| PIC .*result=wrong-state' /tmp/rec.txt &&
    grep -q ' PIC name=brightness value=20 result=stored' /tmp/rec.txt
