// watch: the cameras that are plugged in and pulled out, from the hot-plug source and a fresh list
// after each event, as the window follows them; and a camera found in an updater stage, from the
// watcher the window runs, once for each stage it is found in. With --apply, each camera's connect
// profile is applied when watch starts and whenever the camera connects again (a restart after a
// microphone change or restore defaults, an upgrade, a plug).
#include "cli/commands.h"
#include "cli/notificationwindow.h"
#include "common/clock.h"
#include "common/deviceaccess.h"
#include "common/workerthread.h"
#include "control/camerasession.h"
#include "device/captureinterfacefilter.h"
#include "device/hotplugsource.h"
#include "profile/profileapply.h"
#include "profile/profilestore.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/massstorage.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>

#include <algorithm>
#include <utility>

namespace {
// The watcher reports a camera that stays stuck about every 11 s; a longer silence means it was
// gone in between.
constexpr qint64 kStuckSilence_ms = 15000;
// A camera that has just connected answers a moment later: the open is tried again.
constexpr int kOpenTries = 5;
constexpr Milliseconds kOpenPause{500};

bool sameCamera(const ListedCamera &a, const ListedCamera &b) {
    return a.device.deviceId == b.device.deviceId && a.device.friendlyName == b.device.friendlyName;
}

bool contains(const QVector<ListedCamera> &cameras, const ListedCamera &camera) {
    return std::any_of(cameras.begin(), cameras.end(),
                       [&camera](const ListedCamera &other) { return sameCamera(other, camera); });
}

class EventPrinter {
public:
    EventPrinter(Console &console, bool json)
        : out(console)
        , asJson(json) {}

    void print(const QString &event, const QString &text, const QJsonObject &fields) {
        const QString time = QDateTime::currentDateTime().toString(Qt::ISODate);
        if (!asJson) {
            out.writeOutput(QStringLiteral("%1 %2 %3\n").arg(time, event, text));
            return;
        }
        QJsonObject json = fields;
        json[QStringLiteral("event")] = event;
        json[QStringLiteral("time")] = time;
        out.writeOutput(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) +
                        QLatin1Char('\n'));
    }

    void camera(const QString &event, const ListedCamera &listed, int position) {
        QJsonObject fields;
        fields[QStringLiteral("camera")] = cameraJson(listed, position);
        print(event, cameraText(listed), fields);
    }

private:
    Console &out;
    bool asJson;
};

// The camera's connect profile, if it has one, applied and reported.
void applyConnectProfile(const CommandContext &context, EventPrinter &printer,
                         const ListedCamera &listed, int position) {
    const QString name =
        connectProfileOf(cameraIdentity(listed.device.friendlyName, listed.device.deviceId));
    if (name.isEmpty())
        return;
    QJsonObject fields;
    fields[QStringLiteral("camera")] = cameraJson(listed, position);
    fields[QStringLiteral("profile")] = name;
    ProfileError error;
    const std::optional<Profile> profile = loadStoredProfile(name, error);
    CameraChoice choice;
    choice.found = true;
    choice.camera = listed;
    choice.position = position;
    CameraSession session;
    bool opened = false;
    int mode = 0;
    for (int attempt = 0; profile && !opened && attempt < kOpenTries; ++attempt) {
        if (attempt > 0)
            activeClock().sleepFor(kOpenPause);
        opened = session.open(listed.device.deviceId, listed.device.friendlyName) &&
                 session.readSetting(CameraSetting::TrackingMode, mode);
    }
    if (!opened) {
        const QString why =
            profile ? QStringLiteral("the camera cannot be opened") : error.message();
        fields[QStringLiteral("error")] = why;
        printer.print(QStringLiteral("apply-failed"),
                      QStringLiteral("%1 on %2: %3").arg(name, cameraText(listed), why), fields);
        return;
    }
    const ApplyOutcome outcome = applyToCamera(context, choice, session, *profile, false);
    const QJsonObject report = applyJson(*profile, outcome, false);
    for (auto entry = report.begin(); entry != report.end(); ++entry)
        fields[entry.key()] = entry.value();
    const QString summary = outcome.refused()   ? QStringLiteral("refused in part")
                            : outcome.changed() ? QStringLiteral("changed")
                                                : QStringLiteral("unchanged");
    printer.print(QStringLiteral("applied"),
                  QStringLiteral("%1 on %2: %3\n%4")
                      .arg(name, cameraText(listed), summary, applyText(outcome).trimmed()),
                  fields);
}
} // namespace

CommandResult runWatch(CommandContext &context) {
    EventPrinter printer(context.console, context.invocation.json);
    QVector<ListedCamera> present = listedCameras(context.vendor);
    QEventLoop loop;

    std::unique_ptr<HotplugSource> source = createHotplugSource();
    const NotificationWindow window(*source);
    QObject::connect(source.get(), &HotplugSource::captureInterfaceChanged, &loop,
                     [&](bool arrival, const QString &interfaceName) {
                         if (classifyCaptureInterfaceEvent(arrival, interfaceName) !=
                             CaptureInterfaceOutcome::Camera)
                             return;
                         QVector<ListedCamera> now = listedCameras(context.vendor);
                         for (int i = 0; i < present.size(); ++i)
                             if (!contains(now, present.at(i)))
                                 printer.camera(QStringLiteral("unplugged"), present.at(i), i + 1);
                         QVector<int> arrived;
                         for (int i = 0; i < now.size(); ++i) {
                             if (!contains(present, now.at(i))) {
                                 printer.camera(QStringLiteral("plugged"), now.at(i), i + 1);
                                 arrived.append(i);
                             }
                         }
                         present = std::move(now);
                         if (context.invocation.apply)
                             for (int i : arrived)
                                 applyConnectProfile(context, printer, present.at(i), i + 1);
                     });
    if (!source->start(window.handle()))
        return failure(ExitCode::Failed, QStringLiteral("Cannot listen for device events."));

    // The first refusal of a node this user may not open, told once.
    QObject::connect(&DeviceAccessNotices::instance(), &DeviceAccessNotices::accessDenied, &loop,
                     [](const QString &, const QString &advice) {
                         Console::writeError(advice + QLatin1Char('\n'));
                     });

    int lastStage = UpdaterStateNone;
    QElapsedTimer sinceStuck;
    auto *watcher = new AbnormalDetectThread(context.vendor.index);
    QObject::connect(watcher, &AbnormalDetectThread::onDeviceAbnormal, &loop, [&](int state) {
        if (state == lastStage && sinceStuck.isValid() && sinceStuck.elapsed() < kStuckSilence_ms) {
            sinceStuck.restart();
            return;
        }
        lastStage = state;
        sinceStuck.start();
        const QString stage =
            QLatin1String(updaterStateName(static_cast<UpdaterDeviceState>(state)));
        QJsonObject fields;
        fields[QStringLiteral("stage")] = stage;
        fields[QStringLiteral("state")] = state;
        printer.print(QStringLiteral("stuck"),
                      QStringLiteral("a camera in its %1 stage (recover it)").arg(stage), fields);
    });
    WorkerThread watcherThread;
    watcherThread.start(watcher);

    if (context.invocation.apply)
        for (int i = 0; i < present.size(); ++i)
            applyConnectProfile(context, printer, present.at(i), i + 1);

    context.console.catchInterrupts();
    QObject::connect(&context.console, &Console::interrupted, &loop, &QEventLoop::quit);
    Console::writeError(QStringLiteral("Watching the cameras; interrupt (Ctrl+C) to stop.\n"));
    loop.exec();

    // As the window ends its watcher: stop() returns once the current cycle has ended.
    watcherThread.stop();
    CommandResult result;
    result.streamed = true;
    return result;
}
