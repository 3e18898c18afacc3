// The walk through a camera's USB descriptors that finds the vendor extension unit. The first byte
// picks the interface searched (0xFF: any); the rest is the descriptor blob, copied to a buffer of
// its exact size so that any read past its end is caught.
#include "control/uvcdescriptors.h"
#include "control/uvcextensionunit.h"
#include "fuzzsupport.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    static const GuidBytes unit = encodeGuid(kExtensionUnitSet);
    const int interfaceNumber = data[0] == 0xFF ? -1 : data[0];
    const std::vector<std::uint8_t> blob(data + 1, data + size);
    findExtensionUnit(blob.data(), blob.size(), unit, interfaceNumber);
    return 0;
}
