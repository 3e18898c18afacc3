// One camera opened over both of its channels: the capture device, bound for the standard camera
// controls (pan, tilt, zoom) and the picture controls, and the vendor extension unit for every
// other setting. The window
// and the command-line program open, read, write and move a camera through it, with the same
// reads, read-backs and log lines.
#pragma once

#include "control/camerasettings.h"
#include "control/picturesettings.h"
#include "control/uvcextensionunit.h"
#include "device/dshowcamerawrapper.h"

#include <QString>

#include <array>
#include <optional>

// What the Control page reads from a camera when it is opened.
struct CameraReadout {
    std::optional<QString> firmwareVersion;
    // By CameraSetting; empty for a setting the camera did not answer, or did not need to.
    std::array<std::optional<int>, 6> settings;
    // The shared position values after the read (zoom kept within the page's range), and
    // whether the camera answered all three reads.
    int pan_deg = 0;
    int tilt_deg = 0;
    int zoom_percent = kZoomMinimum_percent;
    bool positionRead = false;

    std::optional<int> value(CameraSetting setting) const {
        return settings.at(static_cast<std::size_t>(setting));
    }
};

class CameraSession {
public:
    CameraSession();
    ~CameraSession();
    CameraSession(const CameraSession &) = delete;
    CameraSession &operator=(const CameraSession &) = delete;

    // Binds the capture device and opens the extension unit of the camera with this id and
    // friendly name, closing whatever was open. True when the extension unit opened; the capture
    // device may still have failed to bind (isBound()).
    bool open(const QString &deviceId, const QString &friendlyName);
    void close();
    bool isBound() const { return bound; }
    // The capture index of the bound device; -1 when none was bound.
    int captureIndex() const { return index; }
    // Lent to the upgrade worker for the one command that sends the camera into its updater.
    UVCExtensionUnit &extensionUnit() { return unit; }
    // The camera's picture controls, opened with the camera (not open when it offers none).
    PictureSettings &pictureSettings() { return picture; }

    // The settings read of an open, in the page's order: firmware version (the legacy query when
    // the first finds none), HDR, anti-flicker, microphone, pan, tilt and zoom, tracking mode, and
    // tracking effect and speed only in Auto Framing.
    CameraReadout readAll();
    // Reads pan, tilt and zoom into the shared values (g_pan, g_tilt, g_zoom, zoom kept within
    // the page's range) and the readout.
    void readPosition(CameraReadout &readout);
    bool readFirmwareVersion(QString &version);
    bool readSetting(CameraSetting setting, int &value);
    bool writeSetting(CameraSetting setting, int value);
    // The query that follows a write; logs the value sent and the value read.
    bool readBack(CameraSetting setting, int written, int &value);
    bool restoreDefaults();
    // Moves one axis (pan, tilt in degrees; zoom in per cent); false when no device is bound or
    // the camera refused the value.
    bool move(CameraControlId axis, int value);

private:
    DShowCameraWrapper controls;
    UVCExtensionUnit unit;
    PictureSettings picture;
    bool bound = false;
    int index = -1;
};
