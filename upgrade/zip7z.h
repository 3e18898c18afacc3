// Unpacking of a firmware package with the external 7-Zip console archiver.
#pragma once

#include <QObject>
#include <QString>

class Zip7z : public QObject {
    Q_OBJECT

public:
    // applicationDirectory: where the archiver's own files are kept (the program's directory
    // unless a test moves it).
    explicit Zip7z(const QString &applicationDirectory, QObject *parent = nullptr);
    explicit Zip7z(QObject *parent = nullptr);

    // Makes sure that the archiver is ready to start. Always true.
    bool prepareTools();

    // Unpacks the archive into the output directory with full paths, overwriting without asking,
    // and returns what the archiver printed. The archiver is always waited for until it ends,
    // however long it takes; on the program's main thread the wait keeps repainting the window
    // (user input is held back until it ends). `succeeded` (when given) is true only when the
    // archiver started, ran to its end and exited with code 0: anything else means the output
    // directory may hold a partial package.
    QString extract(const QString &archivePath, const QString &outputDirectory,
                    bool *succeeded = nullptr);

private:
    QString appDirectory;
};
