#include "control/uvcdescriptors.h"
#include "control/uvcextensionunit.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {
using Blob = std::vector<std::uint8_t>;

void append(Blob &blob, const Blob &part) {
    blob.insert(blob.end(), part.begin(), part.end());
}

Blob deviceDescriptor() {
    return {18,   0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x6B,
            0x1D, 0x04, 0x01, 0x00, 0x01, 0x01, 0x02, 0x03, 0x01};
}

Blob configurationDescriptor(std::uint16_t totalLength = 0) {
    return {9,    0x02, std::uint8_t(totalLength & 0xFF), std::uint8_t(totalLength >> 8), 2, 1, 0,
            0x80, 0xFA};
}

Blob interfaceAssociation() {
    return {8, 0x0B, 0, 2, 0x0E, 0x03, 0x00, 0x02};
}

Blob interfaceDescriptor(std::uint8_t number, std::uint8_t cls, std::uint8_t subclass) {
    return {9, 0x04, number, 0, 1, cls, subclass, 0x00, 0x02};
}

Blob videoControlHeader() {
    return {13, 0x24, 0x01, 0x10, 0x01, 0x4D, 0x00, 0x00, 0x6C, 0xDC, 0x02, 0x01, 0x01};
}

Blob inputTerminal(std::uint8_t id) {
    return {18,   0x24, 0x02, id,   0x01, 0x02, 0x00, 0x00, 0x00,
            0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x0A, 0x08, 0x00};
}

Blob extensionUnit(std::uint8_t id, const GuidBytes &guid, std::uint8_t source = 1) {
    Blob unit(26, 0);
    unit[0] = 26;
    unit[1] = 0x24;
    unit[2] = 0x06;
    unit[3] = id;
    std::copy(guid.begin(), guid.end(), unit.begin() + 4);
    const std::uint8_t rest[] = {0x04, 0x01, source, 0x01, 0x0F, 0x00};
    std::copy(std::begin(rest), std::end(rest), unit.begin() + 20);
    return unit;
}

Blob endpoint() {
    return {7, 0x05, 0x83, 0x03, 0x10, 0x00, 0x06};
}

GuidBytes otherGuid(std::uint8_t seed) {
    GuidBytes guid = encodeGuid(kExtensionUnitSet);
    guid[15] = static_cast<std::uint8_t>(guid[15] ^ seed);
    return guid;
}

const GuidBytes kWanted = encodeGuid(kExtensionUnitSet);

// A camera: device, configuration, the VideoControl interface with its units, a VideoStreaming
// interface with a MJPEG format descriptor (subtype 0x06 as well), and an audio control interface.
Blob camera(const std::vector<Blob> &units) {
    Blob blob = deviceDescriptor();
    append(blob, configurationDescriptor());
    append(blob, interfaceAssociation());
    append(blob, interfaceDescriptor(0, 0x0E, 0x01));
    append(blob, videoControlHeader());
    append(blob, inputTerminal(1));
    for (const Blob &unit : units)
        append(blob, unit);
    append(blob, endpoint());
    append(blob, interfaceDescriptor(1, 0x0E, 0x02));
    append(blob, Blob{11, 0x24, 0x06, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00});
    append(blob, interfaceDescriptor(2, 0x01, 0x01));
    return blob;
}
} // namespace

Q_DECLARE_METATYPE(Blob)

class TestUvcDescriptors : public QObject {
    Q_OBJECT
private slots:
    void findsTheUnit_data() {
        QTest::addColumn<Blob>("blob");
        QTest::addColumn<int>("interfaceNumber");
        QTest::addColumn<int>("expected"); // -1: not found

        QTest::newRow("only unit") << camera({extensionUnit(4, kWanted)}) << -1 << 4;
        QTest::newRow("third of three units")
            << camera({extensionUnit(2, otherGuid(1)), extensionUnit(3, otherGuid(2)),
                       extensionUnit(6, kWanted)})
            << -1 << 6;
        QTest::newRow("first of two with the guid")
            << camera({extensionUnit(5, kWanted), extensionUnit(7, kWanted)}) << -1 << 5;
        QTest::newRow("interface number given") << camera({extensionUnit(9, kWanted)}) << 0 << 9;
        QTest::newRow("other interface number") << camera({extensionUnit(9, kWanted)}) << 1 << -1;
        QTest::newRow("no such unit")
            << camera({extensionUnit(2, otherGuid(1)), extensionUnit(3, otherGuid(4))}) << -1 << -1;
        QTest::newRow("no units") << camera({}) << -1 << -1;
        QTest::newRow("empty") << Blob() << -1 << -1;

        // The unit outside a VideoControl interface (in an audio interface) is not the camera's.
        Blob audio = deviceDescriptor();
        append(audio, configurationDescriptor());
        append(audio, interfaceDescriptor(0, 0x01, 0x01));
        append(audio, extensionUnit(3, kWanted));
        QTest::newRow("in an audio interface") << audio << -1 << -1;

        // A unit before any interface descriptor belongs to none.
        Blob loose = deviceDescriptor();
        append(loose, extensionUnit(3, kWanted));
        QTest::newRow("before any interface") << loose << -1 << -1;

        // A short class descriptor with subtype 0x06 is not read past its own length.
        Blob cut = extensionUnit(8, kWanted);
        cut.resize(19);
        cut[0] = 19;
        Blob withShort = deviceDescriptor();
        append(withShort, configurationDescriptor());
        append(withShort, interfaceDescriptor(0, 0x0E, 0x01));
        append(withShort, cut);
        append(withShort, Blob{0x00}); // the guid's last byte would be here
        QTest::newRow("unit descriptor too short") << withShort << -1 << -1;
    }
    void findsTheUnit() {
        QFETCH(Blob, blob);
        QFETCH(int, interfaceNumber);
        QFETCH(int, expected);
        const std::optional<std::uint8_t> unit = findExtensionUnit(blob, kWanted, interfaceNumber);
        QCOMPARE(unit ? int(*unit) : -1, expected);
    }

    void malformedDescriptorsEndTheSearch_data() {
        QTest::addColumn<Blob>("blob");
        QTest::addColumn<int>("expected");

        const Blob good = camera({extensionUnit(4, kWanted)});
        const std::size_t unitOffset = good.size() - 7 - 9 - 11 - 9 - 26;

        Blob zeroLength = good;
        zeroLength[18 + 9] = 0; // the association descriptor: would loop for ever
        QTest::newRow("bLength 0 before the unit") << zeroLength << -1;

        Blob oneLength = good;
        oneLength[18 + 9] = 1;
        QTest::newRow("bLength 1 before the unit") << oneLength << -1;

        Blob pastEnd = good;
        pastEnd.resize(unitOffset + 20); // the unit is cut after its guid
        QTest::newRow("unit runs past the end") << pastEnd << -1;

        Blob cutInGuid = good;
        cutInGuid.resize(unitOffset + 10);
        QTest::newRow("cut inside the guid") << cutInGuid << -1;

        Blob longLength = good;
        longLength[unitOffset] = 255;
        QTest::newRow("unit bLength past the end") << longLength << -1;

        Blob trailing = good;
        trailing.push_back(200);
        QTest::newRow("garbage after a good unit") << trailing << 4;

        Blob oneByte = good;
        oneByte.resize(unitOffset + 1);
        QTest::newRow("single byte left") << oneByte << -1;
    }
    void malformedDescriptorsEndTheSearch() {
        QFETCH(Blob, blob);
        QFETCH(int, expected);
        // An exact-size heap copy lets the address sanitizer catch any read past the end.
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[blob.size() ? blob.size() : 1]);
        std::copy(blob.begin(), blob.end(), exact.get());
        const std::optional<std::uint8_t> unit =
            findExtensionUnit(exact.get(), blob.size(), kWanted, -1);
        QCOMPARE(unit ? int(*unit) : -1, expected);
    }

    void nullData() { QVERIFY(!findExtensionUnit(nullptr, 100, kWanted, -1)); }
};

QTEST_GUILESS_MAIN(TestUvcDescriptors)
#include "tst_uvcdescriptors.moc"
