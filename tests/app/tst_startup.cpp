// The program's start as main() runs it, headless: the operating system's back end behind every
// device seam, the log folder and file made in the home folder, and the log's first lines in their
// documented form.
#include "app/programstart.h"
#include "control/extensionunitchannel.h"
#include "device/hotplugsource.h"
#include "device/videoinputs.h"
#include "preview/framecapture.h"
#include "ui/mainwindow.h"
#include "upgrade/scsichannel.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

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
        using CaptureOpener = std::unique_ptr<FrameCapture> (*)(int);
        using SourceMaker = std::unique_ptr<HotplugSource> (*)();
        const FrameCaptureFactory captures = installedFrameCaptureFactory();
        const HotplugSourceFactory sources = installedHotplugSourceFactory();
        const auto *opener = captures.target<CaptureOpener>();
        const auto *maker = sources.target<SourceMaker>();
        QVERIFY(opener && *opener == &openNativeFrameCapture);
        QVERIFY(maker && *maker == &createNativeHotplugSource);
        window.reset();
        qInstallMessageHandler(nullptr);

        QFile log(home.path() + "/.cameracontrol/cameracontrol.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLocal8Bit(log.readAll()).split("\r\n");
        // "[yyyy-MM-dd hh:mm:ss.zzz] -I- : <message>", the local time it was written (a build
        // that keeps source locations adds them before the colon).
        const QRegularExpression form(
            R"(^\[([-\d]{10} [:\d]{8}\.\d{3})\] -I- ( \S+\(\d+\) <<.*>>)?: )");
        const QString rule(51, '-');
        const QStringList banner{rule, "- System Start!", rule};
        for (int i = 0; i < banner.size(); ++i) {
            const QRegularExpressionMatch match = form.match(lines.value(i));
            QVERIFY2(match.hasMatch(), qPrintable(lines.value(i)));
            QCOMPARE(lines.value(i).mid(match.capturedLength()), banner.at(i));
            const auto written =
                QDateTime::fromString(match.captured(1), "yyyy-MM-dd hh:mm:ss.zzz");
            QVERIFY(qAbs(written.secsTo(QDateTime::currentDateTime())) < 60);
        }
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
