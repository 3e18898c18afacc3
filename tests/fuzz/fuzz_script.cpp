// The upgrade script interpreter on hostile scripts. The input is cut at each line "%%" into the
// top-level script "0" and the files "1", "2", "3" that it may run ("estar 1") or load ("tftp 0
// 2"); a simulated camera in its boot loader answers, in virtual time.
#include "fuzzsupport.h"
#include "sim/simulatedbus.h"
#include "upgrade/massstorage.h"
#include "upgrade/upgradescript.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QuietHarness quiet;
    static VirtualClock clock;
    static ScopedClock virtualTime(clock);
    static SimulatedBus bus;
    static const std::shared_ptr<SimCamera> camera = (bus.install(), bus.addCamera({}));
    static QTemporaryDir package;
    QByteArray rest = bytesOf(data, size);
    for (int file = 0; file < 4; ++file) {
        const int end = rest.indexOf("\n%%\n") < 0 ? rest.size() : rest.indexOf("\n%%\n");
        QFile part(package.filePath(QString::number(file)));
        if (part.open(QIODevice::WriteOnly | QIODevice::Truncate))
            part.write(rest.left(end));
        rest = rest.mid(end + 4);
    }
    camera->setStage(SimStage::UBoot);
    camera->clearLogs();
    UpdaterDeviceState state = UpdaterStateNone;
    findUpdaterDevice(kProductLineQx, state);
    runUpgradeScript(QStringLiteral("0"), package.path());
    return 0;
}
