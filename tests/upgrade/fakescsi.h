// A SCSI back end of disks with an INQUIRY identity whose vendor requests a responder decides, and
// a record of every request.
#pragma once

#include "common/clock.h"
#include "testsupport/testsupport.h"
#include "upgrade/massstorage.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>

struct FakeRequest {
    std::string disk;
    std::vector<std::uint8_t> cdb;
    std::vector<std::uint8_t> data; // what was sent to the device
    std::uint32_t length = 0;
    std::uint32_t timeout_s = 0;
};

class FakeScsi final : public ScsiBackend {
public:
    struct Disk {
        std::string name, vendor, product;
        bool openFails = false;
        bool inquiryFails = false;
    };
    // Decides a vendor request (cdb[1] is the subcommand); fills `data` for data from the device.
    using Responder = std::function<bool(const FakeRequest &, std::uint8_t *data)>;

    std::vector<Disk> disks;
    Responder responder = [](const FakeRequest &, std::uint8_t *) { return true; };
    std::atomic<int> handles{0};
    std::atomic<int> overlaps{0};

    std::vector<std::string> candidates() override {
        std::vector<std::string> names;
        for (const Disk &disk : disks)
            names.push_back(disk.name);
        return names;
    }
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override;

    std::vector<FakeRequest> requests() const {
        std::lock_guard<std::mutex> lock(mutex);
        return log;
    }
    // "subcommand:length" of every vendor request.
    QStringList vendorTrace() const {
        QStringList trace;
        for (const FakeRequest &request : requests())
            if (request.cdb[0] == kVendorOperationCode)
                trace << QString("%1:%2").arg(request.cdb[1]).arg(request.length);
        return trace;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        log.clear();
    }

private:
    friend class FakeScsiDevice;
    bool execute(const std::string &disk, const std::uint8_t *cdb, std::size_t cdbLength,
                 std::uint8_t *data, std::uint32_t length, ScsiDirection direction,
                 std::uint32_t timeout_s) {
        overlaps += ++inFlight > 1;
        FakeRequest request{disk, {cdb, cdb + cdbLength}, {}, length, timeout_s};
        if (direction == ScsiDirection::ToDevice && data)
            request.data.assign(data, data + length);
        bool ok = false;
        if (cdb[0] != kVendorOperationCode) {
            for (const Disk &d : disks) {
                if (d.name != disk || d.inquiryFails)
                    continue;
                std::memset(data, ' ', 32);
                std::memcpy(data + 8, d.vendor.data(), std::min<std::size_t>(d.vendor.size(), 8));
                if (d.product.empty())
                    std::memset(data + 16, 0, 16);
                else
                    std::memcpy(data + 16, d.product.data(), d.product.size());
                ok = true;
            }
        } else {
            ok = responder(request, data);
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            log.push_back(std::move(request));
        }
        --inFlight;
        return ok;
    }

    mutable std::mutex mutex;
    std::vector<FakeRequest> log;
    std::atomic<int> inFlight{0};
};

class FakeScsiDevice final : public ScsiDevice {
public:
    FakeScsiDevice(FakeScsi &owner, std::string diskName)
        : scsi(owner)
        , disk(std::move(diskName)) {
        ++scsi.handles;
    }
    ~FakeScsiDevice() override { --scsi.handles; }
    FakeScsiDevice(const FakeScsiDevice &) = delete;
    FakeScsiDevice &operator=(const FakeScsiDevice &) = delete;
    bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                 std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
        return scsi.execute(disk, cdb, cdbLength, data, length, direction, timeout_s);
    }

private:
    FakeScsi &scsi;
    std::string disk;
};

inline std::unique_ptr<ScsiDevice> FakeScsi::open(const std::string &candidate) {
    for (const Disk &disk : disks)
        if (disk.name == candidate && !disk.openFails)
            return std::make_unique<FakeScsiDevice>(*this, candidate);
    return nullptr;
}
