// The simulated cameras of cameracontrol-cli-sim, described by the environment variable
// CAMERACONTROL_SIM (JSON), which only this build reads:
//   {"cameras": [{"model": "ZENTA 320", "name": "...", "port": "1-1",
//                 "stage": "camera" | "rom" | "updater" | "uboot",
//                 "settings": [mode, effect, speed, anti-flicker, hdr, microphone],
//                 "position": [pan, tilt, zoom], "version": "1.2.30",
//                 "faults": ["open-fails", "requests-time-out", "garbage-answers",
//                            "position-refused", "node-refused", "never-shows-volume"]}],
//    "events": [{"after_ms": 300, "camera": 0, "action": "unplug" | "plug" | "stage:uboot"}],
//    "record": "/path/of/the/record",
//    "no-extension-units": true}  (a system without any way to them: Windows without Media
//    Foundation)
// Time is virtual, so restarts and upgrades take no real time, except for watch, which runs on
// the system clock. At the end the record file gets what reached each camera and changed it: one
// line for each setting written ("camera 0 set 02=01"), "restore-defaults", "enter-upgrade", the
// number of vendor SCSI commands, and the position, stage and version where they changed.
#include "cli/backends.h"

#include "control/uvcextensionunit.h"
#include "device/catalogue.h"
#include "sim/simulatedbus.h"
#include "upgrade/massstorage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {
constexpr int kBusPoll_ms = 50;
constexpr std::uint8_t kVendorOperation = 0xE8;

SimStage stageNamed(const QString &name) {
    if (name == QLatin1String("rom"))
        return SimStage::Rom;
    if (name == QLatin1String("updater"))
        return SimStage::Updater;
    if (name == QLatin1String("uboot"))
        return SimStage::UBoot;
    return SimStage::Camera;
}

const char *stageName(SimStage stage) {
    switch (stage) {
    case SimStage::Camera:
        return "camera";
    case SimStage::Rom:
        return "rom";
    case SimStage::Updater:
        return "updater";
    case SimStage::UBoot:
        return "uboot";
    case SimStage::Off:
        break;
    }
    return "off";
}

SimCameraConfig configOf(const QJsonObject &camera, int number) {
    SimCameraConfig config;
    const QString model =
        camera.value(QStringLiteral("model")).toString(config.productName.c_str());
    for (const ProductModel &row : ProductModelTable) {
        if (row.modelName != model)
            continue;
        config.vendorId = static_cast<std::uint16_t>(row.vendorId);
        config.productId = static_cast<std::uint16_t>(row.productId);
    }
    QString name = model;
    if (config.vendorId != kLinuxFoundationVendorId) {
        config.inquiryVendor = "ZENTA";
        name = QStringLiteral("Kestrelon %1").arg(model);
    }
    config.productName = camera.value(QStringLiteral("name")).toString(name).toStdString();
    config.portKey = camera.value(QStringLiteral("port"))
                         .toString(QStringLiteral("usb1/1-%1").arg(number + 1))
                         .toStdString();
    return config;
}

void applyState(SimCamera &camera, const QJsonObject &state) {
    const QJsonArray settings = state.value(QStringLiteral("settings")).toArray();
    if (settings.size() == 6) {
        auto byte = [&settings](int i) {
            return static_cast<std::uint8_t>(settings.at(i).toInt());
        };
        SimSettings values;
        values.trackingMode = byte(0);
        values.trackingEffect = byte(1);
        values.trackingSpeed = byte(2);
        values.antiFlicker = byte(3);
        values.hdr = byte(4);
        values.mic = byte(5);
        camera.setSettings(values);
    }
    const QJsonArray position = state.value(QStringLiteral("position")).toArray();
    if (position.size() == 3)
        camera.setPosition(
            {position.at(0).toInt(), position.at(1).toInt(), position.at(2).toInt()});
    const QStringList version = state.value(QStringLiteral("version")).toString().split('.');
    if (version.size() == 3)
        camera.setVersion({static_cast<std::uint16_t>(version.at(0).toUInt()),
                           static_cast<std::uint16_t>(version.at(1).toUInt()),
                           static_cast<std::uint16_t>(version.at(2).toUInt())});
    const QJsonObject picture = state.value(QStringLiteral("picture")).toObject();
    for (auto it = picture.begin(); it != picture.end(); ++it)
        camera.setPictureValue(it.key().toStdString(), it.value().toInt());
    const QJsonArray faults = state.value(QStringLiteral("faults")).toArray();
    SimCameraFaults cameraFaults;
    SimUpdaterFaults updaterFaults;
    cameraFaults.openFails = faults.contains(QStringLiteral("open-fails"));
    cameraFaults.requestsTimeOut = faults.contains(QStringLiteral("requests-time-out"));
    cameraFaults.garbageAnswers = faults.contains(QStringLiteral("garbage-answers"));
    cameraFaults.positionRefused = faults.contains(QStringLiteral("position-refused"));
    cameraFaults.nodeRefused = faults.contains(QStringLiteral("node-refused"));
    updaterFaults.neverShowsVolume = faults.contains(QStringLiteral("never-shows-volume"));
    camera.setCameraFaults(cameraFaults);
    camera.setUpdaterFaults(updaterFaults);
    const QString stage = state.value(QStringLiteral("stage")).toString();
    if (!stage.isEmpty())
        camera.setStage(stageNamed(stage));
}

class SimBackends final : public CliBackends {
public:
    SimBackends(const QJsonObject &scenario, bool realTime) {
        if (!realTime)
            scopedClock = std::make_unique<ScopedClock>(clock);
        bus.install();
        const QJsonArray described = scenario.value(QStringLiteral("cameras")).toArray();
        for (int i = 0; i < described.size(); ++i) {
            const QJsonObject camera = described.at(i).toObject();
            cameras.push_back(bus.addCamera(configOf(camera, i)));
            applyState(*cameras.back(), camera);
            positions.push_back(cameras.back()->position());
            versions.push_back(cameras.back()->version());
            stages.push_back(cameras.back()->stage());
        }
        for (const QJsonValue &value : scenario.value(QStringLiteral("events")).toArray())
            schedule(value.toObject());
        recordPath = scenario.value(QStringLiteral("record")).toString();
        bus.setExtensionUnitsUnreachable(
            scenario.value(QStringLiteral("no-extension-units")).toBool());
        // Changes that fall due in real time are applied as they do; in virtual time every seam
        // call applies them.
        QObject::connect(&poll, &QTimer::timeout, [this] { bus.poll(); });
        poll.start(kBusPoll_ms);
    }

    ~SimBackends() override {
        writeRecord();
        // The disk a search left open belongs to the bus, which goes next.
        releaseUpdaterDevice();
    }

private:
    void schedule(const QJsonObject &event) {
        const std::size_t number =
            static_cast<std::size_t>(event.value(QStringLiteral("camera")).toInt());
        if (number >= cameras.size())
            return;
        std::shared_ptr<SimCamera> camera = cameras.at(number);
        const QString action = event.value(QStringLiteral("action")).toString();
        bus.schedule(Milliseconds(event.value(QStringLiteral("after_ms")).toInt()),
                     [this, camera, action] {
                         if (action == QLatin1String("unplug"))
                             bus.unplug(camera);
                         else if (action == QLatin1String("plug"))
                             bus.plug(camera);
                         else if (action.startsWith(QLatin1String("stage:")))
                             camera->setStage(stageNamed(action.mid(6)));
                     });
    }

    void writeRecord() {
        if (recordPath.isEmpty())
            return;
        QStringList lines;
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            const SimCamera &camera = *cameras.at(i);
            const QString prefix = QStringLiteral("camera %1 ").arg(i);
            for (const SimXuRecord &record : camera.xuLog()) {
                const std::uint8_t code = record.bytes[0];
                if (record.direction != UnitDirection::Write)
                    continue;
                if (record.selector == kSelectorUpgrade)
                    lines << prefix + QStringLiteral("enter-upgrade");
                else if (code == kCmdRestoreDefaults)
                    lines << prefix + QStringLiteral("restore-defaults");
                else if (!(code & kQueryBit) && code != kQueryVersionLegacy)
                    lines << prefix + QStringLiteral("set %1=%2")
                                          .arg(code, 2, 16, QChar('0'))
                                          .arg(record.bytes[2], 2, 16, QChar('0'));
            }
            for (const SimPictureRecord &record : camera.pictureLog())
                lines << prefix + QStringLiteral("picture %1=%2 %3")
                                      .arg(QString::fromStdString(record.name))
                                      .arg(record.value)
                                      .arg(QString::fromStdString(record.result));
            int vendorCommands = 0;
            for (const SimScsiRecord &record : camera.scsiLog())
                vendorCommands += !record.cdb.empty() && record.cdb[0] == kVendorOperation;
            if (vendorCommands > 0)
                lines << prefix + QStringLiteral("scsi %1").arg(vendorCommands);
            const SimPosition now = camera.position();
            const SimPosition &before = positions.at(i);
            if (now.pan_deg != before.pan_deg || now.tilt_deg != before.tilt_deg ||
                now.zoom != before.zoom)
                lines << prefix + QStringLiteral("position %1,%2,%3")
                                      .arg(now.pan_deg)
                                      .arg(now.tilt_deg)
                                      .arg(now.zoom);
            if (camera.stage() != stages.at(i))
                lines << prefix + QStringLiteral("stage ") +
                             QLatin1String(stageName(camera.stage()));
            const SimVersion version = camera.version();
            const SimVersion &earlier = versions.at(i);
            if (version.major != earlier.major || version.minor != earlier.minor ||
                version.patch != earlier.patch)
                lines << prefix + QStringLiteral("version %1.%2.%3")
                                      .arg(version.major)
                                      .arg(version.minor)
                                      .arg(version.patch);
        }
        QFile file(recordPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(lines.join(QLatin1Char('\n')).toUtf8());
    }

    VirtualClock clock;
    std::unique_ptr<ScopedClock> scopedClock;
    SimulatedBus bus;
    std::vector<std::shared_ptr<SimCamera>> cameras;
    std::vector<SimPosition> positions;
    std::vector<SimVersion> versions;
    std::vector<SimStage> stages;
    QString recordPath;
    QTimer poll;
};
} // namespace

std::unique_ptr<CliBackends> installCliBackends(const QString &command, QString &error) {
    const QByteArray described = qgetenv("CAMERACONTROL_SIM");
    QJsonParseError parseError{};
    const QJsonDocument scenario =
        QJsonDocument::fromJson(described.isEmpty() ? QByteArray("{}") : described, &parseError);
    if (!scenario.isObject()) {
        error = QStringLiteral("CAMERACONTROL_SIM is not a JSON object: %1")
                    .arg(parseError.errorString());
        return nullptr;
    }
    return std::make_unique<SimBackends>(scenario.object(), command == QLatin1String("watch"));
}
