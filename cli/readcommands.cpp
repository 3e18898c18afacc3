// list, info and get: the cameras as the window lists them, and a camera read as the Control page
// reads it when it opens the camera, with its picture controls.
#include "cli/commands.h"
#include "control/camerasession.h"
#include "upgrade/massstorage.h"

#include <QJsonArray>

CommandResult runList(CommandContext &context) {
    const QVector<ListedCamera> cameras = listedCameras(context.vendor);
    CommandResult result;
    QJsonArray camerasJson;
    QStringList header{QStringLiteral("#"),
                       QStringLiteral("NAME"),
                       QStringLiteral("MODEL"),
                       QStringLiteral("USB"),
                       QStringLiteral("NODE"),
                       QStringLiteral("DEVICE ID"),
                       QStringLiteral("FRIENDLY NAME")};
    QVector<QStringList> rows{header};
    for (int i = 0; i < cameras.size(); ++i) {
        const QJsonObject camera = cameraJson(cameras.at(i), i + 1);
        camerasJson.append(camera);
        rows.append({QString::number(i + 1), camera[QStringLiteral("name")].toString(),
                     camera[QStringLiteral("model")].toString(QStringLiteral("-")),
                     QStringLiteral("%1:%2").arg(camera[QStringLiteral("vendorId")].toString(),
                                                 camera[QStringLiteral("productId")].toString()),
                     camera[QStringLiteral("node")].toString(),
                     camera[QStringLiteral("deviceId")].toString(),
                     camera[QStringLiteral("friendlyName")].toString()});
    }
    QJsonObject vendor;
    vendor[QStringLiteral("index")] = context.vendor.index;
    vendor[QStringLiteral("vendorId")] =
        QStringLiteral("%1").arg(context.vendor.vendorId, 4, 16, QChar('0'));
    vendor[QStringLiteral("manufacturer")] = context.vendor.manufacturer;
    result.json[QStringLiteral("vendor")] = vendor;
    result.json[QStringLiteral("cameras")] = camerasJson;

    if (cameras.isEmpty()) {
        result.text = QStringLiteral("No camera of the configured vendor (%1) is present.\n")
                          .arg(context.vendor.manufacturer);
    } else {
        result.text = alignedTable(rows);
    }

    QJsonArray stuck;
    UpdaterDeviceState state = UpdaterStateNone;
    // Only reported, so a camera the user may not open is still named from the disk list.
    if (detectUpdaterDevice(context.vendor.index, state) && state != UpdaterStateNone) {
        QJsonObject entry;
        entry[QStringLiteral("stage")] = QLatin1String(updaterStateName(state));
        entry[QStringLiteral("state")] = static_cast<int>(state);
        stuck.append(entry);
        result.text += QStringLiteral("A camera is in its %1 stage (an interrupted upgrade): "
                                      "cameracontrol-cli recover PACKAGE.zip\n")
                           .arg(QLatin1String(updaterStateName(state)));
    }
    result.json[QStringLiteral("updaterStages")] = stuck;
    // A node this user may not open leaves its camera out of the list: say why.
    for (const QString &advice : context.refusals.advice())
        Console::writeError(advice + QLatin1Char('\n'));
    return result;
}

CommandResult runInfo(CommandContext &context) {
    CameraSession session;
    const OpenedCamera opened = openListedCamera(context, 0, session);
    if (opened.refusal)
        return *opened.refusal;
    const CameraChoice &choice = opened.choice;
    const CameraReadout read = session.readAll();

    CommandResult result = cameraResult(choice);
    const QJsonObject camera = result.json[QStringLiteral("camera")].toObject();
    QVector<QPair<QString, QString>> rows = {
        {QStringLiteral("Camera"), cameraText(choice.camera)},
        {QStringLiteral("Model"),
         camera[QStringLiteral("model")].toString(QStringLiteral("unknown"))},
        {QStringLiteral("Firmware version"),
         read.firmwareVersion.value_or(QStringLiteral("(no answer)"))}};
    result.json[QStringLiteral("firmwareVersion")] =
        read.firmwareVersion ? QJsonValue(*read.firmwareVersion) : QJsonValue();

    QJsonObject settings;
    const std::optional<int> mode = read.value(CameraSetting::TrackingMode);
    const bool readOutsideAutoFraming = mode && *mode != kAutoFraming;
    for (const SettingDefinition &definition : cameraSettings()) {
        const std::optional<int> value = read.value(definition.setting);
        settings[QLatin1String(definition.name)] = settingJson(definition, value);
        QString shown = value ? settingText(definition, *value) : QStringLiteral("(no answer)");
        if (!value && settingNeedsAutoFraming(definition.setting) && readOutsideAutoFraming)
            shown = QStringLiteral("(Auto Framing only)");
        rows.append({QLatin1String(definition.title), shown});
    }
    result.json[QStringLiteral("settings")] = settings;
    const CameraPosition &position = read.position;
    result.json[QStringLiteral("ptz")] =
        position.read
            ? QJsonValue(positionJson(position.pan_deg, position.tilt_deg, position.zoom_percent))
            : QJsonValue();
    rows.append({QStringLiteral("Pan, tilt, zoom"),
                 position.read
                     ? positionText(position.pan_deg, position.tilt_deg, position.zoom_percent)
                     : QStringLiteral("(no answer)")});
    result.text = alignedLines(rows) + addPictureInfo(session.pictureSettings(), result.json);
    return result;
}

CommandResult runGet(CommandContext &context) {
    const SettingDefinition *definition = findSetting(context.invocation.arguments.at(0));
    if (!definition)
        return runPictureGet(context, context.invocation.arguments.at(0));
    CameraSession session;
    const OpenedCamera opened = openListedCamera(context, 1, session);
    if (opened.refusal)
        return *opened.refusal;
    const CameraChoice &choice = opened.choice;
    int value = 0;
    if (const ControlResult read = session.readSetting(definition->setting, value); !read)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera did not answer the query of %1: %2.")
                           .arg(QLatin1String(definition->name), read.describe()));
    CommandResult result = cameraResult(choice);
    result.json[QStringLiteral("setting")] = QLatin1String(definition->name);
    const QJsonObject shown = settingJson(*definition, value).toObject();
    result.json[QStringLiteral("value")] = shown[QStringLiteral("value")];
    result.json[QStringLiteral("label")] = shown[QStringLiteral("label")];
    result.text = QStringLiteral("%1: %2\n")
                      .arg(QLatin1String(definition->name), settingText(*definition, value));
    return result;
}
