// cameracontrol-cli as a process on the simulated cameras: arguments in; output, the JSON document
// and the exit code out; and what reached the cameras, from the record the simulated build writes.
#include "testsupport/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {
// Cameras: QX in Auto Framing at zoom 150 with firmware 1.2.30; QX with everything at its default;
// two QX side by side and a third stuck in its boot loader; a QX stuck in its updater.
const QString kFraming =
    R"("cameras":[{"settings":[1,1,2,1,0,1],"position":[0,0,150],"version":"1.2.30"}])";
const QString kPlain = R"("cameras":[{"version":"0.0.1"}])";
const QString kThree = R"("cameras":[{},{"port":"usb1/1-4"},{"port":"usb1/1-5","stage":"uboot"}])";
const QString kStuck = R"("cameras":[{"stage":"updater"}])";
const QString kNone = R"("cameras":[])";
// A QX whose picture has been changed: brightness up, white balance set by hand.
const QString kPictureManual =
    R"("cameras":[{"picture":{"brightness":30,"white-balance-automatic":0}}])";
// Two cameras: the first pulled out and plugged in again, then the second stuck in its boot loader.
const QString kWatched = R"("cameras":[{},{"port":"usb1/1-4"}],"events":[
    {"after_ms":100,"camera":0,"action":"unplug"},
    {"after_ms":200,"camera":0,"action":"plug"},
    {"after_ms":300,"camera":1,"action":"stage:uboot"}])";
// A ZENTA 320 and a ZENTA 310, listed with the vendor's own line selected.
const QString kZenta = R"("cameras":[{"model":"ZENTA 320"},{"model":"ZENTA 310"}])";

// A row: the cameras, the command line, the exit code, what the output shows, and what reached
// the cameras (nothing, unless given).
void row(const char *name, const QString &cameras, const QString &command, int exitCode,
         const QString &expected, const QString &sent = QString()) {
    QTest::newRow(name) << cameras << command << exitCode << expected << sent;
}

QString faulty(const char *fault) {
    return QString(R"("cameras":[{"version":"1.0.0","faults":["%1"]}])").arg(fault);
}

// The value at a path of object keys and array indices ("cameras.1.node") as text.
QString valueAt(QJsonValue value, const QString &path) {
    for (const QString &step : path.split('.'))
        value = value.isArray() ? value.toArray().at(step.toInt()) : value.toObject().value(step);
    return value.isBool() ? (value.toBool() ? "true" : "false") : value.toVariant().toString();
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void invocation_data() {
        writeFile(CLI_PACKAGES "/not-a-package.zip", "a text, not a zip");
        writeFile(dir.filePath("zenta/cameracontrol/product.ini"), "[product_model]\nmain=1\n");
        addColumns<QString, QString, int, QString, QString>(
            {"cameras", "command", "exitCode", "expected", "sent"});
        // expected: "path=value;..." of the JSON document with --json, else a part of the output.
        // sent: the record's lines ("*" for any text).
        row("list", kThree, "list --json", 0,
            "cameras.1.node=/dev/video2;cameras.0.model=QX-M30-000;"
            "cameras.1.vendorId=1d6b;updaterStages.0.stage=u-Boot");
        row("vendor's own line", kZenta, "list --json", 0,
            "vendor.manufacturer=Kestrelon;cameras.0.name=ZENTA 320;cameras.1.friendlyName="
            "Kestrelon ZENTA 310;cameras.1.vendorId=3c1e;cameras.1.productId=0103");
        row("ZENTA 320 has no choice of tracking mode", kZenta, "set tracking-mode Off 1", 5,
            "does not offer tracking-mode");
        row("ZENTA 310 does not move", kZenta, "ptz --zoom 200 310", 5,
            "does not offer pan, tilt and zoom");
        row("info", kFraming, "info --json", 0,
            "firmwareVersion=1.2.30;settings.tracking-mode.label=Auto Framing;"
            "settings.tracking-speed.value=2;ptz.zoom=150");
        row("info, no effect outside Auto Framing", kPlain, "info", 0,
            "Tracking effect   (Auto Framing only)");
        row("get", kFraming, "get Anti-Flicker --json", 0, "label=50Hz;value=1;camera.position=1");
        row("set by label", kPlain, "set tracking-mode \"auto framing\" --json", 0,
            "confirmed=true;previous.label=Off;readBack.value=1", "camera 0 set 10=01");
        row("set, restart", kPlain, "set microphone 0 --json", 0,
            "restarted=true;readBack.label=Disable", "camera 0 set 04=00");
        row("value outside the table", kPlain, "set anti-flicker 3", 2,
            "it takes \"Off\" (0), \"50Hz\" (1)");
        row("unknown setting", kPlain, "set zoom 2", 2, "no setting \"zoom\"");
        row("picture controls", kPlain, "picture --json", 0,
            "controls.0.name=brightness;controls.8.name=white-balance-temperature;"
            "controls.8.inactive=true;controls.8.step=10;controls.9.menu.0.label=Manual Mode");
        row("picture control set", kPlain, "set brightness 20", 0, "brightness: 20",
            "camera 0 picture brightness=20 stored");
        row("picture value outside the range, not clamped", kPlain, "set brightness 99", 2,
            "between -64 and 64");
        row("picture value between two steps", kPlain, "set white-balance-temperature 5005", 2,
            "steps of 10");
        row("manual picture value under its automatic control", kPlain,
            "set white-balance-temperature 5000", 5, "set white-balance-automatic to 0 first");
        row("manual picture value once the automatic control is off", kPictureManual,
            "set white-balance-temperature 5000 --json", 0, "value=5000",
            "camera 0 picture white-balance-temperature=5000 stored");
        row("picture menu by label", kPlain, "set auto-exposure \"manual mode\" --json", 0,
            "value=1", "camera 0 picture auto-exposure=1 stored");
        row("picture switch by word", kPlain, "set white-balance-automatic off", 0,
            "white-balance-automatic: off (0)",
            "camera 0 picture white-balance-automatic=0 stored");
        row("picture get", kPlain, "get exposure-time --json", 0,
            "value=156;control.step=1;control.automaticMaster=auto-exposure");
        row("picture reset", kPictureManual, "picture --reset --json", 0,
            "controls.0.value=0;controls.7.value=1",
            "camera 0 picture brightness=0 stored;camera 0 picture white-balance-automatic=1 "
            "stored");
        row("info with the picture", kPlain, "info --json", 0,
            "picture.brightness=0;picture.auto-exposure=3");
        row("--reset elsewhere", kPlain, "info --reset", 2, "belongs to picture");
        row("effect outside Auto Framing", kPlain, "set tracking-effect Immediate", 5,
            "only in Auto Framing");
        row("write timed out", faulty("requests-time-out"), "set hdr On", 5,
            "The setting has timed out", "camera 0 set 01=01");
        row("not confirmed", faulty("garbage-answers"), "set hdr On --json", 5,
            "error.exitCode=5;confirmed=false", "camera 0 set 01=01");
        row("restore defaults", kFraming, "restore-defaults --yes --json", 0, "restarted=true",
            "camera 0 restore-defaults");
        row("no question without a terminal", kPlain, "restore-defaults", 2, "give --yes");
        row("ptz", kPlain, "ptz --zoom 300 --pan -10 --json", 0,
            "ptz.pan=-10;ptz.zoom=300;requested.pan=-10", "camera 0 position -10,0,300");
        row("ptz out of range", kPlain, "ptz --tilt 31", 2, "tilt 31 is outside -30..30");
        row("pan without zoom", kPlain, "ptz --pan 5", 5, "move a zoomed picture only");
        row("ptz while tracking", kFraming, "ptz --zoom 200", 5, "frames itself");
        row("ambiguous camera", kThree, "info qx --json", 3,
            "error.exitCode=3;candidates.1.position=2");
        row("no such position", kThree, "get hdr 3", 3, "no camera 3");
        row("none present", kNone, "info", 3, "No camera");
        row("cannot open", faulty("open-fails"), "info", 4, "Cannot open");
        row("node not permitted", faulty("node-refused"), "info", 4,
            "may not open the camera's video device");
        row("upgrade", kPlain, "upgrade --yes QX-M30-000.zip --json", 0,
            "ok=true;firmwareVersionBefore=0.0.1;firmwareVersionAfter=2.0.0",
            "camera 0 enter-upgrade;camera 0 scsi *;camera 0 version 2.0.0");
        row("package of another model", kPlain, "upgrade --yes ZENTA-320.zip", 6,
            "Unable to upgrade now. The firmware version does not match with this model.");
        row("not a package", kPlain, "upgrade --yes not-a-package.zip", 6,
            "The format of firmware file is not correct.");
        row("upgrade needs --yes", kPlain, "upgrade QX-M30-000.zip", 2, "give --yes");
        row("upgrade failed", faulty("never-shows-volume"), "upgrade --yes QX-M30-000.zip", 7,
            "Firmware upgrade failed!", "camera 0 enter-upgrade;*");
        row("recover", kStuck, "recover --yes ZENTA-320.zip --json", 0, "ok=true;stage=Updater",
            "camera 0 scsi *;camera 0 stage camera;camera 0 version 2.0.0");
        row("nothing to recover", kPlain, "recover --yes QX-M30-000.zip", 3, "No camera");
        row("watch", kWatched, "watch --json", 0, "unplugged 1,plugged 1,unplugged 2,stuck u-Boot",
            "camera 1 stage uboot");
        row("unknown command", kNone, "reboot", 2, "no command \"reboot\"");
        row("option of another command", kNone, "info --zoom 200", 2, "belong to ptz");
    }
    void invocation() {
        QFETCH(QString, cameras);
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        QFETCH(QString, sent);
        const QString record = dir.filePath("record.txt");
        QFile::remove(record);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("CAMERACONTROL_SIM",
                           QString(R"({"record":"%1",%2})").arg(record, cameras));
        if (cameras.contains("ZENTA"))
            environment.insert("XDG_CONFIG_HOME", dir.filePath("zenta"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(CLI_PACKAGES);
        process.start(CLI_PROGRAM, QProcess::splitCommand(command));
        const bool watching = command.startsWith("watch");
        if (watching) {
            QByteArray out;
            QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).count('\n') >= 4,
                                     20000);
            process.terminate();
            QVERIFY(process.waitForFinished(20000));
            QStringList events;
            for (const QByteArray &line : out.trimmed().split('\n')) {
                const QJsonObject event = QJsonDocument::fromJson(line).object();
                events << event["event"].toString() + " " +
                              (event.contains("stage") ? valueAt(event, "stage")
                                                       : valueAt(event, "camera.position"));
            }
            QCOMPARE(events.join(','), expected);
        } else {
            QVERIFY(process.waitForFinished(60000));
        }
        const QString out = process.readAllStandardOutput();
        const QString err = process.readAllStandardError();
        QCOMPARE(process.exitCode(), exitCode);
        if (command.contains("--json") && !watching) {
            const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8());
            QVERIFY2(document.isObject(), qPrintable(out));
            for (const QString &check : expected.split(';'))
                QCOMPARE(check.section('=', 0, 0) + "=" +
                             valueAt(document.object(), check.section('=', 0, 0)),
                         check);
        } else if (!watching) {
            QVERIFY2((out + err).contains(expected), qPrintable(out + err));
        }
        const QString reached = QString(readFile(record)).replace('\n', ';');
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(sent))
                     .match(reached)
                     .hasMatch(),
                 qPrintable(reached));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
