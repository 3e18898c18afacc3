// Shared by the upgrade window tests: a clock that runs fast or at real speed, a tap on the SCSI
// back end that can hold the upgrade worker and watch the boot-loader commands, a driver for the
// modal dialogs, a counter of the dialogs shown, and access to the window's upgrade state.
#pragma once

#include "common/clock.h"
#include "ui/formcustomizemessagebox.h"
#include "ui/mainwindow.h"
#include "upgrade/scsichannel.h"
#include "upgrade/upgradetestsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Fast: every pause adds its time at once and lasts a thousandth of it in real time, so the
// watcher and the worker take turns roughly as on the system clock. Real: time passes as on the
// system clock, on from where it stood; needed while a preview worker runs, because the simulated
// camera paces its frames by this clock. A real-time pause ends at once when the clock is switched
// to fast time (with the time it had left added) or uninstalled.
class TwoSpeedClock final : public Clock {
public:
    void setRealTime(bool on) {
        std::lock_guard<std::mutex> guard(mutex);
        if (on == real)
            return;
        if (on)
            realStart = std::chrono::steady_clock::now();
        else
            base_ms += realElapsed();
        real = on;
    }

    void advance(Milliseconds duration) {
        std::lock_guard<std::mutex> guard(mutex);
        base_ms += duration.count();
    }

    Milliseconds now() const override {
        std::lock_guard<std::mutex> guard(mutex);
        return Milliseconds(base_ms + (real ? realElapsed() : 0));
    }

    void sleepFor(Milliseconds duration) override {
        if (duration.count() <= 0)
            return;
        std::int64_t until = 0;
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (!real) {
                base_ms += duration.count();
                until = -1;
            } else {
                until = base_ms + realElapsed() + duration.count();
            }
        }
        if (until < 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(duration.count()));
            return;
        }
        for (;;) {
            if (&activeClock() != this)
                return;
            std::int64_t left = 0;
            {
                std::lock_guard<std::mutex> guard(mutex);
                if (!real) {
                    base_ms = std::max(base_ms, until);
                    return;
                }
                left = until - (base_ms + realElapsed());
            }
            if (left <= 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::int64_t>(left, 2)));
        }
    }

private:
    std::int64_t realElapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - realStart)
            .count();
    }

    mutable std::mutex mutex;
    bool real = false;
    std::int64_t base_ms = 0;
    std::chrono::steady_clock::time_point realStart;
};

// Passes every SCSI request on to the wrapped back end. While its gate is closed, vendor requests
// (the upgrade's transfers and commands; not the searches' INQUIRY) wait in front of it. Each
// boot-loader command line is shown to `onShellLine` on the requesting thread before it is passed
// on.
class ScsiTap final : public ScsiBackend {
public:
    explicit ScsiTap(ScsiBackend &wrapped)
        : inner(wrapped) {}

    std::function<void(const std::string &line)> onShellLine;

    void closeGate() {
        std::lock_guard<std::mutex> guard(mutex);
        gateClosed = true;
    }
    void openGate() {
        {
            std::lock_guard<std::mutex> guard(mutex);
            gateClosed = false;
        }
        changed.notify_all();
    }
    bool waitingAtGate() const {
        std::lock_guard<std::mutex> guard(mutex);
        return waiting > 0;
    }
    int vendorRequests() const { return vendorCount.load(); }

    std::vector<std::string> candidates() override { return inner.candidates(); }
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override {
        std::unique_ptr<ScsiDevice> device = inner.open(candidate);
        if (!device)
            return nullptr;
        return std::make_unique<Device>(*this, std::move(device));
    }

private:
    class Device final : public ScsiDevice {
    public:
        Device(ScsiTap &owner, std::unique_ptr<ScsiDevice> device)
            : tap(owner)
            , wrapped(std::move(device)) {}
        bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                     std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
            if (cdb && cdbLength > 1 && cdb[0] == 0xE8) {
                tap.passGate();
                ++tap.vendorCount;
                if (cdb[1] == 6 && direction == ScsiDirection::ToDevice && data && tap.onShellLine)
                    tap.onShellLine(std::string(reinterpret_cast<const char *>(data), length));
            }
            return wrapped->execute(cdb, cdbLength, direction, data, length, timeout_s);
        }

    private:
        ScsiTap &tap;
        std::unique_ptr<ScsiDevice> wrapped;
    };

    void passGate() {
        std::unique_lock<std::mutex> lock(mutex);
        ++waiting;
        changed.wait(lock, [this] { return !gateClosed; });
        --waiting;
    }

    ScsiBackend &inner;
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool gateClosed = false;
    int waiting = 0;
    std::atomic<int> vendorCount{0};
};

// Counts the windows shown, by object name.
class ShowCounter : public QObject {
public:
    ShowCounter() { qApp->installEventFilter(this); }
    ~ShowCounter() override { qApp->removeEventFilter(this); }
    int shown(const QString &name) const { return counts.value(name); }
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->isWindow())
            ++counts[watched->objectName()];
        return false;
    }

private:
    QHash<QString, int> counts;
};

// The visible top-level window with this object name, or null.
inline QWidget *visibleWindow(const QString &name) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && window->objectName() == name)
            return window;
    }
    return nullptr;
}

inline int visibleWindows(const QString &name) {
    int count = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        count += window->isVisible() && window->objectName() == name ? 1 : 0;
    return count;
}

inline void clickButton(QWidget *dialog, const char *name) {
    auto *button = dialog->findChild<QPushButton *>(QString::fromLatin1(name));
    if (button)
        button->click();
}

inline QString promptText(QWidget *dialog) {
    auto *text = dialog->findChild<QTextEdit *>(QStringLiteral("textEditPrompt"));
    return text ? text->toPlainText() : QString();
}

// Works through modal dialogs from inside their event loops: each step waits until a window of
// its name is visible (and its condition holds), then acts on it. Polls from single-shot timers,
// so it runs in whatever event loop is current.
class DialogDriver {
public:
    using Action = std::function<void(QWidget &dialog)>;
    using Condition = std::function<bool()>;

    DialogDriver()
        : state(std::make_shared<State>()) {}
    ~DialogDriver() { state->stopped = true; }
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    DialogDriver &then(const QString &name, Action action, Condition condition = nullptr) {
        state->steps.push_back({name, std::move(action), std::move(condition)});
        return *this;
    }
    void start() { schedule(state, 0); }
    // Steps that have acted so far.
    int done() const { return state->next; }
    bool finished() const { return state->next == static_cast<int>(state->steps.size()); }

private:
    struct Step {
        QString name;
        Action action;
        Condition condition;
    };
    struct State {
        std::vector<Step> steps;
        int next = 0;
        bool stopped = false;
    };

    static void schedule(const std::shared_ptr<State> &shared, int delay_ms) {
        std::weak_ptr<State> weak = shared;
        QTimer::singleShot(delay_ms, qApp, [weak] { poll(weak); });
    }

    static void poll(const std::weak_ptr<State> &weak) {
        std::shared_ptr<State> shared = weak.lock();
        if (!shared || shared->stopped || shared->next >= static_cast<int>(shared->steps.size()))
            return;
        // Polling goes on while the action runs: an action may open the next dialog itself.
        schedule(shared, 2);
        Step &step = shared->steps[static_cast<std::size_t>(shared->next)];
        QWidget *dialog = visibleWindow(step.name);
        if (dialog && (!step.condition || step.condition())) {
            ++shared->next;
            step.action(*dialog);
        }
    }

    std::shared_ptr<State> state;
};

// Acts on every window of the name that shows while it lives (and its condition holds): for the
// offers that keep coming while a camera stays stuck.
class DialogSweeper {
public:
    DialogSweeper(const QString &name, DialogDriver::Action action,
                  DialogDriver::Condition condition = nullptr)
        : state(std::make_shared<State>()) {
        state->name = name;
        state->action = std::move(action);
        state->condition = std::move(condition);
        schedule(state);
    }
    ~DialogSweeper() { state->stopped = true; }
    DialogSweeper(const DialogSweeper &) = delete;
    DialogSweeper &operator=(const DialogSweeper &) = delete;
    int acted() const { return state->acted; }

private:
    struct State {
        QString name;
        DialogDriver::Action action;
        DialogDriver::Condition condition;
        int acted = 0;
        bool stopped = false;
    };

    static void schedule(const std::shared_ptr<State> &shared) {
        std::weak_ptr<State> weak = shared;
        QTimer::singleShot(2, qApp, [weak] {
            std::shared_ptr<State> locked = weak.lock();
            if (!locked || locked->stopped)
                return;
            schedule(locked);
            QWidget *dialog = visibleWindow(locked->name);
            if (dialog && (!locked->condition || locked->condition())) {
                ++locked->acted;
                locked->action(*dialog);
            }
        });
    }

    std::shared_ptr<State> state;
};

// The window's upgrade state and the seams the tests replace.
class MainWindowUpgradeAccess {
public:
    explicit MainWindowUpgradeAccess(MainWindow &window)
        : w(window) {}

    bool upgrading() const { return w.upgrading; }
    bool abnormalPromptOpen() const { return w.abnormalPromptOpen; }
    bool controlsReady() const { return w.controlsReady; }
    int modelIndex() const { return w.modelIndex; }
    int dummyProgress() const { return w.dummyProgress; }
    QTimer *dummyProgressTimer() const { return w.dummyProgressTimer; }
    bool upgradeThreadExists() const { return !w.upgradeThread.isNull(); }
    QThread *watcherThread() const { return w.abnormalThread; }
    bool previewWorkerRunning() const { return w.videoWorker && w.videoThread; }

    void setPackageChooser(std::function<QString(QWidget *)> chooser) {
        w.choosePackageFile = std::move(chooser);
    }
    void setPackageDirectory(const QString &directory) { w.packageDir = directory; }
    void startUpgrade() { w.startUpgrade(); }

private:
    MainWindow &w;
};

// Packages for the upgrade tests, built once with the sample package script and bsdtar.
struct TestPackages {
    QTemporaryDir directory;
    QString qx;           // "QX-M30-000", version 2.0.0
    QString zenta320;     // "ZENTA 320", version 2.0.0
    QString unknownModel; // laid out as a package; its model file names no model
    QString notAZip;      // a text file with the .zip ending
    QString noKernel;     // a zip without "kernel"

    bool build() {
        if (!directory.isValid())
            return false;
        qx = directory.filePath(QStringLiteral("qx.zip"));
        zenta320 = directory.filePath(QStringLiteral("zenta320.zip"));
        unknownModel = directory.filePath(QStringLiteral("unknown.zip"));
        notAZip = directory.filePath(QStringLiteral("text.zip"));
        noKernel = directory.filePath(QStringLiteral("nokernel.zip"));
        if (!makeSamplePackage(qx, QStringLiteral("QX-M30-000"), QStringLiteral("2.0.0")) ||
            !makeSamplePackage(zenta320, QStringLiteral("ZENTA 320"), QStringLiteral("2.0.0")) ||
            !makeSamplePackage(unknownModel, QStringLiteral("ORBIT 900"), QStringLiteral("2.0.0")))
            return false;
        QFile text(notAZip);
        if (!text.open(QIODevice::WriteOnly) || text.write("not an archive\n") <= 0)
            return false;
        text.close();

        const QString stage = directory.filePath(QStringLiteral("nokernel"));
        QDir().mkpath(stage + QStringLiteral("/boot"));
        QDir().mkpath(stage + QStringLiteral("/scripts"));
        for (const char *name : {"auto_update.txt", "boot/ipl.bin", "scripts/boot.es"}) {
            QFile file(stage + QLatin1Char('/') + QString::fromLatin1(name));
            if (!file.open(QIODevice::WriteOnly) || file.write("reset\n") <= 0)
                return false;
        }
        QFile model(stage + QStringLiteral("/model.dat"));
        if (!model.open(QIODevice::WriteOnly) || model.write("QX-M30-000") <= 0)
            return false;
        model.close();
        QProcess zip;
        zip.setWorkingDirectory(stage);
        zip.start(QStringLiteral("bsdtar"),
                  {QStringLiteral("--format"), QStringLiteral("zip"), QStringLiteral("-cf"),
                   noKernel, QStringLiteral("auto_update.txt"), QStringLiteral("boot"),
                   QStringLiteral("scripts"), QStringLiteral("model.dat")});
        return zip.waitForFinished(60000) && zip.exitStatus() == QProcess::NormalExit &&
               zip.exitCode() == 0;
    }
};

// Collects the messages logged while it lives, with their levels, from every thread.
class LogCapture {
public:
    LogCapture() {
        std::lock_guard<std::mutex> guard(mutex());
        entries().clear();
        previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Messages of the level that contain the text.
    int count(QtMsgType type, const QString &text) const {
        std::lock_guard<std::mutex> guard(mutex());
        return static_cast<int>(std::count_if(
            entries().begin(), entries().end(), [&](const std::pair<QtMsgType, QString> &entry) {
                return entry.first == type && entry.second.contains(text);
            }));
    }
    bool contains(QtMsgType type, const QString &text) const { return count(type, text) > 0; }

private:
    static std::mutex &mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::pair<QtMsgType, QString>> &entries() {
        static std::vector<std::pair<QtMsgType, QString>> list;
        return list;
    }
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message) {
        std::lock_guard<std::mutex> guard(mutex());
        entries().emplace_back(type, message);
    }

    QtMessageHandler previous = nullptr;
};
