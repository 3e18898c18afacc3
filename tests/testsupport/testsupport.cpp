#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>

#include <cstdio>
#include <unistd.h>

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
    return !messages().filter(text).isEmpty();
}

StdoutCapture::StdoutCapture() {
    file.open();
    std::fflush(stdout);
    saved = ::dup(1);
    ::dup2(file.handle(), 1);
}

QString StdoutCapture::finish() {
    if (saved < 0)
        return text;
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    saved = -1;
    // The test framework prints logged messages to standard output as well; they are not what
    // the code under test printed.
    static const QRegularExpression testLine(
        QStringLiteral("^Q(DEBUG|INFO|WARN|SYSTEM|CRITICAL|FATAL) *: [^\\n]*\\n"),
        QRegularExpression::MultilineOption);
    text = QString::fromUtf8(readFile(file.fileName())).remove(testLine);
    return text;
}

QString hexOf(const std::uint8_t *data, std::size_t size) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size)).toHex(' '));
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
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
