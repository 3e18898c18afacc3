#include "control/controlresult.h"

#include <cstring>

ControlResult ControlResult::failure(const QString &sentence) {
    ControlResult result;
    result.succeeded = false;
    result.what = sentence;
    return result;
}

ControlResult ControlResult::failure(const QString &sentence, const PlatformFailure &platform) {
    ControlResult result = failure(sentence);
    if (platform.errorNumber != 0) {
        result.kind = ErrorKind::Errno;
        result.code = platform.errorNumber;
    } else if (platform.status != kStatusOk) {
        result.kind = ErrorKind::Status;
        result.code = static_cast<std::uint32_t>(platform.status);
    }
    return result;
}

QString ControlResult::describe() const {
    switch (kind) {
    case ErrorKind::Errno:
        return QStringLiteral("%1: %2 (errno %3)")
            .arg(what, QString::fromLocal8Bit(std::strerror(static_cast<int>(code))))
            .arg(code);
    case ErrorKind::Status:
        return QStringLiteral("%1 (error 0x%2)").arg(what).arg(code, 8, 16, QLatin1Char('0'));
    case ErrorKind::None:
        break;
    }
    return what;
}
