// logind's inhibitor lock: Inhibit() hands over a file descriptor, and the lock lasts until that
// descriptor is closed (also when the process ends).
#include "upgrade/sleepinhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

namespace {
// logind answers at once; a hung bus must not hold the window for long.
constexpr int kInhibitCallTimeout_ms = 2000;

class LogindHold final : public SleepInhibitor::Hold {
public:
    explicit LogindHold(const QDBusUnixFileDescriptor &descriptor)
        : lock(descriptor) {}

private:
    QDBusUnixFileDescriptor lock; // closes its own copy of the descriptor when deleted
};
} // namespace

std::unique_ptr<SleepInhibitor::Hold> takeSleepHold(const QString &why, QString &reason) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        reason = QStringLiteral("no system bus: ") + bus.lastError().message();
        return nullptr;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle:shutdown") << QCoreApplication::applicationName() << why
         << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        bus.call(call, QDBus::Block, kInhibitCallTimeout_ms);
    if (!reply.isValid()) {
        reason = reply.error().message();
        return nullptr;
    }
    if (!reply.value().isValid()) {
        reason = QStringLiteral("logind returned no lock");
        return nullptr;
    }
    return std::make_unique<LogindHold>(reply.value());
}
