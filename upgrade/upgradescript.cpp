#include "upgrade/upgradescript.h"

#include "upgrade/massstorage.h"
#include "upgrade/packagepath.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QtDebug>

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One run of the top-level script with everything its nested scripts share.
struct ScriptRun {
    QString directory;
    int linesLeft = kMaxScriptLines;
};

// The file's path inside the package folder; empty (the line fails) for a name that would
// reach anything else.
QString resolve(const ScriptRun &run, const QByteArray &name) {
    QString reason;
    const QString path = resolveInsideFolder(run.directory, QString::fromLocal8Bit(name), &reason);
    if (path.isEmpty())
        qWarning().noquote() << "script file name refused:" << QString::fromLocal8Bit(name) << "-"
                             << reason;
    return path;
}

// The line without its end: LF, and a CR right before it.
QByteArray withoutLineEnd(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool sendAcknowledgedCommand(const QByteArray &line) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        sendShellCommand(line.constData(), static_cast<std::uint32_t>(line.size()));
        std::uint8_t status[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        readCommandStatus(status, sizeof status, kDefaultStatusAttempts);
        if (isAcknowledged(status))
            return true;
    }
    return false;
}

int runScript(const QString &fileName, ScriptRun &run, int depth) {
    if (depth > kMaxScriptNesting) {
        qWarning().noquote() << "script nesting too deep:" << fileName;
        return -1;
    }
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "cannot open script:" << fileName;
        return -1;
    }
    while (!file.atEnd()) {
        if (--run.linesLeft < 0) {
            qWarning("script run longer than %d lines", kMaxScriptLines);
            return -1;
        }
        const QByteArray raw = file.readLine();
        if (raw.isEmpty() && file.error() != QFileDevice::NoError)
            return -1;
        const QByteArray line = normaliseScriptLine(withoutLineEnd(raw));
        if (line.isEmpty() || line.startsWith('#') || line.startsWith('%'))
            continue;
        const QList<QByteArray> words = line.split(' ');
        const QByteArray &keyword = words.at(0);

        if (keyword == "estar") {
            const QByteArray name = words.value(1);
            qDebug().noquote() << "script:" << QString::fromLocal8Bit(name);
            if (runScript(resolve(run, name), run, depth + 1) != 0)
                return -1;
            continue;
        }

        if (keyword == "tftp") {
            quint32 address = 0;
            if (!parseLoadAddress(words.value(1), address)) {
                qWarning().noquote() << "bad load address:" << QString::fromLatin1(words.value(1));
                return -1;
            }
            const QByteArray name = words.value(2);
            qDebug().noquote() << "load" << QString::fromLocal8Bit(name) << "to"
                               << QStringLiteral("0x%1").arg(address, 8, 16, QLatin1Char('0'));
            const QString path = resolve(run, name);
            bool acknowledged = false;
            if (path.isEmpty() || sendImageFile(path, address, &acknowledged) != 0)
                return -1;
            // The lines that follow write what was loaded into the camera's flash: an image the
            // camera did not take whole must not get there.
            if (!acknowledged)
                return -1;
            continue;
        }

        if (line.size() > kMaxScriptCommandLength) {
            qWarning("boot-loader command too long: %d bytes", line.size());
            return -1;
        }
        qDebug().noquote() << "command:" << QString::fromLatin1(line.left(80));
        if (sendAcknowledgedCommand(line))
            continue;
        // The camera restarts or stores its settings without answering: the script ends here.
        if (line == "reset" || line == "saveenv")
            return 0;
        qWarning().noquote() << "command not acknowledged:" << QString::fromLatin1(line.left(80));
        return -1;
    }
    return 0;
}
} // namespace

QByteArray normaliseScriptLine(const QByteArray &line) {
    QByteArray result;
    result.reserve(line.size());
    bool pendingBlank = false;
    for (const char c : line) {
        if (isBlank(c)) {
            pendingBlank = !result.isEmpty();
            continue;
        }
        if (pendingBlank)
            result.append(' ');
        pendingBlank = false;
        result.append(c);
    }
    return result;
}

bool parseLoadAddress(const QByteArray &word, quint32 &address) {
    int position = 0;
    if (word.size() >= 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
        position = 2;
    quint64 value = 0;
    int digits = 0;
    for (; position < word.size(); ++position) {
        const char c = word[position];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<quint64>(digit);
        if (value > 0xFFFFFFFFull)
            return false;
        ++digits;
    }
    if (digits == 0)
        return false;
    address = static_cast<quint32>(value);
    return true;
}

int runUpgradeScript(const QString &fileName, const QString &directory) {
    ScriptRun run;
    run.directory = directory.isEmpty() ? QDir::currentPath() : directory;
    return runScript(resolve(run, QFile::encodeName(fileName)), run, 0);
}
