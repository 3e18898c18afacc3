# Lab scenario, from the project root after a build: ../shared/vlab/run.sh scripts/vlab/preview-mjpg.sh
# The camera streams MJPG through the real uvcvideo driver and the program previews it (offscreen)
# for a while. Passes when the MJPG frames reached the preview undecoded and none was found
# damaged. The stream carries one picture made with ImageMagick: the emulator's own frames are not
# decodable JPEG (with those, the log shows a single "Skipping damaged MJPG frames" line).
chroot $H convert -size 1920x1080 gradient:tomato-steelblue -fill white \
    -draw "circle 960,540 960,300" -quality 90 /root/stream.jpg
/bin/usbip_uvc -j $H/root/stream.jpg 2>/tmp/emu.log & E=$!
for i in $(seq 100); do [ -e /dev/video0 ] && break; sleep 0.1; done
chroot $H udevadm settle -t 10 2>/dev/null
chroot $H env HOME=/root QT_QPA_PLATFORM=offscreen timeout ${PREVIEW_SECONDS:-60} \
    $PROJECT/build/app/cameracontrol 2>&1 | grep -v Debug | tail -5
kill $E
log=$H/root/.cameracontrol/cameracontrol.log
grep -E 'Capture:|Skipping damaged|Open camera' $log
grep -q 'MJPG frames reach the preview undecoded' $log && ! grep -q 'Skipping damaged' $log
