// The firmware upgrade as the window runs it over the simulated camera: the refusals before
// anything reaches the camera (hostile packages among them), a whole upgrade from the Support page
// with the watcher at rest, the progress and the final report, closing while a package is
// unpacked, and the offer to upgrade a camera found stuck in an updater stage.
#include "upgrade/elevation.h"
#include "upgrade/massstorage.h"
#include "upgrade/zip7z.h"
#include "windowfixture.h"

#include <QDirIterator>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtEndian>

#include <archive.h>
#include <archive_entry.h>

namespace {
// Every file of a package built here holds a script line and the model's name.
const QByteArray kContent = "saveenv\n# QX-M30-000\n";

// Rewrites the central directory record of entry `index`: its Unix mode, or the size it declares
// (in its local header too). -1 leaves a field as it is.
void patchZip(const QString &path, int index, int mode, qint64 declared_bytes) {
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    QByteArray zip = file.readAll();
    auto u16 = [&](int at) { return int(qFromLittleEndian<quint16>(zip.constData() + at)); };
    auto u32 = [&](int at) { return int(qFromLittleEndian<quint32>(zip.constData() + at)); };
    int at = u32(zip.lastIndexOf("PK\x05\x06") + 16);
    for (int i = 0; i < index; ++i)
        at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
    if (mode >= 0)
        qToLittleEndian(quint16(mode), zip.data() + at + 40);
    if (declared_bytes >= 0) {
        qToLittleEndian(quint32(declared_bytes), zip.data() + at + 24);
        qToLittleEndian(quint32(declared_bytes), zip.data() + u32(at + 42) + 22);
    }
    file.seek(0);
    file.write(zip);
}

// A package of the QX camera with the hostile part of `kind`, written with libarchive.
QString hostileZip(const QString &folder, const QString &kind) {
    const QString path = folder + "/" + kind + ".zip";
    const QByteArray outside = QFile::encodeName(folder + "/outside");
    archive *zip = archive_write_new();
    archive_write_set_format_zip(zip);
    archive_write_open_filename(zip, QFile::encodeName(path).constData());
    auto add = [zip](const QByteArray &name, unsigned type, const QByteArray &link, qint64 size) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.constData());
        archive_entry_set_filetype(entry, type);
        archive_entry_set_perm(entry, 0644);
        if (!link.isEmpty())
            archive_entry_set_symlink(entry, link.constData());
        archive_entry_set_size(entry, size);
        archive_write_header(zip, entry);
        const QByteArray data = size <= kContent.size() ? kContent : QByteArray(1 << 20, '\0');
        for (qint64 left = size; left > 0; left -= data.size())
            archive_write_data(zip, data.constData(), size_t(qMin<qint64>(left, data.size())));
        archive_entry_free(entry);
    };
    if (kind == "link through") // boot/ipl.bin would be written through it
        add("boot", AE_IFLNK, outside, 0);
    for (const char *name : {"auto_update.txt", "boot/ipl.bin", "scripts/boot.es", "cis.bin",
                             "kernel/uImage", "model.dat"})
        if (qstrcmp(name, "kernel/uImage") != 0 || (kind != "link" && kind != "missing entry"))
            add(name, AE_IFREG, {}, kContent.size());
    const QMap<QString, QByteArray> extra = {{"slip", "../escaped.txt"},
                                             {"absolute", outside + "/absolute.txt"},
                                             {"backslash", "boot/..\\..\\..\\escaped.txt"}};
    if (extra.contains(kind))
        add(extra[kind], AE_IFREG, {}, kContent.size());
    if (kind == "link")
        add("kernel", AE_IFLNK, outside, 0);
    for (int i = 0; kind == "too many entries" && i < Zip7z::kMaxEntries; ++i)
        add("boot/" + QByteArray::number(i), AE_IFREG, {}, 1);
    if (kind == "deflate bomb") // its header will claim a small file
        add("rootfs.img", AE_IFREG, {}, Zip7z::kMaxEntrySize_bytes + (1 << 20));
    archive_write_close(zip);
    archive_write_free(zip);
    if (kind == "device" || kind == "FIFO")
        patchZip(path, 3, kind == "device" ? 020644 : 010644, -1);
    else if (kind == "over-size entry" || kind == "deflate bomb")
        patchZip(path, kind == "deflate bomb" ? 6 : 4, -1,
                 kind == "deflate bomb" ? 1000 : Zip7z::kMaxEntrySize_bytes + 1);
    else if (kind == "truncated zip")
        QFile::resize(path, QFileInfo(path).size() / 2);
    return path;
}

// Every entry below `directory`, but those below `skip`, with its content.
QMap<QString, QByteArray> snapshot(const QString &directory, const QString &skip = "-") {
    QMap<QString, QByteArray> found;
    QDirIterator it(directory,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.startsWith(skip))
            found[path] = QFileInfo(path).isFile() ? readFile(path) : "";
    }
    return found;
}

// Counts the searches one thread makes (each lists the candidates first).
struct SearchCounter final : ScsiBackend {
    explicit SearchCounter(ScsiBackend &wrapped)
        : inner(wrapped) {}
    std::vector<std::string> candidates() override {
        searches += QThread::currentThread() == thread.load() ? 1 : 0;
        return inner.candidates();
    }
    std::unique_ptr<ScsiDevice> open(const std::string &name) override { return inner.open(name); }
    std::atomic<QThread *> thread{nullptr};
    std::atomic<int> searches{0};
    ScsiBackend &inner;
};

// A process without the rights to open the camera's disk, whose elevated start ends as told.
struct WithoutRights final : ElevationBackend {
    ElevationOutcome outcome = ElevationOutcome::Started;
    QStringList arguments;
    bool canOpenVolumes() override { return false; }
    ElevationOutcome startElevated(const QStringList &handed, QString &reason) override {
        arguments = handed;
        reason = "error 2";
        return outcome;
    }
};

// A row of refusals: the package, the dialogs seen and the reason the unpacking gives, if any.
void refusalRow(const char *name, const QString &package, const QString &seen = "",
                const QString &reason = "") {
    QTest::newRow(name) << package << seen << reason;
}
} // namespace

Q_DECLARE_METATYPE(ElevationOutcome)

class TestUpgradeFlow : public QObject {
    Q_OBJECT

    QTemporaryDir packages;
    std::unique_ptr<WindowFixture> f;
    std::unique_ptr<QTemporaryDir> root; // the package folder and what lies beside it
    QString folder() const { return root->filePath("firmware"); }

    QString package(const QString &model) {
        const QString zip = packages.filePath(model + ".zip");
        if (!QFile::exists(zip))
            QProcess::execute(
                "bash", {CC_SOURCE_DIR "/scripts/make-sample-package.sh", model, "1.2.30", zip});
        return zip;
    }
    void openWith(const QString &chosen) {
        f->camera->restartDelay = Milliseconds(200);
        f->camera->updaterAppearDelay = Milliseconds(200);
        f->open();
        f->access().setPackageChooser(chosen);
        f->access().setPackageDirectory(folder());
    }
    QString bar() {
        auto *progress = f->child<QProgressBar>("progressBarUpdate");
        return QString("%1%2").arg(progress->value()).arg(progress->isHidden() ? "" : " shown");
    }
    bool idle() {
        return !f->access().upgrading() && f->child("btnUpgrade")->isEnabled() && bar() == "0";
    }

private slots:
    void init() {
        f = std::make_unique<WindowFixture>();
        root = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        f->window.reset();      // no watcher or worker searches any more
        releaseUpdaterDevice(); // before the bus that made the handle goes
        f.reset();
    }

    void refusals_data() {
        // package: a sample of that model, "-" none chosen, or "zip:" a hostile one of that kind;
        // the reason the unpacking gives in the log (nothing: not refused while unpacking)
        addColumns<QString, QString, QString>({"package", "seen", "reason"});
        const QString unable = "FormCustomizeMessagebox: Unable to upgrade now.\n";
        const QString format = unable + "The format of firmware file is not correct.";
        const QString ready = "FormUpgrade: Get Ready to Update";
        refusalRow("choice cancelled", "-");
        refusalRow("another model", "ZENTA 320",
                   unable + "The firmware version does not match with this model.");
        refusalRow("unknown model", "ACME 9", unable + "The firmware file is corrupted.");
        refusalRow("confirmation rejected", "QX-M30-000", ready);
        const std::pair<const char *, const char *> hostile[] = {
            {"slip", "../escaped.txt: \"..\" in the name"},
            {"absolute",
             "absolute name|drive letter"}, // a Windows name is absolute through its drive
            {"backslash", "backslash in the name|\"..\" in the name"}, // a separator on Windows
            {"link", "kernel: a link"},
            {"link through", "boot: a link"},
            {"device", "cis.bin: a device, FIFO or socket"},
            {"over-size entry", "kernel/uImage: larger than 134217728 bytes"},
            {"too many entries", "more than 4096 entries"},
            {"deflate bomb", "rootfs.img: holds more than 134217728 bytes"},
            {"missing entry", ""},
            {"truncated zip", "Truncated ZIP"}};
        for (const auto &[kind, reason] : hostile)
            refusalRow(kind, QString("zip:") + kind, format, reason);
        // libarchive reads a FIFO's mode in a zip as a plain file, which it is here.
        refusalRow("FIFO", "zip:FIFO", ready);
    }
    void refusals() {
        QFETCH(QString, package);
        QFETCH(QString, seen);
        QFETCH(QString, reason);
        const QString zip = package.startsWith("zip:") ? hostileZip(root->path(), package.mid(4))
                                                       : this->package(package);
        const auto outside = snapshot(root->path(), folder());
        openWith(package == "-" ? QString() : zip);
        f->dialogs.answers = QStringList{"cancel"};
        f->camera->clearLogs();
        MessageCapture log;
        f->child<QPushButton>("btnUpgrade")->click();
        QCOMPARE(f->dialogs.seen.join("").remove(" [masked]"), seen);
        QCOMPARE(log.contains("package not unpacked:"), !reason.isEmpty());
        QVERIFY2(!log.messages().filter(QRegularExpression(reason)).isEmpty(),
                 qPrintable(log.messages().join('\n')));
        QVERIFY(idle());
        QVERIFY(f->camera->xuLog().empty() && f->camera->scsiLog().empty());
        QCOMPARE(snapshot(root->path(), folder()), outside); // nothing changed outside the folder
        const auto inside = snapshot(folder());
        for (const QString &path : inside.keys()) // plain files only; none after a refusal
            QVERIFY2(QFileInfo(path).isFile() || QFileInfo(path).isDir(), qPrintable(path));
        QCOMPARE(inside.isEmpty(), !reason.isEmpty() || package == "-");
    }

    void closingCancelsTheUnpacking() {
        openWith(hostileZip(root->path(), "deflate bomb"));
        // The close comes in the first round of the event loop that runs while unpacking.
        f->access().setPackageChooser([this] {
            QTimer::singleShot(0, f->window.get(), [this] { f->window->close(); });
            return root->filePath("deflate bomb.zip");
        });
        MessageCapture log;
        f->window->show();
        f->child<QPushButton>("btnUpgrade")->click();
        QVERIFY(!f->window->isVisible());
        QVERIFY(log.contains("package unpacking cancelled"));
        QVERIFY(snapshot(folder()).isEmpty());
    }

    void upgradeFromTheSupportPage() {
        SearchCounter counter(f->bus);
        installScsiBackend(&counter);
        MessageCapture messages;
        openWith(package("QX-M30-000"));
        counter.thread = f->access().watcherThread();
        QTRY_VERIFY(counter.searches > 0); // the watcher searches while the window is idle
        int atStart = -1;
        f->access().setPackageChooser([&] {
            atStart = counter.searches;
            return package("QX-M30-000");
        });
        f->child<QPushButton>("btnUpgrade")->click();
        QCOMPARE(f->dialogs.seen.value(0), QString("FormUpgrade: Get Ready to Update [masked]"));
        QVERIFY(f->access().upgrading());
        QCOMPARE(bar(), QString("0 shown"));
        QVERIFY(!f->child("btnUpgrade")->isEnabled());
        int atReport = -2;
        f->dialogs.beforeAnswer = [&] { atReport = counter.searches; };
        QTRY_VERIFY_WITH_TIMEOUT(f->dialogs.seen.size() == 2, 30000);
        QCOMPARE(f->dialogs.seen.at(1),
                 QString("FormCustomizeMessagebox: Firmware upgrade is successful! [masked]"));
        QCOMPARE(atReport, atStart); // the watcher rested from the choice to the report
        QTRY_VERIFY(counter.searches > atReport); // and searches again
        QTRY_VERIFY(idle());
        QTRY_COMPARE(f->child<QLabel>("labelDevVer")->text(),
                     QString("V1.2.30")); // back as a camera
        installScsiBackend(&f->bus);
        QVERIFY(messages.contains("firmware version before the upgrade: 1.0.0 after: 1.2.30"));
    }

    void progressAndReports() {
        openWith(QString());
        QList<int> steps;
        int last = 0;
        for (int tick = 0; tick < 60; ++tick) {
            f->window->slotOnUpdateDummyTimeout();
            const int now = f->child<QProgressBar>("progressBarUpdate")->value();
            if (now < 99)
                steps << now - last;
            last = now;
        }
        QCOMPARE(last, 99); // 100 only once the upgrade has succeeded
        QVERIFY(steps.size() >= 24);
        for (int step : steps)
            QVERIFY2(step >= 2 && step <= 4, qPrintable(QString::number(step)));
        f->access().setUpgrading(true, true);
        f->window->slotOnUpgradeReport(true, 50, "half-way"); // not a final report
        QVERIFY(f->dialogs.seen.isEmpty() && f->access().upgrading());
        f->window->slotOnUpgradeReport(false, 0, "Upgrade failed.");
        f->window->slotOnUpgradeReport(true, 100, "late"); // one final report per upgrade
        QCOMPARE(f->dialogs.seen,
                 QStringList{"FormCustomizeMessagebox: Firmware upgrade failed!\nplease "
                             "try to unplug and plug the USB cable for upgrade again. [masked]"});
        QVERIFY(idle());
    }

    // Without the rights to open the camera's disk, the confirmed upgrade goes to an elevated
    // instance with the package and the camera, and this window closes; a declined or failed
    // elevation is told and nothing reaches the camera. The elevated instance carries on.
    void handOverWithoutRights_data() {
        addColumns<ElevationOutcome, QString>({"outcome", "seen"});
        const QString needs = "FormCustomizeMessagebox: The upgrade needs administrator rights, ";
        QTest::newRow("started") << ElevationOutcome::Started << "";
        QTest::newRow("declined") << ElevationOutcome::Declined
                                  << needs + "and they were not given. Nothing was changed on "
                                             "the camera.";
        QTest::newRow("failed") << ElevationOutcome::Failed
                                << needs + "and the program could not be started with them "
                                           "(error 2).";
    }
    void handOverWithoutRights() {
        QFETCH(ElevationOutcome, outcome);
        QFETCH(QString, seen);
        WithoutRights rights;
        rights.outcome = outcome;
        installElevationBackend(&rights);
        openWith(package("QX-M30-000"));
        f->window->show();
        f->camera->clearLogs();
        f->child<QPushButton>("btnUpgrade")->click();
        installElevationBackend(nullptr);
        QCOMPARE(rights.arguments, QStringList({"--upgrade", package("QX-M30-000"), "--camera",
                                                f->access().currentDeviceId()}));
        QCOMPARE(f->dialogs.seen.mid(1).join("").remove(" [masked]"), seen);
        QCOMPARE(f->window->isVisible(), outcome != ElevationOutcome::Started);
        QVERIFY(!f->access().upgrading() && f->camera->xuLog().empty());
        f->dialogs.seen.clear();
        f->window->carryOnHandOver(handOverFromArguments(rights.arguments));
        QTRY_VERIFY_WITH_TIMEOUT(f->dialogs.seen.join("").contains("successful"), 30000);
        QCOMPARE(f->dialogs.seen.size(), 1); // the result only: nothing asked again
    }

    // Each argument handed over as Windows programs split their command line.
    void handOverArguments_data() {
        addColumns<QStringList, QString>({"arguments", "commandLine"});
        QTest::newRow("plain") << QStringList{"--recover", "C:\\fw.zip"} << "--recover C:\\fw.zip";
        QTest::newRow("blanks and a trailing backslash")
            << QStringList{"C:\\My Files\\", "id"} << "\"C:\\My Files\\\\\" id";
        QTest::newRow("quotes and empty") << QStringList{"a\\\"b", ""} << "\"a\\\\\\\"b\" \"\"";
    }
    void handOverArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, commandLine);
        QCOMPARE(windowsCommandLine(arguments), commandLine);
    }

    void stuckCameraIsOffered() {
        f->camera->setStage(SimStage::UBoot);
        openWith(package("ACME 9")); // a stuck camera cannot say its model: any package will do
        f->dialogs.answers = QStringList{"upgrade", "cancel"};
        QTRY_VERIFY(f->dialogs.seen.size() >= 2); // found by the watcher
        QCOMPARE(f->dialogs.seen.mid(0, 2).join(", "),
                 QString("FormAbnormal [masked], FormUpgrade: Get Ready to Update [masked]"));
        QVERIFY(f->camera->scsiLog().size() < 30); // the searches' INQUIRY only
        f->access().setUpgrading(true);
        f->window->slotOnDeviceAbnormal(2); // while an upgrade runs: no offer
        QCOMPARE(f->dialogs.seen.size(), 2);
        f->access().setUpgrading(false);
        f->access().setPackageChooser(package("QX-M30-000"));
        f->dialogs.answers = QStringList{"upgrade", "ok"};
        f->window->slotOnDeviceAbnormal(2);
        QTRY_VERIFY_WITH_TIMEOUT(f->dialogs.seen.last().contains("successful"), 30000);
        QTRY_COMPARE(f->camera->stage(), SimStage::Camera);
        QCOMPARE(f->camera->version().patch, std::uint16_t(30));
    }
};

QTEST_MAIN(TestUpgradeFlow)
#include "tst_upgradeflow.moc"
