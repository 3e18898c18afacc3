// The Windows side of the seams as a machine without cameras or SCSI disks shows it (the test run
// under wine): enumeration and search find nothing, device-change broadcasts are filtered down to
// capture interfaces, and the watcher searches from a COM apartment of its own.
#include "app/nativebackends.h"
#include "device/dshowcamerawrapper.h"
#include "device/hotplugsource.h"
#include "preview/workerthread.h"
#include "testsupport/testsupport.h"
#include "upgrade/abnormaldetectthread.h"

#include <windows.h>

#include <dbt.h>
#include <objbase.h>

#include <atomic>

namespace {
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
        QCOMPARE(seen, emitted);
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
