// The mass-storage transport and the upgrade script over a scripted SCSI back end: the search and
// its handles, the bytes of every command block, header and request buffer, chunking and the shared
// retry budget, acknowledgements and their pauses in virtual time, and the script's line kinds,
// nesting and limits against a boot loader.
#include "fakescsi.h"
#include "testsupport/simfixture.h"
#include "upgrade/scsipassthrough.h"
#include "upgrade/upgradescript.h"

#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {
QByteArray pattern(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return data;
}

const std::uint8_t *bytes(const QByteArray &data) {
    return reinterpret_cast<const std::uint8_t *>(data.constData());
}

// How many of the first requests of each subcommand fail.
using FailurePlan = QMap<int, int>;

// Answers status reads with 0D 00; fails the first requests of each subcommand as planned.
FakeScsi::Responder acknowledging(const FailurePlan &failures) {
    auto left = std::make_shared<FailurePlan>(failures);
    return [=](const FakeRequest &request, std::uint8_t *data) {
        if ((*left)[request.cdb[1]]-- > 0)
            return false;
        if (request.cdb[1] == kSubcommandStatus)
            data[0] = 0x0D, data[1] = 0x00;
        return true;
    };
}

// A row of requests: the operation, the requests it made, the pause, the failures and the result.
void requestRow(const char *name, const char *operation, const QString &trace, int pause_ms = 0,
                const FailurePlan &failures = {}, int result = 0) {
    QTest::newRow(name) << QString(operation) << failures << result << trace << pause_ms;
}

// A row of scripts: the files, the result, what reached the boot loader and whether it answers.
void scriptRow(const char *name, const QStringList &files, int result, const QString &reached = "",
               bool acknowledged = true) {
    QTest::newRow(name) << files << acknowledged << result << reached;
}
} // namespace

class TestTransport : public QObject {
    Q_OBJECT

    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<FakeScsi> scsi;
    std::unique_ptr<QTemporaryDir> dir;

    void connectDisk(const std::string &product = "UBO") {
        scsi->disks.push_back({"disk0", "QXM30", product});
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        scsi->clear();
    }
    QString file(const QString &name, const QByteArray &content) {
        writeFile(dir->filePath(name), content);
        return dir->filePath(name);
    }
    long long slept() const { return clock->slept().count(); }

private slots:
    void init() {
        clock = std::make_unique<VirtualClock>();
        scopedClock = std::make_unique<ScopedClock>(*clock);
        scsi = std::make_unique<FakeScsi>();
        installScsiBackend(scsi.get());
        dir = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        releaseUpdaterDevice();
        installScsiBackend(nullptr);
        scsi.reset();
        scopedClock.reset();
    }

    void search_data() {
        // state: -1 not found
        addColumns<QString, QString, int, int>({"vendor", "product", "selector", "state"});
        QTest::newRow("QXM30 ROM") << QString("QXM30") << "" << 0 << 0;
        QTest::newRow("QXM30 u-Boot") << QString("QXM30") << "UBO" << 0 << 2;
        QTest::newRow("ZENTA, selector 1") << QString("ZENTA") << "UPD" << 1 << 1;
        QTest::newRow("ZENTA, selector 0") << QString("ZENTA") << "UPD" << 0 << -1;
        QTest::newRow("GC, either selector") << QString("GCxyz") << "UBO" << 1 << 2;
        QTest::newRow("unknown stage, byte 17 empty") << QString("QXM30") << "X@" << 0 << 3;
        QTest::newRow("no vendor configured") << QString("QXM30") << "UBO" << 255 << -1;
        QTest::newRow("differs in byte 12") << QString("QXM31") << "UBO" << 0 << -1;
    }
    void search() {
        QFETCH(QString, vendor);
        QFETCH(QString, product);
        QFETCH(int, selector);
        QFETCH(int, state);
        std::string productBytes = product.toStdString();
        std::replace(productBytes.begin(), productBytes.end(), '@', '\0');
        scsi->disks.push_back({"disk0", vendor.toStdString(), productBytes});
        MessageCapture messages;
        UpdaterDeviceState found = UpdaterStateUBoot;
        QCOMPARE(findUpdaterDevice(selector, found), state >= 0);
        QCOMPARE(int(found), state >= 0 ? state : 3);
        QCOMPARE(scsi->handles.load(), state >= 0 ? 1 : 0);
        const QStringList names = {"ROM", "Updater", "u-Boot"};
        QCOMPARE(messages.messages().join(""),
                 state >= 0 && state < 3 ? "device state: " + names.at(state) : QString());
        const FakeRequest inquiry = scsi->requests().at(0);
        QCOMPARE(hexOf(inquiry.cdb) + QString(" %1 %2").arg(inquiry.length).arg(inquiry.timeout_s),
                 QString("12 00 00 00 24 00 36 2"));
    }

    void searchTakesTheFirstAcceptedDisk() {
        scsi->disks = {{"D", "QXM30", "UBO", true},        // cannot be opened
                       {"E", "QXM30", "UBO", false, true}, // no INQUIRY answer
                       {"F", "ACME", "UBO"},
                       {"G", "QXM30", "UPD"},
                       {"H", "QXM30", ""}};
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateUpdater);
        std::uint8_t word[4];
        QCOMPARE(readCommandStatus(word, 4, 1), 0);
        QStringList asked;
        for (const FakeRequest &request : scsi->requests())
            asked << QString::fromStdString(request.disk);
        QCOMPARE(asked, (QStringList{"E", "F", "G", "G"})); // H never asked; commands go to G
        scsi->disks.erase(scsi->disks.begin() + 3);
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateRom);
        QCOMPARE(scsi->handles.load(), 1); // the previous handle closed
        scsi->disks.clear();
        QVERIFY(!findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(scsi->handles.load(), 0);
        QCOMPARE(sendVendorCommand(2, ScsiDirection::FromDevice, 4, word), -1);
    }

    void commandBlocks_data() {
        addColumns<int, int, QString>({"subcommand", "length", "cdb"});
        QTest::newRow("data chunk") << 1 << 1024 << "e8 01 00 00 00 00 00 00 04 00";
        QTest::newRow("status") << 2 << 4 << "e8 02 00 00 00 00 00 00 00 04";
        QTest::newRow("largest payload") << 4 << 65536 << "e8 04 00 00 00 00 00 01 00 00";
        QTest::newRow("too large") << 1 << 65537 << "";
    }
    void commandBlocks() {
        QFETCH(int, subcommand);
        QFETCH(int, length);
        QFETCH(QString, cdb);
        connectDisk();
        std::vector<std::uint8_t> buffer(std::size_t(length), 0x5A);
        const auto direction =
            subcommand == 2 ? ScsiDirection::FromDevice : ScsiDirection::ToDevice;
        QCOMPARE(sendVendorCommand(std::uint8_t(subcommand), direction, std::uint32_t(length),
                                   buffer.data()),
                 cdb.isEmpty() ? -1 : 0);
        if (cdb.isEmpty()) {
            QVERIFY(scsi->requests().empty());
            return;
        }
        const FakeRequest request = scsi->requests().at(0);
        QCOMPARE(hexOf(request.cdb), cdb);
        QCOMPARE(request.timeout_s, 120u);
        if (direction == ScsiDirection::ToDevice)
            QVERIFY(request.data == buffer);
    }

    void imageHeaderAndPassThroughBuffers() {
        const QByteArray header = makeImageHeader(0x21800040u, "abc");
        QCOMPARE(header.toHex(' '), QByteArray("40 00 80 21 03 00 00 00 90 01 50 98 3c d2 4f b0 d6 "
                                               "96 3f 7d 28 e1 7f 72"));
        const std::uint8_t cdb[10] = {0xE8, 0x01, 0, 0, 0, 0, 0, 0, 0x04, 0x00};
        const QByteArray payload = pattern(1024);
        const auto request =
            passthrough::vendorRequest(cdb, 10, ScsiDirection::ToDevice, bytes(payload), 1024, 120);
        auto buffer = passthrough::encode(request, passthrough::kLayout32);
        QCOMPARE(hexOf(buffer.data(), 48),
                 "2c 00 00 00 00 00 0a 18 00 00 00 00 00 04 00 00 78 00 00 00 50 00 00 00 "
                 "30 00 00 00 e8 01 00 00 00 00 00 00 04 00 00 00 00 00 00 00 00 00 00 00");
        QCOMPARE(std::memcmp(buffer.data() + 80, payload.constData(), 1024), 0);
        // 64-bit: DataBufferOffset 8 bytes wide at 24, SenseInfoOffset at 32, Cdb at 36.
        buffer = passthrough::encode(request, passthrough::kLayout64);
        QCOMPARE(hexOf(buffer.data(), 64),
                 "38 00 00 00 00 00 0a 18 00 00 00 00 00 04 00 00 78 00 00 00 00 00 00 00 "
                 "60 00 00 00 00 00 00 00 40 00 00 00 e8 01 00 00 00 00 00 00 04 00 00 00 "
                 "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        QCOMPARE(std::memcmp(buffer.data() + 96, payload.constData(), 1024), 0);
        const std::uint8_t inquiry[6] = {0x12, 0, 0, 0, 0x24, 0};
        buffer = passthrough::encode(passthrough::inquiryRequest(inquiry, 6, 36, 2),
                                     passthrough::kLayout32);
        QCOMPARE(buffer.size(), std::size_t(80 + 36));
        QCOMPARE(hexOf(buffer.data(), 32),
                 "2c 00 00 00 01 00 06 18 01 00 00 00 24 00 00 00 02 00 00 00 50 00 00 00 "
                 "30 00 00 00 12 00 00 00");
    }

    void requests_data() {
        // An operation and the requests that fail (see acknowledging()); then the result, the
        // requests ("subcommand:length"), the time paused in between and what was read.
        addColumns<QString, FailurePlan, int, QString, int>(
            {"operation", "failures", "result", "trace", "pause_ms"});
        requestRow("no data", "chunks 0 1024", "");
        requestRow("one chunk", "chunks 1024 1024", "4:1024");
        requestRow("a byte more", "chunks 1025 1024", "1:1024 4:1");
        // One budget of 100 retries for the whole transfer; every retry resends the same chunk,
        // 100 ms after the failure.
        const QString spent =
            QString("1:1024 ").repeated(61) + QString("4:1024 ").repeated(40) + "4:1024";
        requestRow("100 retries in all", "chunks 2048 1024", spent, 10000,
                   {{kSubcommandData, 60}, {kSubcommandLastData, 40}});
        requestRow("101 retries in all", "chunks 2048 1024", spent, 10000,
                   {{kSubcommandData, 60}, {kSubcommandLastData, 41}}, -1);
        requestRow("raw file", "raw 2500", "1:1024 1:1024 4:452");
        requestRow("raw file, transfer given up: still 0", "raw 100",
                   QString("4:100 ").repeated(101).trimmed(), 10000, {{kSubcommandLastData, 1000}});
        requestRow("missing raw file", "raw -1", "", 0, {}, -1);
        requestRow("status, first read", "status 0", "2:4 0d 00 ff ff");
        requestRow("status, never read", "status -4", QString("2:4 ").repeated(10) + "ff ff ff ff",
                   900, {{kSubcommandStatus, 99}});
        requestRow("status, three tries", "status 3", QString("2:4 ").repeated(3) + "ff ff ff ff",
                   200, {{kSubcommandStatus, 99}});
        requestRow("image", "image 204805",
                   "5:24 " + QString("1:32768 ").repeated(6) + "4:8197 2:4", 10);
        requestRow("image, header refused: no data before the next header", "image 100",
                   "5:24 5:24 4:100 2:4", 500, {{kSubcommandImageHeader, 1}});
        requestRow("image, first transfer given up", "image 100",
                   "5:24 " + QString("4:100 ").repeated(101) + "5:24 4:100 2:4", 10000,
                   {{kSubcommandLastData, 101}});
        requestRow("image never acknowledged: five tries, still 0", "image 40960",
                   QString("5:24 1:32768 4:8192" + QString(" 2:4").repeated(10) + " ")
                       .repeated(5)
                       .trimmed(),
                   5 * (2 + 900), {{kSubcommandStatus, 1000}});
        requestRow("empty image", "image 0", "5:24 2:4");
        requestRow("missing image", "image -1", "", 0, {}, -1);
        requestRow("shell command", "shell", "6:5");
        requestRow("shell command refused: still 0", "shell", "6:5", 500, {{kSubcommandShell, 1}});
    }
    void requests() {
        QFETCH(QString, operation);
        QFETCH(FailurePlan, failures);
        QFETCH(int, result);
        QFETCH(QString, trace);
        QFETCH(int, pause_ms);
        connectDisk();
        scsi->responder = acknowledging(failures);
        const QStringList words = operation.split(' ');
        const int size = words.value(1).toInt();
        const QByteArray data = pattern(std::max(size, 0));
        const QString path = size < 0 ? dir->filePath("missing") : file("image.bin", data);
        std::uint8_t word[4] = {0, 0, 0, 0};
        const int got = words[0] == "chunks"
                            ? sendDataChunks(bytes(data), std::uint32_t(size), words[2].toUInt())
                        : words[0] == "raw"    ? sendRawFile(path)
                        : words[0] == "image"  ? sendImageFile(path, 0x21000000u)
                        : words[0] == "status" ? readCommandStatus(word, 4, size)
                                               : sendShellCommand("reset", 5);
        QCOMPARE(got, result);
        const QString read = words[0] == "status" ? " " + hexOf(word, 4) : "";
        QCOMPARE(scsi->vendorTrace().join(' ') + read, trace);
        QCOMPARE(slept(), (long long)pause_ms);
        QByteArray sent; // the file's bytes, each once, in order
        for (const FakeRequest &request : scsi->requests())
            if (request.cdb[1] == kSubcommandData || request.cdb[1] == kSubcommandLastData)
                sent.append(reinterpret_cast<const char *>(request.data.data()),
                            int(request.data.size()));
        if (failures.isEmpty() && words[0] != "status" && size >= 0 && words[0] != "shell")
            QCOMPARE(sent, data);
        if (words[0] == "image" && size >= 0)
            QCOMPARE(hexOf(scsi->requests().front().data),
                     QString(makeImageHeader(0x21000000u, data).toHex(' ')));
    }

    // The watcher's searches and the worker's requests from two threads: no request overlaps
    // another, and no handle is lost or closed twice.
    void searchesAndRequestsFromTwoThreads() {
        scsi->disks = {{"A", "ZENTA", "UBO"}, {"B", "ZENTA", "UBO"}};
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            UpdaterDeviceState state = UpdaterStateNone;
            while (!done)
                findUpdaterDevice(kProductLineZenta, state);
        });
        const QByteArray data = pattern(8192);
        for (int i = 0; i < 200; ++i) {
            UpdaterDeviceState state = UpdaterStateNone;
            findUpdaterDevice(kProductLineZenta, state);
            sendDataChunks(bytes(data), 8192, 1024);
        }
        done = true;
        watcher.join();
        QCOMPARE(scsi->overlaps.load(), 0);
        QCOMPARE(scsi->handles.load(), 1);
    }

    void scripts_data() {
        // files: "name=content", a.txt is run; acknowledged: whether the boot loader answers at
        // all (it never answers "reset"); reached: the lines sent to it, then the images it
        // loaded ("@address:size"), "|" between them
        addColumns<QStringList, bool, int, QString>({"files", "acknowledged", "result", "reached"});
        scriptRow("lines normalised", {"a.txt=   nand   erase.part\tKERNEL   \r\n\tsaveenv"}, 0,
                  "nand erase.part KERNEL|saveenv");
        scriptRow("comments and empty lines", {"a.txt=# c\n   % c\n\n \t \nsaveenv\n"}, 0,
                  "saveenv");
        scriptRow("1023 bytes", {"a.txt=  setenv \t x " + QString(1014, 'a')}, 0,
                  "setenv x " + QString(1014, 'a'));
        scriptRow("two attempts, then failure", {"a.txt=nand erase\nsaveenv"}, -1,
                  "nand erase|nand erase", false);
        scriptRow("reset unanswered ends it", {"a.txt=a\nreset\nb"}, 0, "a|reset");
        scriptRow("saveenv unanswered ends it", {"a.txt=saveenv\nb"}, 0, "saveenv|saveenv", false);
        scriptRow("nested scripts", {"a.txt=one\nestar s/inner.es\nthree", "s/inner.es=two"}, 0,
                  "one|two|three");
        scriptRow("nested failure ends all",
                  {"a.txt=estar m.es\nafter", "m.es=estar i.es\nm", "i.es=bad\ni"}, -1, "bad|bad",
                  false);
        scriptRow("a script that runs itself",
                  {"a.txt=estar loop.es", "loop.es=step\nestar loop.es"}, -1,
                  QString("step|").repeated(kMaxScriptNesting).chopped(1));
        scriptRow("missing script", {"b.txt=x"}, -1);
        scriptRow("memory loads",
                  {"a.txt=tftp 0x21000000 k/u\ntftp 0X2100000f k/u extra\ntftp 12g4 k/u\n"
                   "tftp FFFFFFFF k/u",
                   "k/u=" + QString(70000, 'k')},
                  0, "@21000000:70000|@2100000f:70000|@12:70000|@ffffffff:70000");
        scriptRow("missing image", {"a.txt=tftp 0x1 k/none\nafter"}, -1);
        scriptRow("address over 32 bits", {"a.txt=tftp 0x100000000 k/u", "k/u=k"}, -1);
        // Every name a script reads stays inside the package folder; a run ends after 10,000
        // lines read (comments too), however its scripts nest.
        const QString refused = "tftp 0x10 %1\nafter";
        for (const char *name : {"/etc/hostname", "../../../../../etc/hostname", "../outside.bin",
                                 "boot\\..\\..\\outside.bin", "link.bin"})
            scriptRow(qPrintable(QString("reads ") + name),
                      {"a.txt=" + refused.arg(name), "link.bin>../outside.bin"}, -1);
        scriptRow("runs a script beside the package", {"a.txt=estar ../outside.bin"}, -1);
        scriptRow("10,000 lines", {"a.txt=" + QString("# x\n").repeated(9999) + "saveenv"}, 0,
                  "saveenv");
        scriptRow("10,001 lines", {"a.txt=" + QString("# x\n").repeated(10000) + "saveenv"}, -1);
        QStringList chain = {"a.txt=estar s1.es", "s16.es=# x"}; // each runs the next ten times
        for (int level = 1; level < 16; ++level)
            chain << QString("s%1.es=").arg(level) +
                         QString("estar s%1.es\n").arg(level + 1).repeated(10);
        scriptRow("sixteen nested scripts, 10^16 runs", chain, -1);
    }
    void scripts() {
        QFETCH(QStringList, files);
        QFETCH(bool, acknowledged);
        QFETCH(int, result);
        QFETCH(QString, reached);
        // The package folder, and a file beside it.
        writeFile(dir->filePath("outside.bin"), "reset");
        for (const QString &entry : files) {
            const QString path =
                dir->filePath("package/" + entry.section(QRegularExpression("[=>]"), 0, 0));
            if (entry.contains('>')) // a link
                QFile::link(QFileInfo(path).dir().filePath(entry.section('>', 1)), path);
            else
                writeFile(path, entry.section('=', 1).toUtf8());
        }
        SimFixture sim; // a camera in its boot loader
        sim.camera->setStage(SimStage::UBoot);
        SimUpdaterFaults faults;
        faults.neverAcknowledge = !acknowledged;
        sim.camera->setUpdaterFaults(faults);
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(runUpgradeScript("a.txt", dir->filePath("package")), result);
        QStringList seen;
        for (const std::string &line : sim.camera->shellLog())
            seen << QString::fromStdString(line);
        for (const auto &[address, bytes] : sim.camera->loadedImages())
            seen << QString("@%1:%2").arg(address, 0, 16).arg(bytes.size());
        QCOMPARE(seen.join('|'), reached);
        releaseUpdaterDevice();
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
