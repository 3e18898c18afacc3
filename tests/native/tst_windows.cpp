// The Windows side of the seams: as a machine without cameras or SCSI disks shows it (the test run
// under wine), enumeration and search find nothing, device-change broadcasts are filtered down to
// capture interfaces, and the watcher searches from a COM apartment of its own; at the API
// boundary, hand-written COM objects take the requests of the extension unit and of the camera
// controls, byte for byte.
#include "common/nativebackends.h"
#include "control/ksrequests.h"
#include "control/mediafoundationunit_win.h"
#include "control/uvcextensionunit.h"
#include "device/directshowcontrols_win.h"
#include "device/dshowcamerawrapper.h"
#include "device/hotplugsource.h"
#include "preview/workerthread.h"
#include "testsupport/testsupport.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/scsipassthrough.h"
#include "upgrade/volumeapi_win.h"

#include "fakecom_win.h"

#include <windows.h>

#include <dbt.h>
#include <ntddscsi.h>
#include <objbase.h>

#include <QSet>

#include <atomic>
#include <cstring>

// What a node of the source's topology is and how it answers the unit's property set.
enum class NodeKind {
    Camera,      // a node of another type, never asked
    ForeignUnit, // a vendor-specific node without the set: "set not found"
    OurUnit,     // the extension unit
    BrokenUnit,  // a vendor-specific node whose requests fail (the device does not answer)
};
Q_DECLARE_METATYPE(QVector<NodeKind>)

enum class FilterFault { None, NoKsControl, Refuses };
Q_DECLARE_METATYPE(ScsiDirection)
Q_DECLARE_METATYPE(FilterFault)
Q_DECLARE_METATYPE(CameraControlId)

namespace {
constexpr HRESULT kDeviceFailure = HRESULT(0x8007001Fu); // ERROR_GEN_FAILURE
// KSNODETYPE_VIDEO_CAMERA_TERMINAL {DFF229E1-F70F-11D0-B917-00A0C9223196}
const GUID kCameraTerminal = {
    0xDFF229E1, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

template <std::size_t N>
QByteArray bytes(const std::array<std::uint8_t, N> &data) {
    return QByteArray(reinterpret_cast<const char *>(data.data()), int(N));
}

// The volumes as the SCSI channel's function table sees them: which letters exist, every handle
// given out and closed, and each DeviceIoControl call with its sizes and input bytes. The device
// answers with `answer` at the data area of the output buffer.
struct FakeVolumes {
    QSet<QString> letters;
    QSet<quintptr> open;
    int opened = 0;
    int closed = 0;
    bool badClose = false;
    bool requestFails = false;
    QByteArray answer;
    struct Call {
        DWORD code;
        QByteArray input;
        DWORD inputSize;
        DWORD outputSize;
        bool sameBuffer;
    };
    QVector<Call> calls;
};
FakeVolumes *volumes = nullptr;

HANDLE WINAPI fakeCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                             DWORD disposition, DWORD, HANDLE) {
    if (!volumes->letters.contains(QString::fromWCharArray(path)) ||
        access != (GENERIC_READ | GENERIC_WRITE) || share != (FILE_SHARE_READ | FILE_SHARE_WRITE) ||
        disposition != OPEN_EXISTING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const quintptr handle = 0x100 + quintptr(++volumes->opened);
    volumes->open.insert(handle);
    return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI fakeDeviceIoControl(HANDLE handle, DWORD code, LPVOID input, DWORD inputSize,
                                LPVOID output, DWORD outputSize, LPDWORD returned, LPOVERLAPPED) {
    if (!volumes->open.contains(reinterpret_cast<quintptr>(handle))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    volumes->calls.append({code, QByteArray(static_cast<const char *>(input), int(inputSize)),
                           inputSize, outputSize, input == output});
    if (volumes->requestFails) {
        SetLastError(ERROR_IO_DEVICE);
        return FALSE;
    }
    const std::size_t at = passthrough::kNativeLayout.dataOffset;
    if (outputSize >= at + std::size_t(volumes->answer.size()))
        std::memcpy(static_cast<char *>(output) + at, volumes->answer.constData(),
                    std::size_t(volumes->answer.size()));
    *returned = outputSize;
    return TRUE;
}

BOOL WINAPI fakeCloseHandle(HANDLE handle) {
    const bool known = volumes->open.remove(reinterpret_cast<quintptr>(handle));
    volumes->badClose |= !known;
    volumes->closed += known;
    return known ? TRUE : FALSE;
}

const VolumeApi kFakeVolumeApi = {&fakeCreateFile, &fakeDeviceIoControl, &fakeCloseHandle};

// Records the COM apartment of the thread that searches; -2 for the implicit one that a thread
// without COM borrows while another thread holds the multithreaded apartment.
struct ApartmentProbe final : ScsiBackend {
    std::atomic<int> apartment{-1};
    std::vector<std::string> candidates() override {
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        if (SUCCEEDED(CoGetApartmentType(&type, &qualifier)))
            apartment = qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA ? -2 : int(type);
        return {};
    }
    std::unique_ptr<ScsiDevice> open(const std::string &) override { return nullptr; }
};
} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void init() { installNativeBackends(); }

    void findsNothingWithoutDevices() {
        DShowCameraWrapper cameras;
        QVector<CameraDevice> devices;
        int index = -1;
        QCOMPARE(cameras.enumerateCameras(devices), 0);
        QVERIFY(!cameras.bindCamera("vid_1d6b&pid_0104&mi_00#6&1&0&0000", "QX-M30-000", index));
        UpdaterDeviceState state = UpdaterStateUBoot;
        QVERIFY(!findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(state, UpdaterStateNone);
        // The registration filters are accepted for a window.
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        QVERIFY(createNativeHotplugSource()->start(quintptr(window)));
        DestroyWindow(window);
    }

    void deviceChangeFilter_data() {
        addColumns<int, int, QString, QString>({"event", "deviceType", "deviceClass", "emitted"});
        const int interfaces = DBT_DEVTYP_DEVICEINTERFACE;
        const QString capture = "{65E8773D-8F56-11D0-A3B9-00A0C9223196}";
        QTest::newRow("capture arrival")
            << DBT_DEVICEARRIVAL << interfaces << capture << "1 \\\\?\\";
        QTest::newRow("capture removal")
            << DBT_DEVICEREMOVECOMPLETE << interfaces << capture << "0 \\\\?\\";
        QTest::newRow("removal asked") << DBT_DEVICEQUERYREMOVE << interfaces << capture << "";
        QTest::newRow("volume") << DBT_DEVICEARRIVAL << int(DBT_DEVTYP_VOLUME) << capture << "";
        QTest::newRow("disk interface")
            << DBT_DEVICEARRIVAL << interfaces << "{53F56307-B6BF-11D0-94F2-00A0C91EFB8B}"
            << "";
    }
    void deviceChangeFilter() {
        QFETCH(int, event);
        QFETCH(int, deviceType);
        QFETCH(QString, deviceClass);
        QFETCH(QString, emitted);
        DEV_BROADCAST_DEVICEINTERFACE_W broadcast[4] = {}; // room for the name
        broadcast->dbcc_size = sizeof broadcast;
        broadcast->dbcc_devicetype = DWORD(deviceType);
        CLSIDFromString(reinterpret_cast<LPCOLESTR>(deviceClass.utf16()),
                        &broadcast->dbcc_classguid);
        wcscpy(broadcast->dbcc_name, L"\\\\?\\");
        MSG message = {nullptr, WM_DEVICECHANGE, WPARAM(event), LPARAM(broadcast), 0, {}};
        QString seen;
        auto source = createNativeHotplugSource();
        connect(source.get(), &HotplugSource::captureInterfaceChanged,
                [&](bool arrival, const QString &name) {
                    seen += QString::number(arrival) + " " + name;
                });
        source->handleNativeEvent("windows_generic_MSG", &message);
        // Nothing runs inside the sent message: the event arrives once it has returned.
        QCOMPARE(seen, QString());
        QCoreApplication::processEvents();
        QCOMPARE(seen, emitted);
    }

    // The unit is the vendor-specific node that knows its property set; a node that answers "set
    // not found" is passed over, and the node found is kept for the requests that follow.
    void extensionUnitNode_data() {
        addColumns<QVector<NodeKind>, int, PlatformStatus, QString>(
            {"nodes", "unitNode", "status", "step"});
        const PlatformStatus ok = 0;
        const auto notFound = PlatformStatus(kSetNotFound);
        QTest::newRow("the unit alone") << QVector<NodeKind>{NodeKind::OurUnit} << 0 << ok << "";
        QTest::newRow("after another unit")
            << QVector<NodeKind>{NodeKind::Camera, NodeKind::ForeignUnit, NodeKind::OurUnit} << 2
            << ok << "";
        QTest::newRow("before another unit")
            << QVector<NodeKind>{NodeKind::OurUnit, NodeKind::ForeignUnit} << 0 << ok << "";
        QTest::newRow("no node knows the set")
            << QVector<NodeKind>{NodeKind::ForeignUnit, NodeKind::ForeignUnit} << -1 << notFound
            << "ks_control->KsProperty(...)";
        QTest::newRow("no vendor-specific node") << QVector<NodeKind>{NodeKind::Camera} << -1
                                                 << PlatformStatus(E_FAIL) << "FindExtensionNode";
        QTest::newRow("the unit does not answer")
            << QVector<NodeKind>{NodeKind::ForeignUnit, NodeKind::BrokenUnit, NodeKind::OurUnit}
            << 1 << PlatformStatus(kDeviceFailure) << "ks_control->KsProperty(...)";
    }
    void extensionUnitNode() {
        QFETCH(QVector<NodeKind>, nodes);
        QFETCH(int, unitNode);
        QFETCH(PlatformStatus, status);
        QFETCH(QString, step);
        const QByteArray reply("\x03\x01\x00\x07\x00\x00\x00\x00", 8);
        std::vector<fakecom::Node> topology(std::size_t(nodes.size()));
        fakecom::MediaSource source;
        for (int i = 0; i < nodes.size(); ++i) {
            fakecom::Node &node = topology[std::size_t(i)];
            node.type = nodes[i] == NodeKind::Camera ? kCameraTerminal : kNodeTypeDevSpecific;
            node.control.answer = nodes[i] == NodeKind::ForeignUnit  ? kSetNotFound
                                  : nodes[i] == NodeKind::BrokenUnit ? kDeviceFailure
                                                                     : S_OK;
            node.control.reply = reply;
            source.nodes.append(&node);
        }
        fakecom::KsControl reader; // any object serves as the held reader
        {
            auto unit = createMediaFoundationUnit(&source, &reader, nullptr);
            XuPacket packet = {0x03, 0x01, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00};
            PlatformFailure failure;
            QCOMPARE(unit->request(kSelectorCommand, UnitDirection::Write, packet.data(),
                                   std::uint32_t(packet.size()), failure),
                     status);
            QCOMPARE(QString::fromStdString(failure.step), step);
            XuPacket answer{};
            unit->request(kSelectorResponse, UnitDirection::Read, answer.data(),
                          std::uint32_t(answer.size()), failure);
            for (int i = 0; i < nodes.size(); ++i) {
                const QVector<fakecom::KsCall> &calls = topology[std::size_t(i)].control.calls;
                const bool asked = nodes[i] != NodeKind::Camera && (unitNode < 0 || i <= unitNode);
                // Each node before the unit is asked once and the unit takes both requests; without
                // a unit, every request asks every vendor-specific node.
                QCOMPARE(calls.size(), !asked ? 0 : i == unitNode || unitNode < 0 ? 2 : 1);
                if (!asked)
                    continue;
                const NodeRequest write =
                    encodeNodeRequest(kExtensionUnitSet, kSelectorCommand, kWriteFlags, DWORD(i));
                QCOMPARE(calls[0].property, bytes(write));
                QCOMPARE(calls[0].propertyLength, ULONG(kNodeRequestSize));
                QCOMPARE(calls[0].data, bytes(packet));
                QCOMPARE(calls[0].dataLength, ULONG(packet.size()));
            }
            if (unitNode >= 0) {
                const fakecom::KsCall &read = topology[std::size_t(unitNode)].control.calls[1];
                QCOMPARE(read.property,
                         bytes(encodeNodeRequest(kExtensionUnitSet, kSelectorResponse, kReadFlags,
                                                 DWORD(unitNode))));
                QCOMPARE(read.dataLength, ULONG(answer.size()));
                QCOMPARE(bytes(answer), status == 0 ? reply : QByteArray(8, '\0'));
            }
        }
        QCOMPARE(source.outstanding(), LONG(0));
        QCOMPARE(reader.references, LONG(1));
    }

    // Pan, tilt and zoom: one 40-byte record as property and data, the value read back from the
    // record, and the system's words when the filter refuses.
    void cameraControls_data() {
        addColumns<FilterFault, CameraControlId, bool, qint32, bool, qint32, QString>(
            {"fault", "control", "write", "value", "accepted", "valueAfter", "reason"});
        QTest::newRow("read pan") << FilterFault::None << CameraControlId::Pan << false << 0 << true
                                  << -36 << "";
        QTest::newRow("write zoom")
            << FilterFault::None << CameraControlId::Zoom << true << 250 << true << 250 << "";
        QTest::newRow("write tilt refused") << FilterFault::Refuses << CameraControlId::Tilt << true
                                            << 10 << false << 10 << "KsProperty: 0x8007001F";
        QTest::newRow("read without IKsControl")
            << FilterFault::NoKsControl << CameraControlId::Pan << false << 5 << false << 5 << "";
        QTest::newRow("write without IKsControl")
            << FilterFault::NoKsControl << CameraControlId::Zoom << true << 100 << false << 100
            << "the filter offers no IKsControl";
    }
    void cameraControls() {
        QFETCH(FilterFault, fault);
        QFETCH(CameraControlId, control);
        QFETCH(bool, write);
        QFETCH(qint32, value);
        QFETCH(bool, accepted);
        QFETCH(qint32, valueAfter);
        QFETCH(QString, reason);
        fakecom::Filter filter;
        filter.offersKsControl = fault != FilterFault::NoKsControl;
        filter.ksControl.answer = fault == FilterFault::Refuses ? kDeviceFailure : S_OK;
        const std::uint32_t flags = write ? kPropertyTypeSet : kPropertyTypeGet;
        const CameraControlRecord sent =
            encodeCameraControlRecord(std::uint32_t(control), flags, value);
        CameraControlRecord answered =
            encodeCameraControlRecord(std::uint32_t(control), flags, write ? value : -36);
        filter.ksControl.reply = bytes(answered);
        std::string why;
        {
            auto controls = createDirectShowControls(&filter);
            std::int32_t current = value;
            const bool done =
                write ? controls->set(control, value, why) : controls->get(control, current);
            QCOMPARE(done, accepted);
            QCOMPARE(current, valueAfter);
        }
        QCOMPARE(QString::fromStdString(why), reason);
        const QVector<fakecom::KsCall> &calls = filter.ksControl.calls;
        QCOMPARE(calls.size(), fault == FilterFault::NoKsControl ? 0 : 1);
        if (!calls.isEmpty()) {
            QCOMPARE(calls[0].property, bytes(sent));
            QCOMPARE(calls[0].propertyLength, ULONG(kCameraControlRecordSize));
            QCOMPARE(calls[0].dataLength, ULONG(kCameraControlRecordSize));
        }
        QCOMPARE(filter.outstanding(), LONG(0));
    }

    // One request on a volume: INQUIRY goes in as the bare header and comes back with the answer in
    // the data area; a vendor command goes in and out as the whole buffer. Only letters D: to Z:
    // are opened, and every handle opened is closed.
    void volumeRequests_data() {
        addColumns<QString, quint8, ScsiDirection, int, bool, int, int, bool>(
            {"volume", "opcode", "direction", "length", "fails", "inputSize", "outputSize", "ok"});
        const int header = int(passthrough::kNativeLayout.headerLength);
        const int data = int(passthrough::kNativeLayout.dataOffset);
        QTest::newRow("INQUIRY") << "\\\\.\\E:" << quint8(0x12) << ScsiDirection::FromDevice << 36
                                 << false << header << data + 36 << true;
        QTest::newRow("vendor command out")
            << "\\\\.\\Z:" << quint8(0xE8) << ScsiDirection::ToDevice << 512 << false << data + 512
            << data + 512 << true;
        QTest::newRow("vendor command in")
            << "\\\\.\\D:" << quint8(0xE8) << ScsiDirection::FromDevice << 4 << false << data + 4
            << data + 4 << true;
        QTest::newRow("vendor command in fails")
            << "\\\\.\\D:" << quint8(0xE8) << ScsiDirection::FromDevice << 4 << true << data + 4
            << data + 4 << false;
        QTest::newRow("the system disk is never opened")
            << "\\\\.\\C:" << quint8(0x12) << ScsiDirection::FromDevice << 36 << false << 0 << 0
            << false;
        QTest::newRow("a letter without a volume")
            << "\\\\.\\F:" << quint8(0x12) << ScsiDirection::FromDevice << 36 << false << 0 << 0
            << false;
    }
    void volumeRequests() {
        QFETCH(QString, volume);
        QFETCH(quint8, opcode);
        QFETCH(ScsiDirection, direction);
        QFETCH(int, length);
        QFETCH(bool, fails);
        QFETCH(int, inputSize);
        QFETCH(int, outputSize);
        QFETCH(bool, ok);
        FakeVolumes fake;
        fake.letters = {"\\\\.\\C:", "\\\\.\\D:", "\\\\.\\E:", "\\\\.\\Z:"};
        fake.requestFails = fails;
        for (int i = 0; i < length; ++i)
            fake.answer.append(char(0xA0 + i % 16));
        volumes = &fake;
        const std::uint8_t cdb[10] = {opcode, 0x01, 0, 0,
                                      std::uint8_t(opcode == 0x12 ? length : 0)};
        QByteArray buffer(length, '\x5A');
        const QByteArray sent = buffer;
        bool done = false;
        {
            auto backend = createVolumeScsiBackend(kFakeVolumeApi);
            auto device = backend->open(volume.toStdString());
            if (device)
                done = device->execute(cdb, opcode == 0x12 ? 6 : 10, direction,
                                       reinterpret_cast<std::uint8_t *>(buffer.data()),
                                       std::uint32_t(length), 2);
        }
        volumes = nullptr;
        QCOMPARE(done, ok);
        QCOMPARE(fake.calls.size(), inputSize ? 1 : 0);
        QVERIFY(fake.open.isEmpty());
        QCOMPARE(fake.closed, fake.opened);
        QVERIFY(!fake.badClose);
        QCOMPARE(buffer, ok && direction == ScsiDirection::FromDevice ? fake.answer : sent);
        if (fake.calls.isEmpty())
            return;
        const FakeVolumes::Call &call = fake.calls.first();
        QCOMPARE(call.code, DWORD(IOCTL_SCSI_PASS_THROUGH));
        QCOMPARE(int(call.inputSize), inputSize);
        QCOMPARE(int(call.outputSize), outputSize);
        QVERIFY(call.sameBuffer);
        QCOMPARE(quint8(call.input[int(passthrough::kNativeLayout.cdbField)]), opcode);
        if (direction == ScsiDirection::ToDevice)
            QCOMPARE(call.input.mid(int(passthrough::kNativeLayout.dataOffset)), sent);
    }

    void watcherSearchesFromItsOwnApartment() {
        ApartmentProbe probe;
        installScsiBackend(&probe);
        auto *watcher = new AbnormalDetectThread(kProductLineQx);
        auto *thread = new QThread;
        watcher->moveToThread(thread);
        connectWorkerThread(watcher, thread);
        thread->start();
        QTRY_COMPARE(probe.apartment.load(), int(APTTYPE_MTA));
        stopWorkerThread(watcher, thread);
        installScsiBackend(nullptr);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
