// The Linux extension-unit channel over a sysfs tree of our own (its device nodes are plain files,
// so every request reaches the real ioctl and fails there), and the real system without a camera.
#include "control/extensionunitchannel_linux.h"
#include "control/uvcdescriptors.h"
#include "control/uvcextensionunit.h"
#include "device/dshowcamerawrapper.h"
#include "device/interfacename.h"
#include "tests/device/fakesysfs.h"
#include "tests/device/stdoutcapture.h"
#include "tests/testsupport/testsupport.h"

#include <QtTest>

#include <cerrno>

namespace {
// Device, configuration, the VideoControl interface (number `interface`) with an input terminal
// and, when `unit` >= 0, the vendor extension unit with that id.
QByteArray descriptorsWithUnit(int unit, int interface = 0) {
    QByteArray blob = QByteArray::fromHex("12010002ef0201406b1d04010001010203"
                                          "01");
    blob += QByteArray::fromHex("09022e0002010080fa");
    QByteArray videoControl = QByteArray::fromHex("090400000"
                                                  "10e010002");
    videoControl[2] = char(interface);
    blob += videoControl;
    blob += QByteArray::fromHex("0d24011001450080c3c9010101");
    blob += QByteArray::fromHex("1224020101020000000000000000030a0800");
    if (unit >= 0) {
        QByteArray extension = QByteArray::fromHex("1a2406");
        extension += char(unit);
        const GuidBytes guid = encodeGuid(kExtensionUnitSet);
        extension += QByteArray(reinterpret_cast<const char *>(guid.data()), 16);
        extension += QByteArray::fromHex("0401010100ff");
        blob += extension;
    }
    return blob;
}

std::string interfaceNameOf(const std::string &port, std::uint16_t vendor, std::uint16_t product) {
    InterfaceNameParts parts;
    parts.vendorId = vendor;
    parts.productId = product;
    parts.portKey = port;
    return makeCaptureInterfaceName(parts);
}

QString idFor(const std::string &port, std::uint16_t vendor, std::uint16_t product) {
    return deviceIdFromPath(QString::fromStdString(interfaceNameOf(port, vendor, product)));
}
} // namespace

class TestExtensionUnitChannelLinux : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeSysfs> sysfs;
    std::unique_ptr<ExtensionUnitBackend> backend;

private slots:
    void init() {
        sysfs = std::make_unique<FakeSysfs>();
        const QString withUnit =
            sysfs->addUsbDevice("1-1", "1d6b", "0104", "QX-M30-000", descriptorsWithUnit(4));
        const QString withUnitInterface = sysfs->addInterface(withUnit, 0);
        sysfs->addNode(0, withUnitInterface, kCaptureCaps);
        sysfs->addNode(1, withUnitInterface, kMetadataCaps);
        const QString plain =
            sysfs->addUsbDevice("1-2", "046d", "0825", "Webcam C270", descriptorsWithUnit(-1));
        const QString plainInterface = sysfs->addInterface(plain, 0);
        sysfs->addNode(2, plainInterface, kCaptureCaps);
        sysfs->addNode(3, plainInterface, kMetadataCaps);
        backend = makeLinuxExtensionUnitBackend(sysfs->roots(), sysfs->query());
        installExtensionUnitBackend(backend.get());
    }

    void cleanup() {
        installExtensionUnitBackend(nullptr);
        backend.reset();
        sysfs.reset();
    }

    void descriptorBlobHasTheUnit() {
        const QByteArray blob = descriptorsWithUnit(4);
        std::vector<std::uint8_t> bytes(blob.begin(), blob.end());
        const auto unit = findExtensionUnit(bytes, encodeGuid(kExtensionUnitSet), 0);
        QVERIFY(unit);
        QCOMPARE(int(*unit), 4);
    }

    void listsTheCaptureNodes() {
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(backend->enumerate(sources, failure));
        QCOMPARE(sources.size(), std::size_t(2));
        QCOMPARE(sources[0].friendlyName, std::string("QX-M30-000"));
        QVERIFY(sources[0].hasSymbolicLink);
        QCOMPARE(sources[0].symbolicLink, interfaceNameOf("1-1", 0x1d6b, 0x0104));
        QCOMPARE(sources[1].friendlyName, std::string("Webcam C270"));
        QCOMPARE(sources[1].symbolicLink, interfaceNameOf("1-2", 0x046d, 0x0825));
    }

    void requestReachesTheDriver() {
        UVCExtensionUnit unit;
        QVERIFY(unit.InitVideoDevice(idFor("1-1", 0x1d6b, 0x0104), "QX-M30-000"));
        StdoutCapture output;
        QVERIFY(!unit.setTrackingMode(1));
        // A plain file is no V4L2 device: the unit was found and the ioctl itself refused.
        QCOMPARE(output.finish(),
                 QString::asprintf("info: Function: UVCExtensionUnit::SetGetExtensionUnit, "
                                   "UVCIOC_CTRL_QUERY failed, Error code: 0x%.2x \n",
                                   unsigned(statusFromErrno(ENOTTY))));
        QCOMPARE(unit.sequenceCounterValue(), 1);
    }

    void cameraWithoutTheUnit() {
        UVCExtensionUnit unit;
        QVERIFY(unit.InitVideoDevice(idFor("1-2", 0x046d, 0x0825), "Webcam C270"));
        StdoutCapture output;
        XuPacket response{};
        QVERIFY(!unit.queryCommand(kQueryVersion, response));
        QCOMPARE(output.finish(), QString("info: Function: UVCExtensionUnit::SetGetExtensionUnit, "
                                          "FindExtensionNode failed, Error code: 0x80004005 \n"));
    }

    void unitOnAnotherInterfaceIsNotOurs() {
        FakeSysfs other;
        const QString device =
            other.addUsbDevice("3-1", "1d6b", "0104", "QX-M30-000", descriptorsWithUnit(4, 1));
        other.addNode(0, other.addInterface(device, 0), kCaptureCaps);
        auto channel = makeLinuxExtensionUnitBackend(other.roots(), other.query());
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(channel->enumerate(sources, failure));
        auto opened = channel->activate(0, failure);
        QVERIFY(opened);
        std::uint8_t data[8] = {0x10, 1, 1};
        QCOMPARE(opened->request(1, UnitDirection::Write, data, 8, failure), kStatusFail);
        QCOMPARE(QString::fromStdString(failure.step), QString("FindExtensionNode"));
    }

    void activationFailures() {
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(backend->enumerate(sources, failure));
        QVERIFY(!backend->activate(5, failure));
        QCOMPARE(QString::fromStdString(failure.step), QString("Activating video device"));
        QCOMPARE(failure.status, statusFromErrno(ENODEV));

        // The node is listed but cannot be opened.
        QVERIFY(QFile::remove(QString::fromStdString(sysfs->devNode(0))));
        QVERIFY(!backend->activate(0, failure));
        QCOMPARE(QString::fromStdString(failure.step), QString("Activating video device"));
        QCOMPARE(failure.status, statusFromErrno(ENOENT));
    }

    void nodeTakenOverSinceTheList() {
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(backend->enumerate(sources, failure));
        FakeSysfs::write(sysfs->usbRoot() + "/1-1/idProduct", QString("0306\n"));
        QVERIFY(!backend->activate(0, failure));
        QCOMPARE(failure.status, statusFromErrno(ENODEV));
    }

    void failedOpenIsReported() {
        QVERIFY(QFile::remove(QString::fromStdString(sysfs->devNode(0))));
        UVCExtensionUnit unit;
        StdoutCapture output;
        QVERIFY(!unit.InitVideoDevice(idFor("1-1", 0x1d6b, 0x0104), "QX-M30-000"));
        QCOMPARE(output.finish(),
                 QString("info: Function: UVCExtensionUnit::InitVideoDevice, "
                         "Activating video device failed, Error code: 0x80070002 \n"));
    }

    void descriptorsAreClosed() {
        const int descriptors = openFileDescriptorCount();
        UVCExtensionUnit unit;
        for (int i = 0; i < 500; ++i) {
            QVERIFY(unit.InitVideoDevice(idFor("1-1", 0x1d6b, 0x0104), "QX-M30-000"));
            StdoutCapture output;
            QVERIFY(!unit.setHdr(1));
            unit.releaseDevice();
        }
        QCOMPARE(openFileDescriptorCount(), descriptors);
    }

    // This machine has no camera: the real channel lists nothing and opens nothing.
    void nativeChannelWithoutCameras() {
        if (QDir("/sys/class/video4linux").exists() && !QDir("/sys/class/video4linux").isEmpty())
            QSKIP("this machine has video devices");
        installExtensionUnitBackend(&nativeExtensionUnitBackend());
        const int descriptors = openFileDescriptorCount();
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(nativeExtensionUnitBackend().enumerate(sources, failure));
        QVERIFY(sources.empty());
        QVERIFY(!nativeExtensionUnitBackend().activate(0, failure));
        {
            UVCExtensionUnit unit;
            StdoutCapture output;
            QVERIFY(!unit.InitVideoDevice(idFor("1-1", 0x1d6b, 0x0104), "QX-M30-000"));
            QVERIFY(!unit.setTrackingMode(1));
            QCOMPARE(output.finish(), QString());
        }
        QCOMPARE(openFileDescriptorCount(), descriptors);
    }
};

QTEST_GUILESS_MAIN(TestExtensionUnitChannelLinux)
#include "tst_extensionunitchannel_linux.moc"
