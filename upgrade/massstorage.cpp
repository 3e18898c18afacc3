#include "upgrade/massstorage.h"

#include "common/clock.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace {
// Serialises every search and every single request on the current device. Never held across a
// pause, so the other thread gets its turn between two requests of a long transfer.
std::mutex &transportMutex() {
    static std::mutex mutex;
    return mutex;
}

// Written only by a search, with the transport lock held. Kept past the end of main() on purpose:
// the last handle stays open until the process ends, and no exit-time destructor may run after
// the back end that made it is gone.
std::unique_ptr<ScsiDevice> &currentDevice() {
    static auto *device = new std::unique_ptr<ScsiDevice>();
    return *device;
}

void pause(int milliseconds) {
    activeClock().sleepFor(Milliseconds(milliseconds));
}

// Vendor identifications of the updater stages: of either product line, of the QX line, of the
// ZENTA line.
constexpr char kEitherLineVendor[] = "GC";
constexpr char kQxLineVendor[] = "QXM30";
constexpr char kZentaLineVendor[] = "ZENTA";

} // namespace

const char *updaterStateName(UpdaterDeviceState state) {
    switch (state) {
    case UpdaterStateRom:
        return "ROM";
    case UpdaterStateUpdater:
        return "Updater";
    case UpdaterStateUBoot:
        return "u-Boot";
    case UpdaterStateNone:
        break;
    }
    return nullptr;
}

bool inquiryVendorAccepted(const std::uint8_t *answer, int productLineSelector) {
    if (!answer)
        return false;
    if (std::memcmp(answer + 8, kEitherLineVendor, sizeof kEitherLineVendor - 1) == 0)
        return true;
    const char *accepted = nullptr;
    if (productLineSelector == kProductLineQx)
        accepted = kQxLineVendor;
    else if (productLineSelector == kProductLineZenta)
        accepted = kZentaLineVendor;
    return accepted && std::memcmp(answer + 8, accepted, std::strlen(accepted)) == 0;
}

bool isFamilyScsiVendor(const std::string &vendorIdentification) {
    for (const char *prefix : {kEitherLineVendor, kQxLineVendor, kZentaLineVendor})
        if (vendorIdentification.rfind(prefix, 0) == 0)
            return true;
    return false;
}

UpdaterDeviceState stateFromInquiry(const std::uint8_t *answer) {
    if (!answer)
        return UpdaterStateNone;
    if (answer[16] == 0)
        return UpdaterStateRom;
    if (std::memcmp(answer + 16, "UPD", 3) == 0)
        return UpdaterStateUpdater;
    if (std::memcmp(answer + 16, "UBO", 3) == 0)
        return UpdaterStateUBoot;
    return UpdaterStateNone;
}

bool readInquiry(ScsiDevice &device, std::uint8_t *answer) {
    if (!answer)
        return false;
    const std::uint8_t cdb[6] = {0x12, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(kInquiryLength),
                                 0x00};
    std::memset(answer, 0, kInquiryLength);
    return device.execute(cdb, sizeof cdb, ScsiDirection::FromDevice, answer, kInquiryLength,
                          kInquiryTimeout_s);
}

namespace {
// The search over the candidates, with the transport lock held. `opened` counts the candidates
// that could be opened at all.
bool searchCandidates(int productLineSelector, UpdaterDeviceState &state, int &opened) {
    ScsiBackend &backend = scsiBackend();
    std::unique_ptr<ScsiDevice> accepted;
    UpdaterDeviceState found = UpdaterStateNone;
    for (const std::string &candidate : backend.candidates()) {
        std::unique_ptr<ScsiDevice> device = backend.open(candidate);
        if (!device)
            continue;
        ++opened;
        std::uint8_t answer[kInquiryLength];
        if (!readInquiry(*device, answer) || !inquiryVendorAccepted(answer, productLineSelector))
            continue; // the rejected handle closes here
        found = stateFromInquiry(answer);
        accepted = std::move(device);
        break;
    }
    // Publishing at the end: the handle a command may be waiting for is replaced in one step,
    // and the one replaced is closed while nobody can be using it.
    std::unique_ptr<ScsiDevice> replaced = std::move(currentDevice());
    currentDevice() = std::move(accepted);
    replaced.reset();
    state = found;
    if (const char *name = updaterStateName(found))
        qInfo("device state: %s", name);
    return currentDevice() != nullptr;
}

// The INQUIRY answer a listed identity stands for. A listing pads an empty product
// identification with blanks where the device answered zeros, and zeros are what tell the boot
// ROM.
void answerFromListing(const ScsiDiskIdentity &disk, std::uint8_t *answer) {
    std::memset(answer, 0, kInquiryLength);
    std::memcpy(answer + 8, disk.vendor.data(), std::min<std::size_t>(disk.vendor.size(), 8));
    if (disk.product.find_first_not_of(' ') != std::string::npos)
        std::memcpy(answer + 16, disk.product.data(),
                    std::min<std::size_t>(disk.product.size(), 16));
}

// The first listed disk of the product line, by the same rules as an opened one. Its stage is
// logged once each time it changes, as the watcher asks every second.
bool searchListing(int productLineSelector, UpdaterDeviceState &state) {
    static UpdaterDeviceState lastLogged = UpdaterStateNone;
    state = UpdaterStateNone;
    bool found = false;
    for (const ScsiDiskIdentity &disk : scsiBackend().listedDisks()) {
        std::uint8_t answer[kInquiryLength];
        answerFromListing(disk, answer);
        if (!inquiryVendorAccepted(answer, productLineSelector))
            continue;
        state = stateFromInquiry(answer);
        found = true;
        break;
    }
    const char *name = updaterStateName(state);
    if (name && state != lastLogged)
        qInfo("device state: %s, as the system lists the disk (it could not be opened)", name);
    lastLogged = state;
    return found;
}
} // namespace

bool findUpdaterDevice(int productLineSelector, UpdaterDeviceState &state) {
    std::lock_guard<std::mutex> lock(transportMutex());
    int opened = 0;
    return searchCandidates(productLineSelector, state, opened);
}

bool detectUpdaterDevice(int productLineSelector, UpdaterDeviceState &state) {
    std::lock_guard<std::mutex> lock(transportMutex());
    int opened = 0;
    const bool found = searchCandidates(productLineSelector, state, opened);
    // A disk that opened answered for itself; the listing speaks only when none could be opened.
    if (found || opened > 0)
        return found;
    return searchListing(productLineSelector, state);
}

bool hasCurrentUpdaterDevice() {
    std::lock_guard<std::mutex> lock(transportMutex());
    return currentDevice() != nullptr;
}

void releaseUpdaterDevice() {
    std::lock_guard<std::mutex> lock(transportMutex());
    currentDevice().reset();
}

int sendVendorCommand(std::uint8_t subcommand, ScsiDirection direction, std::uint32_t length,
                      std::uint8_t *buffer) {
    if (length > kMaxPayload || (length > 0 && !buffer))
        return -1;
    const std::uint8_t cdb[10] = {kVendorOperationCode,
                                  subcommand,
                                  0,
                                  0,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(length >> 24),
                                  static_cast<std::uint8_t>(length >> 16),
                                  static_cast<std::uint8_t>(length >> 8),
                                  static_cast<std::uint8_t>(length)};
    // A data area of its own for every request, as the pass-through request is built afresh.
    std::vector<std::uint8_t> area(buffer ? buffer : nullptr, buffer ? buffer + length : nullptr);
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(transportMutex());
        ScsiDevice *device = currentDevice().get();
        if (device)
            ok = device->execute(cdb, sizeof cdb, direction, area.data(), length,
                                 kVendorCommandTimeout_s);
    }
    if (direction == ScsiDirection::FromDevice && length > 0)
        std::memcpy(buffer, area.data(), length);
    if (!ok)
        qDebug("vendor command %u failed, length %u", unsigned(subcommand), unsigned(length));
    return ok ? 0 : -1;
}

QByteArray makeImageHeader(std::uint32_t loadAddress, const QByteArray &image) {
    QByteArray header(static_cast<int>(kImageHeaderLength), '\0');
    const std::uint32_t size = static_cast<std::uint32_t>(image.size());
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<char>(loadAddress >> (8 * i));
        header[4 + i] = static_cast<char>(size >> (8 * i));
    }
    const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Md5);
    std::memcpy(header.data() + 8, digest.constData(), 16);
    return header;
}

int sendImageHeader(const std::uint8_t *header) {
    std::uint8_t copy[kImageHeaderLength];
    std::memcpy(copy, header, sizeof copy);
    if (sendVendorCommand(kSubcommandImageHeader, ScsiDirection::ToDevice, sizeof copy, copy) == 0)
        return 0;
    pause(500);
    return -1;
}

int sendShellCommand(const char *text, std::uint32_t length) {
    std::vector<std::uint8_t> copy(text, text + length);
    if (sendVendorCommand(kSubcommandShell, ScsiDirection::ToDevice, length, copy.data()) != 0)
        pause(500);
    return 0;
}

int readCommandStatus(std::uint8_t *status, std::uint32_t length, int attempts) {
    if (!status)
        return -1;
    std::memset(status, 0xFF, length);
    const int tries = attempts > 0 ? attempts : kDefaultStatusAttempts;
    for (int i = 0; i < tries; ++i) {
        if (i > 0)
            pause(100);
        if (sendVendorCommand(kSubcommandStatus, ScsiDirection::FromDevice, length, status) == 0)
            break;
    }
    return 0;
}

bool isAcknowledged(const std::uint8_t *status) {
    return status && status[0] == 0x0D && status[1] == 0x00;
}

int sendDataChunks(const std::uint8_t *buffer, std::uint32_t length, std::uint32_t chunkSize) {
    if (length == 0)
        return 0;
    if (!buffer || chunkSize == 0 || chunkSize > kMaxPayload)
        return -1;
    std::uint8_t subcommand = kSubcommandData;
    std::uint32_t offset = 0;
    int retriesSpent = 0;
    while (offset < length) {
        std::uint32_t chunk = chunkSize;
        if (length - offset <= chunkSize) {
            chunk = length - offset;
            subcommand = kSubcommandLastData;
        }
        // Data to the device is only read from the buffer.
        auto *data = const_cast<std::uint8_t *>(buffer + offset);
        if (sendVendorCommand(subcommand, ScsiDirection::ToDevice, chunk, data) == 0) {
            offset += chunk;
            continue;
        }
        if (retriesSpent >= kChunkRetryBudget) {
            qWarning("transfer abandoned at byte %u of %u", unsigned(offset), unsigned(length));
            return -1;
        }
        ++retriesSpent;
        pause(100);
    }
    return 0;
}

bool loadFile(const QString &fileName, QByteArray &buffer, int minimumSize) {
    if (fileName.isEmpty())
        return false;
    QFile file(fileName);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    if (size < 0 || size > std::numeric_limits<int>::max())
        return false;
    QByteArray content = file.readAll();
    if (content.size() != size || file.error() != QFileDevice::NoError)
        return false;
    if (content.size() < minimumSize)
        content.append(QByteArray(minimumSize - content.size(), '\0'));
    buffer = content;
    return true;
}

int sendRawFile(const QString &fileName, bool *delivered) {
    if (delivered)
        *delivered = false;
    QByteArray image;
    if (!loadFile(fileName, image))
        return -1;
    const int sent = sendDataChunks(reinterpret_cast<const std::uint8_t *>(image.constData()),
                                    static_cast<std::uint32_t>(image.size()), kRawChunkSize);
    if (delivered)
        *delivered = sent == 0;
    return 0;
}

int sendImageFile(const QString &fileName, std::uint32_t loadAddress, bool *taken) {
    if (taken)
        *taken = false;
    QByteArray image;
    if (!loadFile(fileName, image))
        return -1;
    const QByteArray header = makeImageHeader(loadAddress, image);
    const auto size = static_cast<std::uint32_t>(image.size());
    const auto *data = reinterpret_cast<const std::uint8_t *>(image.constData());
    bool acknowledged = false;
    for (int attempt = 0; attempt < kImageAttempts && !acknowledged; ++attempt) {
        if (sendImageHeader(reinterpret_cast<const std::uint8_t *>(header.constData())) != 0) {
            qWarning() << "image header refused:" << fileName;
            continue;
        }
        if (sendDataChunks(data, size, kImageChunkSize) != 0)
            continue;
        // Time for the camera to write the image before it can answer.
        pause(static_cast<int>(size / 20480));
        std::uint8_t status[4];
        readCommandStatus(status, sizeof status, kDefaultStatusAttempts);
        acknowledged = isAcknowledged(status);
    }
    if (!acknowledged)
        qWarning() << "image not acknowledged:" << fileName;
    if (taken)
        *taken = acknowledged;
    return 0;
}
