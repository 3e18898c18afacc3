#include "demo/simulatorpanel.h"

#include "sim/simulatedbus.h"

#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The camera changes its stage by itself during an upgrade.
constexpr int kStatusRefresh_ms = 500;

QString stageName(SimStage stage) {
    switch (stage) {
    case SimStage::Camera:
        return QStringLiteral("camera");
    case SimStage::Rom:
        return QStringLiteral("stuck in ROM");
    case SimStage::Updater:
        return QStringLiteral("stuck in Updater");
    case SimStage::UBoot:
        return QStringLiteral("stuck in u-Boot");
    case SimStage::Off:
        return QStringLiteral("restarting");
    }
    return QString();
}

// The second camera is the first one's twin on the next port.
SimCameraConfig nextPort(SimCameraConfig config) {
    config.portKey += "-2";
    return config;
}
} // namespace

SimulatorPanel::SimulatorPanel(SimulatedBus &simulatedBus, std::shared_ptr<SimCamera> first,
                               QWidget *parent)
    : QWidget(parent, Qt::Window)
    , bus(simulatedBus)
    , camera(std::move(first)) {
    setWindowTitle(QStringLiteral("Simulator"));
    auto *layout = new QVBoxLayout(this);

    status = new QLabel(this);
    status->setWordWrap(true);
    layout->addWidget(status);

    plugButton = new QPushButton(this);
    connect(plugButton, &QPushButton::clicked, this, [this] { togglePlug(camera); });
    layout->addWidget(plugButton);

    secondButton = new QPushButton(this);
    connect(secondButton, &QPushButton::clicked, this, &SimulatorPanel::addOrToggleSecondCamera);
    layout->addWidget(secondButton);

    auto *stuck = new QGroupBox(QStringLiteral("Leave the camera"), this);
    auto *stuckLayout = new QVBoxLayout(stuck);
    const std::pair<const char *, SimStage> stages[] = {
        {"stuck in ROM", SimStage::Rom},
        {"stuck in Updater", SimStage::Updater},
        {"stuck in u-Boot", SimStage::UBoot},
        {"working again", SimStage::Camera},
    };
    for (const auto &entry : stages) {
        auto *button = new QPushButton(QString::fromLatin1(entry.first), stuck);
        const SimStage stage = entry.second;
        connect(button, &QPushButton::clicked, this, [this, stage] { leaveInStage(stage); });
        stuckLayout->addWidget(button);
    }
    layout->addWidget(stuck);

    // The upgrade's file-open dialog starts in the program's folder, where the build put them.
    const QStringList packages = QDir(QCoreApplication::applicationDirPath())
                                     .entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name);
    auto *packageNote = new QLabel(
        packages.isEmpty()
            ? QStringLiteral("No sample firmware package beside the program.")
            : QStringLiteral("Sample firmware packages:\n%1").arg(packages.join(QLatin1Char('\n'))),
        this);
    packageNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(packageNote);
    layout->addStretch();

    auto *statusTimer = new QTimer(this);
    connect(statusTimer, &QTimer::timeout, this, &SimulatorPanel::refresh);
    statusTimer->start(kStatusRefresh_ms);
    refresh();
}

void SimulatorPanel::togglePlug(const std::shared_ptr<SimCamera> &which) {
    if (bus.isPlugged(which))
        bus.unplug(which);
    else
        bus.plug(which);
    refresh();
}

void SimulatorPanel::addOrToggleSecondCamera() {
    if (!secondCamera)
        secondCamera = bus.addCamera(nextPort(camera->config()));
    else
        togglePlug(secondCamera);
    refresh();
}

void SimulatorPanel::leaveInStage(SimStage stage) {
    camera->setStage(stage);
    refresh();
}

void SimulatorPanel::refresh() {
    const bool plugged = bus.isPlugged(camera);
    plugButton->setText(plugged ? QStringLiteral("Unplug the camera")
                                : QStringLiteral("Plug the camera in"));
    if (!secondCamera)
        secondButton->setText(QStringLiteral("Add a second camera"));
    else
        secondButton->setText(bus.isPlugged(secondCamera)
                                  ? QStringLiteral("Unplug the second camera")
                                  : QStringLiteral("Plug the second camera in"));
    QString text = QStringLiteral("%1: %2, %3")
                       .arg(QString::fromStdString(camera->config().productName),
                            plugged ? QStringLiteral("plugged in") : QStringLiteral("unplugged"),
                            stageName(camera->stage()));
    if (secondCamera)
        text += QStringLiteral("\nSecond camera: %1")
                    .arg(bus.isPlugged(secondCamera) ? QStringLiteral("plugged in")
                                                     : QStringLiteral("unplugged"));
    status->setText(text);
}
