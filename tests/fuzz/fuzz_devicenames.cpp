// Device interface names as hot-plug events and the enumeration deliver them: the event filter,
// the device id cut from the name, the USB ids read from it and the model lookups.
#include "device/cameradevice.h"
#include "device/captureinterfacefilter.h"
#include "device/catalogue.h"
#include "fuzzsupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QuietHarness quiet;
    const QString name = QString::fromUtf8(bytesOf(data, size));
    classifyCaptureInterfaceEvent(size % 2 == 0, name);
    const QString id = deviceIdFromPath(name);
    if (!name.contains(id))
        std::abort(); // the id is a part of the name
    for (const QString &text : {name, id}) {
        std::uint32_t vendorId = 0, productId = 0;
        parseVidPid(text, vendorId, productId);
        modelIndexByIds(vendorId, productId);
        modelIndexByName(text);
    }
    return 0;
}
