// The outcome of one request to a camera: success, or why it failed, in two parts: a sentence
// that says what was not done, and the system's own error behind it (an errno on Linux, an
// HRESULT-style status on Windows), when there was one. The window keeps its own texts for a
// failure; the command line and the log tell the reason.
#pragma once

#include "control/extensionunitchannel.h"

#include <QString>

class ControlResult {
public:
    enum class ErrorKind { None, Errno, Status };

    ControlResult() = default;
    static ControlResult success() { return ControlResult(); }
    // A failure without an error of the system (a refusal, or an answer that says nothing).
    static ControlResult failure(const QString &sentence);
    // A failure of a platform call: its errno when it has one, its status otherwise.
    static ControlResult failure(const QString &sentence, const PlatformFailure &platform);

    bool ok() const { return succeeded; }
    explicit operator bool() const { return succeeded; }
    const QString &sentence() const { return what; }
    ErrorKind errorKind() const { return kind; }
    // The errno or the status; 0 without an error of the system.
    qint64 errorCode() const { return code; }
    // The sentence and the system's error in words: "The camera did not answer: No such device
    // (errno 19)", "... (error 0x80004005)".
    QString describe() const;

private:
    bool succeeded = true;
    QString what;
    ErrorKind kind = ErrorKind::None;
    qint64 code = 0;
};
