// The camera's updater stages as a USB mass-storage device: finding it among the SCSI devices,
// telling its stage from its INQUIRY identity, and the vendor protocol on top of one vendor
// operation code (0xE8) with five subcommands.
//
// The current device is one process-wide handle, written by each search and used by every
// command. The abnormal-state watcher and the upgrade worker use it from two threads: one
// process-wide lock is held around each search and around each single request, a search tests its
// candidates on handles of its own and publishes the accepted one only at its end, and a handle is
// never closed while a request uses it. The pauses between retries hold nothing.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

#include "device/catalogue.h"
#include "upgrade/scsichannel.h"

enum UpdaterDeviceState : int {
    UpdaterStateRom = 0,
    UpdaterStateUpdater = 1,
    UpdaterStateUBoot = 2,
    UpdaterStateNone = 3,
};

constexpr std::uint8_t kVendorOperationCode = 0xE8;
constexpr std::uint8_t kSubcommandData = 1;
constexpr std::uint8_t kSubcommandStatus = 2;
constexpr std::uint8_t kSubcommandLastData = 4;
constexpr std::uint8_t kSubcommandImageHeader = 5;
constexpr std::uint8_t kSubcommandShell = 6;

constexpr std::uint32_t kVendorCommandTimeout_s = 120;
constexpr std::uint32_t kInquiryTimeout_s = 2;
constexpr std::uint32_t kInquiryLength = 36;
constexpr std::uint32_t kMaxPayload = 65536;
constexpr std::uint32_t kImageHeaderLength = 24;
constexpr std::uint32_t kNoLoadAddress = 0xFFFFFFFFu;
constexpr std::uint32_t kRawChunkSize = 1024;
constexpr std::uint32_t kImageChunkSize = 32768;
constexpr int kChunkRetryBudget = 100;
constexpr int kDefaultStatusAttempts = 10;
constexpr int kImageAttempts = 5;

// "ROM", "Updater" or "u-Boot"; null for UpdaterStateNone.
const char *updaterStateName(UpdaterDeviceState state);

// Searches the candidates of the installed SCSI back end for a camera of the product line in one
// of its updater stages. On success the device becomes the current handle and its stage is
// written to `state`; otherwise the current handle is dropped and `state` becomes
// UpdaterStateNone. A device whose identity is accepted but whose stage is unknown is found with
// UpdaterStateNone.
bool findUpdaterDevice(int productLineSelector, UpdaterDeviceState &state);
// The watcher's search: findUpdaterDevice, and when not one candidate could be opened (a process
// without the rights to open disks) the disks the system lists, by the same vendor and stage
// rules. A camera seen only in that list is found with its stage but leaves no current handle:
// nothing is ever sent to it, and an upgrade or a recovery searches again for itself.
bool detectUpdaterDevice(int productLineSelector, UpdaterDeviceState &state);
// Whether a search currently holds a device (for diagnostics and tests).
bool hasCurrentUpdaterDevice();
// Closes the current handle (at the end of the process, or between tests).
void releaseUpdaterDevice();

// The stage that an INQUIRY answer of an accepted device stands for, and whether the answer's
// vendor identification is accepted for the selector.
bool inquiryVendorAccepted(const std::uint8_t *answer, int productLineSelector);
UpdaterDeviceState stateFromInquiry(const std::uint8_t *answer);
// Whether a vendor identification (INQUIRY bytes 8..15, as sysfs shows it) is one of the family's
// updater stages, of either product line.
bool isFamilyScsiVendor(const std::string &vendorIdentification);

// One INQUIRY request (36 bytes, 2 s) on an open device.
bool readInquiry(ScsiDevice &device, std::uint8_t *answer);

// One vendor request on the current device: 0 on success, -1 on failure (no device, a length
// over 65,536, or a failed request). For data from the device the answer is copied back into
// `buffer` whatever the outcome.
int sendVendorCommand(std::uint8_t subcommand, ScsiDirection direction, std::uint32_t length,
                      std::uint8_t *buffer);

// The 24-byte header that announces a boot image: load address, size (both little-endian) and
// the MD5 digest of the image.
QByteArray makeImageHeader(std::uint32_t loadAddress, const QByteArray &image);

// Subcommand 5, one attempt, 500 ms pause after a failure. 0 when the camera took the header, -1
// when it refused it (a stage that takes no images, such as the boot ROM, refuses every header).
int sendImageHeader(const std::uint8_t *header);
// Subcommand 6 with the text (no terminating zero), one attempt, 500 ms pause after a failure.
// Always 0.
int sendShellCommand(const char *text, std::uint32_t length);
// Subcommand 2: presets `status` to all ones, then tries up to `attempts` times (10 when 0),
// 100 ms apart, until a request succeeds. -1 only for a missing buffer; the caller judges the
// word with isAcknowledged().
int readCommandStatus(std::uint8_t *status, std::uint32_t length, int attempts = 0);
// Byte 0 is 0x0D and byte 1 is 0x00.
bool isAcknowledged(const std::uint8_t *status);
// Sends the buffer in chunks: subcommand 1, the last chunk (and a buffer that fits in one chunk)
// with subcommand 4. One budget of 100 retries, 100 ms apart, serves the whole transfer; -1 once
// it is spent. An empty buffer sends nothing and gives 0.
int sendDataChunks(const std::uint8_t *buffer, std::uint32_t length, std::uint32_t chunkSize);

// Reads a whole file into a buffer of the larger of the file size and the minimum, zero-filling
// the rest. False when the file cannot be read.
bool loadFile(const QString &fileName, QByteArray &buffer, int minimumSize = 0);
// The file in 1,024-byte chunks. -1 only when the file cannot be read; `delivered` (when given)
// tells whether every chunk was taken.
int sendRawFile(const QString &fileName, bool *delivered = nullptr);
// Header, data in 32,768-byte chunks, a pause of size / 20,480 ms and the acknowledgement, up to
// five attempts; an attempt whose header is refused sends no data (the camera would take it as
// something else). -1 only when the file cannot be read; an image that is never acknowledged
// still gives 0 and leaves a warning in the log, and `acknowledged` (when given) tells the caller.
int sendImageFile(const QString &fileName, std::uint32_t loadAddress, bool *acknowledged = nullptr);
