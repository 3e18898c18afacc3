# Lab scenario (../shared/vlab, run by hand): the live preview on the real uvcvideo through the
# program's own V4L2 capture. The program starts without a camera; the camera arrives and the
# preview starts with it; after 10 s of streaming the camera is pulled out, and then plugged in
# again, which starts the preview anew.
#   flock /work/vlab.lock ../shared/vlab/run.sh packaging/lab/preview-replug.sh   (from the project root)
# Runs the program of build-deb/ (scripts/make-deb.sh) where there is one, else of build/. Prints
# the capture's lines and the emulator's stream events; exits 0 when the first run delivered
# frames and ended when the camera left, and a second run started when it came back.
program=$PROJECT/build-deb/app/cameracontrol
[ -x $H$program ] || program=$PROJECT/build/app/cameracontrol
[ -x $H$program ] || { echo "no program at $program"; exit 2; }
plug() { /bin/usbip_uvc -R /tmp/rec.txt 2>>/tmp/emu.log & E=$!; }
# Waits up to 60 s (the lab emulates its CPU: the program takes a while to start).
wait_for() { for i in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; return 1; }
log=/tmp/cameracontrol.log
count() { grep -c "$1" $log; }
chroot $H env QT_QPA_PLATFORM=offscreen HOME=/root $program >$log 2>&1 & P=$!
wait_for 'grep -q "display position of the window" $log' || echo "the program did not start"
plug
wait_for '[ $(count "Capture: .* streams ") -ge 1 ]' || echo "the preview did not start"
sleep 10
echo "--- pulled out after 10 s of preview"
kill $E; wait $E 2>/dev/null
wait_for '[ $(count "Capture: .* stopped after ") -ge 1 ]' || echo "the stream did not end"
sleep 1
plug
wait_for '[ $(count "Capture: .* streams ") -ge 2 ]' || echo "the preview did not start again"
sleep 3
kill $P; wait $P 2>/dev/null
kill $E; wait $E 2>/dev/null
echo "--- the program's capture lines"
grep -E 'Capture: |Skipping damaged|Open camera failed' $log | sed 's/^.*\] //'
echo "--- the emulator's stream events"
grep -E ' (STREAM|ATTACH|DETACH) ' /tmp/rec.txt | cut -d' ' -f2-
first=$(grep -m1 'stopped after' $log | sed 's/.*stopped after \([0-9]*\) frames.*/\1/')
echo "first run: ${first:-no} frames; runs started: $(count 'Capture: .* streams '); camera gone noticed: $(count 'is gone, the stream ends')"
[ "${first:-0}" -gt 0 ] && [ $(count 'Capture: .* streams ') -ge 2 ]
