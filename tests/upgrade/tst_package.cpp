// The firmware package: cleaning what an earlier package left, the layout check, the model search
// in the model file, and whole packages through the real unpacking.
#include "testsupport/testsupport.h"
#include "upgrade/packagefiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Creates the entries ("name/" is a folder, "link>target" a symbolic link into `outside`).
void createEntries(const QString &directory, const QString &outside, const QStringList &entries) {
    for (const QString &entry : entries) {
        const QString path = QDir(directory).filePath(entry.section('>', 0, 0));
        if (entry.contains('>')) {
            QDir().mkpath(QFileInfo(path).path());
            QFile::link(QDir(outside).filePath(entry.section('>', 1)), path);
        } else if (entry.endsWith('/')) {
            QDir().mkpath(path);
        } else {
            writeFile(path, "content of " + entry.toUtf8());
        }
    }
}

const QString kSampleScript = CC_SOURCE_DIR "/scripts/make-sample-package.sh";
const QStringList kPackage = {"auto_update.txt", "boot/", "scripts/", "kernel/", "model.dat"};
} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> app;  // the package folder
    std::unique_ptr<QTemporaryDir> work; // packages and files outside the package folder
    QString at(const QString &name) const { return app->filePath(name); }

private slots:
    void init() {
        app = std::make_unique<QTemporaryDir>();
        work = std::make_unique<QTemporaryDir>();
        writeFile(work->filePath("outside/file.txt"), "QX-M30-000");
    }

    void detect_data() {
        // model: -1: none
        addColumns<QByteArray, int>({"content", "model"});
        const QByteArray block(5 * 1024 * 1024, 'x');
        QTest::newRow("ZENTA 310") << QByteArray("xxZENTA 310yy") << 1;
        QTest::newRow("underscore in the blank's place") << QByteArray("ZENTA_320") << 2;
        QTest::newRow("any byte in the blank's place") << QByteArray("ZENTA\000325", 9) << 3;
        QTest::newRow("QX after ZENTA still wins") << QByteArray("ZENTA 310 QX-M30-000") << 0;
        QTest::newRow("earlier pass, not earlier text") << QByteArray("ZENTA 325 ZENTA 310") << 1;
        QTest::newRow("row 2 before row 3") << QByteArray("ZENTA 325ZENTA 320") << 2;
        QTest::newRow("differs in the last byte") << QByteArray("ZENTA 32X") << -1;
        QTest::newRow("QX has no blank to stand for") << QByteArray("QX_M30-000") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("last position searched") << QByteArray(5242859, '\0') + "ZENTA 310" << 1;
        QTest::newRow("one further") << QByteArray(5242860, '\0') + "ZENTA 310" << -1;
        // A larger file leaves its last block at the start of the buffer, over the first one.
        QTest::newRow("larger file, name under the last block")
            << "xxZENTA 310" + block.mid(11) + QByteArray(100, '-') << -1;
        QTest::newRow("larger file, name past the last block")
            << block.left(200) + "ZENTA 320" + block.mid(209) + QByteArray(100, '-') << 2;
    }
    void detect() {
        QFETCH(QByteArray, content);
        QFETCH(int, model);
        QVERIFY(writeFile(at("miservice.ubifs"), content));
        QVERIFY(writeFile(at("model.dat"), "ZENTA 325")); // the second choice is not looked at
        int found = 99;
        QCOMPARE(detectFirmwareModel(found, app->path()), model >= 0);
        QCOMPARE(found, model >= 0 ? model : 99); // untouched when nothing is found
    }

    void layout_data() {
        addColumns<QStringList, bool>({"entries", "accepted"});
        QTest::newRow("model.dat") << kPackage << true;
        QTest::newRow("miservice.ubifs, entries as files")
            << QStringList{"auto_update.txt", "boot", "scripts", "kernel", "miservice.ubifs"}
            << true;
        // Each entry in its turn missing, another file in its place.
        for (int i = 0; i < kPackage.size(); ++i)
            QTest::newRow(qPrintable("no " + kPackage[i]))
                << QStringList(kPackage.mid(0, i) << "cis.bin" << kPackage.mid(i + 1)) << false;
        QTest::newRow("boot is a link")
            << QStringList(kPackage).replaceInStrings("boot/", "boot>outside") << false;
        // A link deep in a folder, or as one of the images.
        for (const QString link : {"kernel/a/b", "u-boot.bin", "usb_updater.bin"})
            QTest::newRow(qPrintable(link + " is a link"))
                << kPackage + QStringList{link + ">outside/file.txt"} << false;
    }
    void layout() {
        QFETCH(QStringList, entries);
        QFETCH(bool, accepted);
        createEntries(app->path(), work->path(), entries);
        QCOMPARE(checkPackageLayout(app->path()), accepted);
    }

    void cleaningKeepsTheUpdaterImageAndNeverFollowsLinks() {
        createEntries(app->path(), work->path(),
                      kPackage + QStringList{"miservice.ubifs", "cis.bin", "u-boot.bin",
                                             "usb_updater.bin", "other.txt", "kernel/x>outside"});
        QVERIFY(cleanPackageFiles(app->path()));
        QCOMPARE(QDir(app->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"other.txt", "usb_updater.bin"}));
        QCOMPARE(readFile(work->filePath("outside/file.txt")), QByteArray("QX-M30-000"));
        QFile::remove(at("usb_updater.bin"));
        createEntries(app->path(), work->path(),
                      {"usb_updater.bin>outside/file.txt", "boot>outside"});
        QVERIFY(cleanPackageFiles(app->path())); // a linked updater image goes as well
        QCOMPARE(
            QDir(app->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList{"other.txt"});
        QCOMPARE(readFile(work->filePath("outside/file.txt")), QByteArray("QX-M30-000"));
        QVERIFY(!removePath(QString()) && !pathExists(QString()) && !removePath(at("none")));
    }

    void wholePackages_data() {
        // arguments: of the sample package script; empty: no zip
        // outcome: PackageOutcome
        addColumns<QStringList, int, int>({"arguments", "outcome", "model"});
        const int ready = int(PackageOutcome::Ready);
        QTest::newRow("QX") << QStringList{"QX-M30-000"} << ready << 0;
        QTest::newRow("ZENTA 320 in model.dat")
            << QStringList{"--model-file", "model.dat", "ZENTA 320"} << ready << 2;
        QTest::newRow("unknown model")
            << QStringList{"ACME 1"} << int(PackageOutcome::UnknownModel) << -1;
        QTest::newRow("not a zip") << QStringList{} << int(PackageOutcome::BadLayout) << -1;
    }
    void wholePackages() {
        QFETCH(QStringList, arguments);
        QFETCH(int, outcome);
        QFETCH(int, model);
        const QString zip = work->filePath("package.zip");
        if (arguments.isEmpty())
            QVERIFY(writeFile(zip, "PK\x03\x04 but nothing of a zip after that"));
        else
            QCOMPARE(
                QProcess::execute("bash", QStringList{kSampleScript} + arguments << "1.2.3" << zip),
                0);
        // Leftovers of an earlier package never pass for this one.
        createEntries(app->path(), work->path(), kPackage + QStringList{"miservice.ubifs"});
        writeFile(at("miservice.ubifs"), "QX-M30-000");
        int found = -1;
        QCOMPARE(int(preparePackage(zip, found, app->path())), outcome);
        QCOMPARE(found, model);
        QCOMPARE(pathExists(at("kernel")), !arguments.isEmpty());
        QCOMPARE(pathExists(at("miservice.ubifs")),
                 !arguments.isEmpty() && arguments.first() != "--model-file");
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
