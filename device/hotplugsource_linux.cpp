// Hot-plug under Linux: a udev monitor on the video4linux subsystem, read on the GUI thread.
// Where no udev daemon runs (a container, an initramfs-like system) the kernel's own uevents are
// read instead; they carry less, but ACTION, DEVPATH and the node name are all this needs.
#include "device/hotplugsource.h"

#include "device/v4l2node_linux.h"

#include <QDebug>
#include <QSocketNotifier>
#include <QTimer>

#include <libudev.h>

namespace {
// An added node that does not answer yet is asked again this often, this many times.
constexpr int kArrivalRetry_ms = 100;
constexpr int kArrivalRetries = 20;

class LinuxHotplug final : public HotplugSource {
public:
    explicit LinuxHotplug(LinuxDeviceRoots roots = {})
        : tracker(VideoNodeScanner(std::move(roots))) {}

    ~LinuxHotplug() override {
        delete notifier;
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }

    bool start(quintptr) override {
        if (monitor)
            return true;
        if (!context)
            context = udev_new();
        if (!context)
            return false;
        monitor = openMonitor(daemonRuns() ? "udev" : "kernel");
        if (!monitor)
            monitor = openMonitor("kernel");
        if (!monitor)
            return false;
        // Nodes present now are remembered, so that their removal can be named.
        tracker.rememberPresentNodes();
        notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
        connect(notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
        return true;
    }

private:
    bool daemonRuns() const {
        udev_queue *queue = udev_queue_new(context);
        if (!queue)
            return false;
        const bool active = udev_queue_get_udev_is_active(queue) > 0;
        udev_queue_unref(queue);
        return active;
    }

    udev_monitor *openMonitor(const char *source) {
        udev_monitor *opened = udev_monitor_new_from_netlink(context, source);
        if (!opened)
            return nullptr;
        if (udev_monitor_filter_add_match_subsystem_devtype(opened, "video4linux", nullptr) < 0 ||
            udev_monitor_enable_receiving(opened) < 0) {
            udev_monitor_unref(opened);
            return nullptr;
        }
        return opened;
    }

    static std::string text(const char *value) {
        return value ? std::string(value) : std::string();
    }

    void readEvents() {
        // The socket does not block: drain everything that is queued.
        while (udev_device *device = udev_monitor_receive_device(monitor)) {
            const std::string action = text(udev_device_get_action(device));
            const std::string devPath = text(udev_device_get_devpath(device));
            const std::string sysName = text(udev_device_get_sysname(device));
            udev_device_unref(device);
            handle(action, devPath, sysName, kArrivalRetries);
        }
    }

    void handle(const std::string &action, const std::string &devPath, const std::string &sysName,
                int retriesLeft) {
        const std::optional<CaptureNodeTracker::Change> change =
            tracker.handle(action, devPath, sysName);
        if (change) {
            emit captureInterfaceChanged(change->arrival,
                                         QString::fromStdString(change->interfaceName));
        } else if (action == "add" && retriesLeft > 0 && tracker.awaitingAnswer(sysName)) {
            // Without a udev daemon the kernel's event arrives at once, possibly before the
            // driver lets the node be opened.
            if (retriesLeft == kArrivalRetries)
                qDebug() << "video node does not answer yet, asking again:" << sysName.c_str();
            QTimer::singleShot(kArrivalRetry_ms, this,
                               [=] { handle(action, devPath, sysName, retriesLeft - 1); });
        }
    }

    CaptureNodeTracker tracker;
    udev *context = nullptr;
    udev_monitor *monitor = nullptr;
    QSocketNotifier *notifier = nullptr;
};
} // namespace

std::unique_ptr<HotplugSource> createNativeHotplugSource() {
    return std::make_unique<LinuxHotplug>();
}
