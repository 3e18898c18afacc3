#include "preview/v4l2capture_linux.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {
// Enough to keep the camera busy while the preview converts one frame and the window shows the
// last; more only add latency.
constexpr unsigned bufferCount = 4;
// A stream that gives nothing for this long lets the read fail, so the worker can take its turn.
constexpr int frameWait_ms = 2000;

int xioctl(int fd, unsigned long request, void *argument) {
    int result;
    do
        result = ::ioctl(fd, request, argument);
    while (result == -1 && errno == EINTR);
    return result;
}

std::string fourCcText(std::uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i)
        text[static_cast<std::size_t>(i)] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return text;
}

class V4l2Capture final : public FrameCapture {
public:
    explicit V4l2Capture(const std::string &node)
        : devNode(node) {
        fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            qWarning("Capture: cannot open %s: %s", node.c_str(), std::strerror(errno));
            return;
        }
        v4l2_capability caps{};
        const std::uint32_t wanted = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        if (xioctl(fd, VIDIOC_QUERYCAP, &caps) != 0 ||
            ((caps.capabilities & V4L2_CAP_DEVICE_CAPS ? caps.device_caps : caps.capabilities) &
             wanted) != wanted) {
            qWarning("Capture: %s does not stream video", node.c_str());
            closeDevice();
            return;
        }
        wakeup = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_G_FMT, &format) == 0) {
            width = format.fmt.pix.width;
            height = format.fmt.pix.height;
            pixelFormat = format.fmt.pix.pixelformat;
        }
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_G_PARM, &parm) == 0 && parm.parm.capture.timeperframe.numerator)
            fps = double(parm.parm.capture.timeperframe.denominator) /
                  parm.parm.capture.timeperframe.numerator;
    }

    ~V4l2Capture() override {
        closeDevice();
        if (wakeup >= 0)
            ::close(wakeup);
    }

    bool isOpened() const override { return fd >= 0; }

    double get(CaptureProperty property) const override {
        switch (property) {
        case CaptureProperty::FrameWidth:
            return width;
        case CaptureProperty::FrameHeight:
            return height;
        case CaptureProperty::FrameRate:
            return fps;
        case CaptureProperty::FourCc:
            return pixelFormat;
        }
        return 0.0;
    }

    // The values are kept and negotiated together when the stream starts: a driver asked for a
    // width alone would settle on a size of its own for the height it has.
    bool set(CaptureProperty property, double value) override {
        if (fd < 0 || streaming || value <= 0)
            return false;
        switch (property) {
        case CaptureProperty::FrameWidth:
            width = static_cast<std::uint32_t>(value);
            return true;
        case CaptureProperty::FrameHeight:
            height = static_cast<std::uint32_t>(value);
            return true;
        case CaptureProperty::FrameRate:
            fps = value;
            return true;
        case CaptureProperty::FourCc:
            // MJPG is asked for; YUYV, which every UVC camera streams, stands in where it is
            // missing.
            pixelFormat = static_cast<std::uint32_t>(value);
            return pixelFormat == mjpgFourCc || pixelFormat == yuyvFourCc;
        }
        return false;
    }

    bool read(CapturedFrame &frame) override {
        frame.bytes.clear();
        frame.damaged = false;
        if (fd < 0 || (!streaming && !startStream()))
            return false;
        for (;;) {
            pollfd fds[2] = {{fd, POLLIN, 0}, {wakeup, POLLIN, 0}};
            const int ready = ::poll(fds, 2, frameWait_ms);
            if (ready < 0 && errno == EINTR)
                continue;
            if (fds[1].revents & POLLIN)
                return false; // interrupted
            if (ready <= 0) {
                if (ready == 0 && !stalled)
                    qWarning("Capture: no frame from %s for %d ms", devNode.c_str(), frameWait_ms);
                stalled = ready == 0;
                return false;
            }
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            if (xioctl(fd, VIDIOC_DQBUF, &buffer) != 0) {
                if (errno == EAGAIN)
                    continue; // woken without a frame ready
                if (errno == EIO) {
                    // A passing fault (the documentation names signal loss): the next read tries
                    // again.
                    qWarning("Capture: taking a frame from %s failed for now: %s", devNode.c_str(),
                             std::strerror(errno));
                    return false;
                }
                if (errno == ENODEV) {
                    qInfo("Capture: %s is gone, the stream ends", devNode.c_str());
                } else {
                    qWarning("Capture: taking a frame from %s failed: %s", devNode.c_str(),
                             std::strerror(errno));
                }
                // The camera is gone or the stream broke: let go of the device at once, so the
                // driver can free it and the camera can come back under its name.
                closeDevice();
                return false;
            }
            stalled = false;
            const bool filled = takeFrame(buffer, frame);
            if (xioctl(fd, VIDIOC_QBUF, &buffer) != 0)
                qWarning("Capture: giving a buffer back failed: %s", std::strerror(errno));
            return filled;
        }
    }

    void interrupt() override {
        if (wakeup >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(wakeup, &one, sizeof one);
        }
    }

private:
    struct Mapping {
        void *start = MAP_FAILED;
        std::size_t length = 0;
    };

    bool negotiate(std::uint32_t code) {
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix.width = width;
        format.fmt.pix.height = height;
        format.fmt.pix.pixelformat = code;
        format.fmt.pix.field = V4L2_FIELD_ANY;
        if (xioctl(fd, VIDIOC_S_FMT, &format) != 0 || format.fmt.pix.pixelformat != code)
            return false;
        width = format.fmt.pix.width;
        height = format.fmt.pix.height;
        pixelFormat = code;
        bytesPerLine = format.fmt.pix.bytesperline;
        return true;
    }

    bool startStream() {
        if (failedToStart)
            return false;
        failedToStart = true;
        const bool mjpgFirst = pixelFormat != yuyvFourCc;
        if (!(mjpgFirst && negotiate(mjpgFourCc)) && !negotiate(yuyvFourCc)) {
            qWarning("Capture: %s streams neither MJPG nor YUYV", devNode.c_str());
            return false;
        }
        if (fps > 0) {
            v4l2_streamparm parm{};
            parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            parm.parm.capture.timeperframe.numerator = 1000;
            parm.parm.capture.timeperframe.denominator = static_cast<std::uint32_t>(fps * 1000);
            if (xioctl(fd, VIDIOC_S_PARM, &parm) == 0 && parm.parm.capture.timeperframe.numerator)
                fps = double(parm.parm.capture.timeperframe.denominator) /
                      parm.parm.capture.timeperframe.numerator;
        }
        v4l2_requestbuffers request{};
        request.count = bufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (xioctl(fd, VIDIOC_REQBUFS, &request) != 0 || request.count == 0) {
            qWarning("Capture: %s gives no buffers: %s", devNode.c_str(), std::strerror(errno));
            return false;
        }
        for (unsigned i = 0; i < request.count; ++i) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = i;
            if (xioctl(fd, VIDIOC_QUERYBUF, &buffer) != 0)
                return releaseBuffers(), false;
            Mapping mapping;
            mapping.length = buffer.length;
            mapping.start = ::mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                                   buffer.m.offset);
            if (mapping.start == MAP_FAILED) {
                qWarning("Capture: mapping a buffer failed: %s", std::strerror(errno));
                return releaseBuffers(), false;
            }
            mappings.push_back(mapping);
            if (xioctl(fd, VIDIOC_QBUF, &buffer) != 0)
                return releaseBuffers(), false;
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_STREAMON, &type) != 0) {
            qWarning("Capture: %s does not start streaming: %s", devNode.c_str(),
                     std::strerror(errno));
            return releaseBuffers(), false;
        }
        streaming = true;
        failedToStart = false;
        qInfo("Capture: %s streams %s %ux%u at %.4g frames per second", devNode.c_str(),
              fourCcText(pixelFormat).c_str(), width, height, fps);
        return true;
    }

    bool takeFrame(const v4l2_buffer &buffer, CapturedFrame &frame) {
        if (buffer.index >= mappings.size())
            return false;
        const Mapping &mapping = mappings[buffer.index];
        const std::size_t used = std::min<std::size_t>(buffer.bytesused, mapping.length);
        const auto *start = static_cast<const unsigned char *>(mapping.start);
        frame.bytes.assign(start, start + used);
        frame.encoding = pixelFormat == mjpgFourCc ? CapturedFrame::Encoding::Mjpg
                                                   : CapturedFrame::Encoding::Yuyv;
        frame.width = static_cast<int>(width);
        frame.height = static_cast<int>(height);
        frame.stride = static_cast<int>(bytesPerLine ? bytesPerLine : width * 2);
        frame.sequence = buffer.sequence;
        frame.timestamp = std::chrono::seconds(buffer.timestamp.tv_sec) +
                          std::chrono::microseconds(buffer.timestamp.tv_usec);
        frame.damaged = (buffer.flags & V4L2_BUF_FLAG_ERROR) != 0 || used == 0;
        ++framesTaken;
        framesDamaged += frame.damaged ? 1 : 0;
        return true;
    }

    void releaseBuffers() {
        for (const Mapping &mapping : mappings)
            ::munmap(mapping.start, mapping.length);
        mappings.clear();
    }

    void closeDevice() {
        if (fd < 0)
            return;
        if (streaming) {
            int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            xioctl(fd, VIDIOC_STREAMOFF, &type);
            streaming = false;
            qInfo("Capture: %s stopped after %llu frames, %llu of them damaged", devNode.c_str(),
                  framesTaken, framesDamaged);
        }
        releaseBuffers();
        ::close(fd);
        fd = -1;
    }

    std::string devNode;
    int fd = -1;
    int wakeup = -1; // an event descriptor that interrupt() makes readable
    bool streaming = false;
    bool failedToStart = false;
    bool stalled = false; // the last wait ended without a frame (logged once)
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelFormat = 0;
    std::uint32_t bytesPerLine = 0;
    double fps = 0;
    std::vector<Mapping> mappings;
    unsigned long long framesTaken = 0;
    unsigned long long framesDamaged = 0;
};
} // namespace

std::unique_ptr<FrameCapture> openV4l2Capture(const std::string &devNode) {
    return std::make_unique<V4l2Capture>(devNode);
}
