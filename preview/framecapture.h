// Seam: a capture device opened by index that delivers frames. Its properties are the ones the
// preview asks for (frame rate, frame size, four-character code), numbered as OpenCV numbers them
// so that the Windows back end passes them through unchanged.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A format's four-character code, as V4L2 and OpenCV compose it.
constexpr std::uint32_t fourCc(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}
constexpr std::uint32_t mjpgFourCc = fourCc('M', 'J', 'P', 'G');
constexpr std::uint32_t yuyvFourCc = fourCc('Y', 'U', 'Y', 'V');

enum class CaptureProperty {
    FrameWidth = 3,
    FrameHeight = 4,
    FrameRate = 5,
    FourCc = 6,
};

// One frame as the capture hands it over, in no library's type.
struct CapturedFrame {
    enum class Encoding {
        Pixels, // decoded pixels in `pixelFormat`, `stride` bytes a row
        Mjpg,   // the camera's compressed frame as it arrived
        Yuyv,   // packed 4:2:2, Y0 U Y1 V for each two pixels, `stride` bytes a row
    };
    enum class PixelFormat {
        Gray8,
        Bgr24,
        Bgra32,
        Other, // a layout the preview cannot show
    };
    Encoding encoding = Encoding::Pixels;
    PixelFormat pixelFormat = PixelFormat::Bgr24;
    std::vector<unsigned char> bytes; // kept from frame to frame, so its capacity is reused
    int width = 0;
    int height = 0;
    int stride = 0;
    std::uint32_t sequence = 0;            // the driver's frame counter, where it keeps one
    std::chrono::microseconds timestamp{}; // when the frame was captured, monotonic
    // The driver marked the frame as damaged (a lost transfer): its bytes are not to be shown.
    bool damaged = false;
};

class FrameCapture {
public:
    virtual ~FrameCapture() = default;
    virtual bool isOpened() const = 0;
    virtual double get(CaptureProperty property) const = 0;
    // Asks for a value; the capture may settle on the nearest one it can deliver.
    virtual bool set(CaptureProperty property, double value) = 0;
    // Waits for the next frame; false when none can be read (then `frame` holds no bytes).
    virtual bool read(CapturedFrame &frame) = 0;
    // Thread-safe: a read waiting for a frame, and every later one, returns false at once.
    virtual void interrupt() {}
};

using FrameCaptureFactory = std::function<std::unique_ptr<FrameCapture>(int index)>;

// Opens the capture device with the given index through the installed factory.
std::unique_ptr<FrameCapture> openFrameCapture(int index);
// Installs a factory; an empty one restores the default, which opens nothing.
void installFrameCaptureFactory(FrameCaptureFactory factory);
// The factory installed now (empty by default).
FrameCaptureFactory installedFrameCaptureFactory();

// Opens a capture device through the operating system's capture back end (in the native library).
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index);
