// The upgrade script interpreter against a scripted boot loader: line kinds, normalising, the
// length limit, the two attempts, "reset"/"saveenv", nesting, load addresses.
#include "fakescsi.h"
#include "tests/testsupport/testsupport.h"

#include "common/clock.h"
#include "upgrade/massstorage.h"
#include "upgrade/upgradescript.h"

#include <QTemporaryDir>
#include <QtTest>

#include <set>

class TestUpgradeScript : public QObject {
    Q_OBJECT

private:
    VirtualClock clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<FakeScsiBackend> backend;
    std::unique_ptr<QTemporaryDir> dir;

    // The boot loader: acknowledges every command line except those in `silent`, and every
    // image whose size and digest match its header.
    std::set<std::string> silent;
    std::vector<std::string> lines;
    std::vector<std::pair<std::uint32_t, QByteArray>> images;
    bool pendingAcknowledgement = false;
    bool acknowledgeImages = true;
    QByteArray header;
    QByteArray imageData;

    void write(const QString &name, const QByteArray &content) {
        const QString path = dir->filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

    int run(const QString &name = QStringLiteral("auto_update.txt")) {
        return runUpgradeScript(name, dir->path());
    }

    int shellRequests() const {
        int count = 0;
        for (const FakeRequest &request : backend->vendorRequests())
            count += request.cdb[1] == kSubcommandShell;
        return count;
    }

    std::vector<std::string> sentLines() const {
        std::vector<std::string> result;
        for (const FakeRequest &request : backend->vendorRequests()) {
            if (request.cdb[1] == kSubcommandShell)
                result.emplace_back(request.data.begin(), request.data.end());
        }
        return result;
    }

private slots:
    void init() {
        scopedClock = std::make_unique<ScopedClock>(clock);
        dir = std::make_unique<QTemporaryDir>();
        backend = std::make_unique<FakeScsiBackend>();
        backend->disks.push_back({"disk0", makeInquiry("QXM30", "UBO"), false, false});
        silent.clear();
        lines.clear();
        images.clear();
        pendingAcknowledgement = false;
        acknowledgeImages = true;
        backend->responder = [this](const FakeRequest &request, std::uint8_t *data) {
            switch (request.cdb[1]) {
            case kSubcommandShell: {
                const std::string line(request.data.begin(), request.data.end());
                lines.push_back(line);
                pendingAcknowledgement = !silent.count(line);
                return true;
            }
            case kSubcommandImageHeader:
                header = QByteArray(reinterpret_cast<const char *>(request.data.data()), 24);
                imageData.clear();
                return true;
            case kSubcommandData:
            case kSubcommandLastData:
                imageData.append(reinterpret_cast<const char *>(request.data.data()),
                                 static_cast<int>(request.data.size()));
                if (request.cdb[1] == kSubcommandLastData && acknowledgeImages &&
                    makeImageHeader(0, imageData).mid(4) == header.mid(4)) {
                    quint32 address = 0;
                    std::memcpy(&address, header.constData(), 4);
                    images.emplace_back(address, imageData);
                    pendingAcknowledgement = true;
                }
                return true;
            case kSubcommandStatus:
                data[0] = pendingAcknowledgement ? 0x0D : 0xEE;
                data[1] = 0x00;
                pendingAcknowledgement = false;
                return true;
            default:
                return false;
            }
        };
        installScsiBackend(backend.get());
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
    }

    void cleanup() {
        releaseUpdaterDevice();
        installScsiBackend(nullptr);
        backend.reset();
        dir.reset();
        scopedClock.reset();
    }

    void normalise_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain") << QByteArray("saveenv") << QByteArray("saveenv");
        QTest::newRow("blanks and tabs") << QByteArray("  nand   write\t0x21000000 \t KERNEL  ")
                                         << QByteArray("nand write 0x21000000 KERNEL");
        QTest::newRow("only white space") << QByteArray(" \t \t") << QByteArray();
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("other control characters stay")
            << QByteArray("a\x0b b\r") << QByteArray("a\x0b b\r");
    }

    void normalise() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        QCOMPARE(normaliseScriptLine(line), expected);
    }

    void loadAddress_data() {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint32>("address");
        QTest::newRow("prefix") << QByteArray("0x21000000") << true << quint32(0x21000000);
        QTest::newRow("capital prefix") << QByteArray("0X21000000") << true << quint32(0x21000000);
        QTest::newRow("no prefix") << QByteArray("21000000") << true << quint32(0x21000000);
        QTest::newRow("mixed case") << QByteArray("0xAbCd") << true << quint32(0xABCD);
        QTest::newRow("stops at a non-digit") << QByteArray("0x12g4") << true << quint32(0x12);
        QTest::newRow("largest") << QByteArray("FFFFFFFF") << true << quint32(0xFFFFFFFF);
        QTest::newRow("leading zeros") << QByteArray("0x000000001") << true << quint32(1);
        QTest::newRow("33 bits") << QByteArray("0x100000000") << false << quint32(0);
        QTest::newRow("no digit") << QByteArray("0xZZ") << false << quint32(0);
        QTest::newRow("prefix alone") << QByteArray("0x") << false << quint32(0);
        QTest::newRow("missing") << QByteArray() << false << quint32(0);
    }

    void loadAddress() {
        QFETCH(QByteArray, word);
        QFETCH(bool, valid);
        QFETCH(quint32, address);
        quint32 parsed = 7;
        QCOMPARE(parseLoadAddress(word, parsed), valid);
        QCOMPARE(parsed, valid ? address : quint32(7));
    }

    void commandLineSentNormalised() {
        write("auto_update.txt", "   nand   erase.part\tKERNEL   \r\n\tsaveenv");
        QCOMPARE(run(), 0);
        QCOMPARE(sentLines(), (std::vector<std::string>{"nand erase.part KERNEL", "saveenv"}));
    }

    void commentsAndEmptyLinesSkipped() {
        write("auto_update.txt", "# comment\n   % indented comment\n\n \t \nreset\n");
        QCOMPARE(run(), 0);
        QCOMPARE(sentLines(), (std::vector<std::string>{"reset"}));
    }

    void lengthLimit_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("result");
        QTest::newRow("1023") << 1023 << 0;
        QTest::newRow("1024") << 1024 << -1;
    }

    void lengthLimit() {
        QFETCH(int, length);
        QFETCH(int, result);
        // Blanks around the line and inside runs do not count: the normalised line does.
        const QByteArray body = "setenv x " + QByteArray(length - 9, 'a');
        write("auto_update.txt",
              "  " + QByteArray(body).replace("setenv x", "setenv \t  x") + "   \nsaveenv\n");
        QCOMPARE(run(), result);
        if (result == 0)
            QCOMPARE(sentLines().front(), body.toStdString());
        else
            QCOMPARE(shellRequests(), 0); // failed without being sent
    }

    void unacknowledgedCommandFailsAfterTwoAttempts() {
        silent = {"nand erase.part KERNEL"};
        write("auto_update.txt", "nand erase.part KERNEL\nsaveenv\n");
        QCOMPARE(run(), -1);
        QCOMPARE(sentLines(), (std::vector<std::string>(2, "nand erase.part KERNEL")));
    }

    void secondAttemptRescuesACommand() {
        int sends = 0;
        auto inner = backend->responder;
        backend->responder = [&, inner](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandShell && ++sends == 1)
                return false; // the first send is lost; its status read finds nothing
            return inner(request, data);
        };
        write("auto_update.txt", "bootm\n");
        QCOMPARE(run(), 0);
        QCOMPARE(sends, 2);
    }

    void resetAndSaveenvEndTheScript_data() {
        QTest::addColumn<QString>("silentLine");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("reset unanswered") << "reset" << 0 << QStringList{"a", "reset", "reset"};
        QTest::newRow("saveenv unanswered")
            << "saveenv" << 0 << QStringList{"a", "saveenv", "saveenv"};
        QTest::newRow("saveenv answered goes on")
            << "" << 0 << QStringList{"a", "saveenv", "reset", "b"};
        QTest::newRow("Reset is another command")
            << "Reset" << -1 << QStringList{"a", "saveenv", "reset", "b", "Reset", "Reset"};
    }

    void resetAndSaveenvEndTheScript() {
        QFETCH(QString, silentLine);
        QFETCH(int, result);
        QFETCH(QStringList, sent);
        silent = {silentLine.toStdString()};
        const QByteArray script = silentLine == "Reset"   ? "a\nsaveenv\nreset\nb\nReset\nc\n"
                                  : silentLine == "reset" ? "a\nreset\nb\n"
                                                          : "a\nsaveenv\nreset\nb\n";
        write("auto_update.txt", script);
        QCOMPARE(run(), result);
        QStringList got;
        for (const std::string &line : sentLines())
            got << QString::fromStdString(line);
        QCOMPARE(got, sent);
    }

    void nestedScripts() {
        write("auto_update.txt", "one\nestar scripts/inner.es\nthree\n");
        write("scripts/inner.es", "two\n");
        QCOMPARE(run(), 0);
        QCOMPARE(sentLines(), (std::vector<std::string>{"one", "two", "three"}));
    }

    void nestedFailurePropagates() {
        silent = {"bad"};
        write("auto_update.txt", "one\nestar mid.es\nafter\n");
        write("mid.es", "estar inner.es\nmid-after\n");
        write("inner.es", "bad\ninner-after\n");
        QCOMPARE(run(), -1);
        QCOMPARE(sentLines(), (std::vector<std::string>{"one", "bad", "bad"}));
    }

    void nestedResetEndsOnlyTheNestedScript() {
        silent = {"reset"};
        write("auto_update.txt", "estar inner.es\nafter\n");
        write("inner.es", "reset\nskipped\n");
        QCOMPARE(run(), 0);
        QCOMPARE(sentLines(), (std::vector<std::string>{"reset", "reset", "after"}));
    }

    void estarWithoutNameFails() {
        write("auto_update.txt", "estar\nafter\n");
        QCOMPARE(run(), -1);
        QCOMPARE(shellRequests(), 0);
    }

    void keywordsAreCaseSensitive() {
        write("auto_update.txt", "ESTAR x.es\nTFTP 0x1 y.bin\n");
        QCOMPARE(run(), 0);
        QCOMPARE(sentLines(), (std::vector<std::string>{"ESTAR x.es", "TFTP 0x1 y.bin"}));
    }

    void selfNestingIsStopped() {
        write("auto_update.txt", "estar loop.es\n");
        write("loop.es", "step\nestar loop.es\n");
        QCOMPARE(run(), -1);
        QCOMPARE(shellRequests(), kMaxScriptNesting);
    }

    void missingScriptFailsBeforeSendingAnything() {
        QCOMPARE(run(QStringLiteral("absent.txt")), -1);
        QVERIFY(backend->requests().size() == 1); // the search's INQUIRY only
    }

    void tftpLoadsToTheAddress() {
        write("kernel/uImage", QByteArray(70000, 'k'));
        write("auto_update.txt",
              "tftp 0x21000000 kernel/uImage\ntftp 21000000 kernel/uImage extra words\n");
        QCOMPARE(run(), 0);
        QCOMPARE(images.size(), std::size_t(2));
        QCOMPARE(images[0].first, quint32(0x21000000));
        QCOMPARE(images[1].first, quint32(0x21000000));
        QCOMPARE(images[0].second, QByteArray(70000, 'k'));
        QCOMPARE(shellRequests(), 0);
    }

    void tftpFailures_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("missing file") << QByteArray("tftp 0x21000000 kernel/none");
        QTest::newRow("no file name") << QByteArray("tftp 0x21000000");
        QTest::newRow("address without digit") << QByteArray("tftp 0xQQ kernel/uImage");
        QTest::newRow("address over 32 bits") << QByteArray("tftp 0x121000000 kernel/uImage");
        QTest::newRow("no address") << QByteArray("tftp");
    }

    void tftpFailures() {
        QFETCH(QByteArray, line);
        write("kernel/uImage", QByteArray(100, 'k'));
        write("auto_update.txt", line + "\nafter\n");
        QCOMPARE(run(), -1);
        QVERIFY(sentLines().empty());
    }

    void unacknowledgedImageKeepsSuccessButWarns() {
        acknowledgeImages = false;
        write("kernel/uImage", QByteArray(100, 'k'));
        write("auto_update.txt", "tftp 0x21000000 kernel/uImage\nafter\n");
        MessageCapture messages;
        QCOMPARE(run(), 0);
        QVERIFY(messages.contains(QStringLiteral("image not acknowledged:")));
        QCOMPARE(sentLines(), (std::vector<std::string>{"after"}));
    }
};

QTEST_GUILESS_MAIN(TestUpgradeScript)
#include "tst_upgradescript.moc"
