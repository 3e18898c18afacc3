// A programmable SCSI back end for the transport tests: disks with an INQUIRY identity, a record
// of every request, scripted failures, and checks that requests never overlap and that no handle
// is closed while a request runs on it.
#pragma once

#include "upgrade/scsichannel.h"

#include <QByteArray>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FakeRequest {
    std::string disk;
    std::vector<std::uint8_t> cdb;
    ScsiDirection direction = ScsiDirection::ToDevice;
    std::vector<std::uint8_t> data; // payload sent (data to the device)
    std::uint32_t length = 0;
    std::uint32_t timeout_s = 0;
    bool succeeded = false;
};

inline std::array<std::uint8_t, 36> makeInquiry(const std::string &vendor,
                                                const std::string &product) {
    std::array<std::uint8_t, 36> answer{};
    std::memset(answer.data() + 8, ' ', 8);
    std::memcpy(answer.data() + 8, vendor.data(), std::min<std::size_t>(vendor.size(), 8));
    if (!product.empty()) {
        std::memset(answer.data() + 16, ' ', 16);
        std::memcpy(answer.data() + 16, product.data(), std::min<std::size_t>(product.size(), 16));
    }
    return answer;
}

class FakeScsiBackend final : public ScsiBackend {
public:
    struct Disk {
        std::string name;
        std::array<std::uint8_t, 36> inquiry{};
        bool openFails = false;
        bool inquiryFails = false;
    };

    // Decides a vendor request: whether it succeeds, and (data from the device) the answer.
    using Responder = std::function<bool(const FakeRequest &, std::uint8_t *data)>;

    std::vector<Disk> disks;
    Responder responder = [](const FakeRequest &, std::uint8_t *) { return true; };
    // Busy time of each request and search step, to widen any window two threads could meet in.
    int spin = 0;

    std::vector<std::string> candidates() override {
        Step step(*this);
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
    std::vector<FakeRequest> vendorRequests() const {
        std::vector<FakeRequest> result;
        for (const FakeRequest &request : requests()) {
            if (!request.cdb.empty() && request.cdb[0] == 0xE8)
                result.push_back(request);
        }
        return result;
    }
    void clearRequests() {
        std::lock_guard<std::mutex> lock(mutex);
        log.clear();
    }

    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<int> violations{0}; // overlapping requests, a handle closed in use, ...
    std::atomic<int> vendorDuringSearchStep{0};

    int openHandles() const { return opened.load() - closed.load(); }

private:
    friend class FakeScsiDevice;

    // Marks a step of a search (listing or opening candidates) while it runs.
    struct Step {
        explicit Step(FakeScsiBackend &owner)
            : backend(owner) {
            ++backend.searchSteps;
            backend.burn();
        }
        ~Step() { --backend.searchSteps; }
        FakeScsiBackend &backend;
    };

    void burn() const {
        for (int i = 0; i < spin; ++i)
            std::this_thread::yield();
    }

    bool execute(const std::string &disk, const std::uint8_t *cdb, std::size_t cdbLength,
                 ScsiDirection direction, std::uint8_t *data, std::uint32_t length,
                 std::uint32_t timeout_s) {
        if (++inFlight != 1)
            ++violations;
        const bool vendor = cdbLength > 0 && cdb[0] == 0xE8;
        if (vendor && searchSteps.load() > 0)
            ++vendorDuringSearchStep;
        FakeRequest request;
        request.disk = disk;
        request.cdb.assign(cdb, cdb + cdbLength);
        request.direction = direction;
        if (direction == ScsiDirection::ToDevice && data)
            request.data.assign(data, data + length);
        request.length = length;
        request.timeout_s = timeout_s;
        bool ok = false;
        if (!vendor) {
            for (const Disk &d : disks) {
                if (d.name == disk && !d.inquiryFails) {
                    std::memcpy(data, d.inquiry.data(), std::min<std::uint32_t>(length, 36));
                    ok = true;
                }
            }
        } else {
            ok = responder(request, data);
        }
        request.succeeded = ok;
        burn();
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
    std::atomic<int> searchSteps{0};
};

class FakeScsiDevice final : public ScsiDevice {
public:
    FakeScsiDevice(FakeScsiBackend &owner, std::string diskName)
        : backend(owner)
        , disk(std::move(diskName)) {
        ++backend.opened;
    }
    ~FakeScsiDevice() override {
        if (busy.load())
            ++backend.violations;
        ++backend.closed;
    }
    FakeScsiDevice(const FakeScsiDevice &) = delete;
    FakeScsiDevice &operator=(const FakeScsiDevice &) = delete;

    bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                 std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
        busy = true;
        const bool ok = backend.execute(disk, cdb, cdbLength, direction, data, length, timeout_s);
        busy = false;
        return ok;
    }

private:
    FakeScsiBackend &backend;
    std::string disk;
    std::atomic<bool> busy{false};
};

inline std::unique_ptr<ScsiDevice> FakeScsiBackend::open(const std::string &candidate) {
    Step step(*this);
    for (const Disk &disk : disks) {
        if (disk.name == candidate && !disk.openFails)
            return std::make_unique<FakeScsiDevice>(*this, candidate);
    }
    return nullptr;
}

inline std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> result;
    for (int v : values)
        result.push_back(static_cast<std::uint8_t>(v));
    return result;
}

inline std::vector<std::uint8_t> bytesOf(const QByteArray &data) {
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// Wraps another back end (the simulated bus) with the same checks: requests never overlap, no
// vendor request runs while a search lists or opens candidates, and no handle is closed while a
// request runs on it.
class CheckingScsiBackend final : public ScsiBackend {
public:
    explicit CheckingScsiBackend(ScsiBackend &wrapped)
        : inner(wrapped) {}

    std::vector<std::string> candidates() override {
        Step step(*this);
        return inner.candidates();
    }
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override;

    std::atomic<int> violations{0};
    std::atomic<int> vendorDuringSearchStep{0};
    std::atomic<int> requests{0};
    std::atomic<int> opened{0};
    std::atomic<int> closed{0};

private:
    friend class CheckingScsiDevice;
    struct Step {
        explicit Step(CheckingScsiBackend &owner)
            : backend(owner) {
            ++backend.searchSteps;
            std::this_thread::yield();
        }
        ~Step() { --backend.searchSteps; }
        CheckingScsiBackend &backend;
    };

    ScsiBackend &inner;
    std::atomic<int> inFlight{0};
    std::atomic<int> searchSteps{0};
};

class CheckingScsiDevice final : public ScsiDevice {
public:
    CheckingScsiDevice(CheckingScsiBackend &owner, std::unique_ptr<ScsiDevice> wrapped)
        : backend(owner)
        , inner(std::move(wrapped)) {
        ++backend.opened;
    }
    ~CheckingScsiDevice() override {
        if (busy.load())
            ++backend.violations;
        ++backend.closed;
    }
    CheckingScsiDevice(const CheckingScsiDevice &) = delete;
    CheckingScsiDevice &operator=(const CheckingScsiDevice &) = delete;

    bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                 std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
        busy = true;
        if (++backend.inFlight != 1)
            ++backend.violations;
        if (cdbLength > 0 && cdb[0] == 0xE8 && backend.searchSteps.load() > 0)
            ++backend.vendorDuringSearchStep;
        ++backend.requests;
        std::this_thread::yield();
        const bool ok = inner->execute(cdb, cdbLength, direction, data, length, timeout_s);
        --backend.inFlight;
        busy = false;
        return ok;
    }

private:
    CheckingScsiBackend &backend;
    std::unique_ptr<ScsiDevice> inner;
    std::atomic<bool> busy{false};
};

inline std::unique_ptr<ScsiDevice> CheckingScsiBackend::open(const std::string &candidate) {
    Step step(*this);
    std::unique_ptr<ScsiDevice> device = inner.open(candidate);
    if (!device)
        return nullptr;
    return std::make_unique<CheckingScsiDevice>(*this, std::move(device));
}
