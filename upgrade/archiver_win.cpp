// The 7-Zip console program shipped inside the program's resources under ":/7z/" and copied beside
// the program the first time it is needed.
#include "upgrade/archiver.h"

#include <QDir>
#include <QFile>
#include <QString>

void prepareArchiverTools(const std::string &applicationDirectory) {
    const QDir directory(QString::fromStdString(applicationDirectory));
    for (const QString &name : {QStringLiteral("7z.exe"), QStringLiteral("7z.dll")}) {
        const QString target = directory.filePath(name);
        if (!QFile::exists(target))
            QFile::copy(QStringLiteral(":/7z/") + name, target); // a failure shows at the start
    }
}

std::string archiverProgram(const std::string &applicationDirectory) {
    return applicationDirectory + "/7z.exe";
}
