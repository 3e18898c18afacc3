// Read access to the main window's controller state for the tests, and the few entry points a
// test drives directly.
#pragma once

#include "device/hotplugsource.h"
#include "ui/mainwindow.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class MainWindowTestAccess {
public:
    explicit MainWindowTestAccess(MainWindow &window)
        : w(window) {}

    QString currentDeviceId() const { return w.currentDeviceId; }
    QString currentFriendlyName() const { return w.currentFriendlyName; }
    bool controlsReady() const { return w.controlsReady; }
    bool cameraLost() const { return w.cameraLost; }
    bool upgrading() const { return w.upgrading; }
    int vendorIndex() const { return w.vendorIndex; }
    int vendorId() const { return w.vendorId; }
    int modelIndex() const { return w.modelIndex; }
    int dshowIndex() const { return w.dshowIndex; }
    bool previewRunning() const { return w.previewRunning; }
    bool previewWorkerRunning() const { return w.videoWorker && w.videoThread; }
    QSize previewSize() const { return w.previewSize; }
    QString previewHint() const { return w.previewHint; }
    int styleIndex() const { return w.styleIndex; }
    bool sectionExpanded(int section) const {
        const bool flags[] = {w.devInfoExpanded, w.devUpdateExpanded, w.devSupportExpanded,
                              w.devDesktopVerExpanded};
        return flags[section];
    }

    void setUpgrading(bool on) { w.upgrading = on; }
    // Delivers an event as the operating system's hot-plug source would.
    void reportCaptureInterface(bool arrival, const QString &interfaceName) {
        emit w.hotplugSource->captureInterfaceChanged(arrival, interfaceName);
    }
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) {
        return w.nativeEvent(eventType, message, result);
    }

private:
    MainWindow &w;
};
