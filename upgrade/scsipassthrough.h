// The request buffer of the Windows SCSI pass-through call (SCSI_PASS_THROUGH followed by its sense
// and data areas), built byte for byte so that it can be checked on any platform. The Windows
// channel hands this buffer to IOCTL_SCSI_PASS_THROUGH unchanged.
#pragma once

#include "upgrade/scsichannel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace passthrough {

constexpr std::size_t kHeaderLength = 44;       // sizeof(SCSI_PASS_THROUGH) on both word sizes
constexpr std::size_t kSenseOffset = 48;        // sense area, after the header's padding
constexpr std::uint8_t kSenseLength = 24;       // bytes of sense data the driver may return
constexpr std::size_t kDataOffset = 80;         // data area, after the sense area's padding
constexpr std::uint32_t kMaxDataLength = 65536; // largest payload of one request
constexpr std::uint32_t kIoctlScsiPassThrough = 0x4D004;

// The fields that differ between requests; everything else is fixed by the layout.
struct Request {
    std::uint8_t targetId = 0;
    std::uint8_t cdb[16] = {};
    std::uint8_t cdbLength = 0;
    bool dataIn = false; // data from the device
    std::uint32_t dataLength = 0;
    std::uint32_t timeout_s = 0;
    const std::uint8_t *data = nullptr; // copied into the data area (also for data from the device)
};

// The whole buffer: 80 + dataLength bytes, zero where no field is written. dataLength must not
// exceed kMaxDataLength.
std::vector<std::uint8_t> encode(const Request &request);

// The request of a vendor command (operation code 0xE8) or of INQUIRY, as the transport issues
// them. The data area of the answer is at kDataOffset.
Request vendorRequest(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                      const std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s);
Request inquiryRequest(const std::uint8_t *cdb, std::size_t cdbLength, std::uint32_t length,
                       std::uint32_t timeout_s);

} // namespace passthrough
