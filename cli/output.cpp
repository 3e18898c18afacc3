#include "cli/output.h"

#include "device/catalogue.h"

#include <QRegularExpression>

CommandResult failure(ExitCode code, const QString &message, const QJsonObject &details) {
    CommandResult result;
    result.code = code;
    result.error = message;
    result.json = details;
    return result;
}

QJsonObject cameraJson(const ListedCamera &camera, int position) {
    const int model = modelIndexByName(camera.device.friendlyName);
    QJsonObject json;
    json[QStringLiteral("position")] = position;
    json[QStringLiteral("name")] = camera.displayName;
    json[QStringLiteral("friendlyName")] = camera.device.friendlyName;
    json[QStringLiteral("deviceId")] = camera.device.deviceId;
    json[QStringLiteral("model")] =
        model == ModelIndexNone ? QJsonValue() : QJsonValue(ProductModelTable.at(model).modelName);
    json[QStringLiteral("vendorId")] = QStringLiteral("%1").arg(camera.vendorId, 4, 16, QChar('0'));
    json[QStringLiteral("productId")] =
        QStringLiteral("%1").arg(camera.productId, 4, 16, QChar('0'));
    json[QStringLiteral("node")] = camera.device.node;
    return json;
}

QString cameraText(const ListedCamera &camera) {
    const QString name =
        camera.displayName == camera.device.friendlyName
            ? camera.displayName
            : QStringLiteral("%1 (%2)").arg(camera.displayName, camera.device.friendlyName);
    return QStringLiteral("%1, device id %2").arg(name, camera.device.deviceId);
}

QJsonValue settingJson(const SettingDefinition &definition, std::optional<int> value) {
    if (!value)
        return QJsonValue();
    const QString label = optionLabelOfValue(*definition.options, *value);
    QJsonObject json;
    json[QStringLiteral("value")] = *value;
    json[QStringLiteral("label")] = label.isEmpty() ? QJsonValue() : QJsonValue(label);
    return json;
}

QString settingText(const SettingDefinition &definition, int value) {
    const QString label = optionLabelOfValue(*definition.options, value);
    return QStringLiteral("%1 (%2)")
        .arg(label.isEmpty() ? QStringLiteral("unknown") : label)
        .arg(value);
}

QString plainText(const QString &richText) {
    QString text = richText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text.simplified();
}

QString alignedLines(const QVector<QPair<QString, QString>> &rows) {
    int width = 0;
    for (const auto &row : rows)
        width = qMax(width, row.first.size());
    QString text;
    for (const auto &row : rows)
        text += QStringLiteral("%1  %2\n").arg(row.first.leftJustified(width), row.second);
    return text;
}

QString alignedTable(const QVector<QStringList> &rows) {
    QVector<int> widths;
    for (const QStringList &row : rows) {
        widths.resize(qMax(widths.size(), row.size()));
        for (int column = 0; column < row.size(); ++column)
            widths[column] = qMax(widths[column], row.at(column).size());
    }
    QString text;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (int column = 0; column < row.size(); ++column)
            cells << (column + 1 < row.size() ? row.at(column).leftJustified(widths[column])
                                              : row.at(column));
        text += cells.join(QStringLiteral("  ")) + QLatin1Char('\n');
    }
    return text;
}

QJsonObject positionJson(int pan, int tilt, int zoom) {
    QJsonObject json;
    json[QStringLiteral("pan")] = pan;
    json[QStringLiteral("tilt")] = tilt;
    json[QStringLiteral("zoom")] = zoom;
    return json;
}

QString positionText(int pan, int tilt, int zoom) {
    return QStringLiteral("pan %1 degrees, tilt %2 degrees, zoom %3%").arg(pan).arg(tilt).arg(zoom);
}
