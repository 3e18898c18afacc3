// The application with a simulated camera behind every device interface, and a small window
// that plugs, unplugs and misbehaves like real hardware. Start-up is the application's own; only
// the device back ends differ.
#include "app/logging.h"
#include "demo/simulatorpanel.h"
#include "device/catalogue.h"
#include "sim/simulatedbus.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QSettings>
#include <QTimer>

namespace {
constexpr int kBusPoll_ms = 100;
constexpr std::uint16_t kZenta320ProductId = 0x0305;

// The camera of the vendor that product.ini beside the program selects, like the window does.
SimCameraConfig configuredCamera() {
    QSettings settings(
        QStringLiteral("%1/%2").arg(QCoreApplication::applicationDirPath(), kSettingsFileName),
        QSettings::IniFormat);
    SimCameraConfig config;
    if (settings.value(QStringLiteral("/product_model/main")).toInt() == 1) {
        config.vendorId = static_cast<std::uint16_t>(kVendorUsbId);
        config.productId = kZenta320ProductId;
        config.productName = "Kestrelon ZENTA 320";
        config.inquiryVendor = "ZENTA";
    }
    return config;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 12));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/main.ico")));
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    setUpLogFile();
    qInstallMessageHandler(logMessageHandler);
    qInfo("---------------------------------------------------");
    qInfo("- System Start!");
    qInfo("---------------------------------------------------");

    auto *bus = new SimulatedBus();
    bus->install();
    std::shared_ptr<SimCamera> camera = bus->addCamera(configuredCamera());
    // Restarts and stage changes of the cameras fall due on the system clock.
    auto *poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, poll, [bus] { bus->poll(); });
    poll->start(kBusPoll_ms);

    auto *window = new MainWindow();
    window->show();
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
