// What a command hands back to the program: its exit code, its output as text and as a JSON
// document, or the plain words of its failure; and the JSON and text forms that several commands
// share (a camera, a setting's value).
#pragma once

#include "cli/exitcodes.h"
#include "control/camerasettings.h"
#include "device/cameralist.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

struct CommandResult {
    ExitCode code = ExitCode::Success;
    QString text;          // the plain output, ending in a line break
    QJsonObject json;      // the --json document; for a failure, fields beside "error"
    QString error;         // for a failure: what went wrong, in plain words
    bool streamed = false; // printed as it happened (watch): nothing left to print
};

CommandResult failure(ExitCode code, const QString &message, const QJsonObject &details = {});

// A camera of the list at its position (from 1).
QJsonObject cameraJson(const ListedCamera &camera, int position);
// "ZENTA 320 (Kestrelon ZENTA 320), device id vid_..."
QString cameraText(const ListedCamera &camera);
// {"value": 1, "label": "Auto Framing"}, the label null for a value outside the table; null for
// no value.
QJsonValue settingJson(const SettingDefinition &definition, std::optional<int> value);
// "Auto Framing (1)", "unknown (7)"
QString settingText(const SettingDefinition &definition, int value);
// {"pan": ..., "tilt": ..., "zoom": ...} and "pan 5 degrees, tilt 0 degrees, zoom 300%".
QJsonObject positionJson(int pan, int tilt, int zoom);
QString positionText(int pan, int tilt, int zoom);
// The rich text of a refusal as one line: "Unable to upgrade now. The firmware file is corrupted."
QString plainText(const QString &richText);
// Lines of "label  value" with the values in one column.
QString alignedLines(const QVector<QPair<QString, QString>> &rows);
// Rows of cells in columns, the first row usually the header.
QString alignedTable(const QVector<QStringList> &rows);
