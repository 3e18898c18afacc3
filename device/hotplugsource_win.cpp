// Device-interface arrivals and removals from the WM_DEVICECHANGE broadcasts sent to the window.
// WM_DEVICECHANGE is a sent message: while it is handled, outgoing COM calls may fail
// (RPC_E_CANTCALLOUT_ININPUTSYNCCALL) and the new interface may not be enabled yet. The event is
// therefore queued, and the camera list, the Media Foundation activation and the extension-unit
// reads that follow it run after the message has returned.
#include "device/hotplugsource.h"

#include <QDebug>

#include <windows.h>

#include <dbt.h>

#include <cstring>
#include <vector>

namespace {
// The classes registered, in order. Only capture interfaces lead to an event.
const GUID kCaptureClass = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID kRegisteredClasses[] = {
    kCaptureClass,
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}}, // USB device
    {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}}, // disk
    {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}}, // HID
    {0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}}, // network
};

class DeviceNotificationSource final : public HotplugSource {
public:
    ~DeviceNotificationSource() override {
        for (HDEVNOTIFY handle : registrations)
            UnregisterDeviceNotification(handle);
    }

    bool start(quintptr nativeWindow) override {
        for (const GUID &deviceClass : kRegisteredClasses) {
            DEV_BROADCAST_DEVICEINTERFACE_W filter;
            std::memset(&filter, 0, sizeof filter);
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = deviceClass;
            HDEVNOTIFY handle = RegisterDeviceNotificationW(reinterpret_cast<HWND>(nativeWindow),
                                                            &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
            if (!handle) {
                // The window writes the warning; here only the reason.
                qDebug("RegisterDeviceNotificationW: class %u of 5 refused, error %lu",
                       static_cast<unsigned>(registrations.size() + 1), GetLastError());
                return false;
            }
            registrations.push_back(handle);
        }
        return true;
    }

    bool handleNativeEvent(const QByteArray &eventType, void *message) override {
        if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_DEVICECHANGE)
            return false;
        bool arrival = false;
        if (msg->wParam == DBT_DEVICEARRIVAL)
            arrival = true;
        else if (msg->wParam != DBT_DEVICEREMOVECOMPLETE)
            return false;
        const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(msg->lParam);
        if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
            return false;
        const auto *broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(header);
        if (std::memcmp(&broadcast->dbcc_classguid, &kCaptureClass, sizeof(GUID)) != 0)
            return false;
        const QString name = QString::fromWCharArray(broadcast->dbcc_name);
        QMetaObject::invokeMethod(
            this, [this, arrival, name] { emit captureInterfaceChanged(arrival, name); },
            Qt::QueuedConnection);
        return true;
    }

private:
    std::vector<HDEVNOTIFY> registrations;
};
} // namespace

std::unique_ptr<HotplugSource> createNativeHotplugSource() {
    return std::make_unique<DeviceNotificationSource>();
}
