#include "upgrade/packagepath.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {
bool isWindowsDeviceName(const QString &part) {
    // The device names stay devices with any extension ("nul.bin") and in any case.
    static const QRegularExpression devices(
        QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return devices.match(part).hasMatch();
}
} // namespace

QString unsafeNameReason(const QString &name) {
    if (name.isEmpty())
        return QStringLiteral("empty name");
    if (name.startsWith(QLatin1Char('/')))
        return QStringLiteral("absolute name");
    if (name.contains(QLatin1Char('\\')))
        return QStringLiteral("backslash in the name");
    if (name.contains(QLatin1Char(':')))
        return QStringLiteral("drive letter or colon in the name");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("control character in the name");
    }
    const QStringList parts = name.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String("."))
            return QStringLiteral("empty or \".\" part in the name");
        if (part == QLatin1String(".."))
            return QStringLiteral("\"..\" in the name");
        if (isWindowsDeviceName(part))
            return QStringLiteral("device name in the name");
    }
    return QString();
}

QString resolveInsideFolder(const QString &directory, const QString &name, QString *reason) {
    QString why = unsafeNameReason(name);
    const QString path = QDir(directory).filePath(name);
    if (why.isEmpty()) {
        // Only a path that exists can lead elsewhere; one that does not fails when it is opened.
        const QString real = QFileInfo(path).canonicalFilePath();
        const QString root = QFileInfo(directory).canonicalFilePath();
        if (!real.isEmpty() && !real.startsWith(root + QLatin1Char('/')))
            why = QStringLiteral("leads out of the package folder");
    }
    if (reason)
        *reason = why;
    return why.isEmpty() ? path : QString();
}
