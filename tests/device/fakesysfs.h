// A small sysfs and /dev of our own: USB devices with their interfaces and video4linux nodes laid
// out as the kernel lays them out, and the capabilities each node answers to VIDIOC_QUERYCAP.
#pragma once

#include "device/v4l2node_linux.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <linux/videodev2.h>

#include <map>
#include <memory>
#include <vector>

class FakeSysfs {
public:
    struct Caps {
        std::uint32_t deviceCaps = 0;
        std::string card;
    };

    FakeSysfs()
        : answers(std::make_shared<std::map<std::string, Caps>>()) {
        QDir(base()).mkpath("sys/class/video4linux");
        QDir(base()).mkpath("sys/devices/pci0000:00/0000:00:14.0");
        QDir(base()).mkpath("dev");
    }

    LinuxDeviceRoots roots() const {
        LinuxDeviceRoots roots;
        roots.sysfs = (base() + "/sys").toStdString();
        roots.dev = (base() + "/dev").toStdString();
        return roots;
    }

    CapabilityQuery query() const {
        std::shared_ptr<std::map<std::string, Caps>> table = answers;
        return [table](const std::string &devNode, std::uint32_t &caps, std::string &card) {
            auto it = table->find(devNode);
            if (it == table->end())
                return false;
            caps = it->second.deviceCaps;
            card = it->second.card;
            return true;
        };
    }

    // A USB device on a port of bus 1 ("1-1", "1-1.4"); returns its directory.
    QString addUsbDevice(const QString &port, const QString &vendor, const QString &product,
                         const QString &productName, const QByteArray &descriptors = {}) {
        const QString path = usbRoot() + "/" + port;
        QDir().mkpath(path);
        write(path + "/idVendor", vendor + "\n");
        write(path + "/idProduct", product + "\n");
        if (!productName.isNull())
            write(path + "/product", productName + "\n");
        write(path + "/descriptors", descriptors);
        return path;
    }

    QString addInterface(const QString &usbDevice, int number) {
        const QString port = QFileInfo(usbDevice).fileName();
        const QString path = usbDevice + "/" + port + ":1." + QString::number(number);
        QDir().mkpath(path);
        write(path + "/bInterfaceNumber", QString::asprintf("%02x\n", number));
        write(path + "/bInterfaceClass", "0e\n");
        return path;
    }

    // A video node below `parent` (an interface directory, or any directory for a device that is
    // not on USB). deviceCaps 0: the node does not answer QUERYCAP.
    void addNode(int number, const QString &parent, std::uint32_t deviceCaps,
                 const std::string &card = "card") {
        const QString name = "video" + QString::number(number);
        const QString nodeDir = parent + "/video4linux/" + name;
        QDir().mkpath(nodeDir);
        QFile::link(parent, nodeDir + "/device");
        QFile::link(nodeDir, classDir() + "/" + name);
        write(nodeDir + "/index", "0\n");
        write(base() + "/dev/" + name, QByteArray());
        if (deviceCaps != 0)
            (*answers)[devNode(number)] = Caps{deviceCaps, card};
    }

    // What the kernel does on removal: the node's sysfs entries and device node vanish.
    void removeUsbDevice(const QString &usbDevice) {
        const QStringList links =
            QDir(classDir()).entryList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString &link : links) {
            const QString target = QFileInfo(classDir() + "/" + link).symLinkTarget();
            if (target.startsWith(usbDevice + "/")) {
                QFile::remove(classDir() + "/" + link);
                QFile::remove(base() + "/dev/" + link);
                answers->erase(devNode(link.mid(5).toInt()));
            }
        }
        QDir(usbDevice).removeRecursively();
    }

    std::string devNode(int number) const {
        return (base() + "/dev/video" + QString::number(number)).toStdString();
    }
    QString devicesDir() const { return base() + "/sys/devices/pci0000:00/0000:00:14.0"; }
    QString usbRoot() const { return devicesDir() + "/usb1"; }
    QString classDir() const { return base() + "/sys/class/video4linux"; }
    // DEVPATH of a node as a uevent carries it.
    std::string devPathOf(const QString &parent, int number) const {
        const QString full = parent + "/video4linux/video" + QString::number(number);
        return full.mid((base() + "/sys").size()).toStdString();
    }

    static void write(const QString &path, const QByteArray &content) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    }
    static void write(const QString &path, const QString &content) {
        write(path, content.toUtf8());
    }
    static void write(const QString &path, const char *content) {
        write(path, QByteArray(content));
    }

private:
    QString base() const { return QFileInfo(dir.path()).canonicalFilePath(); }

    QTemporaryDir dir;
    std::shared_ptr<std::map<std::string, Caps>> answers;
};

constexpr std::uint32_t kCaptureCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
constexpr std::uint32_t kMetadataCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
