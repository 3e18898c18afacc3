// The application frame: the catalogue's lookups, the log file and its handler.
#include "app/logging.h"
#include "device/catalogue.h"
#include "testsupport/testsupport.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

class TestSpine : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString log(const char *suffix = "") const { return kLogFilePath + QLatin1String(suffix); }

private slots:
    void parseVidPid_data() {
        addColumns<QString, bool, QString>({"path", "result", "ids"});
        QTest::newRow("device id") << "vid_1d6b&pid_0104&mi_00#6&1a2b&0&0000" << true << "1d6b:104";
        QTest::newRow("interface name")
            << "\\\\?\\usb#vid_3c1e&pid_0305&mi_00#6&a#{6}" << true << "3c1e:305";
        QTest::newRow("markers are case-sensitive") << "VID_1D6B&PID_0104&" << false << "0:0";
        QTest::newRow("pid without &") << "vid_1d6b&pid_0104#6" << false << "1d6b:0";
        QTest::newRow("& too close") << "vid&_1d6b" << false << "0:0";
        QTest::newRow("non-hex vendor") << "vid_zz&pid_0104&mi" << true << "0:104";
        QTest::newRow("non-hex product") << "vid_1d6b&pid_zzzz&mi" << false << "1d6b:0";
    }
    void parseVidPid() {
        QFETCH(QString, path);
        QFETCH(bool, result);
        QFETCH(QString, ids);
        std::uint32_t vendor = 0;
        std::uint32_t product = 0;
        QCOMPARE(::parseVidPid(path, vendor, product), result);
        QCOMPARE(QString("%1:%2").arg(vendor, 0, 16).arg(product, 0, 16), ids);
    }

    void modelLookups_data() {
        addColumns<QString, uint, uint, int, int>(
            {"name", "vendorId", "productId", "byName", "byIds"});
        const uint own = uint(kVendorUsbId);
        QTest::newRow("gadget") << "QX-M30-000" << 0x1D6Bu << 0x0104u << 0 << 0;
        QTest::newRow("maker and model") << "Kestrelon ZENTA 320" << own << 0x0305u << 2 << 2;
        QTest::newRow("lower case, 310") << "kestrelon zenta 310" << own << 0x0103u << 1 << 1;
        QTest::newRow("vendor, gadget product") << "ZENTA320" << own << 0x0104u << 255 << 255;
        QTest::newRow("gadget, lower product") << "" << 0x1D6Bu << 0x0103u << 255 << 255;
    }
    void modelLookups() {
        QFETCH(QString, name);
        QFETCH(uint, vendorId);
        QFETCH(uint, productId);
        QFETCH(int, byName);
        QFETCH(int, byIds);
        QCOMPARE(modelIndexByName(name), byName);
        QCOMPARE(modelIndexByIds(vendorId, productId), byIds);
    }

    void init() {
        kLogFilePath = dir.filePath("cameracontrol.log");
        for (const char *suffix : {"", ".1", ".2"})
            QFile::remove(log(suffix));
    }

    void logFolderAndLines() {
        // A folder of its own: on Windows the home is the user's profile, whatever HOME says.
        const QString name =
            QString("/.cameracontrol-%1/a.log").arg(QCoreApplication::applicationPid());
        const QString resolved = resolveUserPath("~" + name, false, "s");
        const auto removeFolder =
            qScopeGuard([&] { QDir(QFileInfo(resolved).path()).removeRecursively(); });
        QCOMPARE(resolved, QDir::homePath() + name);
        resolveUserPath("~" + name, false, "other");
        QCOMPARE(readFile(resolved), QByteArray("s")); // an existing file is kept
        QCOMPARE(resolveUserPath("C:\\Users\\me", true, {}), QString("C:/Users/me"));
        // A file where the folder should be: the folder cannot be made, and the log says so.
        QVERIFY(writeFile(dir.filePath("blocker"), "x"));
        MessageCapture messages;
        resolveUserPath(dir.filePath("blocker/sub/cameracontrol.log"), false, {});
        QVERIFY(messages.contains("Error, cannot create dir"));
        const QMessageLogContext none;
        const QMessageLogContext at("main.cpp", 42, "void __cdecl MainWindow::slotOn(bool)", "d");
        QCOMPARE(formatFileLine(QtWarningMsg, none, "abc", "T"), QString("[T] -W- : abc"));
        QCOMPARE(formatFileLine(QtInfoMsg, at, "abc", "T"),
                 QString("[T] -I-  main.cpp(42) <<void __cdecl MainWindow::slotOn(bool)>>: abc"));
    }

    void rotation_data() {
        addColumns<qint64, bool>({"size", "rotated"});
        QTest::newRow("at the limit") << kLogRotateAbove_bytes << false;
        QTest::newRow("one byte over") << kLogRotateAbove_bytes + 1 << true;
    }
    void rotation() {
        QFETCH(qint64, size);
        QFETCH(bool, rotated);
        QVERIFY(writeFile(log(), QByteArray(int(size), 'c')));
        QVERIFY(writeFile(log(".1"), "b") && writeFile(log(".2"), "a"));
        writeLogLine("next");
        QCOMPARE(readFile(log()), rotated ? "next\r\n" : QByteArray(int(size), 'c') + "next\r\n");
        QCOMPARE(QFileInfo(log(".1")).size(), rotated ? size : 1);
        QCOMPARE(readFile(log(".2")), QByteArray(rotated ? "b" : "a"));
        QVERIFY(!QFile::exists(log(".3")));
    }

    void concurrentWritersLoseNoLineDuringRotation() {
        QVERIFY(writeFile(log(), QByteArray(int(kLogRotateAbove_bytes - 100), '.')));
        std::vector<std::unique_ptr<QThread>> writers;
        for (int w = 0; w < 4; ++w) {
            writers.emplace_back(QThread::create([w] {
                for (int i = 0; i < 200; ++i)
                    writeLogLine(QString("writer %1 line %2 ").arg(w).arg(i) + QString(40, '='));
            }));
            writers.back()->start();
        }
        for (auto &writer : writers)
            QVERIFY(writer->wait(60000));
        const QByteArray all = readFile(log(".1")) + readFile(log());
        QVERIFY(!QFile::exists(log(".2"))); // exactly one rotation
        const QRegularExpression whole("^writer \\d line \\d+ ={40}\r$",
                                       QRegularExpression::MultilineOption);
        QCOMPARE(QString::fromLatin1(all.mid(int(kLogRotateAbove_bytes - 100))).count(whole),
                 4 * 200);
        QCOMPARE(all.count("writer"), 4 * 200);
    }
};

QTEST_GUILESS_MAIN(TestSpine)
#include "tst_spine.moc"
