# Lab scenario (../shared/vlab, run by hand): a camera stuck half-way through an upgrade is
# recovered on the first attempt, by the window's offer (cameracontrol-lab-window, the window with
# a user who answers its dialogs) and by "cameracontrol-cli recover --yes": a camera started in
# each updater stage, and one pulled out in the middle of each stage's transfer and started again
# in that stage, after which the next start of the program recovers it.
#   VLAB_TIMEOUT=2400 ../shared/vlab/run.sh packaging/lab/recover.sh   (from the project root)
# Some cases only: a scenario that sets CASES (of rom-start updater-start uboot-start rom-cut
# updater-cut uboot-cut) and then runs this one with ". $H$PROJECT/packaging/lab/recover.sh".
# Runs the programs of build/. Prints a table of case, program, outcome and attempts, and what the camera recorded
# of each recovery; exits 0 when every case was recovered on the first attempt.
window=$PROJECT/build/packaging/lab/cameracontrol-lab-window
cli=$PROJECT/build/cli/cameracontrol-cli
for p in $window $cli; do [ -x $H$p ] || { echo "no program at $p"; exit 2; }; done
package=/tmp/firmware-1.2.31.zip # made inside the host's tree, where the programs run
chroot $H bash $PROJECT/scripts/make-sample-package.sh QX-M30-000 1.2.31 $package >/dev/null ||
    exit 2
wait_for() { for i in $(seq $2); do eval "$1" && return 0; sleep 0.1; done; return 1; }
# The QX line: the configured vendor by default.
plug() {
    /bin/usbip_uvc --line 0 --start $1 -R $record 2>>/tmp/emu.log & E=$!
    wait_for 'ls /dev/sg* >/dev/null 2>&1' 300 || echo "no disk for --start $1"
    chroot $H udevadm settle -t 10 2>/dev/null
}
unplug() { kill $E 2>/dev/null; wait $E 2>/dev/null; wait_for '! ls /dev/sg* >/dev/null 2>&1' 100; }
# start FRONTEND LOG: one start of the program, in the background (P).
start() {
    if [ $1 = window ]; then
        chroot $H env QT_QPA_PLATFORM=offscreen HOME=/root $window $package >$2 2>&1 & P=$!
    else
        chroot $H env HOME=/root $cli recover --yes $package >$2 2>&1 & P=$!
    fi
}
# recover FRONTEND: starts the program until the camera is upgraded, at most three times (the
# window offers it again by itself); sets outcome and attempts.
recover() {
    attempts=0; outcome="not upgraded"
    while [ $attempts -lt 3 ]; do
        attempts=$((attempts + 1))
        log=/tmp/$case-$1-$attempts.log
        start $1 $log
        wait_for '! kill -0 $P 2>/dev/null' 4000 || { kill -9 $P; echo "(timed out)" >>$log; }
        wait $P; rc=$?
        if [ $1 = window ]; then
            line=$(grep 'result:' $log)
            attempts=$(echo "$line" | sed -n 's/.* after \([0-9]*\) attempt.*/\1/p')
            [ -n "$attempts" ] || attempts=1
            [ $rc = 0 ] && outcome=upgraded
            break
        fi
        [ $rc = 0 ] && { outcome=upgraded; break; }
        echo "(exit $rc)" >>$log
    done
}
table=""
failures=0
for case in ${CASES:-rom-start updater-start uboot-start rom-cut updater-cut uboot-cut}; do
    stage=${case%-*}
    code=$(echo $stage | sed 's/rom/ROM/; s/updater/UPD/; s/uboot/UBO/')
    for frontend in window cli; do
        record=/tmp/$case-$frontend.rec
        : >$record
        plug $stage
        note=""
        if [ ${case#*-} = cut ]; then
            # Pulled out once the stage takes its file: a data chunk, not yet the last one.
            start $frontend /tmp/$case-$frontend-cut.log
            # Without pauses: the transfer of a small file is over within a tenth of a second.
            i=0
            until grep -q "SCSI stage=$code op=e8 sub=1 " $record; do
                i=$((i + 1))
                [ $i -lt 100000 ] || { note="(no transfer seen)"; break; }
            done
            unplug
            # The file that was under way had gone whole (its last chunk came last).
            grep "SCSI stage=$code op=e8 sub=[14] " $record | tail -1 | grep -q "sub=4" &&
                note="(cut after the last chunk)"
            kill -9 $P 2>/dev/null; wait $P 2>/dev/null
            echo "--- $case $frontend: pulled out after $(grep -c "stage=$code op=e8 sub=1 " $record) chunks of the $code stage $note"
            plug $stage
        fi
        recover $frontend
        unplug
        echo "--- $case $frontend: $outcome, $attempts attempt(s) $note"
        for log in /tmp/$case-$frontend-*.log; do
            echo "  ($log)"
            if [ $frontend = window ]; then
                grep -hE 'lab-window:|stage: |device state|Invalid device|did not come back|report:|timed out' $log |
                    sed 's/^.*\] /  /' | head -40
            else
                head -20 $log | sed 's/^/  /'
            fi
        done
        grep -E ' (ATTACH|DETACH|IMG) ' $record | cut -d' ' -f2- | head -20
        table="$table
$case | $frontend | $outcome | $attempts $note"
        [ "$outcome" = upgraded ] && [ "$attempts" = 1 ] && [ -z "$note" ] ||
            failures=$((failures + 1))
    done
done
echo "--- case | program | outcome | attempts$table"
echo "--- cases not recovered on the first attempt: $failures"
[ $failures = 0 ]
