// The cameras the program lists: the video inputs whose device id carries the USB vendor id of
// the configured vendor, in enumeration order, each under the short name the list shows. The
// window's camera list and the command-line program list cameras alike.
#pragma once

#include "device/cameradevice.h"

#include <QString>
#include <QVector>

#include <cstdint>

// The vendor whose cameras are listed, as the settings files select it.
struct VendorSelection {
    int index = 0;
    int vendorId = 0;
    QString manufacturer;
};

// Reads the selection in the settings files' order and finds its catalogue row; logs
// "credit manufacturer:". An index without a row gives vendor id 0: no camera is listed.
VendorSelection readConfiguredVendor();

// The friendly name; one longer than 15 characters that contains a blank loses its first word
// (typically the maker's name).
QString cameraDisplayName(const QString &friendlyName);

struct ListedCamera {
    CameraDevice device;
    QString displayName;
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
};

// Every video input the system offers now, as the enumeration counts them.
QVector<CameraDevice> enumerateVideoInputs();
// The records among `devices` whose device id carries `vendorId`, in their order.
QVector<ListedCamera> camerasOfVendor(const QVector<CameraDevice> &devices, int vendorId);
