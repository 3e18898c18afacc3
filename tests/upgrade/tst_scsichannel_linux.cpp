// The Linux SCSI channel on a made-up sysfs tree: only SCSI generic devices attached over USB are
// candidates, in number order, and nothing else is ever opened.
#include "upgrade/scsichannel_linux.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/inotify.h>
#include <unistd.h>

#include <climits>

class TestScsiChannelLinux : public QObject {
    Q_OBJECT

private:
    QTemporaryDir root;
    QString sys;
    QString dev;

    void touch(const QString &path, const QByteArray &content = QByteArray()) {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // /sys/class/scsi_generic/<name>/device -> the SCSI device directory, as sysfs links it.
    void addGeneric(const QString &name, const QString &deviceDir) {
        QVERIFY(QDir().mkpath(deviceDir));
        const QString classDir = sys + "/class/scsi_generic/" + name;
        QVERIFY(QDir().mkpath(classDir));
        const QString target = QDir(classDir).relativeFilePath(deviceDir);
        QVERIFY(QFile::link(target, classDir + "/device"));
        touch(dev + "/" + name);
    }

    QString usbDisk(const QString &port, int host) {
        const QString usbDevice = sys + "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
        touch(usbDevice + "/idVendor", "1d6b\n");
        touch(usbDevice + "/idProduct", "0104\n");
        return usbDevice +
               QStringLiteral("/%1:1.0/host%2/target%2:0:0/%2:0:0:0").arg(port).arg(host);
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        sys = root.filePath("sys");
        dev = root.filePath("dev");
        addGeneric("sg0", usbDisk("1-1", 0));
        // A SATA disk: vendor files of its own, but no USB device above it.
        const QString sata =
            sys + "/devices/pci0000:00/0000:00:17.0/ata1/host1/target1:0:0/1:0:0:0";
        touch(sata + "/vendor", "ATA     \n");
        addGeneric("sg1", sata);
        addGeneric("sg10", usbDisk("1-3", 10));
        addGeneric("sg2", usbDisk("1-2", 2));
        // An NVMe-style device hanging directly off the PCI bus.
        addGeneric("sg3", sys + "/devices/pci0000:00/0000:00:1d.0/nvme/host3/target3:0:0/3:0:0:0");
        // Nothing above the sysfs root counts.
        touch(root.filePath("idVendor"), "ffff\n");
    }

    void onlyUsbDevicesInNumberOrder() {
        LinuxScsiBackend backend(sys.toStdString(), dev.toStdString());
        const std::vector<std::string> expected = {(dev + "/sg0").toStdString(),
                                                   (dev + "/sg2").toStdString(),
                                                   (dev + "/sg10").toStdString()};
        QCOMPARE(backend.candidates(), expected);
        QVERIFY(backend.isUsbAttached("sg0"));
        QVERIFY(!backend.isUsbAttached("sg1"));
        QVERIFY(!backend.isUsbAttached("sg3"));
        QVERIFY(!backend.isUsbAttached("sg99"));
        QVERIFY(!backend.isUsbAttached("../sg0"));
    }

    void nothingButUsbDevicesIsOpened() {
        LinuxScsiBackend backend(sys.toStdString(), dev.toStdString());
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(dev).constData(), IN_OPEN) >= 0);

        for (const std::string &candidate : backend.candidates()) {
            // The made-up nodes are plain files: opened, then left alone as no SCSI generic
            // driver answers on them.
            QVERIFY(!backend.open(candidate));
        }
        QVERIFY(!backend.open((dev + "/sg1").toStdString()));
        QVERIFY(!backend.open((dev + "/sg3").toStdString()));
        QVERIFY(!backend.open((dev + "/../dev/sg1").toStdString()));
        QVERIFY(!backend.open("/etc/passwd"));

        QStringList openedNames;
        alignas(inotify_event) char events[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (;;) {
            const ssize_t got = ::read(watch, events, sizeof events);
            if (got <= 0)
                break;
            for (ssize_t offset = 0; offset < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + offset);
                if (event->len)
                    openedNames << QString::fromLocal8Bit(event->name);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        ::close(watch);
        openedNames.sort();
        QCOMPARE(openedNames, (QStringList{"sg0", "sg10", "sg2"}));
    }

    void missingSysfsGivesNoCandidates() {
        LinuxScsiBackend backend(root.filePath("nowhere").toStdString(), dev.toStdString());
        QVERIFY(backend.candidates().empty());
    }
};

QTEST_GUILESS_MAIN(TestScsiChannelLinux)
#include "tst_scsichannel_linux.moc"
