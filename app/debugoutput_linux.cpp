#include "app/debugoutput.h"

#include <QFile>

#include <cstdio>

void writeDebuggerLine(const QString &line) {
    // Standard error stands in for the debugger channel.
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool replacingRename(const QString &from, const QString &to) {
    // rename(2) replaces the target atomically.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}
