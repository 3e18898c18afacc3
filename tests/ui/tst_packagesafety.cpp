// Hostile firmware packages through the window and the real unpacking: what is refused, that
// nothing outside the package folder changes and nothing reaches the camera; closing the window
// while a package is unpacked; the private package folder; and the watcher's rest during an
// upgrade.
#include "upgradeflowsupport.h"

#include "sim/simulatedbus.h"
#include "upgrade/massstorage.h"
#include "upgrade/packagefiles.h"
#include "upgrade/zip7z.h"

#include <QDirIterator>
#include <QLabel>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

namespace {
const char kBadLayout[] =
    "<h3>Unable to upgrade now.</h3>\r\nThe format of firmware file is not correct.";

struct ZipEntry {
    ZipEntry(QByteArray entryName, QByteArray content = {}, qint64 zeros = 0,
             int entryType = AE_IFREG, QByteArray target = {})
        : name(std::move(entryName))
        , data(std::move(content))
        , zeros_bytes(zeros)
        , type(entryType)
        , link(std::move(target)) {}
    QByteArray name;
    QByteArray data;
    qint64 zeros_bytes; // appended to the data
    int type;
    QByteArray link;
};

std::vector<ZipEntry> goodEntries(const QByteArray &script = "reset\n") {
    return {{"auto_update.txt", script},      {"boot/ipl.bin", "ipl"},
            {"scripts/boot.es", "saveenv\n"}, {"cis.bin", "cis"},
            {"kernel/uImage", "FWVER=2.0.0"}, {"model.dat", "QX-M30-000"}};
}

bool writeZip(const QString &path, const std::vector<ZipEntry> &entries) {
    archive *zip = archive_write_new();
    archive_write_set_format_zip(zip);
    bool ok = archive_write_open_filename(zip, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    const QByteArray zeros(1 << 20, '\0');
    for (const ZipEntry &each : entries) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, each.name.constData());
        archive_entry_set_filetype(entry, static_cast<unsigned>(each.type));
        archive_entry_set_perm(entry, 0644);
        if (!each.link.isEmpty())
            archive_entry_set_symlink(entry, each.link.constData());
        archive_entry_set_size(entry, each.data.size() + each.zeros_bytes);
        ok = ok && archive_write_header(zip, entry) == ARCHIVE_OK;
        archive_write_data(zip, each.data.constData(), static_cast<size_t>(each.data.size()));
        for (qint64 left = each.zeros_bytes; left > 0; left -= zeros.size())
            archive_write_data(zip, zeros.constData(),
                               static_cast<size_t>(qMin<qint64>(left, zeros.size())));
        archive_entry_free(entry);
    }
    ok = archive_write_close(zip) == ARCHIVE_OK && ok;
    archive_write_free(zip);
    return ok;
}

// Rewrites the central directory record of entry `index`: its Unix mode bits, or its declared
// size (also in its local header). -1 leaves a field as it is.
void patchZip(const QString &path, int index, int mode, qint64 declared_bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
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
    QVERIFY(file.seek(0) && file.write(zip) == zip.size());
}

// Every entry below `directory` (but `skip`), with its content when asked.
QMap<QString, QByteArray> snapshot(const QString &directory, const QString &skip, bool contents) {
    QMap<QString, QByteArray> found;
    QDirIterator it(directory,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!path.startsWith(skip))
            found[path] = contents && file.open(QIODevice::ReadOnly) ? file.readAll() : "";
    }
    return found;
}

QString plainOf(const char *richText) {
    QTextEdit edit;
    edit.setText(QString::fromUtf8(richText));
    return edit.toPlainText();
}

// Counts the watcher's searches: each one starts by listing the candidates.
class SearchCounter final : public ScsiBackend {
public:
    explicit SearchCounter(ScsiBackend &wrapped)
        : inner(wrapped) {}
    std::atomic<QThread *> watcher{nullptr};
    std::atomic<int> searches{0};
    std::vector<std::string> candidates() override {
        searches += QThread::currentThread() == watcher.load() ? 1 : 0;
        return inner.candidates();
    }
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override {
        return inner.open(candidate);
    }

private:
    ScsiBackend &inner;
};
} // namespace

class TestPackageSafety : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hostilePackages_data();
    void hostilePackages();
    void closingCancelsTheUnpacking();
    void packagesGoToThePrivateFolder();
    void watcherRestsDuringAnUpgrade();

private:
    QString packageFolder() const { return root->filePath(QStringLiteral("firmware")); }
    QString hostileZip(const QString &kind);
    void openOnCamera(const QString &zip) {
        camera = bus->addCamera(SimCameraConfig());
        window = std::make_unique<MainWindow>();
        access().setPackageDirectory(packageFolder());
        access().setPackageChooser([zip](QWidget *) { return zip; });
        window->show();
    }
    MainWindowUpgradeAccess access() { return MainWindowUpgradeAccess(*window); }
    // A left press on the preview's stop icon.
    void stopPreview() {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(window->findChild<QLabel *>(QStringLiteral("labelStop")),
                                    &press);
    }
    void clickUpgrade() {
        window->findChild<QToolButton *>(QStringLiteral("btnNavSupport"))->click();
        window->findChild<QPushButton *>(QStringLiteral("btnUpgrade"))->click();
    }
    int upgradeRequests() const {
        int count = 0;
        for (const SimXuRecord &record : camera->xuLog())
            count += record.selector == kSelectorUpgrade ? 1 : 0;
        return count;
    }

    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<TwoSpeedClock> clock;
    std::unique_ptr<ScopedClock> useClock;
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<SearchCounter> counter;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<MainWindow> window;
};

void TestPackageSafety::init() {
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    clock = std::make_unique<TwoSpeedClock>();
    clock->setRealTime(true);
    useClock = std::make_unique<ScopedClock>(*clock);
    bus = std::make_unique<SimulatedBus>();
    bus->install();
    counter = std::make_unique<SearchCounter>(*bus);
    installScsiBackend(counter.get());
}

void TestPackageSafety::cleanup() {
    if (window)
        stopPreview();
    useClock.reset();
    window.reset();
    releaseUpdaterDevice();
    installScsiBackend(nullptr);
    counter.reset();
    camera.reset();
    bus.reset();
    clock.reset();
    root.reset();
}

QString TestPackageSafety::hostileZip(const QString &kind) {
    const QString zip = root->filePath(kind + QStringLiteral(".zip"));
    const QByteArray outside = QFile::encodeName(root->filePath(QStringLiteral("outside")));
    std::vector<ZipEntry> entries = goodEntries();
    if (kind == "slip")
        entries.push_back({"../escaped.txt", "x"});
    else if (kind == "absolute")
        entries.push_back({outside + "/absolute.txt", "x"});
    else if (kind == "drive letter")
        entries.push_back({"C:escaped.txt", "x"});
    else if (kind == "backslash")
        entries.push_back({"boot/..\\..\\..\\escaped.txt", "x"});
    else if (kind == "link")
        entries[4] = {"kernel", {}, 0, AE_IFLNK, outside};
    else if (kind == "link through") // boot/ipl.bin would be written through it
        entries.insert(entries.begin(), {"boot", {}, 0, AE_IFLNK, outside});
    else if (kind == "too many entries")
        for (int i = 0; i < Zip7z::kMaxEntries; ++i)
            entries.push_back({"boot/" + QByteArray::number(i), "x"});
    else if (kind == "too much in all")
        for (int i = 0; i < 5; ++i)
            entries.push_back({"part" + QByteArray::number(i), "x"});
    else if (kind == "deflate bomb")
        entries.push_back({"rootfs.img", {}, Zip7z::kMaxEntrySize_bytes + (1 << 20)});
    else if (kind == "missing entry")
        entries.erase(entries.begin() + 4); // no kernel
    else if (kind == "settings file beside the package")
        entries.push_back({"../product.ini", "[product_model]\nmain=7\n"});
    else if (kind == "settings file in the package")
        entries.push_back({"product.ini", "[product_model]\nmain=7\n"});
    if (!writeZip(zip, entries))
        return QString();
    if (kind == "device")
        patchZip(zip, 3, 020644, -1);
    else if (kind == "FIFO, read as a regular file")
        patchZip(zip, 3, 010644, -1);
    else if (kind == "over-size entry")
        patchZip(zip, 4, -1, Zip7z::kMaxEntrySize_bytes + 1);
    else if (kind == "too much in all")
        for (int i = 6; i < 11; ++i)
            patchZip(zip, i, -1, Zip7z::kMaxTotalSize_bytes / 5 + 1);
    else if (kind == "deflate bomb") // the header claims a small file
        patchZip(zip, 6, -1, 1000);
    else if (kind == "truncated zip")
        QFile::resize(zip, QFileInfo(zip).size() / 2);
    return zip;
}

void TestPackageSafety::hostilePackages_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("reason"); // in the log
    const std::pair<const char *, const char *> refusals[] = {
        {"slip", "\"..\" in the name"},
        {"absolute", "absolute name"},
        {"drive letter", "drive letter or colon"},
        {"backslash", "backslash in the name"},
        {"link", "kernel: a link"},
        {"link through", "boot: a link"},
        {"device", "cis.bin: a device, FIFO or socket"},
        {"over-size entry", "kernel/uImage: larger than 134217728 bytes"},
        {"too many entries", "more than 4096 entries"},
        {"too much in all", "more than 536870912 bytes in all"},
        {"deflate bomb", "rootfs.img: holds more than 134217728 bytes"},
        {"settings file beside the package", "../product.ini: \"..\" in the name"},
        {"missing entry", ""},
        {"truncated zip", "Truncated ZIP"}};
    for (const auto &row : refusals)
        QTest::newRow(row.first) << QString::fromLatin1(row.first) << true
                                 << QString::fromLatin1(row.second);
    for (const char *kind : {"FIFO, read as a regular file", "settings file in the package"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << false << QString();
}

void TestPackageSafety::hostilePackages() {
    QFETCH(QString, kind);
    QFETCH(bool, refused);
    QFETCH(QString, reason);
    const QString zip = hostileZip(kind);
    QVERIFY(!zip.isEmpty());
    QVERIFY(QDir().mkpath(root->filePath(QStringLiteral("outside"))));
    QFile settings(root->filePath(QStringLiteral("product.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write("[product_model]\nmain=1\n"));
    settings.close();
    const auto outside = snapshot(root->path(), packageFolder(), true);
    const auto program = snapshot(QCoreApplication::applicationDirPath(), QString(), false);

    openOnCamera(zip);
    QString shown;
    DialogSweeper refusal(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &box) {
        shown = promptText(&box);
        clickButton(&box, "btnOK");
    });
    DialogSweeper confirmation(QStringLiteral("FormUpgrade"), [&](QWidget &box) {
        shown = QStringLiteral("confirmation");
        clickButton(&box, "btnCancel");
    });
    LogCapture log;
    clickUpgrade();
    QCOMPARE(shown, refused ? plainOf(kBadLayout) : QStringLiteral("confirmation"));
    // Refused for its own reason, in the log; a missing entry by the layout check.
    QCOMPARE(log.contains(QtWarningMsg, QStringLiteral("package not unpacked:")),
             !reason.isEmpty());
    QVERIFY(reason.isEmpty() || log.contains(QtWarningMsg, reason));
    QCOMPARE(snapshot(root->path(), packageFolder(), true), outside);
    QCOMPARE(snapshot(QCoreApplication::applicationDirPath(), QString(), false), program);
    QCOMPARE(upgradeRequests(), 0);
    QVERIFY(camera->shellLog().empty());
    // Only regular files and folders; nothing at all of a package refused while unpacking.
    const auto inside = snapshot(packageFolder(), QStringLiteral("-"), false);
    for (auto it = inside.begin(); it != inside.end(); ++it) {
        const QFileInfo info(it.key());
        QVERIFY2(!info.isSymLink() && (info.isFile() || info.isDir()), qPrintable(it.key()));
    }
    QCOMPARE(inside.isEmpty(), refused && kind != "missing entry");
}

void TestPackageSafety::closingCancelsTheUnpacking() {
    std::vector<ZipEntry> entries = goodEntries();
    entries.push_back({"rootfs.img", {}, 64 << 20});
    const QString zip = root->filePath(QStringLiteral("large.zip"));
    QVERIFY(writeZip(zip, entries));
    openOnCamera(zip);
    // The close comes from the first round of the event loop that runs while unpacking.
    access().setPackageChooser([&](QWidget *) {
        QTimer::singleShot(0, window.get(), [this] { window->close(); });
        return zip;
    });
    LogCapture log;
    ShowCounter shows;
    // Should the window refuse to close, or go on to the confirmation, the test goes on.
    DialogSweeper answer(QStringLiteral("FormCustomizeMessagebox"),
                         [](QWidget &box) { clickButton(&box, "btnOK"); });
    DialogSweeper confirm(QStringLiteral("FormUpgrade"),
                          [](QWidget &box) { clickButton(&box, "btnCancel"); });
    clickUpgrade();
    QVERIFY(!window->isVisible());
    QVERIFY(log.contains(QtInfoMsg, QStringLiteral("package unpacking cancelled")));
    QCOMPARE(snapshot(packageFolder(), QStringLiteral("-"), false).size(), 0);
    QCOMPARE(shows.shown(QStringLiteral("FormCustomizeMessagebox")), 0);
    QCOMPARE(shows.shown(QStringLiteral("FormUpgrade")), 0);
    QVERIFY(!access().upgrading());
}

void TestPackageSafety::packagesGoToThePrivateFolder() {
    const QString zip = root->filePath(QStringLiteral("good.zip"));
    QVERIFY(writeZip(zip, goodEntries()));
    openOnCamera(zip);
    access().setPackageDirectory(QString());
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"),
                [](QWidget &box) { clickButton(&box, "btnCancel"); });
    driver.start();
    clickUpgrade();
    QVERIFY(driver.finished());
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/firmware";
    QVERIFY(QFile::exists(expected + QStringLiteral("/kernel/uImage")));
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/auto_update.txt"));
    QVERIFY(QDir(expected).removeRecursively());
}

void TestPackageSafety::watcherRestsDuringAnUpgrade() {
    // Without "reset" the camera stays in its boot loader after the upgrade.
    const QString zip = root->filePath(QStringLiteral("stays.zip"));
    QVERIFY(writeZip(zip, goodEntries("saveenv\n")));
    openOnCamera(zip);
    counter->watcher = access().watcherThread();
    QTRY_VERIFY(counter->searches > 0);
    stopPreview(); // it paces its frames by the clock, which runs fast from here
    clock->setRealTime(false);
    int atStart = -1;
    int atReport = -2;
    access().setPackageChooser([&](QWidget *) {
        atStart = counter->searches;
        return zip;
    });
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"), [](QWidget &box) { clickButton(&box, "btnOK"); })
        .then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &box) {
            atReport = counter->searches;
            clickButton(&box, "btnOK");
        });
    driver.start();
    DialogSweeper decline(QStringLiteral("FormAbnormal"),
                          [](QWidget &box) { clickButton(&box, "btnCancel"); });
    clickUpgrade();
    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), 60000);
    QCOMPARE(camera->shellLog().back(), std::string("saveenv"));
    QCOMPARE(atReport, atStart);
    // Then it carries on, and finds the camera left in its boot loader.
    QTRY_VERIFY_WITH_TIMEOUT(decline.acted() > 0, 60000);
}

QTEST_MAIN(TestPackageSafety)
#include "tst_packagesafety.moc"
