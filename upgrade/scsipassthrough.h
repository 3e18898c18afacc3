// The request buffer of the Windows SCSI pass-through call (SCSI_PASS_THROUGH followed by its sense
// and data areas), built byte for byte so that it can be checked on any platform. The Windows
// channel hands this buffer to IOCTL_SCSI_PASS_THROUGH unchanged.
//
// SCSI_PASS_THROUGH holds a pointer-sized field (DataBufferOffset, a ULONG_PTR), so its layout
// follows the word size of the program: 44 bytes on 32-bit Windows, 56 bytes with DataBufferOffset
// widened and everything after it moved on 64-bit Windows. A driver reads the structure of the
// calling process's word size, so the buffer must be built for exactly that one.
#pragma once

#include "upgrade/scsichannel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace passthrough {

constexpr std::uint8_t kSenseLength = 24;       // bytes of sense data the driver may return
constexpr std::uint32_t kMaxDataLength = 65536; // largest payload of one request
constexpr std::uint32_t kIoctlScsiPassThrough = 0x4D004;
// The sense and the data area each start on this boundary after what precedes them.
constexpr std::size_t kAreaAlignment = 16;

// Where SCSI_PASS_THROUGH's fields and the two areas after it lie for one word size.
struct Layout {
    std::size_t pointerSize;           // width of DataBufferOffset
    std::size_t dataBufferOffsetField; // offset of DataBufferOffset
    std::size_t senseInfoOffsetField;  // offset of SenseInfoOffset
    std::size_t cdbField;              // offset of Cdb[16]
    std::size_t headerLength;          // sizeof(SCSI_PASS_THROUGH): the Length field's value
    std::size_t senseOffset;           // sense area, after the header
    std::size_t dataOffset;            // data area, after the sense area
};

constexpr std::size_t alignUp(std::size_t offset, std::size_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

// The structure as the C compiler lays it out: the fields up to TimeOutValue end at byte 20, the
// ULONG_PTR is aligned to its own width, and the whole to the widest field.
constexpr Layout layoutFor(std::size_t pointerSize) {
    const std::size_t dataBufferOffsetField = alignUp(20, pointerSize);
    const std::size_t senseInfoOffsetField = dataBufferOffsetField + pointerSize;
    const std::size_t cdbField = senseInfoOffsetField + 4;
    const std::size_t headerLength = alignUp(cdbField + 16, pointerSize);
    const std::size_t senseOffset = alignUp(headerLength, kAreaAlignment);
    const std::size_t dataOffset = alignUp(senseOffset + kSenseLength, kAreaAlignment);
    return {pointerSize, dataBufferOffsetField, senseInfoOffsetField,
            cdbField,    headerLength,          senseOffset,
            dataOffset};
}

constexpr Layout kLayout32 = layoutFor(4);
constexpr Layout kLayout64 = layoutFor(8);
// The layout of this program's own word size: the one its requests must use.
constexpr Layout kNativeLayout = layoutFor(sizeof(void *));

static_assert(kLayout32.headerLength == 44 && kLayout32.senseOffset == 48 &&
                  kLayout32.dataOffset == 80,
              "the 32-bit request keeps its long-standing layout");
static_assert(kLayout64.headerLength == 56 && kLayout64.dataBufferOffsetField == 24 &&
                  kLayout64.senseInfoOffsetField == 32 && kLayout64.cdbField == 36,
              "the 64-bit structure widens DataBufferOffset");

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

// The whole buffer: layout.dataOffset + dataLength bytes, zero where no field is written.
// dataLength must not exceed kMaxDataLength.
std::vector<std::uint8_t> encode(const Request &request, const Layout &layout = kNativeLayout);

// The request of a vendor command (operation code 0xE8) or of INQUIRY, as the transport issues
// them. The data area of the answer is at the layout's dataOffset.
Request vendorRequest(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                      const std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s);
Request inquiryRequest(const std::uint8_t *cdb, std::size_t cdbLength, std::uint32_t length,
                       std::uint32_t timeout_s);

} // namespace passthrough
