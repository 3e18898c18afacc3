// The picture controls of one open camera, as the window, the command line and the profiles use
// them: listed with their ranges, steps, defaults and flags as the device gives them now, read,
// written only after the value is checked against that description (never clamped by the device
// without a word), read back, and reset to the camera's defaults.
#pragma once

#include "control/picturecontrols.h"

#include <QCoreApplication>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct PictureControl {
    PictureControlInfo info;
    // Empty when the camera did not answer the read.
    std::optional<int> value;

    QString name() const { return QString::fromStdString(info.name); }
};

enum class PictureStatus {
    Done,
    NoCamera,       // no picture controls are open
    UnknownControl, // the camera offers no control of that name
    OutOfRange,     // below the minimum or above the maximum
    OffStep,        // between two steps
    NotInMenu,      // not one of the menu's values
    Inactive,       // its automatic master is on
    ReadOnly,
    Refused, // the camera refused the request
};

struct PictureOutcome {
    PictureStatus status = PictureStatus::Done;
    // For the user, when the status is not Done.
    QString message;
    // The value read back after a write (or read); empty when the camera did not answer.
    std::optional<int> value;

    bool ok() const { return status == PictureStatus::Done; }
};

// The automatic control that masters a manual one ("white-balance-automatic" for
// "white-balance-temperature"), and the master's value at which the manual control is used.
struct AutomaticMaster {
    QString name;
    int manualValue = 0;
};
std::optional<AutomaticMaster> automaticMasterOf(const QString &controlName);
// Whether some other control names this one as its automatic master.
bool isAutomaticMaster(const QString &controlName);

class PictureSettings {
    Q_DECLARE_TR_FUNCTIONS(PictureSettings)

public:
    // Opens the picture controls of the camera with this device id; false when the camera
    // offers none or cannot be opened.
    bool open(const QString &deviceId);
    void close();
    bool isOpen() const { return device != nullptr; }

    // The controls the camera offers now, with their values; controls the device marks as
    // disabled are left out.
    std::vector<PictureControl> controls();
    PictureOutcome read(const QString &name);
    // Checks the value against the control as the device describes it now, writes it and reads
    // it back.
    PictureOutcome write(const QString &name, int value);
    // Writes the camera's default into every control that differs from it: manual controls while
    // they are active, then their automatic masters, then the manual controls that the masters'
    // defaults made active. The first refusal ends it.
    PictureOutcome reset();

    // Whether `value` may be written into `control`; `all` gives the master's menu for the
    // message. Done, or the reason why not.
    static PictureOutcome check(const PictureControlInfo &control, int value,
                                const std::vector<PictureControlInfo> &all);

private:
    std::unique_ptr<PictureControlDevice> device;
};
