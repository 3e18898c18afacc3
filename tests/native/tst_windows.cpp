// The Windows side of the seams: as a machine without cameras or SCSI disks shows it (the test run
// under wine), enumeration and search find nothing, device-change broadcasts are filtered down to
// capture interfaces, and the watcher searches from a COM apartment of its own; at the API
// boundary, hand-written COM objects take the requests of the extension unit, the camera controls
// and the picture controls, and a table of stand-ins for the Win32 volume functions the SCSI
// pass-through requests of an upgrade, byte for byte.
#include "app/nativebackends.h"
#include "common/workerthread.h"
#include "control/ksrequests.h"
#include "control/mediafoundationunit_win.h"
#include "control/picturecontrols_win.h"
#include "control/uvcextensionunit.h"
#include "device/directshowcontrols_win.h"
#include "device/dshowcamerawrapper.h"
#include "device/hotplugsource.h"
#include "testsupport/testsupport.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/massstorage.h"
#include "upgrade/scsipassthrough.h"
#include "upgrade/volumeapi_win.h"

#include "fakecom_win.h"

#include <windows.h>

#include <dbt.h>
#include <initguid.h>

#include <devguid.h>
#include <ntddscsi.h>
#include <objbase.h>

#include <QSet>

#include <atomic>
#include <cstring>

// A node of the source's topology: another type (never asked), a vendor-specific node without
// the unit's set ("set not found"), the unit, or a vendor-specific node that does not answer.
enum class NodeKind { Camera, ForeignUnit, OurUnit, BrokenUnit };
Q_DECLARE_METATYPE(QVector<NodeKind>)
Q_DECLARE_METATYPE(ScsiDirection)
Q_DECLARE_METATYPE(CameraControlId)

namespace {
constexpr HRESULT kDeviceFailure = HRESULT(0x8007001Fu); // ERROR_GEN_FAILURE

template <std::size_t N>
QByteArray bytes(const std::array<std::uint8_t, N> &data) {
    return QByteArray(reinterpret_cast<const char *>(data.data()), int(N));
}

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
// The volumes behind the SCSI channel's function table: the letters that exist, the handles
// open, and each DeviceIoControl call (input bytes, output size). The answer goes to the data area.
struct FakeVolumes {
    QSet<QString> letters;
    QSet<quintptr> open;
    bool requestFails = false;
    QByteArray answer;
    QVector<std::pair<QByteArray, DWORD>> calls;
} *volumes = nullptr;

HANDLE WINAPI fakeCreateFile(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                             HANDLE) {
    if (!volumes->letters.contains(QString::fromWCharArray(path)) ||
        access != (GENERIC_READ | GENERIC_WRITE))
        return INVALID_HANDLE_VALUE;
    const quintptr handle = 0x100 + quintptr(volumes->open.size());
    volumes->open.insert(handle);
    return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI fakeDeviceIoControl(HANDLE handle, DWORD code, LPVOID input, DWORD inputSize,
                                LPVOID output, DWORD outputSize, LPDWORD returned, LPOVERLAPPED) {
    if (!volumes->open.contains(quintptr(handle)) || code != IOCTL_SCSI_PASS_THROUGH ||
        input != output || volumes->requestFails)
        return FALSE;
    volumes->calls.append(
        {QByteArray(static_cast<const char *>(input), int(inputSize)), outputSize});
    const std::size_t at = passthrough::kNativeLayout.dataOffset;
    std::memcpy(static_cast<char *>(output) + at, volumes->answer.constData(),
                std::min(std::size_t(volumes->answer.size()), outputSize - at));
    *returned = outputSize;
    return TRUE;
}

BOOL WINAPI fakeCloseHandle(HANDLE handle) {
    return volumes->open.remove(quintptr(handle)) ? TRUE : FALSE;
}

// The disk drives behind the listing's function table, each by its hardware ids; the device
// information lists open.
struct FakeDiskList {
    QList<QStringList> devices;
    int openLists = 0;
} *diskList = nullptr;
const auto kDiskList = reinterpret_cast<HDEVINFO>(quintptr(0x200));

HDEVINFO WINAPI fakeGetClassDevs(const GUID *guid, PCWSTR enumerator, HWND, DWORD flags) {
    const bool disks = guid && IsEqualGUID(*guid, GUID_DEVCLASS_DISKDRIVE) && !enumerator &&
                       flags == DIGCF_PRESENT;
    diskList->openLists += disks;
    return disks ? kDiskList : INVALID_HANDLE_VALUE;
}

BOOL WINAPI fakeEnumDeviceInfo(HDEVINFO list, DWORD index, PSP_DEVINFO_DATA device) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    device->DevInst = index;
    return list == kDiskList && device->cbSize == sizeof *device &&
           index < DWORD(diskList->devices.size());
}

BOOL WINAPI fakeGetRegistryProperty(HDEVINFO list, PSP_DEVINFO_DATA device, DWORD property,
                                    PDWORD type, PBYTE buffer, DWORD size, PDWORD required) {
    const std::wstring value =
        (diskList->devices.value(int(device->DevInst)).join(QChar(0)) + QString(2, QChar(0)))
            .toStdWString();
    *required = DWORD(value.size() * sizeof(wchar_t));
    SetLastError(size < *required ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
    if (list != kDiskList || property != SPDRP_HARDWAREID || size < *required)
        return FALSE;
    *type = REG_MULTI_SZ;
    std::memcpy(buffer, value.data(), *required);
    return TRUE;
}

BOOL WINAPI fakeDestroyDeviceInfoList(HDEVINFO list) {
    diskList->openLists -= list == kDiskList;
    return TRUE;
}
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
        QVERIFY(!detectUpdaterDevice(kProductLineQx, state)); // the system's disk list too
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
        addColumns<QVector<NodeKind>, int, PlatformStatus>({"nodes", "unitNode", "status"});
        QTest::newRow("after another unit")
            << QVector<NodeKind>{NodeKind::Camera, NodeKind::ForeignUnit, NodeKind::OurUnit} << 2
            << PlatformStatus(S_OK);
        QTest::newRow("no node knows the set")
            << QVector<NodeKind>{NodeKind::ForeignUnit, NodeKind::ForeignUnit} << -1
            << PlatformStatus(kSetNotFound);
        QTest::newRow("the unit does not answer")
            << QVector<NodeKind>{NodeKind::ForeignUnit, NodeKind::BrokenUnit, NodeKind::OurUnit}
            << 1 << PlatformStatus(kDeviceFailure);
    }
    void extensionUnitNode() {
        QFETCH(QVector<NodeKind>, nodes);
        QFETCH(int, unitNode);
        QFETCH(PlatformStatus, status);
        std::vector<fakecom::KsControl> controls(std::size_t(nodes.size()));
        fakecom::MediaSource source;
        for (int i = 0; i < nodes.size(); ++i) {
            fakecom::KsControl &control = controls[std::size_t(i)];
            control.answer = nodes[i] == NodeKind::ForeignUnit  ? kSetNotFound
                             : nodes[i] == NodeKind::BrokenUnit ? kDeviceFailure
                                                                : S_OK;
            control.reply = QByteArray("\x03\x01\x00\x07", 4);
            source.nodes.append(
                {nodes[i] == NodeKind::Camera ? GUID_NULL : kNodeTypeDevSpecific, &control});
        }
        fakecom::KsControl reader; // any object serves as the reader it holds
        XuPacket packet = {0x03, 0x01, 0x00, 0x07}, answer{};
        {
            auto unit = createMediaFoundationUnit(&source, &reader, nullptr);
            PlatformFailure failure;
            QCOMPARE(
                unit->request(kSelectorCommand, UnitDirection::Write, packet.data(), 8, failure),
                status);
            unit->request(kSelectorResponse, UnitDirection::Read, answer.data(), 8, failure);
        }
        for (int i = qMax(unitNode, 0); i < nodes.size(); ++i) // the unit keeps both requests
            QCOMPARE(controls[std::size_t(i)].calls.size(), i == unitNode || unitNode < 0 ? 2 : 0);
        if (unitNode >= 0) {
            const QVector<fakecom::KsCall> &calls = controls[std::size_t(unitNode)].calls;
            QCOMPARE(calls[0].property, bytes(encodeNodeRequest(kExtensionUnitSet, kSelectorCommand,
                                                                kWriteFlags, DWORD(unitNode))));
            QCOMPARE(calls[0].data, bytes(packet));
            QCOMPARE(bytes(answer).left(4), status ? QByteArray(4, 0) : controls[0].reply);
        }
        LONG references = source.references + reader.references;
        for (const fakecom::KsControl &control : controls)
            references += control.references;
        QCOMPARE(references, LONG(2 + nodes.size())); // every reference taken was given back
    }

    // Pan, tilt and zoom: one 40-byte record as property and data, the value read back from it.
    void cameraControls_data() {
        addColumns<CameraControlId, bool, HRESULT, bool, qint32, QString>(
            {"control", "write", "answer", "offered", "valueAfter", "reason"});
        QTest::newRow("read pan") << CameraControlId::Pan << false << S_OK << true << -36 << "";
        QTest::newRow("write zoom") << CameraControlId::Zoom << true << S_OK << true << 250 << "";
        QTest::newRow("write tilt refused") << CameraControlId::Tilt << true << kDeviceFailure
                                            << true << 250 << "KsProperty: 0x8007001F";
        QTest::newRow("without IKsControl") << CameraControlId::Zoom << true << S_OK << false << 250
                                            << "the filter offers no IKsControl";
    }
    void cameraControls() {
        QFETCH(CameraControlId, control);
        QFETCH(bool, write);
        QFETCH(HRESULT, answer);
        QFETCH(bool, offered);
        QFETCH(qint32, valueAfter);
        QFETCH(QString, reason);
        fakecom::Filter filter;
        filter.offersKsControl = offered;
        filter.ksControl.answer = answer;
        const std::uint32_t flags = write ? kPropertyTypeSet : kPropertyTypeGet;
        filter.ksControl.reply =
            bytes(encodeCameraControlRecord(std::uint32_t(control), flags, -36));
        std::string why;
        std::int32_t value = 250;
        {
            auto controls = createDirectShowControls(&filter);
            QCOMPARE(write ? controls->set(control, value, why) : controls->get(control, value),
                     reason.isEmpty());
        }
        QCOMPARE(value, valueAfter);
        QCOMPARE(QString::fromStdString(why), reason);
        QCOMPARE(filter.ksControl.calls.size(), int(offered));
        if (offered)
            QCOMPARE(filter.ksControl.calls[0].property,
                     bytes(encodeCameraControlRecord(std::uint32_t(control), flags, 250)));
        QCOMPARE(filter.heldReferences(), LONG(2));
    }

    // The picture controls as IAMVideoProcAmp and IAMCameraControl describe them: a property that
    // may be automatic gives its automatic control first, exposure is a menu of times in 100 µs
    // (2^-11 s .. 2^-3 s), and a write keeps the half (value or flag) it does not change.
    void pictureControls_data() {
        addColumns<QString, qint32, HRESULT, QStringList, QString>(
            {"control", "value", "answer", "calls", "reason"});
        QTest::newRow("exposure time by hand")
            << "exposure-time" << 313 << S_OK << QStringList{"Get 4", "Set 4 -5 2"} << "";
        QTest::newRow("aperture priority")
            << "auto-exposure" << 3 << S_OK << QStringList{"Get 4", "Set 4 -6 1"} << "";
        QTest::newRow("white balance by hand")
            << "white-balance-automatic" << 0 << S_OK << QStringList{"Get 7", "Set 7 5000 2"} << "";
        QTest::newRow("brightness refused")
            << "brightness" << 30 << kDeviceFailure << QStringList{"Get 0", "Set 0 30 2"}
            << "Set: 0x8007001F";
    }
    void pictureControls() {
        QFETCH(QString, control);
        QFETCH(qint32, value);
        QFETCH(HRESULT, answer);
        QFETCH(QStringList, calls);
        QFETCH(QString, reason);
        fakecom::Filter filter;
        const LONG manual = VideoProcAmp_Flags_Manual, automatic = VideoProcAmp_Flags_Auto;
        filter.videoProcAmp.properties = {
            {VideoProcAmp_Brightness, {-64, 64, 1, 0, manual, 20, manual}},
            {VideoProcAmp_WhiteBalance, {2800, 6500, 10, 4600, manual | automatic, 5000, 1}}};
        filter.cameraControl.properties = {
            {CameraControl_Exposure, {-11, -3, 1, -6, manual | automatic, -6, automatic}}};
        filter.videoProcAmp.answer = answer;
        {
            auto device = createDirectShowPictureControls(&filter);
            QStringList offered;
            QMap<QString, std::uint32_t> ids;
            for (const PictureControlInfo &info : device->query()) {
                QStringList menu;
                for (const PictureMenuEntry &entry : info.menu)
                    menu << QString::number(entry.value);
                offered << QString("%1 %2..%3/%4 =%5%6 %7")
                               .arg(info.name.c_str())
                               .arg(info.minimum)
                               .arg(info.maximum)
                               .arg(info.step)
                               .arg(info.defaultValue)
                               .arg(info.inactive ? " inactive" : "", menu.join(','));
                ids[info.name.c_str()] = info.id;
            }
            QCOMPARE(offered,
                     (QStringList{"brightness -64..64/1 =0 ", "white-balance-automatic 0..1/1 =1 ",
                                  "white-balance-temperature 2800..6500/10 =4600 inactive ",
                                  "auto-exposure 1..3/1 =3 1,3",
                                  "exposure-time 5..1250/1 =156 inactive "
                                  "5,10,20,39,78,156,313,625,1250"}));
            std::int32_t exposure = 0, mode = 0;
            std::string why;
            QVERIFY(device->read(ids["exposure-time"], exposure, why) &&
                    device->read(ids["auto-exposure"], mode, why));
            QCOMPARE(QPair(exposure, mode), QPair(156, 3));
            filter.videoProcAmp.calls.clear();
            filter.cameraControl.calls.clear();
            QCOMPARE(device->write(ids[control], value, why), reason.isEmpty());
            QCOMPARE(QString::fromStdString(why), reason);
        }
        QCOMPARE(filter.videoProcAmp.calls + filter.cameraControl.calls, calls);
        QCOMPARE(filter.heldReferences(), LONG(2));
        filter.offersVideoProcAmp = filter.offersCameraControl = false;
        QVERIFY(!createDirectShowPictureControls(&filter));
    }

    // INQUIRY goes in as the bare header and comes back with the answer in the data area; a vendor
    // command goes in and out as the whole buffer. Only D: to Z: are opened, and every handle
    // opened is closed.
    void volumeRequests_data() {
        addColumns<QString, quint8, ScsiDirection, bool, int, int, bool>(
            {"volume", "opcode", "direction", "fails", "inputSize", "outputSize", "ok"});
        const int header = int(passthrough::kNativeLayout.headerLength);
        const int data = int(passthrough::kNativeLayout.dataOffset);
        QTest::newRow("INQUIRY") << "\\\\.\\E:" << quint8(0x12) << ScsiDirection::FromDevice
                                 << false << header << data + 36 << true;
        QTest::newRow("vendor command out")
            << "\\\\.\\Z:" << quint8(0xE8) << ScsiDirection::ToDevice << false << data + 36
            << data + 36 << true;
        QTest::newRow("vendor command in fails")
            << "\\\\.\\D:" << quint8(0xE8) << ScsiDirection::FromDevice << true << 0 << 0 << false;
        QTest::newRow("the system disk")
            << "\\\\.\\C:" << quint8(0x12) << ScsiDirection::FromDevice << false << 0 << 0 << false;
    }
    void volumeRequests() {
        QFETCH(QString, volume);
        QFETCH(quint8, opcode);
        QFETCH(ScsiDirection, direction);
        QFETCH(bool, fails);
        QFETCH(int, inputSize);
        QFETCH(int, outputSize);
        QFETCH(bool, ok);
        FakeVolumes fake{
            {"\\\\.\\C:", "\\\\.\\D:", "\\\\.\\E:", "\\\\.\\Z:"}, {}, fails, "INQUIRY answer", {}};
        volumes = &fake;
        const std::uint8_t cdb[10] = {opcode, 0x01, 0, 0, 36};
        QByteArray buffer(36, '\x5A');
        const QByteArray sent = buffer;
        const VolumeApi api = {&fakeCreateFile, &fakeDeviceIoControl, &fakeCloseHandle};
        auto device = createVolumeScsiBackend(api)->open(volume.toStdString());
        QCOMPARE(device && device->execute(cdb, opcode == 0x12 ? 6 : 10, direction,
                                           reinterpret_cast<std::uint8_t *>(buffer.data()), 36, 2),
                 ok);
        device.reset();
        volumes = nullptr;
        QVERIFY(fake.open.isEmpty());
        QCOMPARE(buffer.left(14),
                 ok && direction == ScsiDirection::FromDevice ? fake.answer : sent.left(14));
        QCOMPARE(fake.calls.size(), inputSize ? 1 : 0);
        if (inputSize) {
            QCOMPARE(fake.calls[0].first.size(), inputSize);
            QCOMPARE(int(fake.calls[0].second), outputSize);
            QCOMPARE(fake.calls[0].first.mid(int(passthrough::kNativeLayout.dataOffset), 36),
                     direction == ScsiDirection::ToDevice ? sent : QByteArray());
        }
    }

    // Without the rights to open a volume, the disks are listed by their hardware ids: the first
    // USB disk id of each gives its vendor and product (blanks written as '_'), whatever the
    // number of ids (more than the first buffer holds), and the list is always destroyed.
    void listedDisks_data() {
        addColumns<QList<QStringList>, QStringList>({"devices", "listed"});
        const QString updater = "USBSTOR\\DiskQXM30___UPD_____________";
        QTest::newRow("updater, every id")
            << QList<QStringList>{{updater + "1.00", updater, "USBSTOR\\DiskQXM30___",
                                   "USBSTOR\\QXM30___UPD_____________1",
                                   "QXM30___UPD_____________1", "USBSTOR\\GenDisk", "GenDisk"}}
            << QStringList{"QXM30   UPD             "};
        QTest::newRow("ROM: empty product")
            << QList<QStringList>{{"USBSTOR\\DiskQXM30_________________________1.00"}}
            << QStringList{"QXM30" + QString(19, ' ')};
        QTest::newRow("another vendor's disk, a disk on another bus")
            << QList<QStringList>{{"USBSTOR\\DiskOTHER___Flash_Disk______1.00"},
                                  {"SCSI\\DiskQXM30___UPD_____________1.00", "GenDisk"},
                                  {"USBSTOR\\DiskGC______UBO_____________1.00"}}
            << QStringList{"OTHER   Flash Disk      ", "GC      UBO             "};
    }
    void listedDisks() {
        QFETCH(QList<QStringList>, devices);
        FakeDiskList fake{devices, 0};
        diskList = &fake;
        const VolumeApi volumes = {&fakeCreateFile, &fakeDeviceIoControl, &fakeCloseHandle};
        const DiskListApi api = {&fakeGetClassDevs, &fakeEnumDeviceInfo, &fakeGetRegistryProperty,
                                 &fakeDestroyDeviceInfoList};
        QStringList identities;
        for (const ScsiDiskIdentity &disk : createVolumeScsiBackend(volumes, api)->listedDisks())
            identities << QString::fromStdString(disk.vendor + disk.product);
        QTEST(identities, "listed");
        QCOMPARE(fake.openLists, 0);
    }

    void watcherSearchesFromItsOwnApartment() {
        ApartmentProbe probe;
        installScsiBackend(&probe);
        WorkerThread thread;
        thread.start(new AbnormalDetectThread(kProductLineQx));
        QTRY_COMPARE(probe.apartment.load(), int(APTTYPE_MTA));
        thread.stop();
        installScsiBackend(nullptr);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
