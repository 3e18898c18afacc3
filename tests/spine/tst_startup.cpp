#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// Starts the real program with an empty home folder and looks at the log it writes.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void bannerIsTheFirstContentOfANewLog();
};

void TestStartup::bannerIsTheFirstContentOfANewLog() {
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    QVERIFY(home.isValid() && elsewhere.isValid());

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    // Started from another folder: the program still finds everything beside itself.
    program.setWorkingDirectory(elsewhere.path());
    program.start(QStringLiteral(CAMERACONTROL_BINARY), QStringList());
    QVERIFY(program.waitForStarted());

    const QString logPath = home.filePath(QStringLiteral(".cameracontrol/cameracontrol.log"));
    auto lines = [&] {
        QFile file(logPath);
        if (!file.open(QIODevice::ReadOnly))
            return QList<QByteArray>();
        return file.readAll().split('\n');
    };
    QTRY_VERIFY_WITH_TIMEOUT(lines().size() >= 4, 20000);
    program.kill();
    program.waitForFinished();

    const QList<QByteArray> log = lines();
    const QRegularExpression format(
        QStringLiteral(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] -I- : (.*)\r$)"));
    const QStringList banner = {QString(51, QLatin1Char('-')), QStringLiteral("- System Start!"),
                                QString(51, QLatin1Char('-'))};
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch match = format.match(QString::fromUtf8(log.at(i)));
        QVERIFY2(match.hasMatch(), log.at(i).constData());
        QCOMPARE(match.captured(1), banner.at(i));
    }
    QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("product.ini"))));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
