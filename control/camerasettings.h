// The camera's settings as the Control page offers them: their names, option tables and commands,
// the text the page shows for a write the camera did not take, which settings a model offers, and
// the limits of pan, tilt and zoom. The window and the command-line program share it.
#pragma once

#include "control/uvcextensionunit.h"
#include "device/catalogue.h"

#include <QString>

#include <optional>
#include <vector>

enum class CameraSetting {
    TrackingMode,
    TrackingEffect,
    TrackingSpeed,
    AntiFlicker,
    Microphone,
    Hdr
};

struct SettingDefinition {
    CameraSetting setting;
    const char *name;  // the command line's name and JSON key: "tracking-mode"
    const char *title; // "Tracking mode"
    const OptionTable *options;
    bool (UVCExtensionUnit::*write)(int);
    bool (UVCExtensionUnit::*read)(int &);
    const char *readBackLabel; // starts the log line of the read-back after a write
    const char *timeoutText;   // untranslated; see settingTimeoutText()
    bool restartsCamera;       // the camera restarts when the value changes
};

// Tracking modes and effects the page's rules name.
constexpr int kTrackingOff = 0;
constexpr int kAutoFraming = 1;
constexpr int kPresenterTracking = 3;
constexpr int kEffectImmediate = 0;
constexpr int kEffectSmooth = 1;

// The page's limits: pan and tilt in degrees either side of the centre, zoom in per cent. The pad
// moves a zoomed picture only (zoom above the minimum).
constexpr int kPanTiltLimit_deg = 30;
constexpr int kZoomMinimum_percent = 100;
constexpr int kZoomMaximum_percent = 800;

// In the page's order: tracking mode, effect, speed, anti-flicker, microphone, HDR.
const std::vector<SettingDefinition> &cameraSettings();
const SettingDefinition &settingDefinition(CameraSetting setting);
// By name, ignoring case; null for no such setting.
const SettingDefinition *findSetting(const QString &name);
// The value a text names: one of the option labels (ignoring case) or one of the table's values
// as a decimal number.
bool settingValueFromText(const SettingDefinition &definition, const QString &text, int &value);
// "The setting has timed out, please try again." or "The operation has timed out, please try
// again.", translated as the window translates it.
QString settingTimeoutText(const SettingDefinition &definition);

// The page's rules, which the window and the command line both follow.
//
// Tracking effect and speed mean something only while the camera frames automatically: the page
// writes them only in Auto Framing.
bool settingNeedsAutoFraming(CameraSetting setting);
// Whether a setting is written while the camera's tracking mode is this one (empty: the camera
// did not tell it).
bool settingWritableInMode(CameraSetting setting, std::optional<int> trackingMode);
// The pad (pan and tilt) moves a zoomed picture only.
bool padMovesAtZoom(int zoom_percent);
// What the page shows for a tracking mode: the manual position controls while tracking is off,
// the effect and speed rows for the modes that have them (not Presenter Tracking).
struct TrackingRows {
    bool positionControls;
    bool effectRow;
    bool speedRow;
};
TrackingRows trackingRowsForMode(int mode);
// A speed means something only for the smooth effect: its row is hidden for Immediate.
bool speedRowShownForEffect(int effect);

// What the page offers for a camera. Only the vendor's own line (kProductLineZenta) narrows it:
// the ZENTA 310 has neither framing nor position, the ZENTA 320 no choice of tracking mode.
// Microphone, restore defaults and the upgrade are always offered.
struct ModelControls {
    bool trackingMode = true;
    bool trackingEffectAndSpeed = true;
    bool antiFlicker = true;
    bool hdr = true;
    bool position = true;
};
ModelControls controlsOfModel(int vendorIndex, int modelIndexFromIds);
bool modelOffers(const ModelControls &controls, CameraSetting setting);
