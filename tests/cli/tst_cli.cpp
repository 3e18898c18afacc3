// cameracontrol-cli as a process on the simulated cameras: arguments in; output, the JSON document
// and the exit code out; and what reached the cameras, from the record the simulated build writes.
#include "device/dshowcamerawrapper.h"
#include "device/interfacename.h"
#include "profile/profilestore.h"
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
// Two cameras: the first pulled out and plugged in again, then the second stuck in its boot loader.
const QString kWatched = R"("cameras":[{},{"port":"usb1/1-4"}],"events":[
    {"after_ms":100,"camera":0,"action":"unplug"},
    {"after_ms":200,"camera":0,"action":"plug"},
    {"after_ms":300,"camera":1,"action":"stage:uboot"}])";
// A camera pulled out and plugged in again, which comes back at its home position.
const QString kReplugged = R"("cameras":[{}],"events":[
    {"after_ms":100,"camera":0,"action":"unplug"},
    {"after_ms":200,"camera":0,"action":"plug"}])";
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
        // Profiles: two files beside the packages, and stored ones in the user's folder.
        writeFile(
            CLI_PACKAGES "/room.json",
            R"({"format":1,"items":{"tracking-mode":0,"anti-flicker":2,"zoom":200,"pan":5}})");
        writeFile(CLI_PACKAGES "/damaged.json", R"({"format":1,"items":{"zoom":)");
        writeFile(CLI_PACKAGES "/format2.json", R"({"format":2,"items":{}})");
        const QString stored = dir.filePath("config/cameracontrol/profiles/");
        writeFile(stored + "Stored.json",
                  R"({"format":1,"model":"QX-M30-000","items":{"zoom":250,"microphone":0}})");
        writeFile(stored + "Broken.json", "{");
        // The connect profile of the first camera, in a folder of its own.
        qputenv("XDG_CONFIG_HOME", dir.filePath("connect").toUtf8());
        writeFile(dir.filePath("connect/cameracontrol/profiles/Zoomed.json"),
                  R"({"format":1,"items":{"zoom":250,"pan":5}})");
        const QString firstCamera =
            QString::fromStdString(makeCaptureInterfaceName({0x1D6B, 0x0104, 0, "usb1/1-1", 0}));
        setConnectProfile(cameraIdentity("QX-M30-000", deviceIdFromPath(firstCamera)), "Zoomed");

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
        row("effect outside Auto Framing", kPlain, "set tracking-effect Immediate", 5,
            "only in Auto Framing");
        row("write timed out", faulty("requests-time-out"), "set hdr On", 5,
            "The setting has timed out", "camera 0 set 01=01");
        row("not confirmed", faulty("garbage-answers"), "set hdr On --json", 5,
            "error.exitCode=5;confirmed=false", "camera 0 set 01=01");
        row("restore defaults", kFraming, "restore-defaults --yes --json", 0, "restarted=true",
            "camera 0 restore-defaults;camera 0 position 0,0,100");
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
        row("apply --check writes nothing", kPlain, "apply --check room.json --json", 0,
            "check=true;changed=true;items.anti-flicker.result=would change;items.zoom.from=100");
        row("apply", kPlain, "apply room.json --json", 0,
            "changed=true;items.anti-flicker.now=2;items.pan.result=changed;refused=false",
            "camera 0 set 02=02;camera 0 position 5,0,200");
        row("apply, what the restart lost again", kPlain, "apply Stored --json", 0,
            "restarted=true;items.zoom.result=changed;items.microphone.now=0",
            "camera 0 set 04=00;camera 0 position 0,0,250");
        row("apply, items refused", faulty("requests-time-out"), "apply room.json", 5,
            "(no answer) -> 60Hz (2)  refused", "camera 0 set 10=00;camera 0 set 02=02");
        row("damaged profile", kPlain, "apply damaged.json", 2, "damaged.json is refused");
        row("profile of another format", kPlain, "apply format2.json", 2, "format 2 is unknown");
        row("profile save", kFraming, "profile save Taken --json", 0,
            "name=Taken;items.0=tracking-mode;items.3=anti-flicker;items.6=");
        row("profile show", kNone, "profile show Stored --json", 0,
            "items.zoom=250;items.microphone=0;model=QX-M30-000");
        row("profile export", kNone, "profile export Stored", 0, R"("zoom": 250)");
        row("profile list", kNone, "profile list --json", 0,
            "profiles.0.name=Broken;profiles.0.model=;profiles.1.name=Stored");
        row("watch --apply", kReplugged, "watch --apply --json", 0,
            "applied 1,unplugged 1,plugged 1,applied 1", "camera 0 position 5,0,250");
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
        environment.insert("XDG_CONFIG_HOME",
                           dir.filePath(cameras.contains("ZENTA")     ? "zenta"
                                        : command.contains("--apply") ? "connect"
                                                                      : "config"));
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
