// The mass-storage transport over a scripted SCSI back end: the bytes of every command block,
// header and request; chunking and the shared retry budget; acknowledgements; the device search
// and its handles; and two threads sharing the current device.
#include "fakescsi.h"
#include "tests/testsupport/testsupport.h"

#include "common/clock.h"
#include "upgrade/massstorage.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

namespace {
QByteArray pattern(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return data;
}

bool writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

struct Chunk {
    int subcommand;
    std::uint32_t length;
};
} // namespace

class TestMassStorage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<VirtualClock> virtualClock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<FakeScsiBackend> backend;
    QTemporaryDir dir;

    // Plugs one accepted disk in and makes it the current device.
    void connectDisk() {
        backend->disks.push_back({"disk0", makeInquiry("QXM30", "UBO"), false, false});
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateUBoot);
        backend->clearRequests();
    }

    static std::vector<Chunk> chunksOf(const std::vector<FakeRequest> &requests) {
        std::vector<Chunk> chunks;
        for (const FakeRequest &request : requests) {
            if (request.cdb[1] == kSubcommandData || request.cdb[1] == kSubcommandLastData)
                chunks.push_back({request.cdb[1], request.length});
        }
        return chunks;
    }

private slots:
    void init() {
        virtualClock = std::make_unique<VirtualClock>();
        scopedClock = std::make_unique<ScopedClock>(*virtualClock);
        backend = std::make_unique<FakeScsiBackend>();
        installScsiBackend(backend.get());
    }

    void cleanup() {
        releaseUpdaterDevice();
        installScsiBackend(nullptr);
        backend.reset();
        scopedClock.reset();
        virtualClock.reset();
    }

    // --- the bytes on the wire -------------------------------------------------------------

    void inquiryRequest() {
        backend->disks.push_back({"disk0", makeInquiry("QXM30", "UPD"), false, false});
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        const auto requests = backend->requests();
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0].cdb, bytes({0x12, 0x00, 0x00, 0x00, 0x24, 0x00}));
        QVERIFY(requests[0].direction == ScsiDirection::FromDevice);
        QCOMPARE(requests[0].length, 36u);
        QCOMPARE(requests[0].timeout_s, 2u);
    }

    void commandBlock_data() {
        QTest::addColumn<int>("subcommand");
        QTest::addColumn<bool>("fromDevice");
        QTest::addColumn<int>("length");
        QTest::addColumn<std::vector<std::uint8_t>>("cdb");
        QTest::newRow("data chunk")
            << 1 << false << 1024 << bytes({0xE8, 1, 0, 0, 0, 0, 0x00, 0x00, 0x04, 0x00});
        QTest::newRow("status") << 2 << true << 4 << bytes({0xE8, 2, 0, 0, 0, 0, 0, 0, 0, 4});
        QTest::newRow("last chunk, all length bytes")
            << 4 << false << 0x1234 << bytes({0xE8, 4, 0, 0, 0, 0, 0x00, 0x00, 0x12, 0x34});
        QTest::newRow("largest payload")
            << 4 << false << 65536 << bytes({0xE8, 4, 0, 0, 0, 0, 0x00, 0x01, 0x00, 0x00});
        QTest::newRow("header") << 5 << false << 24 << bytes({0xE8, 5, 0, 0, 0, 0, 0, 0, 0, 24});
        QTest::newRow("shell") << 6 << false << 27 << bytes({0xE8, 6, 0, 0, 0, 0, 0, 0, 0, 27});
    }

    void commandBlock() {
        QFETCH(int, subcommand);
        QFETCH(bool, fromDevice);
        QFETCH(int, length);
        QFETCH(std::vector<std::uint8_t>, cdb);
        connectDisk();
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length), 0x5A);
        const ScsiDirection direction =
            fromDevice ? ScsiDirection::FromDevice : ScsiDirection::ToDevice;
        QCOMPARE(sendVendorCommand(static_cast<std::uint8_t>(subcommand), direction,
                                   static_cast<std::uint32_t>(length), buffer.data()),
                 0);
        const auto requests = backend->requests();
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0].cdb, cdb);
        QVERIFY(requests[0].direction == direction);
        QCOMPARE(requests[0].length, static_cast<std::uint32_t>(length));
        QCOMPARE(requests[0].timeout_s, 120u);
        if (!fromDevice)
            QCOMPARE(requests[0].data, buffer);
    }

    void commandRefusesOversizedPayload() {
        connectDisk();
        std::vector<std::uint8_t> buffer(65537, 0);
        QCOMPARE(sendVendorCommand(1, ScsiDirection::ToDevice, 65537, buffer.data()), -1);
        QVERIFY(backend->requests().empty());
    }

    void commandWithoutDeviceFails() {
        std::uint8_t status[4] = {};
        QCOMPARE(sendVendorCommand(2, ScsiDirection::FromDevice, 4, status), -1);
    }

    void answerCopiedBackWhateverTheOutcome() {
        connectDisk();
        backend->responder = [](const FakeRequest &, std::uint8_t *data) {
            data[0] = 0x0D;
            data[1] = 0x00;
            return false;
        };
        std::uint8_t word[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        QCOMPARE(sendVendorCommand(2, ScsiDirection::FromDevice, 4, word), -1);
        QCOMPARE(word[0], std::uint8_t(0x0D));
        QCOMPARE(word[2], std::uint8_t(0xFF));
    }

    void imageHeaderBytes() {
        const QByteArray header = makeImageHeader(0x21800040u, QByteArrayLiteral("abc"));
        QCOMPARE(header.size(), 24);
        QCOMPARE(header.left(8), QByteArray::fromHex("4000802103000000"));
        QCOMPARE(header.mid(8), QByteArray::fromHex("900150983cd24fb0d6963f7d28e17f72"));
        const QByteArray empty = makeImageHeader(kNoLoadAddress, QByteArray());
        QCOMPARE(empty.toHex(), QByteArray("ffffffff00000000d41d8cd98f00b204e9800998ecf8427e"));
    }

    // --- chunked transfer ------------------------------------------------------------------

    void chunking_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<QList<int>>("expected"); // subcommand, length, subcommand, length...
        QTest::newRow("empty") << 0 << 1024 << QList<int>{};
        QTest::newRow("smaller than a chunk") << 100 << 1024 << QList<int>{4, 100};
        QTest::newRow("exactly one chunk") << 1024 << 1024 << QList<int>{4, 1024};
        QTest::newRow("one byte more") << 1025 << 1024 << QList<int>{1, 1024, 4, 1};
        QTest::newRow("three chunks")
            << 3 * 32768 << 32768 << QList<int>{1, 32768, 1, 32768, 4, 32768};
        QTest::newRow("ragged end") << 2500 << 1024 << QList<int>{1, 1024, 1, 1024, 4, 452};
    }

    void chunking() {
        QFETCH(int, length);
        QFETCH(int, chunkSize);
        QFETCH(QList<int>, expected);
        connectDisk();
        const QByteArray data = pattern(length);
        QCOMPARE(sendDataChunks(reinterpret_cast<const std::uint8_t *>(data.constData()),
                                static_cast<std::uint32_t>(length),
                                static_cast<std::uint32_t>(chunkSize)),
                 0);
        const auto requests = backend->vendorRequests();
        QList<int> got;
        QByteArray joined;
        for (const FakeRequest &request : requests) {
            got << request.cdb[1] << static_cast<int>(request.length);
            joined.append(reinterpret_cast<const char *>(request.data.data()),
                          static_cast<int>(request.data.size()));
        }
        QCOMPARE(got, expected);
        QCOMPARE(joined, data);
    }

    void retryBudgetIsSharedByTheWholeTransfer_data() {
        QTest::addColumn<int>("failFirst");
        QTest::addColumn<int>("failSecond");
        QTest::addColumn<int>("result");
        QTest::newRow("100 in all") << 60 << 40 << 0;
        QTest::newRow("101 in all, neither chunk over 100") << 60 << 41 << -1;
        QTest::newRow("100 on one chunk") << 100 << 0 << 0;
        QTest::newRow("101 on one chunk") << 101 << 0 << -1;
    }

    void retryBudgetIsSharedByTheWholeTransfer() {
        QFETCH(int, failFirst);
        QFETCH(int, failSecond);
        QFETCH(int, result);
        connectDisk();
        int firstFailures = 0;
        int secondFailures = 0;
        backend->responder = [&](const FakeRequest &request, std::uint8_t *) {
            if (request.cdb[1] == kSubcommandData)
                return ++firstFailures > failFirst;
            return ++secondFailures > failSecond;
        };
        const QByteArray data = pattern(2048);
        const Milliseconds before = virtualClock->slept();
        QCOMPARE(
            sendDataChunks(reinterpret_cast<const std::uint8_t *>(data.constData()), 2048, 1024),
            result);
        const auto requests = backend->vendorRequests();
        const int retries = std::min(failFirst + failSecond, 100);
        // Every retry resends the same chunk, 100 ms after the failure.
        QCOMPARE((virtualClock->slept() - before).count(), retries * 100LL);
        for (const FakeRequest &request : requests) {
            const int offset = request.cdb[1] == kSubcommandData ? 0 : 1024;
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(request.data.data()), 1024),
                     data.mid(offset, 1024));
        }
        if (result == -1)
            QCOMPARE(static_cast<int>(requests.size()), 1 + 100 + (failFirst > 100 ? 0 : 1));
    }

    // --- acknowledgements ------------------------------------------------------------------

    void acknowledged_data() {
        QTest::addColumn<std::vector<std::uint8_t>>("word");
        QTest::addColumn<bool>("acknowledged");
        QTest::newRow("0D 00") << bytes({0x0D, 0x00, 0x00, 0x00}) << true;
        QTest::newRow("0D 00, bytes 2-3 ignored") << bytes({0x0D, 0x00, 0x12, 0x34}) << true;
        QTest::newRow("0D 01") << bytes({0x0D, 0x01, 0x00, 0x00}) << false;
        QTest::newRow("0C 00") << bytes({0x0C, 0x00, 0x00, 0x00}) << false;
        QTest::newRow("nothing read") << bytes({0xFF, 0xFF, 0xFF, 0xFF}) << false;
        QTest::newRow("zero") << bytes({0, 0, 0, 0}) << false;
    }

    void acknowledged() {
        QFETCH(std::vector<std::uint8_t>, word);
        QFETCH(bool, acknowledged);
        QCOMPARE(isAcknowledged(word.data()), acknowledged);
    }

    void statusRead_data() {
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("answered");
        QTest::newRow("default, first succeeds") << 0 << 0 << 1 << true;
        QTest::newRow("default, all fail") << 0 << 1000 << 10 << false;
        QTest::newRow("default, tenth succeeds") << 0 << 9 << 10 << true;
        QTest::newRow("three, all fail") << 3 << 1000 << 3 << false;
        QTest::newRow("negative means default") << -4 << 1000 << 10 << false;
    }

    void statusRead() {
        QFETCH(int, attempts);
        QFETCH(int, failures);
        QFETCH(int, requests);
        QFETCH(bool, answered);
        connectDisk();
        int seen = 0;
        backend->responder = [&](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] != kSubcommandStatus ||
                request.direction != ScsiDirection::FromDevice)
                return false;
            if (++seen <= failures)
                return false;
            data[0] = 0x0D;
            data[1] = 0x00;
            data[2] = 0x00;
            data[3] = 0x00;
            return true;
        };
        std::uint8_t word[4] = {0, 0, 0, 0};
        const Milliseconds before = virtualClock->slept();
        QCOMPARE(readCommandStatus(word, 4, attempts), 0);
        QCOMPARE(static_cast<int>(backend->vendorRequests().size()), requests);
        QCOMPARE((virtualClock->slept() - before).count(), (requests - 1) * 100LL);
        QCOMPARE(isAcknowledged(word), answered);
        if (!answered) // preset to all ones, and nothing read over it
            QCOMPARE(bytes({word[0], word[1], word[2], word[3]}), bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    }

    void statusReadWithoutBuffer() { QCOMPARE(readCommandStatus(nullptr, 4, 0), -1); }

    // --- commands and files ----------------------------------------------------------------

    void shellCommand() {
        connectDisk();
        const char text[] = "setenv ota_upgrade_status 0";
        QCOMPARE(sendShellCommand(text, 27), 0);
        auto requests = backend->vendorRequests();
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0].cdb, bytes({0xE8, 6, 0, 0, 0, 0, 0, 0, 0, 27}));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(requests[0].data.data()), 27),
                 QByteArray(text));
        QCOMPARE(virtualClock->slept().count(), 0LL);

        backend->responder = [](const FakeRequest &, std::uint8_t *) { return false; };
        QCOMPARE(sendShellCommand(text, 27), 0); // one attempt, a pause, success all the same
        QCOMPARE(backend->vendorRequests().size(), std::size_t(2));
        QCOMPARE(virtualClock->slept().count(), 500LL);
    }

    void imageHeaderFailurePauses() {
        connectDisk();
        backend->responder = [](const FakeRequest &, std::uint8_t *) { return false; };
        const QByteArray header = makeImageHeader(1, QByteArray("x"));
        QCOMPARE(sendImageHeader(reinterpret_cast<const std::uint8_t *>(header.constData())), 0);
        QCOMPARE(backend->vendorRequests().size(), std::size_t(1));
        QCOMPARE(virtualClock->slept().count(), 500LL);
    }

    void loadFileFillsUpToTheMinimum() {
        const QString path = dir.filePath(QStringLiteral("small.bin"));
        QVERIFY(writeFile(path, QByteArray("abc")));
        QByteArray buffer;
        QVERIFY(loadFile(path, buffer, 8));
        QCOMPARE(buffer, QByteArray("abc\0\0\0\0\0", 8));
        QVERIFY(loadFile(path, buffer, 0));
        QCOMPARE(buffer, QByteArray("abc"));
        QVERIFY(!loadFile(dir.filePath(QStringLiteral("missing.bin")), buffer, 0));
        QVERIFY(!loadFile(dir.path(), buffer, 0)); // a directory is no file
        QVERIFY(!loadFile(QString(), buffer, 0));
    }

    void rawFile() {
        connectDisk();
        const QString path = dir.filePath(QStringLiteral("usb_updater.bin"));
        const QByteArray content = pattern(2500);
        QVERIFY(writeFile(path, content));
        QCOMPARE(sendRawFile(path), 0);
        const auto chunks = chunksOf(backend->vendorRequests());
        QCOMPARE(chunks.size(), std::size_t(3));
        QCOMPARE(chunks[0].subcommand, 1);
        QCOMPARE(chunks[1].length, 1024u);
        QCOMPARE(chunks[2].subcommand, 4);
        QCOMPARE(chunks[2].length, 452u);
        QCOMPARE(backend->vendorRequests().size(), std::size_t(3)); // no header, no status

        // The transfer's failure is not passed on; only an unreadable file is.
        backend->responder = [](const FakeRequest &, std::uint8_t *) { return false; };
        QCOMPARE(sendRawFile(path), 0);
        QCOMPARE(sendRawFile(dir.filePath(QStringLiteral("missing.bin"))), -1);
    }

    void imageFileAcknowledged() {
        connectDisk();
        const QString path = dir.filePath(QStringLiteral("u-boot.bin"));
        const QByteArray content = pattern(204800 + 5); // 10 ms of writing time
        QVERIFY(writeFile(path, content));
        backend->responder = [](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandStatus) {
                data[0] = 0x0D;
                data[1] = 0x00;
            }
            return true;
        };
        QCOMPARE(sendImageFile(path, 0x21000000u), 0);
        const auto requests = backend->vendorRequests();
        QCOMPARE(requests.front().cdb[1], kSubcommandImageHeader);
        QCOMPARE(bytesOf(makeImageHeader(0x21000000u, content)), requests.front().data);
        QCOMPARE(requests.back().cdb[1], kSubcommandStatus);
        const auto chunks = chunksOf(requests);
        QCOMPARE(chunks.size(), std::size_t(7)); // six of 32,768 and the rest
        QCOMPARE(chunks.back().subcommand, 4);
        QCOMPARE(chunks.back().length, 204805u - 6 * 32768u);
        QCOMPARE(requests.size(), std::size_t(9));
        QCOMPARE(virtualClock->slept().count(), 10LL);
    }

    void imageFileRetriedWhenStatusIsNotAnAcknowledgement_data() {
        QTest::addColumn<int>("byte0");
        QTest::addColumn<int>("byte1");
        QTest::newRow("0D 01") << 0x0D << 0x01;
        QTest::newRow("nothing") << 0xFF << 0xFF;
    }

    void imageFileRetriedWhenStatusIsNotAnAcknowledgement() {
        QFETCH(int, byte0);
        QFETCH(int, byte1);
        connectDisk();
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QVERIFY(writeFile(path, pattern(40960)));
        backend->responder = [&](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandStatus) {
                data[0] = static_cast<std::uint8_t>(byte0);
                data[1] = static_cast<std::uint8_t>(byte1);
            }
            return true;
        };
        MessageCapture messages;
        QCOMPARE(sendImageFile(path, kNoLoadAddress), 0);
        int headers = 0;
        int statusReads = 0;
        for (const FakeRequest &request : backend->vendorRequests()) {
            headers += request.cdb[1] == kSubcommandImageHeader;
            statusReads += request.cdb[1] == kSubcommandStatus;
        }
        QCOMPARE(headers, 5);
        QCOMPARE(statusReads, 5); // each read succeeded, so one per attempt
        QCOMPARE(virtualClock->slept().count(), 5 * 2LL);
        QVERIFY(messages.contains(QStringLiteral("image not acknowledged:")));
    }

    void imageFileFailedTransferSkipsToTheNextAttempt() {
        connectDisk();
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QVERIFY(writeFile(path, pattern(1000)));
        int dataRequests = 0;
        backend->responder = [&](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandLastData)
                return ++dataRequests > 101; // the first attempt's transfer gives up
            if (request.cdb[1] == kSubcommandStatus) {
                data[0] = 0x0D;
                data[1] = 0x00;
            }
            return true;
        };
        QCOMPARE(sendImageFile(path, kNoLoadAddress), 0);
        QList<int> order;
        for (const FakeRequest &request : backend->vendorRequests()) {
            if (request.cdb[1] != kSubcommandLastData)
                order << request.cdb[1];
        }
        // No pause and no status read after the failed transfer: straight to the next header.
        QCOMPARE(order, (QList<int>{5, 5, 2}));
        QCOMPARE(virtualClock->slept().count(), 100 * 100LL);
    }

    void emptyImage() {
        connectDisk();
        const QString path = dir.filePath(QStringLiteral("empty.bin"));
        QVERIFY(writeFile(path, QByteArray()));
        backend->responder = [](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandStatus) {
                data[0] = 0x0D;
                data[1] = 0x00;
            }
            return true;
        };
        QCOMPARE(sendImageFile(path, 0x1000), 0);
        const auto requests = backend->vendorRequests();
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(requests[0].data.data()), 24).toHex(),
                 QByteArray("0010000000000000d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(requests[1].cdb[1], kSubcommandStatus);
        QCOMPARE(virtualClock->slept().count(), 0LL);
    }

    void unreadableImageSendsNothing() {
        connectDisk();
        QCOMPARE(sendImageFile(dir.filePath(QStringLiteral("missing.bin")), 0), -1);
        QVERIFY(backend->requests().empty());
    }

    // --- the search ------------------------------------------------------------------------

    void search_data() {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("selector");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("QXM30 ROM") << "QXM30"
                                   << "" << 0 << true << 0 << "device state: ROM";
        QTest::newRow("QXM30 Updater") << "QXM30"
                                       << "UPD" << 0 << true << 1 << "device state: Updater";
        QTest::newRow("QXM30 u-Boot") << "QXM30"
                                      << "UBO" << 0 << true << 2 << "device state: u-Boot";
        QTest::newRow("ZENTA Updater, selector 1")
            << "ZENTA"
            << "UPD" << 1 << true << 1 << "device state: Updater";
        QTest::newRow("ZENTA, selector 0") << "ZENTA"
                                           << "UPD" << 0 << false << 3 << "";
        QTest::newRow("QXM30, selector 1") << "QXM30"
                                           << "UBO" << 1 << false << 3 << "";
        QTest::newRow("GC, selector 0") << "GCxyz"
                                        << "UBO" << 0 << true << 2 << "device state: u-Boot";
        QTest::newRow("GC, selector 1") << "GC"
                                        << "UPD" << 1 << true << 1 << "device state: Updater";
        QTest::newRow("unknown stage") << "QXM30"
                                       << "DISK" << 0 << true << 3 << "";
        QTest::newRow("no vendor configured") << "QXM30"
                                              << "UBO" << 255 << false << 3 << "";
        QTest::newRow("other disk") << "ACME"
                                    << "UBO" << 0 << false << 3 << "";
        QTest::newRow("vendor differs in byte 12") << "QXM31"
                                                   << "UBO" << 0 << false << 3 << "";
    }

    void search() {
        QFETCH(QString, vendor);
        QFETCH(QString, product);
        QFETCH(int, selector);
        QFETCH(bool, found);
        QFETCH(int, state);
        QFETCH(QString, logLine);
        backend->disks.push_back(
            {"disk0", makeInquiry(vendor.toStdString(), product.toStdString()), false, false});
        MessageCapture messages;
        UpdaterDeviceState result = UpdaterStateUBoot;
        QCOMPARE(findUpdaterDevice(selector, result), found);
        QCOMPARE(static_cast<int>(result), state);
        QCOMPARE(hasCurrentUpdaterDevice(), found);
        QCOMPARE(backend->openHandles(), found ? 1 : 0);
        if (!logLine.isEmpty())
            QVERIFY(messages.messages().contains(logLine));
        else
            QVERIFY(!messages.contains(QStringLiteral("device state")));
    }

    void searchTakesTheFirstAcceptedDiskAndClosesTheRest() {
        backend->disks.push_back({"D", makeInquiry("QXM30", "UBO"), true, false});  // cannot open
        backend->disks.push_back({"E", makeInquiry("QXM30", "UBO"), false, true});  // no INQUIRY
        backend->disks.push_back({"F", makeInquiry("ACME", "UBO"), false, false});  // rejected
        backend->disks.push_back({"G", makeInquiry("QXM30", "UPD"), false, false}); // accepted
        backend->disks.push_back({"H", makeInquiry("QXM30", ""), false, false});
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateUpdater);
        QCOMPARE(backend->openHandles(), 1);
        std::vector<std::string> asked;
        for (const FakeRequest &request : backend->requests())
            asked.push_back(request.disk);
        QCOMPARE(asked, (std::vector<std::string>{"E", "F", "G"})); // H is never asked

        // Commands go to G.
        std::uint8_t word[4];
        QCOMPARE(readCommandStatus(word, 4, 1), 0);
        QCOMPARE(backend->requests().back().disk, std::string("G"));

        // The next search replaces the handle and closes the old one.
        backend->disks.erase(backend->disks.begin() + 3);
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateRom);
        QCOMPARE(backend->openHandles(), 1);

        // A search that finds nothing drops the device.
        backend->disks.clear();
        QVERIFY(!findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateNone);
        QCOMPARE(backend->openHandles(), 0);
        QCOMPARE(sendVendorCommand(2, ScsiDirection::FromDevice, 4, word), -1);
    }

    // Two threads, as the watcher and the upgrade worker: searches and single requests never
    // overlap, no request runs while a search is listing or opening candidates, and no handle
    // is closed under a running request.
    void searchesAndCommandsNeverInterleave() {
        backend->disks.push_back({"A", makeInquiry("ZENTA", "UBO"), false, false});
        backend->disks.push_back({"B", makeInquiry("ZENTA", "UBO"), false, false});
        backend->spin = 50;
        MessageCapture quiet; // a search logs its finding every time
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineZenta, state));
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            UpdaterDeviceState seen = UpdaterStateNone;
            while (!done.load())
                findUpdaterDevice(kProductLineZenta, seen);
        });
        const QByteArray data = pattern(200 * 1024);
        for (int i = 0; i < 20; ++i) {
            sendDataChunks(reinterpret_cast<const std::uint8_t *>(data.constData()),
                           static_cast<std::uint32_t>(data.size()), 1024);
            std::uint8_t word[4];
            readCommandStatus(word, 4, 0);
        }
        done = true;
        watcher.join();
        QCOMPARE(backend->violations.load(), 0);
        QCOMPARE(backend->vendorDuringSearchStep.load(), 0);
        QVERIFY(backend->openHandles() <= 1);
        int inquiries = 0;
        for (const FakeRequest &request : backend->requests())
            inquiries += request.cdb[0] == 0x12;
        QVERIFY2(inquiries > 1, "the watcher thread never got a turn");
    }
};

QTEST_GUILESS_MAIN(TestMassStorage)
#include "tst_massstorage.moc"
