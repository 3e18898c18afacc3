#include "control/ksrequests.h"
#include "control/uvcextensionunit.h"

#include <QtTest>

#include <cstring>

namespace {
template <std::size_t N>
QByteArray toBytes(const std::array<std::uint8_t, N> &data) {
    return QByteArray(reinterpret_cast<const char *>(data.data()), static_cast<int>(N));
}
} // namespace

class TestKsRequests : public QObject {
    Q_OBJECT
private slots:
    void extensionUnitSetEncodesLikeTheSystem() {
        QCOMPARE(toBytes(encodeGuid(kExtensionUnitSet)),
                 QByteArray::fromHex("d09ee4237811314fae52d2fb8a8d3b48"));
    }

    void guidRoundTrips_data() {
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("extension unit") << QByteArray::fromHex("d09ee4237811314fae52d2fb8a8d3b48");
        QTest::newRow("camera control") << QByteArray::fromHex("7033e1c6ac30d011a18c00a0c9118956");
        QTest::newRow("high bits") << QByteArray::fromHex("fffefdfcfbfaf9f8f7f6f5f4f3f2f1f0");
    }
    void guidRoundTrips() {
        QFETCH(QByteArray, wire);
        GuidBytes bytes{};
        std::memcpy(bytes.data(), wire.constData(), bytes.size());
        const Guid guid = decodeGuid(bytes);
        QCOMPARE(toBytes(encodeGuid(guid)), wire);
    }

    void guidComparison() {
        Guid other = kExtensionUnitSet;
        QVERIFY(other == kExtensionUnitSet);
        other.data4[7] ^= 1;
        QVERIFY(other != kExtensionUnitSet);
        QVERIFY(kCameraControlSet != kExtensionUnitSet);
    }

    void nodeRequest_data() {
        QTest::addColumn<uint>("selector");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<uint>("node");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray set = QByteArray::fromHex("d09ee4237811314fae52d2fb8a8d3b48");
        QTest::newRow("command write, node 3")
            << 1u << kWriteFlags << 3u
            << set + QByteArray::fromHex("010000000200001003000000"
                                         "00000000");
        QTest::newRow("response read, node 0")
            << 2u << kReadFlags << 0u
            << set + QByteArray::fromHex("020000000100001000000000"
                                         "00000000");
        QTest::newRow("upgrade write, node 0x01020304")
            << 4u << kWriteFlags << 0x01020304u
            << set + QByteArray::fromHex("040000000200001004030201"
                                         "00000000");
    }
    void nodeRequest() {
        QFETCH(uint, selector);
        QFETCH(uint, flags);
        QFETCH(uint, node);
        QFETCH(QByteArray, expected);
        const NodeRequest request = encodeNodeRequest(kExtensionUnitSet, selector, flags, node);
        QCOMPARE(request.size(), std::size_t(32));
        QCOMPARE(toBytes(request), expected);
    }

    void cameraControlRecord_data() {
        QTest::addColumn<uint>("property");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray set = QByteArray::fromHex("7033e1c6ac30d011a18c00a0c9118956");
        const QByteArray tail = QByteArray::fromHex("020000000200000000000000");
        QTest::newRow("read pan") << 0u << kPropertyTypeGet << 0
                                  << set + QByteArray::fromHex("000000000100000000000000") + tail;
        QTest::newRow("write tilt -30")
            << 1u << kPropertyTypeSet << -30
            << set + QByteArray::fromHex("0100000002000000e2ffffff") + tail;
        QTest::newRow("write zoom 800")
            << 3u << kPropertyTypeSet << 800
            << set + QByteArray::fromHex("030000000200000020030000") + tail;
    }
    void cameraControlRecord() {
        QFETCH(uint, property);
        QFETCH(uint, flags);
        QFETCH(int, value);
        QFETCH(QByteArray, expected);
        const CameraControlRecord record = encodeCameraControlRecord(property, flags, value);
        QCOMPARE(record.size(), std::size_t(40));
        QCOMPARE(toBytes(record), expected);
        QCOMPARE(cameraControlRecordValue(record), value);
    }

    void valueWrittenBackByTheDeviceIsRead() {
        CameraControlRecord record = encodeCameraControlRecord(0, kPropertyTypeGet, 5);
        record[24] = 0x9c; // -100
        record[25] = 0xff;
        record[26] = 0xff;
        record[27] = 0xff;
        QCOMPARE(cameraControlRecordValue(record), -100);
    }
};

QTEST_GUILESS_MAIN(TestKsRequests)
#include "tst_ksrequests.moc"
