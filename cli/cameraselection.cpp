#include "cli/cameraselection.h"

#include <QJsonArray>

namespace {
CameraChoice chosen(const QVector<ListedCamera> &cameras, int index) {
    CameraChoice choice;
    choice.found = true;
    choice.camera = cameras.at(index);
    choice.position = index + 1;
    return choice;
}

CameraChoice refused(const QString &message, const QJsonObject &details = {}) {
    CameraChoice choice;
    choice.refusal = failure(ExitCode::NoSuchCamera, message, details);
    return choice;
}

// Several cameras fit: the message lists them, one a line, and so does the JSON document.
CameraChoice ambiguous(const QVector<ListedCamera> &cameras, const QVector<int> &indices,
                       const QString &message) {
    QJsonArray candidates;
    QString names;
    for (int i : indices) {
        candidates.append(cameraJson(cameras.at(i), i + 1));
        names += QStringLiteral("\n  %1  %2").arg(i + 1).arg(cameraText(cameras.at(i)));
    }
    QJsonObject details;
    details[QStringLiteral("candidates")] = candidates;
    return refused(message + names, details);
}
} // namespace

CameraChoice chooseCamera(const QVector<ListedCamera> &cameras, const QString &argument) {
    if (cameras.isEmpty())
        return refused(QStringLiteral("No camera of the configured vendor is present."));
    if (argument.isEmpty()) {
        if (cameras.size() == 1)
            return chosen(cameras, 0);
        QVector<int> all;
        for (int i = 0; i < cameras.size(); ++i)
            all.append(i);
        return ambiguous(cameras, all,
                         QStringLiteral("%1 cameras are present; name one:").arg(cameras.size()));
    }

    // A position first; a number beyond the list may still name one camera ("320").
    bool isNumber = false;
    const int position = argument.toInt(&isNumber, 10);
    if (isNumber && position >= 1 && position <= cameras.size())
        return chosen(cameras, position - 1);
    QVector<int> matching;
    for (int i = 0; i < cameras.size(); ++i) {
        if (cameras.at(i).device.deviceId.compare(argument, Qt::CaseInsensitive) == 0)
            return chosen(cameras, i);
        if (cameras.at(i).device.friendlyName.contains(argument, Qt::CaseInsensitive))
            matching.append(i);
    }
    if (matching.size() == 1)
        return chosen(cameras, matching.constFirst());
    if (matching.size() != 1 && isNumber)
        return refused(QStringLiteral("There is no camera %1: the list has %2.")
                           .arg(position)
                           .arg(cameras.size()));
    if (matching.isEmpty())
        return refused(QStringLiteral("No camera matches \"%1\".").arg(argument));
    return ambiguous(cameras, matching,
                     QStringLiteral("\"%1\" matches %2 cameras; name one by its position or "
                                    "device id:")
                         .arg(argument)
                         .arg(matching.size()));
}
