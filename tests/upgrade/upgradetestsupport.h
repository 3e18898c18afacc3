// Shared by the worker tests: sample packages, a scaled clock and a worker run wired the way the
// window wires it.
#pragma once

#include "common/clock.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <thread>

// Virtual time that also passes a little in real time (a thousandth of it), so that two threads
// pausing on it take turns roughly as they would on the system clock.
class ScaledClock final : public Clock {
public:
    void sleepFor(Milliseconds duration) override {
        now_ms += duration.count();
        slept_ms += duration.count();
        std::this_thread::sleep_for(std::chrono::microseconds(duration.count()));
    }
    Milliseconds now() const override { return Milliseconds(now_ms.load()); }
    Milliseconds slept() const { return Milliseconds(slept_ms.load()); }

private:
    std::atomic<std::int64_t> now_ms{0};
    std::atomic<std::int64_t> slept_ms{0};
};

// Builds a package with scripts/make-sample-package.sh; returns whether it worked.
inline bool makeSamplePackage(const QString &output, const QString &model, const QString &version,
                              const QStringList &options = {}) {
    QProcess script;
    script.start(QStringLiteral("bash"),
                 QStringList{QStringLiteral(CC_SOURCE_DIR "/scripts/make-sample-package.sh")} +
                     options + QStringList{model, version, output});
    return script.waitForFinished(60000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

#include "sim/simcamera.h"

#include <QtTest>

Q_DECLARE_METATYPE(SimStage)

namespace QTest {
template <>
inline char *toString(const SimStage &stage) {
    static const char *const names[] = {"Camera", "Rom", "Updater", "UBoot", "Off"};
    return qstrdup(names[static_cast<int>(stage)]);
}
} // namespace QTest
