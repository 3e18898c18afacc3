// The streaming half of the fake kernel: formats, buffers mapped from the node's file, queueing,
// and a poll() that finds a streaming node ready exactly when its next step is due.
#include "fakekernel.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

// Nodes of the tree are answered here; every other descriptor (the capture's wake-up among them)
// is polled for real, so a wait on a streaming node with nothing due blocks.
extern "C" int poll(struct pollfd *fds, nfds_t count, int timeout_ms) {
    FakeKernel *kernel = FakeKernel::active;
    std::vector<pollfd> others(fds, fds + count);
    int ready = 0, nodes = 0;
    for (nfds_t i = 0; kernel && i < count; ++i) {
        const std::string node = kernel->nodeOf(fds[i].fd);
        others[i].fd = node.empty() ? fds[i].fd : -1;
        nodes += node.empty() ? 0 : 1;
        ready += !node.empty() && kernel->streamReady(node) ? 1 : 0;
    }
    if (nodes > 0 && ready == 0)
        ++kernel->waits;
    const timespec wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    const int result = ready > 0 ? ready
                                 : int(::syscall(SYS_ppoll, others.data(), count,
                                                 timeout_ms >= 0 ? &wait : nullptr, nullptr, 8));
    for (nfds_t i = 0; i < count; ++i)
        fds[i].revents =
            others[i].fd == fds[i].fd ? (ready ? 0 : others[i].revents) : (ready ? POLLIN : 0);
    return result;
}

bool FakeKernel::streamReady(const std::string &node) {
    auto it = streams.find(node);
    return it == streams.end() || it->second.gone ||
           (it->second.streaming && !it->second.steps.empty());
}

bool FakeKernel::nodeHeld(int number) const {
    for (const QString &fd : QDir("/proc/self/fd").entryList(QDir::System | QDir::NoDotAndDotDot))
        if (nodeOf(fd.toInt()) == "video" + std::to_string(number))
            return true;
    QFile maps("/proc/self/maps");
    return !maps.open(QIODevice::ReadOnly) ||
           maps.readAll().contains((" " + devNode(number) + "\n").c_str());
}

bool FakeKernel::answerStream(FakeStream &s, const std::string &node, unsigned long request,
                              void *argument, int &error) {
    const std::size_t rowBytes = s.width * 2 + s.padding;
    auto *buffer = static_cast<v4l2_buffer *>(argument);
    if (s.gone) {
        error = ENODEV;
    } else if (request == VIDIOC_G_FMT || request == VIDIOC_S_FMT) {
        auto &pix = static_cast<v4l2_format *>(argument)->fmt.pix;
        if (request == VIDIOC_S_FMT) {
            calls << QString::asprintf("%s S_FMT %.4s %ux%u", node.c_str(),
                                       reinterpret_cast<char *>(&pix.pixelformat), pix.width,
                                       pix.height);
            const bool offered = std::count(s.formats.begin(), s.formats.end(), pix.pixelformat);
            s.format = offered ? pix.pixelformat : s.formats.front();
        }
        pix = v4l2_pix_format{};
        pix.width = s.width;
        pix.height = s.height;
        pix.pixelformat = s.format ? s.format : s.formats.front();
        pix.bytesperline = pix.pixelformat == V4L2_PIX_FMT_MJPEG ? 0 : unsigned(rowBytes);
    } else if (request == VIDIOC_REQBUFS) {
        s.bufferSize = (rowBytes * s.height + 4095) / 4096 * 4096;
        const auto count = static_cast<v4l2_requestbuffers *>(argument)->count;
        error = ::truncate((dev() + "/" + node).c_str(), off_t(count * s.bufferSize)) ? EIO : 0;
    } else if (request == VIDIOC_QUERYBUF || request == VIDIOC_QBUF) {
        buffer->length = std::uint32_t(s.bufferSize);
        buffer->m.offset = std::uint32_t(buffer->index * s.bufferSize);
        if (request == VIDIOC_QBUF)
            s.queued.push_back(buffer->index);
    } else if (request == VIDIOC_DQBUF) {
        if (!s.streaming || s.steps.empty() || s.queued.empty())
            return error = s.streaming ? EAGAIN : EINVAL, true;
        const FakeFrameStep step = s.steps.front();
        s.steps.pop_front();
        s.gone = step.error == ENODEV;
        if ((error = step.error))
            return true;
        buffer->index = s.queued.front();
        s.queued.pop_front();
        QFile file(QString::fromStdString(dev() + "/" + node));
        const auto size = qint64(step.bytes.size());
        const bool written =
            file.open(QIODevice::ReadWrite) && file.seek(qint64(buffer->index * s.bufferSize)) &&
            file.write(reinterpret_cast<const char *>(step.bytes.data()), size) == size;
        buffer->bytesused = written ? std::uint32_t(size) : 0;
        buffer->flags = step.damaged ? V4L2_BUF_FLAG_ERROR : 0;
    } else if (request == VIDIOC_STREAMON || request == VIDIOC_STREAMOFF) {
        s.streaming = request == VIDIOC_STREAMON;
        calls << QString::fromStdString(node) + (s.streaming ? " STREAMON" : " STREAMOFF");
    } else {
        return false; // the node's other requests (without G_PARM, the driver keeps its rate)
    }
    return true;
}
