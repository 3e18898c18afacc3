// Collects what the process writes to standard output (file descriptor 1) while it lives.
#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

class StdoutCapture {
public:
    StdoutCapture() {
        file.open();
        std::fflush(stdout);
        saved = ::dup(1);
        ::dup2(file.handle(), 1);
    }
    ~StdoutCapture() { finish(); }
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    // Restores standard output and returns what was written meanwhile.
    QString finish() {
        if (saved >= 0) {
            std::fflush(stdout);
            ::dup2(saved, 1);
            ::close(saved);
            saved = -1;
            QFile reader(file.fileName());
            if (reader.open(QIODevice::ReadOnly))
                text = withoutTestLog(QString::fromUtf8(reader.readAll()));
        }
        return text;
    }

private:
    // The test framework writes logged messages to standard output as well; they are not what
    // the code under test printed.
    static QString withoutTestLog(const QString &output) {
        static const QRegularExpression testLine(
            QStringLiteral("^Q(DEBUG|INFO|WARN|SYSTEM|CRITICAL|FATAL) *: [^\\n]*\\n"),
            QRegularExpression::MultilineOption);
        QString cleaned = output;
        cleaned.remove(testLine);
        return cleaned;
    }

    QTemporaryFile file;
    int saved = -1;
    QString text;
};
