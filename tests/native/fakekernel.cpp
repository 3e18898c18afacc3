#include "fakekernel.h"

#include "testsupport/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

FakeKernel *FakeKernel::active = nullptr;

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    FakeKernel *kernel = FakeKernel::active;
    const std::string node = kernel ? kernel->nodeOf(fd) : std::string();
    if (!node.empty())
        return kernel->answer(node, request, argument);
    return static_cast<int>(::syscall(SYS_ioctl, fd, request, argument));
}

std::string FakeKernel::nodeOf(int fd) const {
    char target[512] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = fd >= 0 ? ::readlink(link.c_str(), target, sizeof target - 1) : -1;
    const std::string path(target, length > 0 ? std::size_t(length) : 0);
    return path.rfind(dev() + "/", 0) == 0 ? path.substr(dev().size() + 1) : std::string();
}

void FakeKernel::addStream(int number, std::vector<std::uint32_t> formats, unsigned width,
                           unsigned height, unsigned padding, std::deque<FakeFrameStep> steps) {
    streams["video" + std::to_string(number)] = FakeStream{
        std::move(formats), width, height, padding, std::move(steps), 0, 0, {}, false, false};
}

// Nodes of the tree that the test marks as refused fail to open as without permission.
extern "C" int open(const char *path, int flags, ...) {
    int mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, int);
        va_end(arguments);
    }
    if (FakeKernel::active && FakeKernel::active->deniedNodes.count(path))
        return errno = EACCES, -1;
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

FakeKernel::FakeKernel() {
    for (const char *folder :
         {"sys/class/video4linux", "sys/class/scsi_generic", "sys/devices/pci0000:00/usb1", "dev"})
        QDir(base()).mkpath(folder);
    active = this;
}

FakeKernel::~FakeKernel() {
    active = nullptr;
}

QString FakeKernel::base() const {
    return QFileInfo(dir.path()).canonicalFilePath();
}

QString FakeKernel::addUsbDevice(const QString &port, const QString &ids,
                                 const QString &productName, const QByteArray &descriptors) {
    const QString path = usbRoot() + "/" + port;
    QDir().mkpath(path);
    writeFile(path + "/idVendor", ids.section(':', 0, 0).toUtf8() + "\n");
    writeFile(path + "/idProduct", ids.section(':', 1, 1).toUtf8() + "\n");
    if (!productName.isNull())
        writeFile(path + "/product", productName.toUtf8() + "\n");
    writeFile(path + "/descriptors", descriptors);
    return path;
}

QString FakeKernel::addInterface(const QString &usbDevice, int number) {
    const QString path =
        usbDevice + "/" + QFileInfo(usbDevice).fileName() + ":1." + QString::number(number);
    QDir().mkpath(path);
    writeFile(path + "/bInterfaceNumber",
              QByteArray::number(number, 16).rightJustified(2, '0') + "\n");
    return path;
}

void FakeKernel::addVideoNode(int number, const QString &parent, unsigned deviceCaps,
                              const std::string &card) {
    const QString name = "video" + QString::number(number);
    const QString nodeDir = parent + "/video4linux/" + name;
    QDir().mkpath(nodeDir);
    const int index =
        QDir(parent + "/video4linux").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    writeFile(nodeDir + "/index", QByteArray::number(index - 1) + "\n");
    QFile::link(parent, nodeDir + "/device");
    QFile::link(nodeDir, base() + "/sys/class/video4linux/" + name);
    writeFile(base() + "/dev/" + name, {});
    if (deviceCaps != 0)
        capabilities[name.toStdString()] = {deviceCaps, card};
}

void FakeKernel::addGeneric(const QString &name, const QString &deviceDir) {
    QDir().mkpath(deviceDir);
    const QString classDir = base() + "/sys/class/scsi_generic/" + name;
    QDir().mkpath(classDir);
    QFile::link(QDir(classDir).relativeFilePath(deviceDir), classDir + "/device");
    writeFile(base() + "/dev/" + name, {});
}

void FakeKernel::removeUsbDevice(const QString &usbDevice) {
    const QString classDir = base() + "/sys/class/video4linux";
    for (const QString &link : QDir(classDir).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(classDir + "/" + link).symLinkTarget().startsWith(usbDevice + "/")) {
            QFile::remove(classDir + "/" + link);
            QFile::remove(base() + "/dev/" + link);
            capabilities.erase(link.toStdString());
        }
    }
    QDir(usbDevice).removeRecursively();
}

std::string FakeKernel::devPathOf(const QString &parent, int number) const {
    const QString full = parent + "/video4linux/video" + QString::number(number);
    return full.mid((base() + "/sys").size()).toStdString();
}

int FakeKernel::answer(const std::string &node, unsigned long request, void *argument) {
    QString call = QString::fromStdString(node) + " ";
    int error = 0;
    if (streams.count(node) && answerStream(streams[node], node, request, argument, error))
        return error ? (errno = error, -1) : 0;
    if (request == VIDIOC_QUERYCAP) {
        auto it = capabilities.find(node);
        if (it == capabilities.end())
            return errno = ENOTTY, -1;
        auto *caps = static_cast<v4l2_capability *>(argument);
        caps->capabilities = it->second.first | V4L2_CAP_DEVICE_CAPS;
        caps->device_caps = it->second.first;
        const std::string &card = it->second.second;
        std::memcpy(caps->card, card.data(), std::min(card.size(), sizeof caps->card - 1));
        return 0; // asked at every scan: not worth a line
    }
    if (request == VIDIOC_G_CTRL || request == VIDIOC_S_CTRL) {
        auto *control = static_cast<v4l2_control *>(argument);
        const bool set = request == VIDIOC_S_CTRL;
        call += QString("%1 %2").arg(set ? "S_CTRL" : "G_CTRL").arg(control->id, 0, 16);
        if (set)
            call += "=" + QString::number(control->value);
        error = controlErrno;
        if (!error && set)
            controls[control->id] = control->value;
        else if (!error)
            control->value = controls[control->id];
    } else if (request == VIDIOC_QUERY_EXT_CTRL) {
        auto *query = static_cast<v4l2_query_ext_ctrl *>(argument);
        const bool next = query->id & V4L2_CTRL_FLAG_NEXT_CTRL;
        const unsigned wanted =
            query->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        // The driver walks its controls in id order.
        auto it = extControls.end();
        for (auto c = extControls.begin(); c != extControls.end(); ++c)
            if (next ? c->id > wanted && (it == extControls.end() || c->id < it->id)
                     : c->id == wanted)
                it = c;
        if (it == extControls.end())
            return errno = EINVAL, -1; // the end of the list: not worth a line
        *query = v4l2_query_ext_ctrl{};
        query->id = it->id;
        query->type = it->type;
        std::strncpy(query->name, it->name.c_str(), sizeof query->name - 1);
        query->minimum = it->minimum;
        query->maximum = it->maximum;
        query->step = static_cast<unsigned>(it->step);
        query->default_value = it->defaultValue;
        query->flags = it->flags;
        return 0;
    } else if (request == VIDIOC_QUERYMENU) {
        auto *entry = static_cast<v4l2_querymenu *>(argument);
        for (const ExtControl &control : extControls) {
            auto item = control.menu.find(static_cast<int>(entry->index));
            if (control.id == entry->id && item != control.menu.end()) {
                std::strncpy(reinterpret_cast<char *>(entry->name), item->second.c_str(),
                             sizeof entry->name - 1);
                return 0;
            }
        }
        return errno = EINVAL, -1;
    } else if (request == VIDIOC_G_EXT_CTRLS || request == VIDIOC_S_EXT_CTRLS) {
        auto *request_ = static_cast<v4l2_ext_controls *>(argument);
        const bool set = request == VIDIOC_S_EXT_CTRLS;
        call += set ? "S_EXT_CTRLS" : "G_EXT_CTRLS";
        call += QString(" which %1").arg(request_->which, 0, 16);
        for (unsigned i = 0; i < request_->count; ++i) {
            v4l2_ext_control &control = request_->controls[i];
            call += QString(" %1").arg(control.id, 0, 16);
            if (set)
                call += "=" + QString::number(control.value);
            auto it = std::find_if(extControls.begin(), extControls.end(),
                                   [&](const ExtControl &c) { return c.id == control.id; });
            if (it == extControls.end())
                error = EINVAL;
            else if (set && extWriteErrno.count(control.id))
                error = extWriteErrno[control.id];
            else if (set)
                it->value = control.value;
            else
                control.value = it->value;
        }
    } else if (request == UVCIOC_CTRL_QUERY) {
        auto *query = static_cast<uvc_xu_control_query *>(argument);
        const bool set = query->query == UVC_SET_CUR;
        const QByteArray data(reinterpret_cast<char *>(query->data), query->size);
        call +=
            QString::asprintf("XU unit %d selector %d %s %s", query->unit, query->selector,
                              set ? "SET_CUR" : (query->query == UVC_GET_CUR ? "GET_CUR" : "other"),
                              data.toHex(' ').constData());
        error = unitErrno;
        if (!error && !set)
            std::memcpy(query->data, unitAnswer.data(),
                        std::min<std::size_t>(query->size, unitAnswer.size()));
    } else if (request == SG_GET_VERSION_NUM) {
        call += "SG_GET_VERSION_NUM";
        *static_cast<int *>(argument) = 30536;
    } else if (request == SG_IO) {
        auto *io = static_cast<sg_io_hdr_t *>(argument);
        const char *direction = io->dxfer_direction == SG_DXFER_TO_DEV     ? "to"
                                : io->dxfer_direction == SG_DXFER_FROM_DEV ? "from"
                                : io->dxfer_direction == SG_DXFER_NONE     ? "none"
                                                                           : "?";
        const QByteArray cdb(reinterpret_cast<char *>(io->cmdp), io->cmd_len);
        call += QString::asprintf("SG_IO %s %u cdb %s timeout %u", direction, io->dxfer_len,
                                  cdb.toHex(' ').constData(), io->timeout);
        if (io->dxfer_direction == SG_DXFER_FROM_DEV)
            std::memset(io->dxferp, 0x5A, io->dxfer_len);
        io->host_status = sgHostStatus;
        io->driver_status = sgDriverStatus;
    } else {
        call += QString("request %1").arg(request, 0, 16);
        error = ENOTTY;
    }
    calls << call;
    if (error)
        return errno = error, -1;
    return 0;
}
