#include "device/cameradevice.h"

#include "device/videoinputs.h"

QString deviceIdFromPath(const QString &devicePath) {
    const int first = devicePath.indexOf(QLatin1Char('#'));
    const int last = devicePath.lastIndexOf(QLatin1Char('#'));
    if (first < 0 || last <= first)
        return QString();
    return devicePath.mid(first + 1, last - first - 1);
}

QStringList presentVideoInputIds() {
    std::lock_guard<std::mutex> listAndBind(videoInputListMutex());
    QStringList ids;
    VideoInputBackend &backend = videoInputBackend();
    if (!backend.available())
        return ids;
    for (const VideoInputInfo &input : backend.list()) {
        if (input.propertiesReadable && input.hasDevicePath)
            ids << deviceIdFromPath(QString::fromStdString(input.devicePath));
    }
    return ids;
}

std::mutex &videoInputListMutex() {
    static std::mutex mutex;
    return mutex;
}
