#include "app/logging.h"

#include "app/debugoutput.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

#include <atomic>

QString kLogFilePath = QStringLiteral("~/.cameracontrol/cameracontrol.log");

namespace {
std::atomic<bool> &debuggerCopies() {
    static std::atomic<bool> enabled{true};
    return enabled;
}

QMutex &logMutex() {
    static QMutex mutex;
    return mutex;
}

const QRegularExpression &shortNamePattern() {
    static const QRegularExpression pattern(QStringLiteral(".*\\s([^\\s]+)\\(.*"));
    return pattern;
}

const char *fileTag(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "-D- ";
    case QtWarningMsg:
        return "-W- ";
    case QtCriticalMsg:
        return "-C- ";
    case QtFatalMsg:
        return "-F- ";
    case QtInfoMsg:
        return "-I- ";
    }
    return "-E- ";
}

const char *debuggerTag(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return " [Debug] ";
    case QtWarningMsg:
        return " [Warning] ";
    case QtCriticalMsg:
        return " [Critical] ";
    case QtFatalMsg:
        return " [Fatal] ";
    case QtInfoMsg:
        return " [Info] ";
    }
    return " [Error] ";
}

QString generationPath(const QString &path, int generation) {
    return QStringLiteral("%1.%2").arg(path).arg(generation);
}
} // namespace

QString resolveUserPath(QString path, bool isFolder, const QByteArray &initialContent) {
    if (path.startsWith(QLatin1String("~/"))) {
        path = QStringLiteral("%1/%2").arg(
            QStandardPaths::writableLocation(QStandardPaths::HomeLocation), path.mid(2));
    }
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (isFolder)
        return path;

    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        const QString folder = path.left(slash);
        if (!QDir().mkpath(folder))
            qWarning() << "Error, cannot create dir" << folder;
    }
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(initialContent);
            file.close();
        }
    }
    return path;
}

void setUpLogFile() {
    kLogFilePath = resolveUserPath(kLogFilePath, false, QByteArray());
}

QString formatFileLine(QtMsgType type, const QMessageLogContext &context, const QString &message,
                       const QString &timestamp) {
    if (context.file) {
        return QStringLiteral("[%1] %2 %3(%4) <<%5>>: %6")
            .arg(timestamp, QLatin1String(fileTag(type)), QString::fromUtf8(context.file),
                 QString::number(context.line), QString::fromUtf8(context.function), message);
    }
    return QStringLiteral("[%1] %2: %3").arg(timestamp, QLatin1String(fileTag(type)), message);
}

QString formatDebuggerLine(QtMsgType type, const QMessageLogContext &context,
                           const QString &message) {
    if (context.file) {
        const QString signature = QString::fromUtf8(context.function);
        const QRegularExpressionMatch match = shortNamePattern().match(signature);
        const QString shortFunctionName = match.hasMatch() ? match.captured(1) : signature;
        return QStringLiteral("%1(%2):%3<<%4>> %5")
            .arg(QString::fromUtf8(context.file), QString::number(context.line),
                 QLatin1String(debuggerTag(type)), shortFunctionName, message);
    }
    return QStringLiteral("%1%2").arg(QLatin1String(debuggerTag(type)), message);
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    const QString timestamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    writeLogLine(formatFileLine(type, context, message, timestamp));
    if (debuggerCopies().load())
        writeDebuggerLine(formatDebuggerLine(type, context, message) + QStringLiteral("\r\n"));
}

void setDebuggerCopies(bool enabled) {
    debuggerCopies().store(enabled);
}

void writeLogLine(const QString &line) {
    QMutexLocker locker(&logMutex());
    const QFileInfo info(kLogFilePath);
    if (info.exists() && info.size() > kLogRotateAbove_bytes) {
        replacingRename(generationPath(kLogFilePath, 1), generationPath(kLogFilePath, 2));
        replacingRename(kLogFilePath, generationPath(kLogFilePath, 1));
    }
    QFile file(kLogFilePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QTextStream stream(&file);
    stream << line << "\r\n";
    stream.flush();
    file.close();
}
