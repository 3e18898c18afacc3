# Lab scenario (../shared/vlab, run by hand): the program notices a camera that is pulled out and
# plugged in again where no udev daemon runs, from the kernel's own uevents, cycle after cycle.
#   NO_UDEV=1 ../shared/vlab/run.sh packaging/lab/replug-without-udev.sh   (from the project root)
# Runs the program of build-deb/ (scripts/make-deb.sh) where there is one, else of build/. Prints
# the kernel's uevents and the program's camera lines; exits 0 when the program saw the camera
# leave and come back in every cycle.
program=$PROJECT/build-deb/app/cameracontrol
[ -x $H$program ] || program=$PROJECT/build/app/cameracontrol
[ -x $H$program ] || { echo "no program at $program"; exit 2; }
[ -e $H/run/udev/control ] && echo "note: a udev daemon runs (start with NO_UDEV=1)"
plug() { /bin/usbip_uvc -R /tmp/rec.txt 2>>/tmp/emu.log & E=$!; }
# Waits up to 60 s (the lab emulates its CPU: the program takes a while to start).
wait_for() { for i in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; return 1; }
log=/tmp/cameracontrol.log
# The kernel's uevents of video nodes, as the program receives them without a udev daemon.
uevent sh -c 'case "$SUBSYSTEM" in video4linux) echo "uevent $ACTION $DEVPATH" ;; esac' \
    >/tmp/uevents.txt 2>&1 & M=$!
# The program starts without a camera, which then arrives while the program waits for events.
chroot $H env QT_QPA_PLATFORM=offscreen HOME=/root $program >$log 2>&1 & P=$!
wait_for 'grep -q "display position of the window" $log' || echo "the program did not start"
plug
wait_for 'grep -q "current open camera model" $log' || echo "the program did not open the camera"
count() { grep -c "$1" $log; }
cycles=6; unplugged=0; replugged=0
for cycle in $(seq $cycles); do
    outs=$(count "plug out reset param"); opens=$(count "current open camera model")
    kill $E; wait $E 2>/dev/null
    wait_for '[ $(count "plug out reset param") -gt $outs ]' && unplugged=$((unplugged + 1))
    plug
    wait_for '[ $(count "current open camera model") -gt $opens ]' && replugged=$((replugged + 1))
    echo "--- cycle $cycle: unplugged $unplugged, plugged in again $replugged"
done
sleep 1
kill $P $E $M 2>/dev/null
echo "--- kernel uevents (video4linux)"
cat /tmp/uevents.txt
echo "--- the program's camera lines"
grep -E 'usb camera (name|in|out)|plug out reset param|current open camera model|does not answer' $log |
    sed 's/^.*\] //'
echo "of $cycles cycles: unplug noticed $unplugged times, the camera's return $replugged times"
[ $unplugged = $cycles ] && [ $replugged = $cycles ]
