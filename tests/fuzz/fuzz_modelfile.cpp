// The model search in a package's model file. The first byte picks the file: odd
// "miservice.ubifs", even "model.dat" (read only when the first is missing).
#include "device/catalogue.h"
#include "fuzzsupport.h"
#include "upgrade/packagefiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QuietHarness quiet;
    static QTemporaryDir package;
    if (size == 0)
        return 0;
    QFile::remove(package.filePath(kPackageImageName));
    QFile file(package.filePath(data[0] % 2 ? kPackageImageName : kPackageModelFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(bytesOf(data + 1, size - 1));
    file.close();
    int model = -1;
    if (detectFirmwareModel(model, package.path()) && (model < 0 || model > 3))
        std::abort();
    return 0;
}
