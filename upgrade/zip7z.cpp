#include "upgrade/zip7z.h"

#include "upgrade/archiver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QtDebug>

namespace {
constexpr int kStartWait_ms = 30000;
// How often a long extraction is noted in the log while it is waited for.
constexpr int kProgressNote_ms = 30000;
} // namespace

Zip7z::Zip7z(const QString &applicationDirectory, QObject *parent)
    : QObject(parent)
    , appDirectory(applicationDirectory) {}

Zip7z::Zip7z(QObject *parent)
    : Zip7z(QCoreApplication::applicationDirPath(), parent) {}

bool Zip7z::prepareTools() {
    prepareArchiverTools(appDirectory.toStdString());
    return true;
}

QString Zip7z::extract(const QString &archivePath, const QString &outputDirectory,
                       bool *succeeded) {
    if (succeeded)
        *succeeded = false;
    prepareTools();

    QProcess process;
    process.setProgram(QString::fromStdString(archiverProgram(appDirectory.toStdString())));
    process.setArguments({QStringLiteral("x"), QStringLiteral("-y"), archivePath,
                          QStringLiteral("-o") + outputDirectory});
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(kStartWait_ms)) {
        qWarning().noquote() << "archiver did not start:" << process.program()
                             << process.errorString();
        return QString();
    }
    // Nothing is ever typed in: a question (a password, say) gets end of input and fails the
    // extraction instead of waiting for ever.
    process.closeWriteChannel();

    // Stopping the archiver half-way would leave a partial package behind, so it is waited for
    // until it ends.
    QCoreApplication *application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread()) {
        QEventLoop loop;
        QObject::connect(&process, &QProcess::stateChanged, &loop,
                         [&loop](QProcess::ProcessState state) {
                             if (state == QProcess::NotRunning)
                                 loop.quit();
                         });
        QTimer note;
        QObject::connect(&note, &QTimer::timeout, &loop, [] { qInfo("archiver still running"); });
        note.start(kProgressNote_ms);
        if (process.state() != QProcess::NotRunning)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    } else {
        while (!process.waitForFinished(kProgressNote_ms) &&
               process.state() != QProcess::NotRunning)
            qInfo("archiver still running");
    }

    QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                    process.error() != QProcess::FailedToStart;
    if (!ok) {
        qWarning().noquote() << "archiver failed: exit status" << int(process.exitStatus())
                             << "code" << process.exitCode()
                             << QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    }
    if (succeeded)
        *succeeded = ok;
    return output;
}
