// picture, and the picture controls in get, set and info: the controls the camera offers, by the
// names both systems share, each value checked before it is sent and read back after.
#include "cli/commands.h"
#include "control/camerasession.h"

#include <QJsonArray>

namespace {
ExitCode exitCodeOf(PictureStatus status) {
    switch (status) {
    case PictureStatus::Done:
        return ExitCode::Success;
    case PictureStatus::UnknownControl:
    case PictureStatus::OutOfRange:
    case PictureStatus::OffStep:
    case PictureStatus::NotInMenu:
        return ExitCode::BadArguments;
    case PictureStatus::NoCamera:
    case PictureStatus::Inactive:
    case PictureStatus::ReadOnly:
    case PictureStatus::Refused:
        break;
    }
    return ExitCode::SettingRefused;
}

QString valueText(const PictureControlInfo &info, int value) {
    for (const PictureMenuEntry &entry : info.menu)
        if (entry.value == value)
            return QStringLiteral("%1 (%2)").arg(QString::fromStdString(entry.label)).arg(value);
    if (info.kind == PictureControlKind::Boolean)
        return value ? QStringLiteral("on (1)") : QStringLiteral("off (0)");
    // Exposure times come in 100 µs on every system.
    if (info.unit == "100 µs")
        return QStringLiteral("%1 (%2 ms)").arg(value).arg(value / 10.0, 0, 'f', 1);
    return QString::number(value);
}

QString rangeText(const PictureControlInfo &info) {
    if (info.kind != PictureControlKind::Menu)
        return QStringLiteral("%1..%2").arg(info.minimum).arg(info.maximum);
    QStringList values;
    for (const PictureMenuEntry &entry : info.menu)
        values << QString::number(entry.value);
    return values.join(QLatin1Char(','));
}

QString stateText(const PictureControlInfo &info) {
    if (info.readOnly)
        return QStringLiteral("read-only");
    if (!info.inactive)
        return QStringLiteral("active");
    const std::optional<AutomaticMaster> master =
        automaticMasterOf(QString::fromStdString(info.name));
    return master ? QStringLiteral("inactive (%1 is on)").arg(master->name)
                  : QStringLiteral("inactive");
}

QJsonObject controlJson(const PictureControl &control) {
    const PictureControlInfo &info = control.info;
    QJsonObject json;
    json[QStringLiteral("name")] = control.name();
    json[QStringLiteral("label")] = QString::fromStdString(info.label);
    json[QStringLiteral("kind")] = info.kind == PictureControlKind::Menu      ? "menu"
                                   : info.kind == PictureControlKind::Boolean ? "boolean"
                                                                              : "integer";
    json[QStringLiteral("value")] = control.value ? QJsonValue(*control.value) : QJsonValue();
    json[QStringLiteral("minimum")] = info.minimum;
    json[QStringLiteral("maximum")] = info.maximum;
    json[QStringLiteral("step")] = info.step;
    json[QStringLiteral("default")] = info.defaultValue;
    json[QStringLiteral("inactive")] = info.inactive;
    json[QStringLiteral("readOnly")] = info.readOnly;
    if (!info.unit.empty())
        json[QStringLiteral("unit")] = QString::fromStdString(info.unit);
    if (const auto master = automaticMasterOf(control.name()))
        json[QStringLiteral("automaticMaster")] = master->name;
    QJsonArray menu;
    for (const PictureMenuEntry &entry : info.menu)
        menu.append(QJsonObject{{QStringLiteral("value"), entry.value},
                                {QStringLiteral("label"), QString::fromStdString(entry.label)}});
    if (info.kind == PictureControlKind::Menu)
        json[QStringLiteral("menu")] = menu;
    return json;
}

// A number, a menu entry's label (any case), or on/off for a switch.
bool valueFromText(const PictureControlInfo &info, const QString &text, int &value) {
    bool isNumber = false;
    value = text.toInt(&isNumber, 10);
    if (isNumber)
        return true;
    for (const PictureMenuEntry &entry : info.menu)
        if (text.compare(QString::fromStdString(entry.label), Qt::CaseInsensitive) == 0)
            return value = entry.value, true;
    if (info.kind == PictureControlKind::Boolean) {
        const QString word = text.toLower();
        if (word == QLatin1String("on") || word == QLatin1String("true"))
            return value = 1, true;
        if (word == QLatin1String("off") || word == QLatin1String("false"))
            return value = 0, true;
    }
    return false;
}

OpenedCamera openPicture(CommandContext &context, int cameraIndex, CameraSession &session) {
    OpenedCamera opened = openListedCamera(context, cameraIndex, session);
    if (!opened.refusal && !session.pictureSettings().isOpen())
        opened.refusal =
            failure(ExitCode::SettingRefused, QStringLiteral("The %1 offers no picture controls.")
                                                  .arg(opened.choice.camera.displayName));
    return opened;
}

const PictureControl *findControl(const std::vector<PictureControl> &controls,
                                  const QString &name) {
    for (const PictureControl &control : controls)
        if (control.name() == name)
            return &control;
    return nullptr;
}

CommandResult unknownControl(const QString &name, const std::vector<PictureControl> &controls) {
    QStringList names;
    for (const PictureControl &control : controls)
        names << control.name();
    return failure(ExitCode::BadArguments,
                   QStringLiteral("%1 The camera's picture controls are %2.")
                       .arg(unknownSetting(name), names.join(QStringLiteral(", "))));
}
} // namespace

CommandResult runPicture(CommandContext &context) {
    CameraSession session;
    const OpenedCamera opened = openPicture(context, 0, session);
    if (opened.refusal)
        return *opened.refusal;
    PictureSettings &picture = session.pictureSettings();
    CommandResult result = cameraResult(opened.choice);
    if (context.invocation.reset) {
        const PictureOutcome outcome = picture.reset();
        if (!outcome.ok())
            return failure(exitCodeOf(outcome.status), outcome.message);
        result.text = QStringLiteral("The picture controls are back at the camera's defaults.\n");
    }
    QVector<QStringList> rows{{QStringLiteral("NAME"), QStringLiteral("VALUE"),
                               QStringLiteral("RANGE"), QStringLiteral("STEP"),
                               QStringLiteral("DEFAULT"), QStringLiteral("STATE")}};
    QJsonArray controls;
    for (const PictureControl &control : picture.controls()) {
        const PictureControlInfo &info = control.info;
        controls.append(controlJson(control));
        rows.append(
            {control.name(),
             control.value ? valueText(info, *control.value) : QStringLiteral("(no answer)"),
             rangeText(info), QString::number(info.step), valueText(info, info.defaultValue),
             stateText(info)});
    }
    result.json[QStringLiteral("controls")] = controls;
    result.text += alignedTable(rows);
    return result;
}

CommandResult runPictureGet(CommandContext &context, const QString &name) {
    CameraSession session;
    const OpenedCamera opened = openPicture(context, 1, session);
    if (opened.refusal)
        return *opened.refusal;
    const std::vector<PictureControl> controls = session.pictureSettings().controls();
    const PictureControl *control = findControl(controls, name);
    if (!control)
        return unknownControl(name, controls);
    if (!control->value)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera did not answer the read of %1.").arg(name));
    CommandResult result = cameraResult(opened.choice);
    result.json[QStringLiteral("setting")] = name;
    result.json[QStringLiteral("value")] = *control->value;
    result.json[QStringLiteral("control")] = controlJson(*control);
    result.text = QStringLiteral("%1: %2\n").arg(name, valueText(control->info, *control->value));
    return result;
}

CommandResult runPictureSet(CommandContext &context, const QString &name, const QString &text) {
    CameraSession session;
    const OpenedCamera opened = openPicture(context, 2, session);
    if (opened.refusal)
        return *opened.refusal;
    PictureSettings &picture = session.pictureSettings();
    const std::vector<PictureControl> controls = picture.controls();
    const PictureControl *control = findControl(controls, name);
    if (!control)
        return unknownControl(name, controls);
    int value = 0;
    if (!valueFromText(control->info, text, value))
        return failure(ExitCode::BadArguments,
                       QStringLiteral("\"%1\" is no value of %2; it takes %3. Nothing was sent.")
                           .arg(text, name, rangeText(control->info)));
    const PictureOutcome outcome = picture.write(name, value);
    if (!outcome.ok())
        return failure(exitCodeOf(outcome.status),
                       outcome.message + QStringLiteral(" Nothing was sent."));
    CommandResult result = cameraResult(opened.choice);
    result.json[QStringLiteral("setting")] = name;
    result.json[QStringLiteral("value")] =
        outcome.value ? QJsonValue(*outcome.value) : QJsonValue();
    result.text = QStringLiteral("%1: %2\n")
                      .arg(name, outcome.value ? valueText(control->info, *outcome.value)
                                               : QStringLiteral("(no answer)"));
    return result;
}

QString addPictureInfo(PictureSettings &picture, QJsonObject &json) {
    QJsonObject values;
    QVector<QPair<QString, QString>> rows;
    for (const PictureControl &control : picture.controls()) {
        values[control.name()] = control.value ? QJsonValue(*control.value) : QJsonValue();
        rows.append({QStringLiteral("  ") + control.name(),
                     control.value ? valueText(control.info, *control.value)
                                   : QStringLiteral("(no answer)")});
    }
    json[QStringLiteral("picture")] = values;
    return rows.isEmpty() ? QString() : QStringLiteral("Picture\n") + alignedLines(rows);
}
