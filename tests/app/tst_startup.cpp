// The program's start as main() runs it, headless: the operating system's back end behind every
// device seam, the log folder and file made in the home folder, and the log's first lines in their
// documented form.
#include "app/programstart.h"
#include "control/extensionunitchannel.h"
#include "control/picturecontrols.h"
#include "device/hotplugsource.h"
#include "device/videoinputs.h"
#include "preview/framecapture.h"
#include "ui/mainwindow.h"
#include "upgrade/elevation.h"
#include "upgrade/scsichannel.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "testsupport/testsupport.h"

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void startsAsTheProgramStarts() {
        QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        std::unique_ptr<MainWindow> window = startProgram();
        QVERIFY(window->isVisible());
        QCOMPARE(&videoInputBackend(), &nativeVideoInputBackend());
        QCOMPARE(&extensionUnitBackend(), &nativeExtensionUnitBackend());
        QCOMPARE(&scsiBackend(), &nativeScsiBackend());
        QCOMPARE(&pictureControlBackend(), &nativePictureControlBackend());
        QCOMPARE(&elevationBackend(), &nativeElevationBackend());
        const FrameCaptureFactory captures = installedFrameCaptureFactory();
        const HotplugSourceFactory sources = installedHotplugSourceFactory();
        const auto capture = captures.target<decltype(&openNativeFrameCapture)>();
        const auto source = sources.target<decltype(&createNativeHotplugSource)>();
        QVERIFY(capture && *capture == &openNativeFrameCapture);
        QVERIFY(source && *source == &createNativeHotplugSource);
        window.reset();
        qInstallMessageHandler(nullptr);

        const QStringList lines =
            QString::fromLocal8Bit(readFile(home.path() + "/.cameracontrol/cameracontrol.log"))
                .split("\r\n");
        // "[yyyy-MM-dd hh:mm:ss.zzz] -I- : <message>", the local time it was written (a build
        // that keeps source locations adds them before the colon).
        const QRegularExpression form(
            R"(^\[([-\d]{10} [:\d]{8}\.\d{3})\] -I- ( \S+\(\d+\) <<.*>>)?: )");
        const QStringList banner{QString(51, '-'), "- System Start!", QString(51, '-')};
        for (int i = 0; i < banner.size(); ++i) {
            const QRegularExpressionMatch match = form.match(lines.value(i));
            QVERIFY2(match.hasMatch(), qPrintable(lines.value(i)));
            QCOMPARE(lines.value(i).mid(match.capturedLength()), banner.at(i));
            QVERIFY(qAbs(QDateTime::fromString(match.captured(1), "yyyy-MM-dd hh:mm:ss.zzz")
                             .secsTo(QDateTime::currentDateTime())) < 60);
        }
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
