#include "app/logging.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <vector>

namespace {
void writeFileOfSize(const QString &path, qint64 size, char fill) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.write(QByteArray(size, fill)) == size);
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}
} // namespace

class TestLogging : public QObject {
    Q_OBJECT

private slots:
    void init();
    void resolveUserPathCreatesFolderAndFile();
    void resolveUserPathKeepsOtherPaths();
    void fileLineFormats_data();
    void fileLineFormats();
    void debuggerLineFormats();
    void rotationLimit_data();
    void rotationLimit();
    void rotationKeepsTwoGenerations();
    void concurrentWritersLoseNoLineDuringRotation();

private:
    QTemporaryDir dir;
};

void TestLogging::init() {
    QVERIFY(dir.isValid());
    kLogFilePath = dir.filePath(QStringLiteral("cameracontrol.log"));
    for (const QString &suffix : {QString(), QStringLiteral(".1"), QStringLiteral(".2")})
        QFile::remove(kLogFilePath + suffix);
}

void TestLogging::resolveUserPathCreatesFolderAndFile() {
    // HOME is a folder of the test's own (set by the test registration).
    const QString home = QDir::homePath();
    QDir(home + QStringLiteral("/.cameracontrol")).removeRecursively();

    const QString resolved =
        resolveUserPath(QStringLiteral("~/.cameracontrol/cameracontrol.log"), false, "seed");
    QCOMPARE(resolved, home + QStringLiteral("/.cameracontrol/cameracontrol.log"));
    QCOMPARE(readAll(resolved), QByteArray("seed"));

    // An existing file is left untouched.
    QFile file(resolved);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("kept");
    file.close();
    resolveUserPath(QStringLiteral("~/.cameracontrol/cameracontrol.log"), false, "other");
    QCOMPARE(readAll(resolved), QByteArray("kept"));
}

void TestLogging::resolveUserPathKeepsOtherPaths() {
    QCOMPARE(resolveUserPath(QStringLiteral("C:\\Users\\me\\logs"), true, QByteArray()),
             QStringLiteral("C:/Users/me/logs"));
    QCOMPARE(resolveUserPath(QStringLiteral("~x/folder"), true, QByteArray()),
             QStringLiteral("~x/folder"));
}

void TestLogging::fileLineFormats_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("tag");
    QTest::newRow("debug") << int(QtDebugMsg) << "-D- ";
    QTest::newRow("warning") << int(QtWarningMsg) << "-W- ";
    QTest::newRow("critical") << int(QtCriticalMsg) << "-C- ";
    QTest::newRow("fatal") << int(QtFatalMsg) << "-F- ";
    QTest::newRow("info") << int(QtInfoMsg) << "-I- ";
    QTest::newRow("unknown") << 9 << "-E- ";
}

void TestLogging::fileLineFormats() {
    QFETCH(int, type);
    QFETCH(QString, tag);
    const QMessageLogContext none;
    QCOMPARE(formatFileLine(QtMsgType(type), none, QStringLiteral("abc"),
                            QStringLiteral("2026-01-02 03:04:05.006")),
             QStringLiteral("[2026-01-02 03:04:05.006] ") + tag + QStringLiteral(": abc"));

    const QMessageLogContext located("main.cpp", 42, "int main(int, char **)", "default");
    QCOMPARE(formatFileLine(QtMsgType(type), located, QStringLiteral("abc"), QStringLiteral("T")),
             QStringLiteral("[T] ") + tag +
                 QStringLiteral(" main.cpp(42) <<int main(int, char **)>>: abc"));
}

void TestLogging::debuggerLineFormats() {
    const QMessageLogContext none;
    QCOMPARE(formatDebuggerLine(QtDebugMsg, none, QStringLiteral("abc")),
             QStringLiteral(" [Debug] abc"));
    QCOMPARE(formatDebuggerLine(QtMsgType(7), none, QStringLiteral("x")),
             QStringLiteral(" [Error] x"));

    const QMessageLogContext located("mainwindow.cpp", 7,
                                     "void __cdecl MainWindow::slotOnCameraPlugged(bool, QString)",
                                     "default");
    QCOMPARE(formatDebuggerLine(QtWarningMsg, located, QStringLiteral("m")),
             QStringLiteral("mainwindow.cpp(7): [Warning] <<MainWindow::slotOnCameraPlugged>> m"));

    // A signature the expression cannot cut is used whole.
    const QMessageLogContext odd("a.cpp", 1, "lambda", "default");
    QCOMPARE(formatDebuggerLine(QtInfoMsg, odd, QStringLiteral("m")),
             QStringLiteral("a.cpp(1): [Info] <<lambda>> m"));
}

void TestLogging::rotationLimit_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("rotated");
    QTest::newRow("exactly the limit is appended to") << kLogRotateAbove_bytes << false;
    QTest::newRow("one byte over is rotated") << kLogRotateAbove_bytes + 1 << true;
    QTest::newRow("one byte under is appended to") << kLogRotateAbove_bytes - 1 << false;
}

void TestLogging::rotationLimit() {
    QFETCH(qint64, size);
    QFETCH(bool, rotated);
    writeFileOfSize(kLogFilePath, size, 'x');

    writeLogLine(QStringLiteral("next"));

    if (rotated) {
        QCOMPARE(readAll(kLogFilePath), QByteArray("next\r\n"));
        QCOMPARE(QFileInfo(kLogFilePath + QStringLiteral(".1")).size(), size);
    } else {
        QCOMPARE(QFileInfo(kLogFilePath).size(), size + 6);
        QVERIFY(!QFile::exists(kLogFilePath + QStringLiteral(".1")));
    }
}

void TestLogging::rotationKeepsTwoGenerations() {
    writeFileOfSize(kLogFilePath, kLogRotateAbove_bytes + 1, 'c');
    writeFileOfSize(kLogFilePath + QStringLiteral(".1"), 10, 'b');
    writeFileOfSize(kLogFilePath + QStringLiteral(".2"), 20, 'a');

    writeLogLine(QStringLiteral("fresh"));

    QCOMPARE(readAll(kLogFilePath), QByteArray("fresh\r\n"));
    QCOMPARE(QFileInfo(kLogFilePath + QStringLiteral(".1")).size(), kLogRotateAbove_bytes + 1);
    QCOMPARE(readAll(kLogFilePath + QStringLiteral(".2")), QByteArray(10, 'b'));
    QVERIFY(!QFile::exists(kLogFilePath + QStringLiteral(".3")));
}

void TestLogging::concurrentWritersLoseNoLineDuringRotation() {
    // Start just under the limit so the writers cross it while they run.
    writeFileOfSize(kLogFilePath, kLogRotateAbove_bytes - 100, '.');
    constexpr int writers = 4;
    constexpr int linesEach = 200;

    std::vector<QThread *> threads;
    for (int w = 0; w < writers; ++w) {
        threads.push_back(QThread::create([w] {
            for (int i = 0; i < linesEach; ++i)
                writeLogLine(QStringLiteral("writer %1 line %2 ").arg(w).arg(i) +
                             QString(40, QLatin1Char('=')));
        }));
        threads.back()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }

    // Exactly one rotation happened: generation 1 holds the filler and the lines written before
    // the crossing; together the two files hold every line once, whole.
    const QByteArray all = readAll(kLogFilePath + QStringLiteral(".1")) + readAll(kLogFilePath);
    QVERIFY(!QFile::exists(kLogFilePath + QStringLiteral(".2")));
    const QList<QByteArray> lines = all.mid(kLogRotateAbove_bytes - 100).split('\n');
    int count = 0;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        QVERIFY2(line.startsWith("writer ") && line.endsWith(QByteArray(40, '=') + '\r'),
                 line.constData());
        ++count;
    }
    QCOMPARE(count, writers * linesEach);
}

QTEST_GUILESS_MAIN(TestLogging)
#include "tst_logging.moc"
