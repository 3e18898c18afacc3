// The upgrade script stays inside its package: every name an "estar" or "tftp" line reads is
// taken inside the package folder, and a whole run ends after a fixed number of lines.
#include "fakescsi.h"

#include "common/clock.h"
#include "upgrade/massstorage.h"
#include "upgrade/upgradescript.h"

#include <QTemporaryDir>
#include <QtTest>

class TestScriptConfinement : public QObject {
    Q_OBJECT

private:
    VirtualClock clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<FakeScsiBackend> backend;
    std::unique_ptr<QTemporaryDir> root; // the package folder is root/package

    QString package() const { return root->filePath(QStringLiteral("package")); }
    void write(const QString &path, const QByteArray &content) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    int sent(std::uint8_t subcommand) const {
        int count = 0;
        for (const FakeRequest &request : backend->vendorRequests())
            count += request.cdb[1] == subcommand;
        return count;
    }

private slots:
    void init() {
        scopedClock = std::make_unique<ScopedClock>(clock);
        root = std::make_unique<QTemporaryDir>();
        backend = std::make_unique<FakeScsiBackend>();
        backend->disks.push_back({"disk0", makeInquiry("QXM30", "UBO"), false, false});
        // A boot loader that acknowledges every line and every image.
        backend->responder = [this](const FakeRequest &request, std::uint8_t *data) {
            if (request.cdb[1] == kSubcommandStatus) {
                data[0] = 0x0D;
                data[1] = 0x00;
            }
            return true;
        };
        installScsiBackend(backend.get());
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(findUpdaterDevice(kProductLineQx, state));
        write(root->filePath(QStringLiteral("outside.bin")), "secret");
        write(root->filePath(QStringLiteral("outside.es")), "leaked\n");
        write(package() + QStringLiteral("/boot/ipl.bin"), "ipl");
        write(package() + QStringLiteral("/scripts/inner.es"), "inner\n");
        QVERIFY(QFile::link(root->filePath(QStringLiteral("outside.bin")),
                            package() + QStringLiteral("/link.bin")));
    }

    void cleanup() {
        releaseUpdaterDevice();
        installScsiBackend(nullptr);
        backend.reset();
        root.reset();
        scopedClock.reset();
    }

    void namesStayInside_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("result");
        QTest::newRow("system file") << QByteArray("tftp 0x10 /etc/hostname") << -1;
        QTest::newRow("climbing to a system file")
            << QByteArray("tftp 0x10 ../../../../../../../../etc/hostname") << -1;
        QTest::newRow("beside the package") << QByteArray("tftp 0x10 ../outside.bin") << -1;
        QTest::newRow("down and out") << QByteArray("tftp 0x10 boot/../../outside.bin") << -1;
        QTest::newRow("backslashes") << QByteArray("tftp 0x10 boot\\..\\..\\outside.bin") << -1;
        QTest::newRow("through a link") << QByteArray("tftp 0x10 link.bin") << -1;
        QTest::newRow("script beside the package") << QByteArray("estar ../outside.es") << -1;
        QTest::newRow("absolute script") << QByteArray("estar ROOT/outside.es") << -1;
        QTest::newRow("image inside") << QByteArray("tftp 0x10 boot/ipl.bin") << 0;
        QTest::newRow("script inside") << QByteArray("estar scripts/inner.es") << 0;
    }

    void namesStayInside() {
        QFETCH(QByteArray, line);
        QFETCH(int, result);
        line.replace("ROOT", QFile::encodeName(root->path()));
        write(package() + QStringLiteral("/auto_update.txt"), line + "\nafter\n");
        QCOMPARE(runUpgradeScript(QStringLiteral("auto_update.txt"), package()), result);
        // A refused line sends nothing, and nothing after it either.
        QCOMPARE(sent(kSubcommandImageHeader), line.contains("ipl.bin") ? 1 : 0);
        QCOMPARE(sent(kSubcommandShell), result == 0 ? (line.contains("inner") ? 2 : 1) : 0);
    }

    void workIsCapped_data() {
        QTest::addColumn<int>("depth");     // scripts below the top one, each run ten times
        QTest::addColumn<int>("leafLines"); // command lines of the last script
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("commands"); // boot-loader lines sent
        QTest::newRow("10,000 lines") << 0 << kMaxScriptLines << 0 << kMaxScriptLines;
        QTest::newRow("10,001 lines") << 0 << kMaxScriptLines + 1 << -1 << kMaxScriptLines;
        QTest::newRow("sixteen scripts below, ten runs each: 10^16 runs") << 16 << 1 << -1 << -1;
    }

    void workIsCapped() {
        QFETCH(int, depth);
        QFETCH(int, leafLines);
        QFETCH(int, result);
        QFETCH(int, commands);
        for (int level = 0; level < depth; ++level) {
            const QByteArray next = "estar s" + QByteArray::number(level + 1) + ".es\n";
            write(package() + QStringLiteral("/s%1.es").arg(level), next.repeated(10));
        }
        QByteArray leaf;
        for (int i = 0; i < leafLines; ++i)
            leaf += "echo " + QByteArray::number(i) + "\n";
        write(package() + QStringLiteral("/s%1.es").arg(depth), leaf);
        QCOMPARE(runUpgradeScript(QStringLiteral("s0.es"), package()), result);
        if (commands >= 0)
            QCOMPARE(sent(kSubcommandShell), commands);
        else
            QVERIFY(sent(kSubcommandShell) < kMaxScriptLines);
    }
};

QTEST_GUILESS_MAIN(TestScriptConfinement)
#include "tst_scriptconfinement.moc"
