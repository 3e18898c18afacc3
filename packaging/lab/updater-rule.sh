# Lab scenario (../shared/vlab, run by hand): the package's udev rule, installed into the VM's udev
# as the package installs it (/usr/lib/udev/rules.d), gives a camera in its boot-loader stage a
# SCSI generic node with the uaccess tag, which the seat's rules turn into access for the user.
#   ../shared/vlab/run.sh packaging/lab/updater-rule.sh   (from the project root)
# Takes the rule from build-deb/cameracontrol_*.deb when one is built (DEB=path for another),
# else from packaging/. Exits 0 when the node is tagged with the rule and was not without it (nor
# with the earlier form that put both keys into one rule).
DEB=${DEB:-$(ls $H$PROJECT/build-deb/cameracontrol_*.deb 2>/dev/null | head -1 | sed "s#^$H##")}
# The host's udevadm, told that the chroot is meant (it ignores requests from a chroot otherwise).
udevadm() { chroot $H env SYSTEMD_IGNORE_CHROOT=1 udevadm "$@"; }
rules=/tmp/rules.d
mkdir -p $rules /tmp/package
cp $H/usr/lib/udev/rules.d/*.rules $rules/
mount --bind $rules $H/usr/lib/udev/rules.d
tags() { # the udev view of the updater's node
    for i in $(seq 150); do [ -e /dev/sg0 ] && break; sleep 0.1; done
    udevadm trigger --action=change --subsystem-match=scsi_generic
    udevadm settle -t 10
    ls -l /dev/sg0
    udevadm info -q property -n /dev/sg0 | grep -E '^(DEVNAME|ID_BUS|CAMERACONTROL_USB_SG|TAGS)='
}
/bin/usbip_uvc --start uboot -R /tmp/rec.txt 2>/tmp/emu.log & E=$!
echo "--- without the rule"
tags | tee /tmp/before.txt
# The earlier one-rule form, for comparison: idVendor and vendor live on two different devices.
echo 'SUBSYSTEM=="scsi_generic", ATTRS{idVendor}=="?*", ATTRS{vendor}=="QXM30*|ZENTA*|GC*", TAG+="uaccess"' \
    >$rules/70-one-rule.rules
udevadm control --reload
echo "--- with the one-rule form"
tags | tee -a /tmp/before.txt
rm $rules/70-one-rule.rules
if [ -n "$DEB" ]; then
    echo "--- installing the rule from $DEB"
    chroot $H dpkg-deb -x $DEB /tmp/package
    rule=$H/tmp/package/usr/lib/udev/rules.d/70-cameracontrol-updater.rules
else
    echo "--- installing the rule from packaging/"
    rule=$H$PROJECT/packaging/70-cameracontrol-updater.rules
fi
cp $rule $rules/ || exit 1
udevadm control --reload
echo "--- with the rule"
tags | tee /tmp/after.txt
echo "--- the SCSI device's vendor: $(cat /sys/class/scsi_generic/sg0/device/vendor)"
kill $E
! grep -q ':uaccess:' /tmp/before.txt && grep -q ':uaccess:' /tmp/after.txt
