// The camera's settings as the Control page offers them: their names, option tables and commands,
// the text the page shows for a write the camera did not take, which settings a model offers, and
// the limits of pan, tilt and zoom. The window and the command-line program share it.
#pragma once

#include "control/uvcextensionunit.h"
#include "device/catalogue.h"

#include <QString>

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
    const TranslatedOptionTable *options;
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
// Tracking effect and speed mean something only while the camera frames automatically: the page
// writes them only in Auto Framing.
bool settingNeedsAutoFraming(CameraSetting setting);

// What the page offers for a camera. Only the vendor's own line (configured vendor 1) narrows it:
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
