// Seam: arrivals and removals of video capture device interfaces, delivered on the GUI thread.
// Each event carries the interface name in the same form that the enumeration gives the device,
// so the window can filter it and compare it with the current camera's id.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class HotplugSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HotplugSource() override = default;
    // Starts listening; `nativeWindow` is the window that receives system notifications where
    // the platform delivers them to a window. Returns false when listening cannot start.
    virtual bool start(quintptr nativeWindow) = 0;
    // Offered every native window message; returns true when the message was a device-interface
    // event of this source. Never consumes the message for the window.
    virtual bool handleNativeEvent(const QByteArray &eventType, void *message) {
        Q_UNUSED(eventType)
        Q_UNUSED(message)
        return false;
    }

signals:
    void captureInterfaceChanged(bool arrival, const QString &interfaceName);
};

using HotplugSourceFactory = std::function<std::unique_ptr<HotplugSource>()>;
std::unique_ptr<HotplugSource> createHotplugSource();
void installHotplugSourceFactory(HotplugSourceFactory factory);
// The factory installed now (empty by default: sources that report nothing).
HotplugSourceFactory installedHotplugSourceFactory();

// The operating system's source (in the native library).
std::unique_ptr<HotplugSource> createNativeHotplugSource();
