// Seam: raw SCSI commands to the mass-storage devices through which a camera in one of its
// updater stages is reached. The candidates are the devices the search may open, in search order;
// no other device is ever opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class ScsiDirection { ToDevice, FromDevice };

class ScsiDevice {
public:
    virtual ~ScsiDevice() = default;
    // Issues one command block with its data phase. Returns whether the request itself succeeded
    // (the SCSI status byte and the sense data are not looked at).
    virtual bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                         std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) = 0;
};

// A disk as the system lists it, without opening it: its INQUIRY vendor identification (8
// characters) and product identification (16 characters), blank-padded. An empty product
// identification is listed as blanks.
struct ScsiDiskIdentity {
    std::string vendor;
    std::string product;
};

class ScsiBackend {
public:
    virtual ~ScsiBackend() = default;
    virtual std::vector<std::string> candidates() = 0;
    // Opens a candidate for reading and writing; null when it cannot be opened.
    virtual std::unique_ptr<ScsiDevice> open(const std::string &candidate) = 0;
    // The identities of the USB disks the system lists, read without opening any of them, so
    // that a process without the rights to open a disk still sees who is there. Nothing can be
    // sent to a disk seen this way.
    virtual std::vector<ScsiDiskIdentity> listedDisks() { return {}; }
};

ScsiBackend &scsiBackend();
void installScsiBackend(ScsiBackend *backend);

// The operating system's back end (in the native library).
ScsiBackend &nativeScsiBackend();
