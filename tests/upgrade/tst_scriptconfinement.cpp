// The upgrade script reads only inside its package folder, and one run ends after 10,000 lines.
#include "fakescsi.h"

#include "common/clock.h"
#include "upgrade/massstorage.h"
#include "upgrade/upgradescript.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {
void write(const QString &path, const QByteArray &content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}
} // namespace

class TestScriptConfinement : public QObject {
    Q_OBJECT

private slots:
    void confinedAndCapped_data() {
        QTest::addColumn<QByteArray>("line"); // followed by the line "after"
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("commands"); // boot-loader lines sent; -1: fewer than the cap
        QTest::newRow("system file") << QByteArray("tftp 0x10 /etc/hostname") << -1 << 0;
        QTest::newRow("climbing out")
            << QByteArray("tftp 0x10 ../../../../../../../../etc/hostname") << -1 << 0;
        QTest::newRow("beside the package") << QByteArray("tftp 0x10 ../outside.bin") << -1 << 0;
        QTest::newRow("backslashes")
            << QByteArray("tftp 0x10 boot\\..\\..\\outside.bin") << -1 << 0;
        QTest::newRow("through a link") << QByteArray("tftp 0x10 link.bin") << -1 << 0;
        QTest::newRow("script beside the package") << QByteArray("estar ../outside.bin") << -1 << 0;
        QTest::newRow("image inside") << QByteArray("tftp 0x10 boot/ipl.bin") << 0 << 1;
        QTest::newRow("10,000 lines")
            << QByteArray("x\n").repeated(kMaxScriptLines - 2) + "x" << 0 << kMaxScriptLines;
        QTest::newRow("10,001 lines")
            << QByteArray("x\n").repeated(kMaxScriptLines - 1) + "x" << -1 << kMaxScriptLines;
        QTest::newRow("sixteen scripts below, each run ten times: 10^16 runs")
            << QByteArray("estar s1.es") << -1 << -1;
    }

    void confinedAndCapped() {
        QFETCH(QByteArray, line);
        QFETCH(int, result);
        QFETCH(int, commands);
        VirtualClock clock;
        ScopedClock useClock(clock);
        QTemporaryDir root;
        const QString package = root.filePath(QStringLiteral("package"));
        write(root.filePath(QStringLiteral("outside.bin")), "secret"); // a command, as a script
        write(package + QStringLiteral("/boot/ipl.bin"), "ipl");
        QVERIFY(QFile::link(root.filePath(QStringLiteral("outside.bin")), package + "/link.bin"));
        for (int level = 1; level < 16; ++level)
            write(package + QStringLiteral("/s%1.es").arg(level),
                  ("estar s" + QByteArray::number(level + 1) + ".es\n").repeated(10));
        write(package + QStringLiteral("/s16.es"), "x\n");
        write(package + QStringLiteral("/auto_update.txt"), line + "\nafter\n");

        FakeScsiBackend backend; // a boot loader that acknowledges everything
        backend.disks.push_back({"disk0", makeInquiry("QXM30", "UBO"), false, false});
        backend.responder = [](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandStatus)
                data[0] = 0x0D, data[1] = 0x00;
            return true;
        };
        installScsiBackend(&backend);
        const auto uninstall = qScopeGuard([] {
            releaseUpdaterDevice();
            installScsiBackend(nullptr);
        });
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        QCOMPARE(runUpgradeScript(QStringLiteral("auto_update.txt"), package), result);
        int sent = 0;
        for (const FakeRequest &request : backend.vendorRequests())
            sent += request.cdb[1] == kSubcommandShell ? 1 : 0;
        QVERIFY(commands >= 0 ? sent == commands : sent < kMaxScriptLines);
    }
};

QTEST_GUILESS_MAIN(TestScriptConfinement)
#include "tst_scriptconfinement.moc"
