// Hostile firmware packages through the window and the real unpacking: the refusal, its reason,
// nothing changed outside the package folder, nothing sent to the camera. Closing the window while
// a package is unpacked, and the watcher's rest during an upgrade.
#include "upgradeflowsupport.h"

#include "control/uvcextensionunit.h"
#include "sim/simulatedbus.h"
#include "upgrade/massstorage.h"
#include "upgrade/zip7z.h"

#include <QDirIterator>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QtEndian>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>

namespace {
// Every file of the good package holds this: a script, and the model's name for the model file.
const QByteArray kContent = "saveenv\n# QX-M30-000\n";
const char *const kFiles[] = {"auto_update.txt", "boot/ipl.bin",  "scripts/boot.es",
                              "cis.bin",         "kernel/uImage", "model.dat"};

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

// Every entry below `directory` but those below `skip`, with its content.
QMap<QString, QByteArray> snapshot(const QString &directory, const QString &skip = "-") {
    QMap<QString, QByteArray> found;
    QDirIterator it(directory,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.fileName().startsWith(skip))
            found[file.fileName()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "";
    }
    return found;
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
    std::unique_ptr<ScsiDevice> open(const std::string &name) override { return inner.open(name); }

private:
    ScsiBackend &inner;
};
} // namespace

class TestPackageSafety : public QObject {
    Q_OBJECT

private slots:
    void init() {
        root = std::make_unique<QTemporaryDir>();
        clock = std::make_unique<TwoSpeedClock>();
        clock->setRealTime(true); // the preview paces its frames by it
        useClock = std::make_unique<ScopedClock>(*clock);
        bus = std::make_unique<SimulatedBus>();
        bus->install();
        counter = std::make_unique<SearchCounter>(*bus);
        installScsiBackend(counter.get());
        camera = bus->addCamera(SimCameraConfig());
    }
    void cleanup() {
        stopPreview();
        useClock.reset();
        window.reset();
        releaseUpdaterDevice();
        installScsiBackend(nullptr);
        counter.reset();
        camera.reset();
        bus.reset();
    }
    void hostilePackages_data();
    void hostilePackages();
    void closingCancelsTheUnpacking();
    void watcherRestsDuringAnUpgrade();

private:
    QString packageFolder() const { return root->filePath(QStringLiteral("firmware")); }
    QString makeZip(const QString &kind);
    void openAndUpgrade(const QString &zip, const std::function<void()> &whileChoosing = {}) {
        window = std::make_unique<MainWindow>();
        MainWindowUpgradeAccess(*window).setPackageDirectory(packageFolder());
        MainWindowUpgradeAccess(*window).setPackageChooser([=](QWidget *) {
            if (whileChoosing)
                whileChoosing();
            return zip;
        });
        window->show();
        window->findChild<QToolButton *>(QStringLiteral("btnNavSupport"))->click();
        window->findChild<QPushButton *>(QStringLiteral("btnUpgrade"))->click();
    }
    void stopPreview() {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        if (window)
            QCoreApplication::sendEvent(window->findChild<QLabel *>("labelStop"), &press);
    }

    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<TwoSpeedClock> clock;
    std::unique_ptr<ScopedClock> useClock;
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<SearchCounter> counter;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<MainWindow> window;
};

// A good package (or one without kernel/uImage) with the hostile entry of `kind`.
QString TestPackageSafety::makeZip(const QString &kind) {
    const QString path = root->filePath(kind + QStringLiteral(".zip"));
    const QByteArray outside = QFile::encodeName(root->filePath(QStringLiteral("outside")));
    archive *zip = archive_write_new();
    archive_write_set_format_zip(zip);
    archive_write_open_filename(zip, QFile::encodeName(path).constData());
    auto add = [zip](const QByteArray &name, int type, const QByteArray &link, qint64 size) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.constData());
        archive_entry_set_filetype(entry, static_cast<unsigned>(type));
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
    for (const char *name : kFiles) {
        if (qstrcmp(name, "kernel/uImage") != 0 || (kind != "link" && kind != "missing entry"))
            add(name, AE_IFREG, {}, kContent.size());
    }
    const QMap<QString, QByteArray> extra = {{"slip", "../escaped.txt"},
                                             {"absolute", outside + "/absolute.txt"},
                                             {"backslash", "boot/..\\..\\..\\escaped.txt"},
                                             {"sibling file", "../product.ini"}};
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

void TestPackageSafety::hostilePackages_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // in the log; empty: not refused by the unpacking
    const std::pair<const char *, const char *> rows[] = {
        {"slip", "\"..\" in the name"},
        {"absolute", "absolute name"},
        {"backslash", "backslash in the name"},
        {"link", "kernel: a link"},
        {"link through", "boot: a link"},
        {"device", "cis.bin: a device, FIFO or socket"},
        {"FIFO", ""}, // libarchive reads a FIFO's mode as a regular file, which it is here
        {"over-size entry", "kernel/uImage: larger than 134217728 bytes"},
        {"too many entries", "more than 4096 entries"},
        {"deflate bomb", "rootfs.img: holds more than 134217728 bytes"},
        {"sibling file", "../product.ini: \"..\" in the name"},
        {"missing entry", ""},
        {"truncated zip", "Truncated ZIP"}};
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first)
                                 << QString::fromLatin1(row.second);
}

void TestPackageSafety::hostilePackages() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString zip = makeZip(kind);
    const auto outside = snapshot(root->path(), packageFolder());
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
    openAndUpgrade(zip);

    QTextEdit refusalText(
        "<h3>Unable to upgrade now.</h3>\r\nThe format of firmware file is not correct.");
    QCOMPARE(shown, kind == "FIFO" ? QStringLiteral("confirmation") : refusalText.toPlainText());
    QCOMPARE(log.contains(QtWarningMsg, QStringLiteral("package not unpacked:")),
             !reason.isEmpty());
    QVERIFY(reason.isEmpty() || log.contains(QtWarningMsg, reason));
    QCOMPARE(snapshot(root->path(), packageFolder()), outside);
    for (const SimXuRecord &record : camera->xuLog())
        QVERIFY(record.selector != kSelectorUpgrade);
    QVERIFY(camera->shellLog().empty());
    // Only plain files and folders; nothing at all of a package refused while unpacking.
    const auto inside = snapshot(packageFolder());
    for (const QString &path : inside.keys())
        QVERIFY2(QFileInfo(path).isFile() || QFileInfo(path).isDir(), qPrintable(path));
    QCOMPARE(inside.isEmpty(), !reason.isEmpty());
}

void TestPackageSafety::closingCancelsTheUnpacking() {
    LogCapture log;
    // The close comes in the first round of the event loop that runs while unpacking.
    openAndUpgrade(makeZip(QStringLiteral("deflate bomb")),
                   [this] { QTimer::singleShot(0, window.get(), [this] { window->close(); }); });
    QVERIFY(!window->isVisible());
    QVERIFY(log.contains(QtInfoMsg, QStringLiteral("package unpacking cancelled")));
    QVERIFY(snapshot(packageFolder()).isEmpty());
}

void TestPackageSafety::watcherRestsDuringAnUpgrade() {
    int atStart = -1;
    int atReport = -2;
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"), [&](QWidget &box) {
        stopPreview(); // the clock runs fast from here
        clock->setRealTime(false);
        clickButton(&box, "btnOK");
    });
    driver.then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &box) {
        atReport = counter->searches;
        clickButton(&box, "btnOK");
    });
    driver.start();
    // The script has no "reset": the camera stays in its boot loader afterwards.
    DialogSweeper decline(QStringLiteral("FormAbnormal"),
                          [](QWidget &box) { clickButton(&box, "btnCancel"); });
    openAndUpgrade(makeZip(QStringLiteral("good")), [&] {
        counter->watcher = MainWindowUpgradeAccess(*window).watcherThread();
        atStart = counter->searches;
    });
    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), 60000);
    QVERIFY(!camera->shellLog().empty() && camera->shellLog().back() == "saveenv");
    QCOMPARE(atReport, atStart);
    // Then it carries on, and finds the camera left in its boot loader.
    QTRY_VERIFY_WITH_TIMEOUT(decline.acted() > 0, 60000);
}

QTEST_MAIN(TestPackageSafety)
#include "tst_packagesafety.moc"
