// The firmware package: cleaning, layout check, model detection, and unpacking (real packages
// built here with bsdtar).
#include "tests/testsupport/testsupport.h"

#include "upgrade/packagefiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kBufferSize = 5 * 1024 * 1024;

bool writeFile(const QString &path, const QByteArray &content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs `call` with the process's standard output going to a file; returns what was printed.
template <typename Call>
QByteArray captureStdout(Call call) {
    QTemporaryFile sink;
    if (!sink.open())
        return "sink";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(sink.handle(), STDOUT_FILENO);
    call();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    sink.seek(0);
    return sink.readAll();
}

// The entries a layout row names; "dir:" marks a directory.
void createEntries(const QString &directory, const QStringList &entries) {
    for (const QString &entry : entries) {
        if (entry.startsWith("dir:"))
            QDir(directory).mkpath(entry.mid(4));
        else
            writeFile(QDir(directory).filePath(entry), "content of " + entry.toUtf8());
    }
}

const QStringList kCompletePackage = {"auto_update.txt", "dir:boot",  "dir:scripts",
                                      "dir:kernel",      "model.dat", "miservice.ubifs"};
} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> app;  // the package directory
    std::unique_ptr<QTemporaryDir> work; // packages, outside files

    QString appPath(const QString &name) const { return app->filePath(name); }

    // Builds a zip with bsdtar from files written here.
    QString makeZip(const QString &name, const QMap<QString, QByteArray> &files,
                    const QStringList &extraArguments = {}) {
        const QString staging = work->filePath("staging-" + name);
        QDir().mkpath(staging);
        QStringList roots;
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (it.key().endsWith('/'))
                QDir(staging).mkpath(it.key());
            else
                writeFile(QDir(staging).filePath(it.key()), it.value());
            const QString root = it.key().section('/', 0, 0);
            if (!roots.contains(root))
                roots << root;
        }
        const QString zip = work->filePath(name);
        QProcess archiver;
        archiver.setWorkingDirectory(staging);
        archiver.start("bsdtar", QStringList{"--format", "zip"} + extraArguments +
                                     QStringList{"-cf", zip} + roots);
        if (!archiver.waitForFinished(60000) || archiver.exitCode() != 0)
            qWarning() << "bsdtar failed" << archiver.readAllStandardError();
        return zip;
    }

    QMap<QString, QByteArray> goodFiles(const QByteArray &model = "ZENTA 320") {
        return {{"auto_update.txt", "reset\n"},
                {"boot/ipl.bin", "ipl"},
                {"scripts/kernel.es", "saveenv\n"},
                {"kernel/uImage", "FWVER=1.2.3"},
                {"miservice.ubifs", "....." + model + "....."},
                {"u-boot.bin", "boot loader"},
                {"usb_updater.bin", "updater"}};
    }

    QStringList packageEntriesLeft() const {
        QStringList left;
        for (const QString &name : packageCleaningList()) {
            if (pathExists(appPath(name)))
                left << name;
        }
        return left;
    }

private slots:
    void init() {
        app = std::make_unique<QTemporaryDir>();
        work = std::make_unique<QTemporaryDir>();
        QVERIFY(app->isValid() && work->isValid());
    }

    void cleanup() {
        app.reset();
        work.reset();
    }

    // --- paths ------------------------------------------------------------------------------

    void pathExistsAndRemove() {
        QVERIFY(!pathExists(QString()));
        QVERIFY(!removePath(QString()));
        QVERIFY(!pathExists(appPath("none")));
        QVERIFY(!removePath(appPath("none")));

        QVERIFY(writeFile(appPath("file.bin"), "x"));
        QVERIFY(pathExists(appPath("file.bin")));
        QVERIFY(removePath(appPath("file.bin")));
        QVERIFY(!pathExists(appPath("file.bin")));

        QVERIFY(writeFile(appPath("tree/a/b/c.txt"), "x"));
        QVERIFY(removePath(appPath("tree")));
        QVERIFY(!pathExists(appPath("tree")));
    }

    void removingALinkNeverTouchesItsTarget() {
        const QString outside = work->filePath("outside");
        QVERIFY(writeFile(outside + "/keep.txt", "precious"));
        QVERIFY(writeFile(work->filePath("single.txt"), "precious"));

        QVERIFY(QFile::link(outside, appPath("boot")));
        QVERIFY(removePath(appPath("boot")));
        QVERIFY(!pathExists(appPath("boot")));
        QCOMPARE(readFile(outside + "/keep.txt"), QByteArray("precious"));

        QVERIFY(QFile::link(work->filePath("single.txt"), appPath("u-boot.bin")));
        QVERIFY(removePath(appPath("u-boot.bin")));
        QCOMPARE(readFile(work->filePath("single.txt")), QByteArray("precious"));

        // A link inside a directory that is removed.
        QVERIFY(QDir().mkpath(appPath("kernel")));
        QVERIFY(QFile::link(outside, appPath("kernel/escape")));
        QVERIFY(removePath(appPath("kernel")));
        QCOMPARE(readFile(outside + "/keep.txt"), QByteArray("precious"));

        // A dangling link exists as a link and is removed.
        QVERIFY(QFile::link(work->filePath("gone"), appPath("scripts")));
        QVERIFY(pathExists(appPath("scripts")));
        QVERIFY(removePath(appPath("scripts")));
        QVERIFY(!QFileInfo(appPath("scripts")).isSymLink());
    }

    void cleaningKeepsTheUpdaterImage() {
        createEntries(app->path(), kCompletePackage + QStringList{"cis.bin", "u-boot.bin",
                                                                  "usb_updater.bin", "other.txt"});
        QVERIFY(cleanPackageFiles(app->path()));
        QCOMPARE(packageEntriesLeft(), QStringList());
        QVERIFY(pathExists(appPath("usb_updater.bin")));
        QVERIFY(pathExists(appPath("other.txt")));
        QVERIFY(cleanPackageFiles(app->path())); // nothing left to remove: still true
    }

    void cleaningRemovesALinkedUpdaterImage() {
        QVERIFY(writeFile(work->filePath("target.bin"), "precious"));
        QVERIFY(QFile::link(work->filePath("target.bin"), appPath("usb_updater.bin")));
        QVERIFY(cleanPackageFiles(app->path()));
        QVERIFY(!pathExists(appPath("usb_updater.bin")));
        QCOMPARE(readFile(work->filePath("target.bin")), QByteArray("precious"));
    }

    // --- layout -----------------------------------------------------------------------------

    void layout_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("complete") << kCompletePackage << true;
        QTest::newRow("model.dat only")
            << QStringList{"auto_update.txt", "dir:boot", "dir:scripts", "dir:kernel", "model.dat"}
            << true;
        QTest::newRow("miservice.ubifs only")
            << QStringList{"auto_update.txt", "dir:boot", "dir:scripts", "dir:kernel",
                           "miservice.ubifs"}
            << true;
        QTest::newRow("entries as files")
            << QStringList{"auto_update.txt", "boot", "scripts", "kernel", "model.dat"} << true;
        QTest::newRow("no auto_update.txt")
            << QStringList{"dir:boot", "dir:scripts", "dir:kernel", "model.dat"} << false;
        QTest::newRow("no boot") << QStringList{"auto_update.txt", "dir:scripts", "dir:kernel",
                                                "model.dat"}
                                 << false;
        QTest::newRow("no scripts")
            << QStringList{"auto_update.txt", "dir:boot", "dir:kernel", "model.dat"} << false;
        QTest::newRow("no kernel")
            << QStringList{"auto_update.txt", "dir:boot",   "dir:scripts", "model.dat",
                           "miservice.ubifs", "u-boot.bin", "cis.bin",     "usb_updater.bin"}
            << false;
        QTest::newRow("no model file")
            << QStringList{"auto_update.txt", "dir:boot", "dir:scripts", "dir:kernel", "u-boot.bin"}
            << false;
        QTest::newRow("nothing") << QStringList{} << false;
    }

    void layout() {
        QFETCH(QStringList, entries);
        QFETCH(bool, accepted);
        createEntries(app->path(), entries);
        QCOMPARE(checkPackageLayout(app->path()), accepted);
    }

    void layoutRefusesLinks_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("target");
        QTest::newRow("boot is a link") << "boot"
                                        << "outside";
        QTest::newRow("link inside scripts") << "scripts/kernel.es"
                                             << "outside/file.txt";
        QTest::newRow("link deep inside kernel") << "kernel/a/b/image"
                                                 << "outside/file.txt";
        QTest::newRow("u-boot.bin is a link") << "u-boot.bin"
                                              << "outside/file.txt";
        QTest::newRow("model file is a link") << "model.dat"
                                              << "outside/file.txt";
        QTest::newRow("updater image is a link") << "usb_updater.bin"
                                                 << "outside/file.txt";
        QTest::newRow("link to a package entry") << "miservice.ubifs"
                                                 << "app:model.dat";
    }

    void layoutRefusesLinks() {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QVERIFY(writeFile(work->filePath("outside/file.txt"), "QX-M30-000"));
        QStringList entries = kCompletePackage;
        entries.removeAll(link.section('/', 0, 0));
        entries.removeAll("dir:" + link.section('/', 0, 0));
        createEntries(app->path(), entries);
        QDir().mkpath(QFileInfo(appPath(link)).path());
        const QString targetPath =
            target.startsWith("app:") ? appPath(target.mid(4)) : work->filePath(target);
        QVERIFY(QFile::link(targetPath, appPath(link)));
        QVERIFY(!checkPackageLayout(app->path()));
    }

    // --- model detection --------------------------------------------------------------------

    void detect_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("model");
        QTest::newRow("QX") << QByteArray("\x01\x02QX-M30-000\x00", 13) << 0;
        QTest::newRow("ZENTA 310") << QByteArray("xxZENTA 310yy") << 1;
        QTest::newRow("ZENTA 320") << QByteArray("ZENTA 320") << 2;
        QTest::newRow("ZENTA 325") << QByteArray("...ZENTA 325") << 3;
        QTest::newRow("underscore in the blank's place") << QByteArray("ZENTA_320") << 2;
        QTest::newRow("any byte in the blank's place") << QByteArray("ZENTA\x00"
                                                                     "325",
                                                                     9)
                                                       << 3;
        QTest::newRow("QX after ZENTA still wins") << QByteArray("ZENTA 310 ... QX-M30-000") << 0;
        QTest::newRow("QX before ZENTA") << QByteArray("QX-M30-000 ... ZENTA 310") << 0;
        QTest::newRow("earlier pass wins, not earlier text")
            << QByteArray("ZENTA 325 ZENTA 320 ZENTA 310") << 1;
        QTest::newRow("row 2 before row 3") << QByteArray("ZENTA 325ZENTA 320") << 2;
        QTest::newRow("differs in byte 4") << QByteArray("ZENTB 320") << -1;
        QTest::newRow("differs in the last byte") << QByteArray("ZENTA 32X") << -1;
        QTest::newRow("QX with another separator") << QByteArray("QX_M30-000") << -1;
        QTest::newRow("lower case") << QByteArray("zenta 320") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("cut short") << QByteArray("ZENTA 32") << -1;
    }

    void detect() {
        QFETCH(QByteArray, content);
        QFETCH(int, model);
        QVERIFY(writeFile(appPath("miservice.ubifs"), content));
        int found = 99;
        QCOMPARE(detectFirmwareModel(found, app->path()), model >= 0);
        QCOMPARE(found, model >= 0 ? model : 99); // untouched when nothing is found
    }

    void detectAtTheEndOfTheBuffer_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("found");
        QTest::newRow("last position searched") << 5242859 << true;
        QTest::newRow("one further") << 5242860 << false;
        QTest::newRow("near the start") << 0 << true;
    }

    void detectAtTheEndOfTheBuffer() {
        QFETCH(int, position);
        QFETCH(bool, found);
        QByteArray content(position, '\0');
        content.append("ZENTA 310");
        QVERIFY(writeFile(appPath("model.dat"), content));
        int model = -1;
        QCOMPARE(detectFirmwareModel(model, app->path()), found);
    }

    void detectInALargerFile_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("found");
        // The last block (100 bytes) lands over the start of the block before it.
        QTest::newRow("beyond the last block") << 200 << true;
        QTest::newRow("overwritten by the last block") << 50 << false;
    }

    void detectInALargerFile() {
        QFETCH(int, position);
        QFETCH(bool, found);
        QByteArray content(kBufferSize + 100, '\0');
        content.replace(position, 9, "ZENTA 320");
        QVERIFY(writeFile(appPath("miservice.ubifs"), content));
        int model = -1;
        QCOMPARE(detectFirmwareModel(model, app->path()), found);
    }

    void detectPrefersMiserviceAndFallsBack() {
        QVERIFY(writeFile(appPath("miservice.ubifs"), "ZENTA 325"));
        QVERIFY(writeFile(appPath("model.dat"), "QX-M30-000"));
        int model = -1;
        QVERIFY(detectFirmwareModel(model, app->path()));
        QCOMPARE(model, 3);

        QVERIFY(QFile::remove(appPath("miservice.ubifs")));
        MessageCapture messages;
        QVERIFY(detectFirmwareModel(model, app->path()));
        QCOMPARE(model, 0);
        const QString expected = "model file: " + app->path() + "/miservice.ubifs does not exist.";
        QVERIFY(messages.messages().contains(expected));
    }

    void detectWithoutModelFile() {
        MessageCapture messages;
        int model = 7;
        QVERIFY(!detectFirmwareModel(model, app->path()));
        QCOMPARE(model, 7);
        QVERIFY(messages.messages().contains("model file: " + app->path() +
                                             "/miservice.ubifs does not exist."));
        QVERIFY(messages.messages().contains("model file: " + app->path() +
                                             "/model.dat does not exist."));
        QVERIFY(messages.messages().contains("model file: " + app->path() + "/miservice.ubifs"));
    }

    void detectUnreadableModelFile() {
        // A directory of that name exists but cannot be read as a file.
        QVERIFY(QDir().mkpath(appPath("miservice.ubifs")));
        int model = 7;
        bool result = true;
        MessageCapture messages; // keeps the test's own log lines off standard output
        const QByteArray printed =
            captureStdout([&] { result = detectFirmwareModel(model, app->path()); });
        QVERIFY(!result);
        QCOMPARE(printed, QByteArray("can't open file\n"));
        QCOMPARE(model, 7);
    }

    // --- unpacking with the real archiver ---------------------------------------------------

    void preparesAGoodPackage() {
        const QString zip = makeZip("good.zip", goodFiles());
        MessageCapture messages;
        logPackageDirectory(app->path());
        int model = -1;
        QCOMPARE(preparePackage(zip, model, app->path()), PackageOutcome::Ready);
        QCOMPARE(model, 2);
        QCOMPARE(readFile(appPath("kernel/uImage")), QByteArray("FWVER=1.2.3"));
        const QStringList lines = messages.messages();
        QVERIFY(lines.contains("app dir: " + app->path()));
        QVERIFY(lines.contains("upgrade file: good.zip"));
        QVERIFY(lines.contains("firmware file model: 2"));
        QVERIFY(lines.indexOf("upgrade file: good.zip") < lines.indexOf("firmware file model: 2"));
    }

    void refusesPackages_data() {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<int>("outcome");
        QTest::newRow("no kernel")
            << "kernel/uImage" << QByteArray("ZENTA 320") << int(PackageOutcome::BadLayout);
        QTest::newRow("no script")
            << "auto_update.txt" << QByteArray("ZENTA 320") << int(PackageOutcome::BadLayout);
        QTest::newRow("no model name")
            << "" << QByteArray("ZENTA 999") << int(PackageOutcome::UnknownModel);
    }

    void refusesPackages() {
        QFETCH(QString, drop);
        QFETCH(QByteArray, model);
        QFETCH(int, outcome);
        auto files = goodFiles(model);
        files.remove(drop);
        int found = 42;
        QCOMPARE(int(preparePackage(makeZip("p.zip", files), found, app->path())), outcome);
        QCOMPARE(found, 42);
    }

    void notAZip() {
        QVERIFY(writeFile(work->filePath("text.zip"), "this is no archive"));
        createEntries(app->path(), kCompletePackage); // leftovers of an earlier package
        int model = -1;
        QCOMPARE(preparePackage(work->filePath("text.zip"), model, app->path()),
                 PackageOutcome::BadLayout);
        QCOMPARE(packageEntriesLeft(), QStringList());
    }

    void secondPackageNeverPassesOnLeftovers() {
        int model = -1;
        QCOMPARE(preparePackage(makeZip("first.zip", goodFiles()), model, app->path()),
                 PackageOutcome::Ready);
        auto files = goodFiles();
        files.remove("scripts/kernel.es");
        QCOMPARE(preparePackage(makeZip("second.zip", files), model, app->path()),
                 PackageOutcome::BadLayout);
        QVERIFY(!pathExists(appPath("scripts")));
        QVERIFY(pathExists(appPath("usb_updater.bin"))); // kept from the first package
    }

    void packageWithALinkIsRefused() {
        const QString staging = work->filePath("staging-link");
        createEntries(staging, kCompletePackage);
        QVERIFY(QFile::remove(staging + "/model.dat"));
        QVERIFY(QFile::link("miservice.ubifs", staging + "/model.dat"));
        QDir(staging).rmdir("kernel");
        QVERIFY(QFile::link("boot", staging + "/kernel"));
        QProcess archiver;
        archiver.setWorkingDirectory(staging);
        archiver.start("bsdtar",
                       {"--format", "zip", "-cf", work->filePath("link.zip"), "auto_update.txt",
                        "boot", "scripts", "kernel", "model.dat", "miservice.ubifs"});
        QVERIFY(archiver.waitForFinished(60000));
        int model = -1;
        QCOMPARE(preparePackage(work->filePath("link.zip"), model, app->path()),
                 PackageOutcome::BadLayout);
    }

    void encryptedPackageFailsInsteadOfWaiting() {
        const QString zip =
            makeZip("secret.zip", goodFiles(),
                    {"--options", "zip:encryption=zipcrypt", "--passphrase", "SECRET"});
        int model = -1;
        QCOMPARE(preparePackage(zip, model, app->path()), PackageOutcome::BadLayout);
        QCOMPARE(packageEntriesLeft(), QStringList());
    }

    void samplePackageScript() {
        QProcess script;
        script.start("bash", {QStringLiteral(CC_SOURCE_DIR "/scripts/make-sample-package.sh"),
                              "--model-file", "model.dat", "QX-M30-000", "2.0.1",
                              work->filePath("sample.zip")});
        QVERIFY(script.waitForFinished(60000));
        QCOMPARE(script.exitCode(), 0);
        int model = -1;
        QCOMPARE(preparePackage(work->filePath("sample.zip"), model, app->path()),
                 PackageOutcome::Ready);
        QCOMPARE(model, 0);
        QVERIFY(readFile(appPath("kernel/uImage")).contains("FWVER=2.0.1"));
        QVERIFY(!pathExists(appPath("miservice.ubifs")));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
