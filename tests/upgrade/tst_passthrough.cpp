// The Windows pass-through request buffer, byte for byte, for both kinds of request.
#include "upgrade/scsipassthrough.h"

#include <QtTest>

namespace {
QByteArray asBytes(const std::vector<std::uint8_t> &buffer, int from, int count) {
    return QByteArray(reinterpret_cast<const char *>(buffer.data()) + from, count);
}
} // namespace

class TestPassThrough : public QObject {
    Q_OBJECT

private slots:
    void vendorCommandToDevice() {
        QByteArray payload(1024, '\0');
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>(i * 13);
        const std::uint8_t cdb[10] = {0xE8, 0x01, 0, 0, 0, 0, 0x00, 0x00, 0x04, 0x00};
        const auto buffer = passthrough::encode(passthrough::vendorRequest(
            cdb, 10, ScsiDirection::ToDevice,
            reinterpret_cast<const std::uint8_t *>(payload.constData()), 1024, 120));
        QCOMPARE(buffer.size(), std::size_t(80 + 1024));
        const QByteArray expected = QByteArray::fromHex(
            "2c00"                                             // Length 44
            "00"                                               // ScsiStatus
            "00"                                               // PathId
            "00"                                               // TargetId
            "00"                                               // Lun
            "0a"                                               // CdbLength 10
            "18"                                               // SenseInfoLength 24
            "00"                                               // DataIn: to the device
            "000000"                                           // padding
            "00040000"                                         // DataTransferLength 1024
            "78000000"                                         // TimeOutValue 120
            "50000000"                                         // DataBufferOffset 80
            "30000000"                                         // SenseInfoOffset 48
            "e8010000000000000400000000000000"                 // Cdb (16)
            "00000000"                                         // padding
            "000000000000000000000000000000000000000000000000" // sense area (24)
            "0000000000000000");                               // padding
        QCOMPARE(expected.size(), 80);
        QCOMPARE(asBytes(buffer, 0, 80).toHex(), expected.toHex());
        QCOMPARE(asBytes(buffer, 80, 1024), payload);
    }

    void vendorCommandFromDevice() {
        const std::uint8_t cdb[10] = {0xE8, 0x02, 0, 0, 0, 0, 0, 0, 0, 4};
        const std::uint8_t word[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        const auto buffer = passthrough::encode(
            passthrough::vendorRequest(cdb, 10, ScsiDirection::FromDevice, word, 4, 120));
        QCOMPARE(buffer.size(), std::size_t(84));
        QCOMPARE(buffer[4], std::uint8_t(0));  // TargetId
        QCOMPARE(buffer[6], std::uint8_t(10)); // CdbLength
        QCOMPARE(buffer[8], std::uint8_t(1));  // DataIn: from the device
        QCOMPARE(asBytes(buffer, 12, 4).toHex(), QByteArray("04000000"));
        // The caller's buffer goes into the data area also for data from the device.
        QCOMPARE(asBytes(buffer, 80, 4).toHex(), QByteArray("ffffffff"));
    }

    void largestPayload() {
        const std::uint8_t cdb[10] = {0xE8, 0x04, 0, 0, 0, 0, 0x00, 0x01, 0x00, 0x00};
        const std::vector<std::uint8_t> payload(65536, 0xA5);
        const auto buffer = passthrough::encode(passthrough::vendorRequest(
            cdb, 10, ScsiDirection::ToDevice, payload.data(), 65536, 120));
        QCOMPARE(buffer.size(), std::size_t(80 + 65536));
        QCOMPARE(asBytes(buffer, 12, 4).toHex(), QByteArray("00000100"));
        QCOMPARE(buffer.back(), std::uint8_t(0xA5));
    }

    void inquiry() {
        const std::uint8_t cdb[6] = {0x12, 0, 0, 0, 0x24, 0};
        const auto buffer = passthrough::encode(passthrough::inquiryRequest(cdb, 6, 36, 2));
        QCOMPARE(buffer.size(), std::size_t(80 + 36));
        const QByteArray expected = QByteArray::fromHex(
            "2c00"
            "00"
            "00"
            "01" // TargetId 1
            "00"
            "06" // CdbLength 6
            "18"
            "01" // DataIn
            "000000"
            "24000000" // DataTransferLength 36
            "02000000" // TimeOutValue 2
            "50000000"
            "30000000"
            "12000000240000000000000000000000"
            "00000000"
            "000000000000000000000000000000000000000000000000"
            "0000000000000000"
            // data area: zero
            "000000000000000000000000000000000000000000000000000000000000000000000000");
        QCOMPARE(asBytes(buffer, 0, static_cast<int>(buffer.size())).toHex(), expected.toHex());
    }
};

QTEST_GUILESS_MAIN(TestPassThrough)
#include "tst_passthrough.moc"
