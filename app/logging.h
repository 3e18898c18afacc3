// The process-wide message handler: every message goes to a rotating log file under the user's
// home folder and to the debugger output.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// "~/.cameracontrol/cameracontrol.log" until start-up resolves it.
extern QString kLogFilePath;
// A log file strictly larger than this is rotated before the next line.
constexpr qint64 kLogRotateAbove_bytes = 5242880;

// Expands "~/", turns backslashes into slashes and, for a file, creates its folder and the file
// (with `initialContent`) when missing.
QString resolveUserPath(QString path, bool isFolder, const QByteArray &initialContent);
// Resolves kLogFilePath and creates the log file.
void setUpLogFile();
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
// Whether the handler also copies each message to the debugger output (on by default). A console
// program whose standard error stands in for that output keeps it for its own words.
void setDebuggerCopies(bool enabled);
// Appends one formatted line to the log file, rotating it first when it is too large.
void writeLogLine(const QString &line);

// The two lines the handler makes of one message (exposed for tests).
QString formatFileLine(QtMsgType type, const QMessageLogContext &context, const QString &message,
                       const QString &timestamp);
QString formatDebuggerLine(QtMsgType type, const QMessageLogContext &context,
                           const QString &message);
