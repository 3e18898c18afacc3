// The application with a simulated camera behind every device interface, and a small window
// that plugs, unplugs and misbehaves like real hardware. Start-up is the application's own; only
// the device back ends differ.
#include "app/startup.h"
#include "common/settingsfiles.h"
#include "demo/simulatorpanel.h"
#include "device/catalogue.h"
#include "sim/simulatedbus.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <QToolButton>

namespace {
constexpr int kBusPoll_ms = 100;
constexpr std::uint16_t kZenta320ProductId = 0x0305;

// The camera of the vendor that the settings select, like the window does.
SimCameraConfig configuredCamera() {
    SimCameraConfig config;
    if (readVendorSelection() == 1) {
        config.vendorId = static_cast<std::uint16_t>(kVendorUsbId);
        config.productId = kZenta320ProductId;
        config.productName = "Kestrelon ZENTA 320";
        config.inquiryVendor = "ZENTA";
    }
    return config;
}

// Where the camera stands when the demo starts, to bring the window up in a given state:
// --tracking-mode N (0 Off, 1 Auto Framing, 3 Presenter Tracking) and --zoom N (100..800).
void presetCamera(SimCamera &camera, const QStringList &arguments) {
    QCommandLineParser parser;
    const QCommandLineOption trackingMode(QStringLiteral("tracking-mode"),
                                          QStringLiteral("Tracking mode at start"),
                                          QStringLiteral("mode"));
    const QCommandLineOption zoom(QStringLiteral("zoom"), QStringLiteral("Zoom at start"),
                                  QStringLiteral("zoom"));
    parser.addOptions({trackingMode, zoom});
    parser.parse(arguments);
    if (parser.isSet(trackingMode)) {
        SimSettings settings = camera.settings();
        settings.trackingMode = static_cast<std::uint8_t>(parser.value(trackingMode).toUInt());
        camera.setSettings(settings);
    }
    if (parser.isSet(zoom)) {
        SimPosition position = camera.position();
        position.zoom = parser.value(zoom).toInt();
        camera.setPosition(position);
    }
}

// --page support: the window opens on its Support page.
bool opensOnSupportPage(const QStringList &arguments) {
    QCommandLineParser parser;
    const QCommandLineOption page(QStringLiteral("page"), QStringLiteral("Page at start"),
                                  QStringLiteral("page"));
    parser.addOption(page);
    parser.parse(arguments);
    return parser.value(page) == QLatin1String("support");
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    prepareApplicationFrame();

    auto *bus = new SimulatedBus();
    bus->install();
    std::shared_ptr<SimCamera> camera = bus->addCamera(configuredCamera());
    // Short enough to watch a whole upgrade: the switch into the updater and each restart take
    // a few seconds.
    camera->updaterAppearDelay = Milliseconds(4000);
    camera->restartDelay = Milliseconds(3000);
    presetCamera(*camera, QCoreApplication::arguments());
    // Restarts and stage changes of the cameras fall due on the system clock.
    auto *poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, poll, [bus] { bus->poll(); });
    poll->start(kBusPoll_ms);

    auto *window = new MainWindow();
    window->show();
    if (opensOnSupportPage(QCoreApplication::arguments()))
        window->findChild<QToolButton *>(QStringLiteral("btnNavSupport"))->click();
    auto *panel = new SimulatorPanel(*bus, camera);
    // Closing the application's window ends the demo, whatever the panel does.
    panel->setAttribute(Qt::WA_QuitOnClose, false);
    panel->move(window->frameGeometry().topRight() + QPoint(16, 0));
    panel->show();
    const int result = QApplication::exec();

    delete poll;
    delete panel;
    delete window;
    camera.reset();
    delete bus;
    delete application;
    return result;
}
