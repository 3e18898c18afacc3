// The Linux side of the SCSI seam: the SCSI generic devices (/dev/sgN) of SCSI devices attached
// over USB, reached with SG_IO. A disk on another bus (SATA, NVMe, virtio) is never a candidate and
// is never opened. The sysfs and device roots can be moved for tests.
#pragma once

#include "upgrade/scsichannel.h"

#include <string>

class LinuxScsiBackend final : public ScsiBackend {
public:
    explicit LinuxScsiBackend(std::string sysfsRoot = "/sys", std::string deviceRoot = "/dev");

    // "<deviceRoot>/sgN" of every USB-attached SCSI generic device, in number order.
    std::vector<std::string> candidates() override;
    // Opens a candidate read-write (the kernel passes vendor operation codes only on a writable
    // handle). Anything that is not a USB-attached SCSI generic device is refused unopened.
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override;
    // The vendor and model sysfs shows for each candidate (INQUIRY bytes 8..15 and 16..31); sysfs
    // is readable without the rights the device node needs.
    std::vector<ScsiDiskIdentity> listedDisks() override;

    // Whether /sys/class/scsi_generic/<name>/device has a USB device among its ancestors.
    bool isUsbAttached(const std::string &name) const;
    // An attribute of /sys/class/scsi_generic/<name>/device ("vendor", "model": blank-padded).
    std::string deviceAttribute(const std::string &name, const char *attribute) const;

private:
    std::string sysfs;
    std::string devices;
};
