// The Linux side of the seams over a sysfs tree of our own, with every ioctl on its nodes answered
// by the fake kernel: which nodes are cameras and under which name, hot-plug tracking, the V4L2
// pan/tilt/zoom requests with their arc-seconds, the extension unit's UVCIOC_CTRL_QUERY in both
// directions, the SCSI generic candidates and their SG_IO requests; and the preview on the V4L2
// capture: the format negotiated, which frames become pictures (damaged ones skipped, a wake-up
// without a frame waited out), a camera pulled out mid-stream let go of at once, a stop that ends
// the wait for the next frame at once, and YUYV colours.
#include "common/deviceaccess.h"
#include "control/extensionunitchannel_linux.h"
#include "control/picturecontrols_linux.h"
#include "control/picturesettings.h"
#include "control/uvcextensionunit.h"
#include "device/dshowcamerawrapper.h"
#include "device/interfacename.h"
#include "device/v4l2node_linux.h"
#include "fakekernel.h"
#include "preview/v4l2capture_linux.h"
#include "sim/simcamera.h"
#include "testsupport/previewrun.h"
#include "testsupport/testsupport.h"
#include "upgrade/scsichannel_linux.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <linux/videodev2.h>

using Steps = std::deque<FakeFrameStep>;
using Formats = std::vector<std::uint32_t>;
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Formats)
Q_DECLARE_METATYPE(PictureStatus)

namespace {
constexpr unsigned kCapture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
constexpr unsigned kMetadata = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;

std::string nameFor(std::uint16_t vendor, std::uint16_t product, std::uint8_t interface,
                    const std::string &port, unsigned ordinal = 0) {
    return makeCaptureInterfaceName({vendor, product, interface, port, ordinal});
}

// Device, configuration, the VideoControl interface 0 and the vendor extension unit 4.
QByteArray descriptorsWithUnit() {
    QByteArray blob = QByteArray::fromHex("12010002ef0201406b1d0401000101020301"
                                          "09022e0002010080fa"
                                          "090400000"
                                          "10e010002"
                                          "1a240604");
    const GuidBytes guid = encodeGuid(kExtensionUnitSet);
    return blob + QByteArray(reinterpret_cast<const char *>(guid.data()), 16) +
           QByteArray::fromHex("0401010100ff");
}

// "number:name:interface name" of every listed input, "-" for what is missing.
QString summary(const std::vector<VideoInputInfo> &inputs) {
    QStringList items;
    for (std::size_t i = 0; i < inputs.size(); ++i)
        items << QString::asprintf("%zu:%s:%s", i,
                                   inputs[i].hasFriendlyName ? inputs[i].friendlyName.c_str() : "-",
                                   inputs[i].hasDevicePath ? inputs[i].devicePath.c_str() : "-");
    return items.join(' ');
}
// A red MJPG frame of 64 x 36 pixels; a cut one lacks its second half.
FakeFrameStep red(bool damaged = false, bool cut = false) {
    QImage picture(64, 36, QImage::Format_RGB32);
    picture.fill(Qt::red);
    FakeFrameStep step{{}, damaged, 0};
    encodeJpeg(picture, 90, step.bytes);
    step.bytes.resize(cut ? step.bytes.size() / 2 : step.bytes.size());
    return step;
}
const FakeFrameStep again{{}, false, EAGAIN};
const FakeFrameStep gone{{}, false, ENODEV};
const Formats mjpgAndYuyv{V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_YUYV};

// Four by two pixels, two to a chroma pair, four padding bytes after each row: white and black,
// red and red; blue and blue, grey and grey (ITU-R BT.601 video range).
const FakeFrameStep yuyvPattern{{235, 128, 16, 128, 81,  90,  81,  240, 0, 0, 0, 0,
                                 41,  240, 41, 110, 126, 128, 126, 128, 0, 0, 0, 0}};

// A control as uvcvideo describes it, at its default value.
FakeKernel::ExtControl control(unsigned id, const char *name, int minimum, int maximum, int step,
                               int defaultValue, unsigned flags = 0,
                               unsigned type = V4L2_CTRL_TYPE_INTEGER,
                               std::map<int, std::string> menu = {}) {
    return {id, type, name, minimum, maximum, step, defaultValue, flags, menu, defaultValue};
}

// The picture controls as uvcvideo offers them for the family's Processing Unit and exposure,
// beside the controls that are not picture controls.
std::vector<FakeKernel::ExtControl> pictureControls() {
    return {control(V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 1, 0),
            control(V4L2_CID_HUE, "Hue", -40, 40, 1, 0, V4L2_CTRL_FLAG_DISABLED),
            control(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 0, 1, 1, 1, 0,
                    V4L2_CTRL_TYPE_BOOLEAN),
            control(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature", 2800, 6500, 10,
                    4600),
            control(V4L2_CID_GAIN, "Gain", 0, 100, 1, 0, V4L2_CTRL_FLAG_READ_ONLY),
            control(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3, 1, 3, 0, V4L2_CTRL_TYPE_MENU,
                    {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}}),
            control(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 1, 156),
            control(V4L2_CID_PRIVACY, "Privacy", 0, 0, 0, 0, 0, V4L2_CTRL_TYPE_BUTTON),
            control(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -612000, 612000, 3600, 0),
            control(V4L2_CID_CAMERA_CLASS_BASE + 0x100, "Lens Mode", 0, 1, 1, 0, 0,
                    V4L2_CTRL_TYPE_INTEGER_MENU, {{0, ""}, {1, ""}})};
}

// A row of pictureWritesAreCheckedFirst: the value written, its outcome, what went to the driver
// ("" nothing) and the message (not compared when ""); the flags of the two manual controls and
// the driver's answer to a write.
void writeRow(const char *name, const char *control, int value, PictureStatus status,
              const char *sent = "", const char *message = "", unsigned flags = 0,
              int kernelErrno = 0) {
    QTest::newRow(name) << QString(control) << value << flags << kernelErrno << status
                        << QString(sent) << QString(message);
}

// A row of stream: MJPG is asked for first, then the fallback negotiated if any.
void streamRow(const char *name, const Steps &steps, int pictures, int damagedLines = 0,
               bool lost = false, const Formats &formats = mjpgAndYuyv,
               const QString &fallback = "", const QStringList &pixels = {}) {
    QTest::newRow(name) << formats << steps << "video0 S_FMT MJPG 1920x1080" + fallback << pictures
                        << damagedLines << lost << pixels;
}
} // namespace

class TestLinux : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeKernel> kernel;
    QString first; // 1-1: QX-M30-000 with the extension unit, video0 + video1
    QString firstInterface;
    QString second; // 1-1.4: Kestrelon ZENTA 320 on interface 2, video2 + video3

    LinuxDeviceRoots roots() const { return {kernel->sysfs(), kernel->dev()}; }
    std::string firstName() const { return nameFor(0x1d6b, 0x0104, 0, "1-1"); }
    QString firstId() const { return deviceIdFromPath(QString::fromStdString(firstName())); }

private slots:
    void init() {
        kernel = std::make_unique<FakeKernel>();
        first = kernel->addUsbDevice("1-1", "1d6b:0104", "QX-M30-000", descriptorsWithUnit());
        firstInterface = kernel->addInterface(first, 0);
        kernel->addVideoNode(0, firstInterface, kCapture, "QX-M30-000: QX-M30-000");
        kernel->addVideoNode(1, firstInterface, kMetadata);
        second = kernel->addUsbDevice("1-1.4", "3c1e:0305", "Kestrelon ZENTA 320");
        const QString interface = kernel->addInterface(second, 2);
        kernel->addVideoNode(2, interface, kCapture);
        kernel->addVideoNode(3, interface, kMetadata);
        const QString platform = kernel->usbRoot() + "/../platform-camera";
        kernel->addVideoNode(5, platform, kCapture, "Platform Camera");
    }
    void cleanup() {
        installFrameCaptureFactory(nullptr);
        installVideoInputBackend(nullptr);
        installExtensionUnitBackend(nullptr);
        installPictureControlBackend(nullptr);
        kernel.reset();
    }

    void listHasOneEntryPerNodeNumber() {
        auto backend = makeLinuxVideoInputBackend(roots(), queryV4l2Capabilities);
        QCOMPARE(summary(backend->list()),
                 QString::fromStdString(
                     "0:QX-M30-000:" + firstName() + " 1:-:- 2:Kestrelon ZENTA 320:" +
                     nameFor(0x3c1e, 0x0305, 2, "1-1.4") + " 3:-:- 4:-:- 5:Platform Camera:-"));
    }

    void trackerNamesRemovalsFromMemory() {
        CaptureNodeTracker tracker{VideoNodeScanner(roots())};
        tracker.rememberPresentNodes();
        QCOMPARE(tracker.rememberedCount(), std::size_t(2)); // video5 has no name to announce
        const std::string capture = kernel->devPathOf(firstInterface, 0);
        const std::string metadata = kernel->devPathOf(firstInterface, 1);
        for (int round = 0; round < 2; ++round) {
            kernel->removeUsbDevice(first);
            QVERIFY(!tracker.handle("remove", metadata, "video1"));
            auto removed = tracker.handle("remove", capture, "video0");
            QVERIFY(removed && !removed->arrival && removed->interfaceName == firstName());
            QVERIFY(!tracker.handle("remove", capture, "video0")); // once only
            // Back in the same port: the same name, also for its next removal.
            first = kernel->addUsbDevice("1-1", "1d6b:0104", "QX-M30-000");
            firstInterface = kernel->addInterface(first, 0);
            kernel->addVideoNode(0, firstInterface, kCapture);
            kernel->addVideoNode(1, firstInterface, kMetadata);
            QVERIFY(!tracker.handle("add", metadata, "video1"));
            QVERIFY(!tracker.handle("change", capture, "video0"));
            auto added = tracker.handle("add", capture, "video0");
            QVERIFY(added && added->arrival && added->interfaceName == firstName());
        }
        QVERIFY(!tracker.handle("add", "/devices/platform-camera/video4linux/video5", "video5"));
        kernel->addVideoNode(6, firstInterface, 0); // not answering yet, unlike a metadata node
        QVERIFY(tracker.awaitingAnswer("video6") && !tracker.awaitingAnswer("video1"));
        QVERIFY(!tracker.handle("add", "/devices/virtual/video4linux/vbi0", "vbi0"));
        QCOMPARE(videoNodeNumber("video19") + videoNodeNumber("video1a"), 19 - 1);
        QCOMPARE(degreesToArcSeconds(-2000000), std::numeric_limits<std::int32_t>::min());
    }

    void cameraControlsOnTheNode_data() {
        // raw: what the device holds when read
        // read: what the program reads from it
        addColumns<int, int, QString, int, int>({"property", "value", "call", "raw", "read"});
        QTest::newRow("pan") << 0 << 20 << "video0 S_CTRL 9a0908=72000" << 5400 << 2;
        QTest::newRow("tilt") << 1 << -30 << "video0 S_CTRL 9a0909=-108000" << -5000 << -1;
        QTest::newRow("zoom") << 3 << 500 << "video0 S_CTRL 9a090d=500" << 640 << 640;
    }
    void cameraControlsOnTheNode() {
        QFETCH(int, property);
        QFETCH(int, value);
        QFETCH(QString, call);
        QFETCH(int, raw);
        QFETCH(int, read);
        auto backend = makeLinuxVideoInputBackend(roots(), queryV4l2Capabilities);
        QVERIFY(!backend->bind(1)); // the metadata node is no camera
        auto controls = backend->bind(0);
        QVERIFY(controls);
        const auto id = static_cast<CameraControlId>(property);
        std::string reason;
        QVERIFY(controls->set(id, value, reason));
        QCOMPARE(kernel->calls.join(", "), call);
        kernel->controls[kernel->controls.begin()->first] = raw;
        std::int32_t got = 7;
        QVERIFY(controls->get(id, got));
        QCOMPARE(got, read);
        // Refused by the device: reported, and the caller's value is kept.
        kernel->controlErrno = ERANGE;
        QVERIFY(!controls->set(id, value, reason));
        QCOMPARE(reason, std::string("VIDIOC_S_CTRL: Numerical result out of range"));
        got = 7;
        QVERIFY(!controls->get(id, got));
        QCOMPARE(got, 7);
        QVERIFY(!controls->set(CameraControlId::Roll, 1, reason));
    }

    void extensionUnitRequests() {
        auto backend = makeLinuxExtensionUnitBackend(roots(), queryV4l2Capabilities);
        installExtensionUnitBackend(backend.get());
        const QString id = firstId();
        UVCExtensionUnit unit;
        QVERIFY(unit.InitVideoDevice(id, "QX-M30-000"));
        QVERIFY(unit.setTrackingMode(3));
        kernel->unitAnswer = {0x82, 0x03, 0x02, 0, 0, 0, 0, 0};
        int flicker = -1;
        QVERIFY(unit.getAntiFlicker(flicker));
        QCOMPARE(flicker, 2);
        QCOMPARE(kernel->calls,
                 (QStringList{"video0 XU unit 4 selector 1 SET_CUR 10 01 03 00 00 00 00 00",
                              "video0 XU unit 4 selector 1 SET_CUR 82 02 00 00 00 00 00 00",
                              "video0 XU unit 4 selector 2 GET_CUR 82 03 00 00 00 00 00 00"}));
        kernel->unitErrno = EIO;
        StdoutCapture output;
        QVERIFY(!unit.enterUpgradeMode());
        QVERIFY(!unit.getAntiFlicker(flicker));
        QCOMPARE(flicker, 2);
        // The camera on 1-1.4 has no extension unit: nothing reaches its node.
        QVERIFY(unit.InitVideoDevice(id.mid(0, 0), "Kestrelon ZENTA 320"));
        QVERIFY(!unit.setHdr(1));
        const QString line = "info: Function: UVCExtensionUnit::SetGetExtensionUnit, %1 failed, "
                             "Error code: 0x%2 \n";
        QCOMPARE(output.finish(), line.arg("UVCIOC_CTRL_QUERY", "80070005").repeated(2) +
                                      line.arg("FindExtensionNode", "80004005"));
        QCOMPARE(kernel->calls.size(), 5);
        unit.releaseDevice();
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(backend->enumerate(sources, failure));
        QCOMPARE(sources.size(), std::size_t(3));
        QVERIFY(QFile::remove(QString::fromStdString(kernel->devNode(0))));
        QVERIFY(!backend->activate(0, failure));
        QCOMPARE(QString::asprintf("%s %x", failure.step.c_str(), unsigned(failure.status)),
                 QString("Activating video device 80070013"));
    }

    void pictureControlsAsTheDriverDescribesThem() {
        kernel->extControls = pictureControls();
        auto backend = makeLinuxPictureControlBackend(roots(), queryV4l2Capabilities);
        QVERIFY(!backend->open("vid_1d6b&pid_0104&mi_00#nothing-here"));
        auto device = backend->open(firstId().toUpper().toStdString());
        QVERIFY(device);
        QStringList described;
        for (const PictureControlInfo &info : device->query()) {
            QStringList menu;
            for (const PictureMenuEntry &entry : info.menu)
                menu << QString("%1=%2").arg(entry.value).arg(entry.label.c_str());
            described << QString::asprintf(
                "%s %d..%d/%d (%d) %s%s%s [%s] %s", info.name.c_str(), info.minimum, info.maximum,
                info.step, info.defaultValue, info.disabled ? "D" : "-", info.readOnly ? "R" : "-",
                info.inactive ? "I" : "-", menu.join(',').toUtf8().constData(), info.unit.c_str());
        }
        // Pan stays with the Control page, a button is no picture control; a menu leaves out
        // the entries the driver skips; an integer menu is labelled by its numbers.
        QCOMPARE(
            described,
            (QStringList{"brightness -64..64/1 (0) --- [] ", "hue -40..40/1 (0) D-- [] ",
                         "white-balance-automatic 0..1/1 (1) --- [] ", "gain 0..100/1 (0) -R- [] ",
                         "white-balance-temperature 2800..6500/10 (4600) --- [] ",
                         "auto-exposure 0..3/1 (3) --- [1=Manual Mode,3=Aperture Priority "
                         "Mode] ",
                         "exposure-time 3..2047/1 (156) --- [] 100 µs",
                         "lens-mode 0..1/1 (0) --- [0=0,1=0] "}));
        QVERIFY(kernel->calls.isEmpty());
    }

    // Every value is checked against the driver's description before it is sent: uvcvideo clamps
    // a value off the range without a word, refuses an inactive control with EACCES, and passes on
    // the camera's "wrong state" as EILSEQ.
    void pictureWritesAreCheckedFirst_data() {
        addColumns<QString, int, unsigned, int, PictureStatus, QString, QString>(
            {"control", "value", "flags", "kernelErrno", "status", "sent", "message"});
        const unsigned inactive = V4L2_CTRL_FLAG_INACTIVE;
        using S = PictureStatus;
        writeRow("in range", "brightness", 20, S::Done, "980900=20");
        writeRow("lowest", "brightness", -64, S::Done, "980900=-64");
        writeRow("above the range, which the driver would clamp", "brightness", 99, S::OutOfRange,
                 "", "brightness must be between -64 and 64; 99 is outside that range.");
        writeRow("below the range", "brightness", -65, S::OutOfRange);
        writeRow("between two steps", "white-balance-temperature", 5005, S::OffStep, "",
                 "white-balance-temperature moves in steps of 10 from 2800; 5005 is between two "
                 "steps.");
        writeRow("on a step", "white-balance-temperature", 5010, S::Done, "98091a=5010");
        writeRow("inactive under its automatic master", "white-balance-temperature", 5000,
                 S::Inactive, "",
                 "white-balance-temperature is set by the camera while white-balance-automatic is "
                 "on; set white-balance-automatic to 0 first.",
                 inactive);
        writeRow("exposure under aperture priority", "exposure-time", 300, S::Inactive, "",
                 "exposure-time is set by the camera while auto-exposure is on; set auto-exposure "
                 "to 1 (Manual Mode) first.",
                 inactive);
        writeRow("a menu value the driver skips", "auto-exposure", 2, S::NotInMenu, "",
                 "auto-exposure takes one of 1 (Manual Mode), 3 (Aperture Priority Mode); 2 is "
                 "not one of them.");
        writeRow("a menu value", "auto-exposure", 1, S::Done, "9a0901=1");
        writeRow("read-only", "gain", 10, S::ReadOnly);
        writeRow("disabled", "hue", 0, S::UnknownControl);
        writeRow("movement", "pan-absolute", 0, S::UnknownControl);
        writeRow("inactive by the time it arrives", "white-balance-temperature", 5000, S::Refused,
                 "98091a=5000",
                 "The camera refused white-balance-temperature = 5000 (VIDIOC_S_EXT_CTRLS: "
                 "inactive, its automatic control is on).",
                 0, EACCES);
        writeRow("wrong state in the camera", "exposure-time", 300, S::Refused, "9a0902=300", "", 0,
                 EILSEQ);
        writeRow("out of range in the driver", "brightness", 5, S::Refused, "980900=5", "", 0,
                 ERANGE);
    }
    void pictureWritesAreCheckedFirst() {
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(unsigned, flags);
        QFETCH(int, kernelErrno);
        QFETCH(PictureStatus, status);
        QFETCH(QString, sent);
        QFETCH(QString, message);
        kernel->extControls = pictureControls();
        for (FakeKernel::ExtControl &offered : kernel->extControls)
            if (offered.name.rfind("White Balance Temperature", 0) == 0 ||
                offered.name.rfind("Exposure Time", 0) == 0)
                offered.flags |= flags;
        for (const FakeKernel::ExtControl &offered : kernel->extControls)
            if (kernelErrno)
                kernel->extWriteErrno[offered.id] = kernelErrno;
        auto backend = makeLinuxPictureControlBackend(roots(), queryV4l2Capabilities);
        installPictureControlBackend(backend.get());
        PictureSettings settings;
        QVERIFY(settings.open(firstId()));
        const PictureOutcome outcome = settings.write(control, value);
        QCOMPARE(outcome.status, status);
        if (!message.isEmpty())
            QCOMPARE(outcome.message, message);
        QVERIFY(outcome.ok() || !outcome.message.isEmpty());
        const QStringList writes = kernel->calls.filter("S_EXT_CTRLS");
        QCOMPARE(writes, sent.isEmpty() ? QStringList()
                                        : QStringList{"video0 S_EXT_CTRLS which 0 " + sent});
        // A write that went through is read back from the driver.
        QCOMPARE(outcome.value, outcome.ok() ? std::optional<int>(value) : std::nullopt);
    }

    // A reset writes each default the control takes; a default the driver reports outside the
    // control's own menu (uvcvideo's 0 for an auto-exposure of 1 and 3) is left out, not refused.
    void resetLeavesADefaultTheControlRefuses() {
        kernel->extControls = pictureControls();
        for (FakeKernel::ExtControl &offered : kernel->extControls) {
            if (offered.id == V4L2_CID_EXPOSURE_AUTO) {
                offered.defaultValue = 0;
                offered.value = 1; // set to manual before
            }
            if (offered.id == V4L2_CID_BRIGHTNESS)
                offered.value = 20;
        }
        auto backend = makeLinuxPictureControlBackend(roots(), queryV4l2Capabilities);
        installPictureControlBackend(backend.get());
        PictureSettings settings;
        QVERIFY(settings.open(firstId()));
        QVERIFY(settings.reset().ok());
        QCOMPARE(kernel->calls.filter("S_EXT_CTRLS"),
                 QStringList{"video0 S_EXT_CTRLS which 0 980900=0"});
    }

    // A camera's node that this user may not open is logged once with the fix and announced;
    // a metadata node or another vendor's disk is not.
    void refusedNodesAreReportedOnce() {
        for (const char *vendor : {"QXM30   ", "SanDisk "}) {
            const QString sg = vendor[0] == 'Q' ? "sg0" : "sg1";
            const QString disk = kernel->addUsbDevice("2-" + sg, "1d6b:0105", "UBO") + "/2:1.0/h";
            kernel->addGeneric(sg, disk);
            QVERIFY(writeFile(disk + "/vendor", vendor));
            QVERIFY(writeFile(disk + "/model", vendor[0] == 'Q' ? "UPD             " : "Flash"));
            kernel->deniedNodes.insert(kernel->dev() + "/" + sg.toStdString());
        }
        kernel->deniedNodes.insert({kernel->devNode(0), kernel->devNode(1)});
        QSignalSpy told(&DeviceAccessNotices::instance(), &DeviceAccessNotices::accessDenied);
        MessageCapture log;
        auto backend = makeLinuxVideoInputBackend(roots(), queryV4l2Capabilities);
        LinuxScsiBackend scsi(kernel->sysfs(), kernel->dev());
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(summary(backend->list()).section(' ', 0, 0), QString("0:-:-"));
            QVERIFY(!scsi.open(kernel->dev() + "/sg0") && !scsi.open(kernel->dev() + "/sg1"));
        }
        QCOMPARE(told.size(), 2);
        QCOMPARE(told[0][0].toString() + " " + told[1][0].toString(),
                 QString::fromStdString(kernel->devNode(0) + " " + kernel->dev() + "/sg0"));
        QVERIFY(log.contains(QString::fromStdString("cannot open " + kernel->devNode(0)) +
                             " (Permission denied): This user may not open the camera's video"));
        // Both are still listed by identity, from sysfs alone.
        const std::vector<ScsiDiskIdentity> listed = scsi.listedDisks();
        QVERIFY(listed.size() == 2 &&
                listed[0].vendor + listed[0].product == "QXM30   UPD" + std::string(13, ' '));
    }

    void scsiCandidatesAndRequests() {
        const auto usbDisk = [&](const QString &port, int host) {
            const QString device = kernel->addUsbDevice(port, "1d6b:0105", "UBO");
            return device + QString("/%1:1.0/host%2/target%2:0:0/%2:0:0:0").arg(port).arg(host);
        };
        const QString pci = kernel->usbRoot() + "/..";
        kernel->addGeneric("sg0", usbDisk("2-1", 0));
        kernel->addGeneric("sg1", pci + "/ata1/host1/target1:0:0/1:0:0:0");
        kernel->addGeneric("sg10", usbDisk("2-3", 10));
        kernel->addGeneric("sg2", usbDisk("2-2", 2));
        LinuxScsiBackend backend(kernel->sysfs(), kernel->dev());
        QCOMPARE(backend.candidates(),
                 (std::vector<std::string>{kernel->dev() + "/sg0", kernel->dev() + "/sg2",
                                           kernel->dev() + "/sg10"}));
        for (const std::string refused : {"/sg1", "/../dev/sg1", "/sg99"})
            QVERIFY(!backend.open(kernel->dev() + refused));
        QVERIFY(!backend.open("/etc/passwd"));
        QVERIFY(kernel->calls.isEmpty()); // nothing but USB devices is ever opened
        auto device = backend.open(kernel->dev() + "/sg2");
        QVERIFY(device);
        std::uint8_t inquiry[6] = {0x12, 0, 0, 0, 36, 0};
        std::uint8_t answer[36] = {};
        QVERIFY(device->execute(inquiry, 6, ScsiDirection::FromDevice, answer, 36, 2));
        QCOMPARE(answer[35], std::uint8_t(0x5A));
        std::uint8_t status[10] = {0xE8, 6, 0, 0, 0, 0, 0, 0, 0, 4};
        QVERIFY(device->execute(status, 10, ScsiDirection::ToDevice, answer, 4, 120));
        QVERIFY(device->execute(status, 10, ScsiDirection::ToDevice, answer, 0, 120));
        kernel->sgDriverStatus = 0x08; // sense data: the device's own answer
        QVERIFY(device->execute(status, 10, ScsiDirection::FromDevice, answer, 4, 120));
        kernel->sgHostStatus = 0x07; // the link failed
        QVERIFY(!device->execute(status, 10, ScsiDirection::FromDevice, answer, 4, 120));
        QCOMPARE(
            kernel->calls,
            (QStringList{"sg2 SG_GET_VERSION_NUM",
                         "sg2 SG_IO from 36 cdb 12 00 00 00 24 00 timeout 2000",
                         "sg2 SG_IO to 4 cdb e8 06 00 00 00 00 00 00 00 04 timeout 120000",
                         "sg2 SG_IO none 0 cdb e8 06 00 00 00 00 00 00 00 04 timeout 120000",
                         "sg2 SG_IO from 4 cdb e8 06 00 00 00 00 00 00 00 04 timeout 120000",
                         "sg2 SG_IO from 4 cdb e8 06 00 00 00 00 00 00 00 04 timeout 120000"}));
    }

    void stream_data() {
        // formats: offered, the fallback first; pixels: of the first picture (none: red)
        addColumns<Formats, Steps, QString, int, int, bool, QStringList>(
            {"formats", "steps", "negotiated", "pictures", "damagedLines", "gone", "pixels"});
        streamRow("one flagged damaged", Steps{red(), red(true), red()}, 2, 1);
        streamRow("one cut short", Steps{red(false, true), red()}, 1, 1);
        streamRow("woken without a frame", Steps{again, red(), again, again, red()}, 2);
        streamRow("camera gone mid-stream", Steps{red(), red(), gone, red()}, 2, 0, true);
        streamRow("YUYV where MJPG is missing", Steps{yuyvPattern}, 1, 0, false,
                  Formats{V4L2_PIX_FMT_YUYV}, ", video0 S_FMT YUYV 1920x1080",
                  {"#ffffff", "#000000", "#ff0000", "#ff0000", "#0000ff", "#0000ff", "#808080",
                   "#808080"});
    }
    void stream() {
        QFETCH(Formats, formats);
        QFETCH(Steps, steps);
        QFETCH(QString, negotiated);
        QFETCH(int, pictures);
        QFETCH(int, damagedLines);
        QFETCH(bool, gone);
        QFETCH(QStringList, pixels);
        const bool yuyv = !pixels.isEmpty();
        kernel->addStream(0, formats, yuyv ? 4 : 64, yuyv ? 2 : 36, 4, steps); // video0 on 1-1
        installFrameCaptureFactory([this](int i) { return openV4l2Capture(kernel->devNode(i)); });
        MessageCapture messages;
        Run run;
        run.worker->setSurfaceSize(QSize(16, 9)); // MJPG frames are decoded at a quarter
        run.start();
        // Every step taken and the worker back at its wait, or the gone camera let go of at once
        // (the frame after it never taken), while the preview still runs.
        QTRY_VERIFY(gone ? !kernel->nodeHeld(0) : kernel->waits > 0);
        QTRY_COMPARE(run.pictures.size(), pictures);
        // Stopped while it waits for a frame: the wait ends and the thread is joined at once,
        // long before the capture's own 2 s wait for a frame would end.
        QElapsedTimer timer;
        timer.start();
        run.stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!run.worker && !run.thread && !kernel->nodeHeld(0) &&
                run.pictures.size() == pictures);
        QCOMPARE(kernel->calls.filter("S_FMT").join(", "), negotiated);
        QCOMPARE(kernel->calls.last(), gone ? "video0 STREAMON" : "video0 STREAMOFF");
        QCOMPARE(messages.messages().filter("Skipping damaged").size(), damagedLines);
        const QImage picture = run.pictures.value(0); // 4 x 2 pixels, else decoded at a quarter
        for (int i = 0; i < pixels.size(); ++i)
            QCOMPARE(picture.pixelColor(i % 4, i / 4).name(), pixels.at(i));
        QVERIFY(pictures == 0 || !pixels.isEmpty() ||
                (picture.size() == QSize(16, 9) && picture.pixelColor(8, 4).red() > 200));
    }
};

QTEST_MAIN(TestLinux)
#include "tst_linux.moc"
