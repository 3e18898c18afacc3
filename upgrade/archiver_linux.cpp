// The 7-Zip console program of the system's package (p7zip-full on Debian), found on the PATH.
#include "upgrade/archiver.h"

#include <QStandardPaths>
#include <QString>

void prepareArchiverTools(const std::string &) {
    // Installed with the system; nothing to put beside the program.
}

std::string archiverProgram(const std::string &) {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("7z"));
    return found.isEmpty() ? std::string("7z") : found.toStdString();
}
