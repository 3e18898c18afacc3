// The demo's "Simulator" window: plugs and unplugs the simulated cameras and leaves one stuck in
// an updater stage, the way a user's hands and a failed upgrade would.
#pragma once

#include "sim/simcamera.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class SimulatedBus;

class SimulatorPanel : public QWidget {
    Q_OBJECT

public:
    SimulatorPanel(SimulatedBus &bus, std::shared_ptr<SimCamera> camera, QWidget *parent = nullptr);

private:
    void togglePlug(const std::shared_ptr<SimCamera> &which);
    void addOrToggleSecondCamera();
    void leaveInStage(SimStage stage);
    void refresh();

    SimulatedBus &bus;
    std::shared_ptr<SimCamera> camera;
    std::shared_ptr<SimCamera> secondCamera;
    QPushButton *plugButton = nullptr;
    QPushButton *secondButton = nullptr;
    QLabel *status = nullptr;
};
