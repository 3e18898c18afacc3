#include "preview/framecapture.h"

#include <mutex>

namespace {
std::mutex factoryMutex;
FrameCaptureFactory installedFactory;
} // namespace

std::unique_ptr<FrameCapture> openFrameCapture(int index) {
    const FrameCaptureFactory factory = installedFrameCaptureFactory();
    return factory ? factory(index) : nullptr;
}

void installFrameCaptureFactory(FrameCaptureFactory factory) {
    std::lock_guard<std::mutex> lock(factoryMutex);
    installedFactory = std::move(factory);
}

FrameCaptureFactory installedFrameCaptureFactory() {
    std::lock_guard<std::mutex> lock(factoryMutex);
    return installedFactory;
}
