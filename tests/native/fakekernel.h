// A small sysfs and /dev of our own, laid out as the kernel lays them out (USB devices with their
// interfaces, video4linux and SCSI generic nodes), and the ioctl requests on its device nodes
// answered here instead of by drivers: the test executable's own ioctl() stands in front of the C
// library's for every caller in it, and passes every other descriptor through.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

// What one dequeuing of a streaming node meets: a frame, or the error it answers (EAGAIN: woken
// without a frame; ENODEV: the camera is gone, for this and every later request).
struct FakeFrameStep {
    std::vector<unsigned char> bytes;
    bool damaged = false; // the driver flags the buffer V4L2_BUF_FLAG_ERROR
    int error = 0;
};

// A node that streams: the pixel formats it accepts (it falls back to the first), its one frame
// size with `padding` bytes after each row, and the steps its dequeuing goes through. The rest is
// the driver's state; the buffers are pages of the node's file, so mapping them works.
struct FakeStream {
    std::vector<std::uint32_t> formats;
    unsigned width = 0, height = 0, padding = 0;
    std::deque<FakeFrameStep> steps;
    std::uint32_t format = 0;
    std::size_t bufferSize = 0;
    std::deque<unsigned> queued;
    bool streaming = false, gone = false;
};

class FakeKernel {
public:
    FakeKernel();
    ~FakeKernel();
    FakeKernel(const FakeKernel &) = delete;
    FakeKernel &operator=(const FakeKernel &) = delete;

    std::string sysfs() const { return (base() + "/sys").toStdString(); }
    std::string dev() const { return (base() + "/dev").toStdString(); }
    QString usbRoot() const { return base() + "/sys/devices/pci0000:00/usb1"; }

    // A USB device on a port of bus 1 ("1-1", "1-1.4") and one of its interfaces.
    QString addUsbDevice(const QString &port, const QString &ids, const QString &productName,
                         const QByteArray &descriptors = {});
    QString addInterface(const QString &usbDevice, int number);
    // A video node below `parent` that answers VIDIOC_QUERYCAP with these device caps (0: it
    // does not answer).
    void addVideoNode(int number, const QString &parent, unsigned deviceCaps,
                      const std::string &card = "card");
    // A SCSI generic node whose SCSI device directory is `deviceDir`.
    void addGeneric(const QString &name, const QString &deviceDir);
    // What the kernel does on removal: the node's sysfs entries and device node vanish.
    void removeUsbDevice(const QString &usbDevice);
    std::string devNode(int number) const { return dev() + "/video" + std::to_string(number); }
    std::string devPathOf(const QString &parent, int number) const;

    // Every request on a node of this tree, one line each ("video0 S_CTRL 9a0908=72000").
    QStringList calls;
    // The value a read of a control gives, by control id.
    std::map<unsigned, int> controls;
    // errno of the next requests of that kind (0: they succeed).
    int controlErrno = 0;
    int unitErrno = 0;
    // What a GET_CUR on the extension unit hands back.
    std::vector<unsigned char> unitAnswer;
    // Device nodes that cannot be opened for lack of permission.
    std::set<std::string> deniedNodes;
    // The extended controls every video node of the tree offers, in id order, with their menus
    // (entries missing from `menu` are skipped ones), and errno of writes by control id.
    struct ExtControl {
        unsigned id = 0;
        unsigned type = 1; // V4L2_CTRL_TYPE_INTEGER
        std::string name;
        int minimum = 0;
        int maximum = 0;
        int step = 1;
        int defaultValue = 0;
        unsigned flags = 0;
        std::map<int, std::string> menu;
        int value = 0;
    };
    std::vector<ExtControl> extControls;
    std::map<unsigned, int> extWriteErrno;
    // host_status and driver_status that SG_IO reports.
    unsigned short sgHostStatus = 0;
    unsigned short sgDriverStatus = 0;

    // The node ("video0") a descriptor of the process refers to; empty for any other file.
    std::string nodeOf(int fd) const;
    // Makes video node `number` stream (see FakeStream).
    void addStream(int number, std::vector<std::uint32_t> formats, unsigned width, unsigned height,
                   unsigned padding, std::deque<FakeFrameStep> steps);
    // Whether a poll on the node finds it ready: a streaming node only when a step is due.
    bool streamReady(const std::string &node);
    // Polls that found no streaming node ready and waited for the other descriptors.
    std::atomic<int> waits{0};
    // Whether the process still holds a descriptor or a mapping of the node.
    bool nodeHeld(int number) const;

    // Answers one request on a node of this tree.
    int answer(const std::string &node, unsigned long request, void *argument);
    static FakeKernel *active;

private:
    QString base() const;
    // A request on a streaming node; false when it is none of the streaming requests.
    bool answerStream(FakeStream &s, const std::string &node, unsigned long request, void *argument,
                      int &error);

    std::map<std::string, FakeStream> streams;
    QTemporaryDir dir;
    std::map<std::string, std::pair<unsigned, std::string>> capabilities;
};
