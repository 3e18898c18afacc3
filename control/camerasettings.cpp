#include "control/camerasettings.h"

#include <QCoreApplication>

namespace {
constexpr int kModelZenta310 = 1;
constexpr int kModelZenta320 = 2;

// HDR has no table of its own in the catalogue: the page shows it as a switch.
const OptionTable HdrOptions = {{0, QStringLiteral("Off")}, {1, QStringLiteral("On")}};

const char kSettingTimeout[] =
    QT_TRANSLATE_NOOP("MainWindow", "The setting has timed out, please try again.");
const char kOperationTimeout[] =
    QT_TRANSLATE_NOOP("MainWindow", "The operation has timed out, please try again.");
} // namespace

const std::vector<SettingDefinition> &cameraSettings() {
    using Unit = UVCExtensionUnit;
    static const std::vector<SettingDefinition> settings = {
        {CameraSetting::TrackingMode, "tracking-mode", "Tracking mode", &TrackingModeOptions,
         &Unit::setTrackingMode, &Unit::getTrackingMode, "Set tracking mode:", kOperationTimeout,
         false},
        {CameraSetting::TrackingEffect, "tracking-effect", "Tracking effect",
         &TrackingEffectOptions, &Unit::setTrackingEffect, &Unit::getTrackingEffect,
         "Set tracking effect:", kOperationTimeout, false},
        {CameraSetting::TrackingSpeed, "tracking-speed", "Tracking speed", &TrackingSpeedOptions,
         &Unit::setTrackingSpeed, &Unit::getTrackingSpeed, "Set tracking speed:", kOperationTimeout,
         false},
        {CameraSetting::AntiFlicker, "anti-flicker", "Anti-flicker", &AntiFlickerOptions,
         &Unit::setAntiFlicker, &Unit::getAntiFlicker, "Set Flicker:", kSettingTimeout, false},
        {CameraSetting::Microphone, "microphone", "Microphone", &SwitchOptions,
         &Unit::setMicEnabled, &Unit::getMicEnabled, "Set mute:", kSettingTimeout, true},
        {CameraSetting::Hdr, "hdr", "HDR", &HdrOptions, &Unit::setHdr, &Unit::getHdr,
         "Set HDR:", kSettingTimeout, false},
    };
    return settings;
}

const SettingDefinition &settingDefinition(CameraSetting setting) {
    return cameraSettings().at(static_cast<std::size_t>(setting));
}

const SettingDefinition *findSetting(const QString &name) {
    for (const SettingDefinition &definition : cameraSettings())
        if (name.compare(QLatin1String(definition.name), Qt::CaseInsensitive) == 0)
            return &definition;
    return nullptr;
}

bool settingValueFromText(const SettingDefinition &definition, const QString &text, int &value) {
    const OptionTable &options = *definition.options;
    for (const OptionPair &option : options) {
        if (text.compare(option.label, Qt::CaseInsensitive) == 0) {
            value = option.value;
            return true;
        }
    }
    bool isNumber = false;
    const int number = text.toInt(&isNumber, 10);
    if (!isNumber || optionIndexOfValue(options, number) < 0)
        return false;
    value = number;
    return true;
}

QString settingTimeoutText(const SettingDefinition &definition) {
    return QCoreApplication::translate("MainWindow", definition.timeoutText);
}

bool settingNeedsAutoFraming(CameraSetting setting) {
    return setting == CameraSetting::TrackingEffect || setting == CameraSetting::TrackingSpeed;
}

bool settingWritableInMode(CameraSetting setting, std::optional<int> trackingMode) {
    return !settingNeedsAutoFraming(setting) || trackingMode == kAutoFraming;
}

bool padMovesAtZoom(int zoom_percent) {
    return zoom_percent > kZoomMinimum_percent;
}

TrackingRows trackingRowsForMode(int mode) {
    if (mode == kTrackingOff)
        return {true, false, false};
    if (mode == kPresenterTracking)
        return {false, false, false};
    return {false, true, true};
}

bool speedRowShownForEffect(int effect) {
    return effect != kEffectImmediate;
}

ModelControls controlsOfModel(int vendorIndex, int modelIndexFromIds) {
    ModelControls controls;
    if (vendorIndex != kProductLineZenta)
        return controls;
    if (modelIndexFromIds == kModelZenta310)
        controls = ModelControls{false, false, false, false, false};
    else if (modelIndexFromIds == kModelZenta320)
        controls.trackingMode = false;
    return controls;
}

bool modelOffers(const ModelControls &controls, CameraSetting setting) {
    switch (setting) {
    case CameraSetting::TrackingMode:
        return controls.trackingMode;
    case CameraSetting::TrackingEffect:
    case CameraSetting::TrackingSpeed:
        return controls.trackingEffectAndSpeed;
    case CameraSetting::AntiFlicker:
        return controls.antiFlicker;
    case CameraSetting::Hdr:
        return controls.hdr;
    case CameraSetting::Microphone:
        break;
    }
    return true;
}
