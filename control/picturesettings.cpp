#include "control/picturesettings.h"

#include <QDebug>

#include <algorithm>

namespace {
struct MasterRule {
    const char *manual;
    const char *master;
    int manualValue;
};

// The pairs that the video drivers of both systems cluster: the manual control is inactive while
// its master is not at the manual value. The device's own flag decides; this only names the
// master in a refusal and orders a reset.
constexpr MasterRule kMasterRules[] = {
    {"white-balance-temperature", "white-balance-automatic", 0},
    {"exposure-time", "auto-exposure", 1},
    {"gain", "gain-automatic", 0},
    {"hue", "hue-automatic", 0},
    {"focus", "focus-automatic", 0},
};

const PictureControlInfo *findInfo(const std::vector<PictureControlInfo> &all,
                                   const QString &name) {
    const std::string wanted = name.toStdString();
    for (const PictureControlInfo &info : all)
        if (info.name == wanted && !info.disabled)
            return &info;
    return nullptr;
}

QString valueText(const PictureControlInfo *control, int value) {
    if (control)
        for (const PictureMenuEntry &entry : control->menu)
            if (entry.value == value)
                return QStringLiteral("%1 (%2)").arg(value).arg(
                    QString::fromStdString(entry.label));
    return QString::number(value);
}
} // namespace

std::optional<AutomaticMaster> automaticMasterOf(const QString &controlName) {
    for (const MasterRule &rule : kMasterRules)
        if (controlName == QLatin1String(rule.manual))
            return AutomaticMaster{QLatin1String(rule.master), rule.manualValue};
    return std::nullopt;
}

bool isAutomaticMaster(const QString &controlName) {
    return std::any_of(std::begin(kMasterRules), std::end(kMasterRules),
                       [&](const MasterRule &rule) { return controlName == rule.master; });
}

PictureOutcome PictureSettings::check(const PictureControlInfo &control, int value,
                                      const std::vector<PictureControlInfo> &all) {
    const QString name = QString::fromStdString(control.name);
    auto refusal = [](PictureStatus status, const QString &message) {
        return PictureOutcome{status, message, std::nullopt};
    };
    if (control.readOnly)
        return refusal(PictureStatus::ReadOnly,
                       tr("%1 can only be read; the camera sets it itself.").arg(name));
    if (control.kind == PictureControlKind::Menu) {
        const bool listed =
            std::any_of(control.menu.begin(), control.menu.end(),
                        [&](const PictureMenuEntry &e) { return e.value == value; });
        if (!listed) {
            QStringList offered;
            for (const PictureMenuEntry &entry : control.menu)
                offered << valueText(&control, entry.value);
            return refusal(PictureStatus::NotInMenu,
                           tr("%1 takes one of %2; %3 is not one of them.")
                               .arg(name, offered.join(QStringLiteral(", ")))
                               .arg(value));
        }
    } else {
        if (value < control.minimum || value > control.maximum)
            return refusal(PictureStatus::OutOfRange,
                           tr("%1 must be between %2 and %3; %4 is outside that range.")
                               .arg(name)
                               .arg(control.minimum)
                               .arg(control.maximum)
                               .arg(value));
        const long long offset = static_cast<long long>(value) - control.minimum;
        if (control.step > 1 && offset % control.step != 0)
            return refusal(PictureStatus::OffStep,
                           tr("%1 moves in steps of %2 from %3; %4 is between two steps.")
                               .arg(name)
                               .arg(control.step)
                               .arg(control.minimum)
                               .arg(value));
    }
    if (control.inactive) {
        const std::optional<AutomaticMaster> master = automaticMasterOf(name);
        if (master && findInfo(all, master->name))
            return refusal(PictureStatus::Inactive,
                           tr("%1 is set by the camera while %2 is on; set %2 to %3 first.")
                               .arg(name, master->name,
                                    valueText(findInfo(all, master->name), master->manualValue)));
        return refusal(PictureStatus::Inactive,
                       tr("%1 is inactive now; the camera takes no value for it.").arg(name));
    }
    return {};
}

bool PictureSettings::open(const QString &deviceId) {
    device = pictureControlBackend().open(deviceId.toStdString());
    return device != nullptr;
}

void PictureSettings::close() {
    device.reset();
}

std::vector<PictureControl> PictureSettings::controls() {
    std::vector<PictureControl> result;
    if (!device)
        return result;
    for (const PictureControlInfo &info : device->query()) {
        if (info.disabled)
            continue;
        PictureControl control{info, std::nullopt};
        std::int32_t value = 0;
        std::string reason;
        if (device->read(info.id, value, reason))
            control.value = value;
        else
            qWarning() << "Picture control not read:" << control.name() << reason.c_str();
        result.push_back(std::move(control));
    }
    return result;
}

PictureOutcome PictureSettings::read(const QString &name) {
    if (!device)
        return {PictureStatus::NoCamera, tr("No camera is open."), std::nullopt};
    const std::vector<PictureControlInfo> all = device->query();
    const PictureControlInfo *control = findInfo(all, name);
    if (!control)
        return {PictureStatus::UnknownControl,
                tr("The camera offers no picture control named %1.").arg(name), std::nullopt};
    std::int32_t value = 0;
    std::string reason;
    if (!device->read(control->id, value, reason))
        return {PictureStatus::Refused,
                tr("The camera did not answer the read of %1 (%2).")
                    .arg(name, QString::fromStdString(reason)),
                std::nullopt};
    return {PictureStatus::Done, QString(), value};
}

PictureOutcome PictureSettings::write(const QString &name, int value) {
    if (!device)
        return {PictureStatus::NoCamera, tr("No camera is open."), std::nullopt};
    const std::vector<PictureControlInfo> all = device->query();
    const PictureControlInfo *control = findInfo(all, name);
    if (!control)
        return {PictureStatus::UnknownControl,
                tr("The camera offers no picture control named %1.").arg(name), std::nullopt};
    PictureOutcome outcome = check(*control, value, all);
    if (!outcome.ok()) {
        qInfo() << "Picture control not written:" << name << value << outcome.message;
        return outcome;
    }
    std::string reason;
    if (!device->write(control->id, value, reason)) {
        qWarning() << "Picture control refused:" << name << value << reason.c_str();
        return {PictureStatus::Refused,
                tr("The camera refused %1 = %2 (%3).")
                    .arg(name)
                    .arg(value)
                    .arg(QString::fromStdString(reason)),
                std::nullopt};
    }
    std::int32_t readBack = 0;
    if (device->read(control->id, readBack, reason))
        outcome.value = readBack;
    qDebug() << "Picture control written:" << name << value << "read back"
             << (outcome.value ? QString::number(*outcome.value) : QStringLiteral("nothing"));
    return outcome;
}

PictureOutcome PictureSettings::reset() {
    if (!device)
        return {PictureStatus::NoCamera, tr("No camera is open."), std::nullopt};
    // Round one: manual controls while active, then the masters; round two: what the masters'
    // defaults made active.
    for (int round = 0; round < 2; ++round) {
        for (const bool masters : {false, true}) {
            if (round == 1 && masters)
                break;
            const std::vector<PictureControl> now = controls();
            std::vector<PictureControlInfo> all;
            for (const PictureControl &control : now)
                all.push_back(control.info);
            for (const PictureControl &control : now) {
                const PictureControlInfo &info = control.info;
                if (isAutomaticMaster(control.name()) != masters || info.readOnly ||
                    info.inactive || control.value == info.defaultValue)
                    continue;
                // A driver may report a default that its own control does not take (uvcvideo
                // gives 0 for an auto-exposure menu of 1 and 3): that control is left as it is.
                const PictureStatus fits = check(info, info.defaultValue, all).status;
                if (fits == PictureStatus::OutOfRange || fits == PictureStatus::OffStep ||
                    fits == PictureStatus::NotInMenu) {
                    qInfo() << "Picture control left as it is: its default" << info.defaultValue
                            << "is not a value of" << control.name();
                    continue;
                }
                const PictureOutcome outcome = write(control.name(), info.defaultValue);
                if (!outcome.ok())
                    return outcome;
            }
        }
    }
    return {};
}
