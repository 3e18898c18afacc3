#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QMutex>

namespace {
QMutex capturedMutex;
QStringList captured;

void captureHandler(QtMsgType, const QMessageLogContext &, const QString &message) {
    QMutexLocker locker(&capturedMutex);
    captured << message;
}
} // namespace

MessageCapture::MessageCapture() {
    QMutexLocker locker(&capturedMutex);
    captured.clear();
    previous = qInstallMessageHandler(captureHandler);
}

MessageCapture::~MessageCapture() {
    qInstallMessageHandler(previous);
}

QStringList MessageCapture::messages() const {
    QMutexLocker locker(&capturedMutex);
    return captured;
}

bool MessageCapture::contains(const QString &text) const {
    const QStringList all = messages();
    for (const QString &message : all) {
        if (message.contains(text))
            return true;
    }
    return false;
}

int openFileDescriptorCount() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

int threadsOutsideThePool() {
    int pooled = 0;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("Thread (pooled)"))
            ++pooled;
    }
    return static_cast<int>(tasks.size()) - pooled;
}
