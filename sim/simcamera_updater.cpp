// The camera's mass-storage side in its updater stages.
//
// Boot ROM: takes the updater program as raw data chunks (subcommand 1, the last one 4) and then
// runs it: the program brings its own USB device, so the disk leaves the bus and the program's
// disk (stage Updater) comes back after restartDelay (at once on the same disk with
// updaterOnSameDisk). Updater: takes the boot-loader image (header,
// subcommand 5, then data chunks), acknowledges it only when its size and MD5 match the header,
// and restarts into the boot loader once the acknowledgement has been read. Boot loader: takes
// images into memory the same way and boot-loader command lines (subcommand 6), acknowledging
// each; "reset" restarts it as a camera. Every request is recorded.
//
// The firmware version the camera reports after the upgrade is taken from the images loaded in the
// boot loader: the text "FWVER=<major>.<minor>.<patch>" anywhere inside one of them.
#include "sim/simcamera.h"

#include "sim/simulatedbus.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::array<std::uint8_t, 4> kAcknowledged{{0x0D, 0x00, 0x00, 0x00}};
constexpr std::array<std::uint8_t, 4> kRefused{{0x0D, 0x01, 0x00, 0x00}};
constexpr std::array<std::uint8_t, 4> kBadImage{{0x0D, 0x02, 0x00, 0x00}};
constexpr std::array<std::uint8_t, 4> kNoStatus{{0xFF, 0xFF, 0xFF, 0xFF}};

void putPadded(std::uint8_t *target, const std::string &text, std::size_t width) {
    std::memset(target, ' ', width);
    std::memcpy(target, text.data(), std::min(text.size(), width));
}

std::uint32_t little32(const std::uint8_t *bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

bool findVersionMarker(const std::vector<std::uint8_t> &image, SimVersion &version) {
    static const std::string marker = "FWVER=";
    auto it = std::search(image.begin(), image.end(), marker.begin(), marker.end());
    if (it == image.end())
        return false;
    it += static_cast<std::ptrdiff_t>(marker.size());
    std::uint32_t parts[3] = {0, 0, 0};
    for (int part = 0; part < 3; ++part) {
        int digits = 0;
        while (it != image.end() && *it >= '0' && *it <= '9' && digits < 5) {
            parts[part] = parts[part] * 10 + (*it - '0');
            ++it;
            ++digits;
        }
        if (digits == 0 || parts[part] > 0xFFFF)
            return false;
        if (part < 2) {
            if (it == image.end() || *it != '.')
                return false;
            ++it;
        }
    }
    version = {static_cast<std::uint16_t>(parts[0]), static_cast<std::uint16_t>(parts[1]),
               static_cast<std::uint16_t>(parts[2])};
    return true;
}
} // namespace

bool SimCamera::handleScsi(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                           std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) {
    Guard guard(simMutex());
    SimScsiRecord record;
    if (cdb)
        record.cdb.assign(cdb, cdb + cdbLength);
    record.direction = direction;
    record.timeout_s = timeout_s;
    record.stage = currentStage;
    if (direction == ScsiDirection::ToDevice && data)
        record.data.assign(data, data + length);
    ++scsiRequests;

    auto finish = [&](bool ok) {
        if (direction == ScsiDirection::FromDevice && data && ok)
            record.data.assign(data, data + length);
        record.succeeded = ok;
        scsiRecords.push_back(std::move(record));
        return ok;
    };

    auto self = [this]() -> std::shared_ptr<SimCamera> {
        if (!bus)
            return nullptr;
        for (const auto &camera : bus->cameras()) {
            if (camera.get() == this)
                return camera;
        }
        return nullptr;
    };

    // Goes off the bus and, after restartDelay, comes back in `target` (with `version` when set).
    auto restartInto = [&](SimStage target, bool setVersion, SimVersion version) {
        std::weak_ptr<SimCamera> weak = self();
        SimulatedBus *owner = bus;
        setStage(SimStage::Off);
        if (!owner)
            return;
        owner->schedule(restartDelay, [weak, owner, target, setVersion, version] {
            auto camera = weak.lock();
            if (!camera || !owner->isPlugged(camera) || camera->currentStage != SimStage::Off)
                return; // unplugged meanwhile: it stays where it was
            if (setVersion)
                camera->currentVersion = version;
            camera->setStage(target);
        });
    };

    if (!cdb || (length > 0 && !data))
        return finish(false);

    // INQUIRY: 12 00 00 00 24 00, 36 bytes from the device.
    if (cdbLength == 6 && cdb[0] == 0x12) {
        const bool wellFormed = cdb[1] == 0 && cdb[2] == 0 && cdb[3] == 0 && cdb[4] == 36 &&
                                cdb[5] == 0 && direction == ScsiDirection::FromDevice &&
                                length >= 36;
        if (!wellFormed)
            return finish(false);
        std::memset(data, 0, length);
        data[0] = 0x00; // direct-access block device
        data[1] = 0x80; // removable medium
        data[2] = 0x02;
        data[3] = 0x02;
        data[4] = 31; // additional length
        putPadded(data + 8, cfg.inquiryVendor, 8);
        if (*inquiryProductOf(currentStage))
            putPadded(data + 16, inquiryProductOf(currentStage), 16);
        std::memcpy(data + 32, "1.00", 4);
        return finish(true);
    }

    // Vendor command: E8 sub 00 00 00 00 length (big-endian).
    if (cdbLength != 10 || cdb[0] != 0xE8 || cdb[2] || cdb[3] || cdb[4] || cdb[5])
        return finish(false);
    const std::uint32_t announced = std::uint32_t(cdb[6]) << 24 | std::uint32_t(cdb[7]) << 16 |
                                    std::uint32_t(cdb[8]) << 8 | std::uint32_t(cdb[9]);
    if (announced != length || length > 65536)
        return finish(false);
    ++vendorCommands;
    if (updFaults.failEveryNthVendorCommand > 0 &&
        vendorCommands % updFaults.failEveryNthVendorCommand == 0)
        return finish(false); // ABORTED COMMAND
    const std::uint8_t subcommand = cdb[1];
    const bool fromDevice = subcommand == 2;
    if ((direction == ScsiDirection::FromDevice) != fromDevice)
        return finish(false);

    auto acceptPayload = [&]() {
        if (updFaults.vanishAfterBytes >= 0 &&
            updater.payloadBytes + length > updFaults.vanishAfterBytes) {
            // The disk drops off the bus in the middle of the transfer (a pulled cable).
            if (auto camera = self())
                bus->unplug(camera);
            return false;
        }
        updater.payloadBytes += length;
        updater.pendingData.insert(updater.pendingData.end(), data, data + length);
        return true;
    };

    // Checks the image against its header; a good one is taken.
    auto completeImage = [&]() {
        const QByteArray image(reinterpret_cast<const char *>(updater.pendingData.data()),
                               static_cast<int>(updater.pendingData.size()));
        const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Md5);
        const bool good = updater.pendingData.size() == updater.headerSize &&
                          std::memcmp(digest.constData(), updater.headerMd5.data(), 16) == 0;
        updater.status = good ? kAcknowledged : kBadImage;
        if (good && currentStage == SimStage::Updater)
            updater.restartAfterAcknowledge = true;
        if (good && currentStage == SimStage::UBoot) {
            images.emplace_back(updater.headerAddress, updater.pendingData);
            SimVersion version;
            if (findVersionMarker(updater.pendingData, version)) {
                updater.pendingVersion = version;
                updater.pendingVersionKnown = true;
            }
        }
        updater.headerSeen = false;
        updater.pendingData.clear();
    };

    auto answerStatus = [&]() {
        if (length == 0)
            return finish(false);
        const auto &status = updFaults.neverAcknowledge ? kRefused : updater.status;
        std::memset(data, 0, length);
        std::memcpy(data, status.data(), std::min<std::size_t>(length, status.size()));
        const bool restart =
            updater.restartAfterAcknowledge && status == kAcknowledged && length >= 2;
        // A status answers the command before it once: a command that never arrived cannot be
        // acknowledged by the answer to an earlier one.
        updater.status = kNoStatus;
        finish(true);
        if (restart) {
            restartInto(updFaults.wrongStageAfterBootLoader ? SimStage::Updater : SimStage::UBoot,
                        false, {});
        }
        return true;
    };

    switch (currentStage) {
    case SimStage::Rom:
        if (subcommand == 2)
            return answerStatus();
        if (subcommand == 1 || subcommand == 4) {
            if (!acceptPayload())
                return finish(false);
            const bool complete = subcommand == 4;
            finish(true);
            if (complete && updaterOnSameDisk)
                setStage(SimStage::Updater);
            else if (complete)
                restartInto(SimStage::Updater, false, {});
            return true;
        }
        return finish(false);

    case SimStage::Updater:
    case SimStage::UBoot:
        switch (subcommand) {
        case 2:
            return answerStatus();
        case 5:
            if (length != 24 || updFaults.refuseImageHeaders)
                return finish(false);
            // The updater takes nothing but the boot-loader image, which has no load address.
            if (currentStage == SimStage::Updater && little32(data) != 0xFFFFFFFFu)
                return finish(false);
            updater.headerSeen = true;
            updater.headerAddress = little32(data);
            updater.headerSize = little32(data + 4);
            std::memcpy(updater.headerMd5.data(), data + 8, 16);
            updater.pendingData.clear();
            updater.status = kNoStatus;
            updater.restartAfterAcknowledge = false;
            if (updater.headerSize == 0)
                completeImage();
            return finish(true);
        case 1:
        case 4:
            if (!updater.headerSeen || !acceptPayload())
                return finish(false);
            if (subcommand == 4)
                completeImage();
            return finish(true);
        case 6: {
            if (currentStage != SimStage::UBoot)
                return finish(false);
            const std::string line(reinterpret_cast<const char *>(data), length);
            shellLines.push_back(line);
            updater.status = kAcknowledged;
            finish(true);
            if (line == "reset") {
                // Restarts at once, before it could answer.
                const SimVersion version = updater.pendingVersion;
                const bool known = updater.pendingVersionKnown;
                if (updFaults.neverReturnsAsCamera)
                    restartInto(SimStage::UBoot, false, {});
                else
                    restartInto(SimStage::Camera, known, version);
            }
            return true;
        }
        default:
            return finish(false);
        }

    case SimStage::Camera:
    case SimStage::Off:
        break;
    }
    return finish(false);
}
