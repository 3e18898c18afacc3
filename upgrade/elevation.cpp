#include "upgrade/elevation.h"

#include <QRegularExpression>

#include <atomic>

namespace {
class NoElevation final : public ElevationBackend {
public:
    bool canOpenVolumes() override { return true; }
    ElevationOutcome startElevated(const QStringList &, QString &reason) override {
        reason = QStringLiteral("not needed here");
        return ElevationOutcome::Failed;
    }
};

NoElevation noElevation;
std::atomic<ElevationBackend *> installed{nullptr};

const QString kUpgradeOption = QStringLiteral("--upgrade");
const QString kRecoverOption = QStringLiteral("--recover");
const QString kCameraOption = QStringLiteral("--camera");
} // namespace

ElevationBackend &elevationBackend() {
    ElevationBackend *backend = installed.load();
    return backend ? *backend : noElevation;
}

void installElevationBackend(ElevationBackend *backend) {
    installed.store(backend);
}

QStringList handOverArguments(const HandOver &handOver) {
    switch (handOver.kind) {
    case HandOver::Kind::Upgrade:
        return {kUpgradeOption, handOver.package, kCameraOption, handOver.cameraId};
    case HandOver::Kind::Recover:
        return {kRecoverOption, handOver.package};
    case HandOver::Kind::None:
        break;
    }
    return {};
}

HandOver handOverFromArguments(const QStringList &arguments) {
    HandOver handOver;
    if (arguments.size() == 4 && arguments[0] == kUpgradeOption && arguments[2] == kCameraOption &&
        !arguments[1].isEmpty() && !arguments[3].isEmpty())
        handOver = {HandOver::Kind::Upgrade, arguments[1], arguments[3]};
    else if (arguments.size() == 2 && arguments[0] == kRecoverOption && !arguments[1].isEmpty())
        handOver = {HandOver::Kind::Recover, arguments[1], QString()};
    return handOver;
}

QString windowsCommandLine(const QStringList &arguments) {
    QStringList quoted;
    for (const QString &argument : arguments) {
        if (!argument.isEmpty() &&
            !argument.contains(QRegularExpression(QStringLiteral("[ \t\"]")))) {
            quoted << argument;
            continue;
        }
        // Backslashes count only before a quote: there (and before the closing quote) each one
        // is doubled, and the quote itself is escaped.
        QString text = QStringLiteral("\"");
        int backslashes = 0;
        for (const QChar c : argument) {
            if (c == QLatin1Char('\\')) {
                ++backslashes;
                continue;
            }
            if (c == QLatin1Char('"')) {
                text += QString(backslashes * 2 + 1, QLatin1Char('\\'));
            } else {
                text += QString(backslashes, QLatin1Char('\\'));
            }
            backslashes = 0;
            text += c;
        }
        text += QString(backslashes * 2, QLatin1Char('\\'));
        text += QLatin1Char('"');
        quoted << text;
    }
    return quoted.join(QLatin1Char(' '));
}
