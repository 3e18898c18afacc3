#include "sim/simcamera.h"

#include <QtTest>

#include <opencv2/core.hpp>

#include <mutex>

namespace {
cv::Mat render(SimCamera &camera, int width, int height, long long frameNumber) {
    std::lock_guard<std::recursive_mutex> guard(simMutex());
    cv::Mat frame;
    camera.renderFrame(frame, width, height, frameNumber);
    return frame;
}

void setFrameType(SimCamera &camera, int type) {
    SimCameraFaults faults = camera.cameraFaults();
    faults.frameType = type;
    camera.setCameraFaults(faults);
}

bool samePicture(const cv::Mat &a, const cv::Mat &b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}
} // namespace

class TstSimCameraPicture : public QObject {
    Q_OBJECT

private slots:
    void sizeAndType_data();
    void sizeAndType();
    void pictureMovesFromFrameToFrame();
    void pictureFollowsPosition();
    void sameFrameIsPaintedAlike();
    void bufferIsReused();
    void noSizeGivesEmptyFrame();
};

void TstSimCameraPicture::sizeAndType_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("8UC3 1920x1080") << CV_8UC3 << 1920 << 1080;
    QTest::newRow("8UC3 640x480") << CV_8UC3 << 640 << 480;
    QTest::newRow("8UC3 tiny") << CV_8UC3 << 3 << 2;
    QTest::newRow("8UC1") << CV_8UC1 << 1920 << 1080;
    QTest::newRow("8UC4") << CV_8UC4 << 1280 << 720;
    QTest::newRow("16UC1") << CV_16UC1 << 640 << 480;
    QTest::newRow("8UC2") << CV_8UC2 << 320 << 240;
    QTest::newRow("32FC3") << CV_32FC3 << 320 << 240;
}

void TstSimCameraPicture::sizeAndType() {
    QFETCH(int, type);
    QFETCH(int, width);
    QFETCH(int, height);
    SimCamera camera{SimCameraConfig()};
    setFrameType(camera, type);
    const cv::Mat frame = render(camera, width, height, 7);
    QCOMPARE(frame.type(), type);
    QCOMPARE(frame.cols, width);
    QCOMPARE(frame.rows, height);
    if (width > 16) {
        // A picture, not a flat fill.
        double low = 0;
        double high = 0;
        cv::minMaxLoc(frame.reshape(1), &low, &high);
        QVERIFY(high > low);
    }
}

void TstSimCameraPicture::pictureMovesFromFrameToFrame() {
    SimCamera camera{SimCameraConfig()};
    const cv::Mat first = render(camera, 1920, 1080, 10);
    const cv::Mat next = render(camera, 1920, 1080, 11);
    QVERIFY(!samePicture(first, next));
}

void TstSimCameraPicture::pictureFollowsPosition() {
    SimCamera camera{SimCameraConfig()};
    const cv::Mat centred = render(camera, 640, 360, 5);
    SimPosition position;
    position.pan_deg = 40;
    position.tilt_deg = -10;
    position.zoom = 400;
    camera.setPosition(position);
    const cv::Mat moved = render(camera, 640, 360, 5);
    QVERIFY(!samePicture(centred, moved));
}

void TstSimCameraPicture::sameFrameIsPaintedAlike() {
    SimCamera camera{SimCameraConfig()};
    QVERIFY(samePicture(render(camera, 800, 600, 42), render(camera, 800, 600, 42)));
}

void TstSimCameraPicture::bufferIsReused() {
    // A reader hands in the buffer of its previous frame; painting into it must not reallocate.
    SimCamera camera{SimCameraConfig()};
    cv::Mat frame;
    std::lock_guard<std::recursive_mutex> guard(simMutex());
    camera.renderFrame(frame, 1920, 1080, 0);
    const uchar *buffer = frame.data;
    camera.renderFrame(frame, 1920, 1080, 1);
    QCOMPARE(frame.data, buffer);
}

void TstSimCameraPicture::noSizeGivesEmptyFrame() {
    SimCamera camera{SimCameraConfig()};
    QVERIFY(render(camera, 0, 1080, 1).empty());
    QVERIFY(render(camera, 1920, -1, 1).empty());
}

QTEST_GUILESS_MAIN(TstSimCameraPicture)
#include "tst_simcamerapicture.moc"
