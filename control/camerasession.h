// One camera opened over both of its channels: the capture device, bound for the standard camera
// controls (pan, tilt, zoom) and the picture controls, and the vendor extension unit for every
// other setting. The window
// and the command-line program open, read, write and move a camera through it, with the same
// reads, read-backs and log lines.
#pragma once

#include "control/camerasettings.h"
#include "control/controlresult.h"
#include "control/picturesettings.h"
#include "control/uvcextensionunit.h"
#include "device/dshowcamerawrapper.h"

#include <QString>

#include <array>
#include <optional>

// Where the camera points: the shared position values after a read (zoom kept within the page's
// range), and whether the camera answered all three reads.
struct CameraPosition {
    int pan_deg = 0;
    int tilt_deg = 0;
    int zoom_percent = kZoomMinimum_percent;
    bool read = false;
};

// What the Control page reads from a camera when it is opened.
struct CameraReadout {
    std::optional<QString> firmwareVersion;
    // By CameraSetting; empty for a setting the camera did not answer, or did not need to.
    std::array<std::optional<int>, 6> settings;
    CameraPosition position;

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
    // friendly name, closing whatever was open. Succeeds when the extension unit opened; the
    // capture device may still have failed to bind (isBound()).
    ControlResult open(const QString &deviceId, const QString &friendlyName);
    void close();
    bool isBound() const { return bound; }
    // Whether the last open failed only because the system has no way to extension units while
    // the capture device is bound: the camera previews and moves, only its own settings are out
    // of reach.
    bool openWithoutExtensionUnit() const { return bound && unitLayerMissing; }
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
    // the page's range); a value the camera does not answer stays as it was.
    CameraPosition readPosition();
    ControlResult readFirmwareVersion(QString &version);
    ControlResult readSetting(CameraSetting setting, int &value);
    // The setting's value; empty when the camera did not answer.
    std::optional<int> readValue(CameraSetting setting);
    ControlResult writeSetting(CameraSetting setting, int value);
    // The query that follows a write; logs the value sent and the value read.
    ControlResult readBack(CameraSetting setting, int written, int &value);
    ControlResult restoreDefaults();
    // Moves one axis (pan, tilt in degrees; zoom in per cent); fails when no device is bound or
    // the camera refused the value.
    ControlResult move(CameraControlId axis, int value);

private:
    // The extension unit's last failure: the platform call that failed and its error, or
    // `otherwise` when no platform call failed.
    ControlResult unitFailure(const QString &otherwise) const;

    DShowCameraWrapper controls;
    UVCExtensionUnit unit;
    PictureSettings picture;
    bool bound = false;
    bool unitLayerMissing = false;
    int index = -1;
};
