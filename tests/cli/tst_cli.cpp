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
// A QX whose picture has been changed: brightness up, white balance set by hand.
const QString kPictureManual =
    R"("cameras":[{"picture":{"brightness":30,"white-balance-automatic":0}}])";
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

// A row: the cameras, the command line, the exit code and what reached the cameras (the record's
// lines, "*" for any text; nothing, unless given).
QTestData &addRow(const char *name, const QString &cameras, const QString &command, int exitCode,
                  const QStringList &sent = {}) {
    return QTest::newRow(name) << cameras << command << exitCode << sent;
}

QString faulty(const char *fault) {
    return QString(R"("cameras":[{"version":"1.0.0","faults":["%1"]}])").arg(fault);
}

// The value of the JSON document at a path of object keys and array indices ("cameras.1.node").
QString valueAt(QJsonValue value, const QString &path) {
    for (const QString &step : path.split('.'))
        value = value.isArray() ? value.toArray().at(step.toInt()) : value.toObject().value(step);
    return value.isBool() ? (value.toBool() ? "true" : "false") : value.toVariant().toString();
}

// Whether the record's lines match what the row expects to reach the cameras.
bool reachedAsExpected(const QString &reached, const QStringList &sent) {
    return QRegularExpression(QRegularExpression::wildcardToRegularExpression(sent.join(';')))
        .match(reached)
        .hasMatch();
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    void start(QProcess &process, const QString &cameras, const QString &command) {
        const QString record = dir.filePath("record.txt");
        QFile::remove(record);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("CAMERACONTROL_SIM",
                           QString(R"({"record":"%1",%2})").arg(record, cameras));
        environment.insert("XDG_CONFIG_HOME",
                           dir.filePath(cameras.contains("ZENTA")     ? "zenta"
                                        : command.contains("--apply") ? "connect"
                                                                      : "config"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(CLI_PACKAGES);
        process.start(CLI_PROGRAM, QProcess::splitCommand(command));
    }
    // The record's lines, joined by ";".
    QString reached() { return QString(readFile(dir.filePath("record.txt"))).replace('\n', ';'); }
    // Runs the row's command line, checks its exit code and what reached the cameras, and gives
    // its standard output and standard error.
    QPair<QString, QString> runRow() {
        QFETCH(QString, cameras);
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QStringList, sent);
        QProcess process;
        start(process, cameras, command);
        const bool ended = process.waitForFinished(60000);
        const QPair<QString, QString> output{process.readAllStandardOutput(),
                                             process.readAllStandardError()};
        [&] {
            QVERIFY(ended);
            QCOMPARE(process.exitCode(), exitCode);
            QVERIFY2(reachedAsExpected(reached(), sent), qPrintable(reached()));
        }();
        return output;
    }
    static void addRowColumns() {
        addColumns<QString, QString, int, QStringList>({"cameras", "command", "exitCode", "sent"});
    }

private slots:
    void initTestCase() {
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
    }

    // The output, or the error, shows a text.
    void output_data() {
        addRowColumns();
        QTest::addColumn<QString>("shown");
        addRow("ZENTA 320 has no choice of tracking mode", kZenta, "set tracking-mode Off 1", 5)
            << "does not offer tracking-mode";
        addRow("ZENTA 310 does not move", kZenta, "ptz --zoom 200 310", 5)
            << "does not offer pan, tilt and zoom";
        addRow("info, no effect outside Auto Framing", kPlain, "info", 0)
            << "Tracking effect   (Auto Framing only)";
        addRow("value outside the table", kPlain, "set anti-flicker 3", 2)
            << "it takes \"Off\" (0), \"50Hz\" (1)";
        addRow("unknown setting", kPlain, "set zoom 2", 2) << "no setting \"zoom\"";
        addRow("picture control set", kPlain, "set brightness 20", 0,
               {"camera 0 picture brightness=20 stored"})
            << "brightness: 20";
        addRow("picture value below zero", kPlain, "set brightness -10", 0,
               {"camera 0 picture brightness=-10 stored"})
            << "brightness: -10";
        addRow("picture value outside the range, not clamped", kPlain, "set brightness 99", 2)
            << "between -64 and 64";
        addRow("picture value between two steps", kPlain, "set white-balance-temperature 5005", 2)
            << "steps of 10";
        addRow("manual picture value under its automatic control", kPlain,
               "set white-balance-temperature 5000", 5)
            << "set white-balance-automatic to 0 first";
        addRow("picture switch by word", kPlain, "set white-balance-automatic off", 0,
               {"camera 0 picture white-balance-automatic=0 stored"})
            << "white-balance-automatic: off (0)";
        addRow("--reset elsewhere", kPlain, "info --reset", 2) << "belongs to picture";
        addRow("effect outside Auto Framing", kPlain, "set tracking-effect Immediate", 5)
            << "only in Auto Framing";
        addRow("write timed out", faulty("requests-time-out"), "set hdr On", 5,
               {"camera 0 set 01=01"})
            << "did not take hdr On (1): UVCIOC_CTRL_QUERY failed";
        addRow("no question without a terminal", kPlain, "restore-defaults", 2) << "give --yes";
        addRow("ptz out of range", kPlain, "ptz --tilt 31", 2) << "tilt 31 is outside -30..30";
        addRow("pan without zoom", kPlain, "ptz --pan 5", 5) << "move a zoomed picture only";
        addRow("ptz while tracking", kFraming, "ptz --zoom 200", 5) << "frames itself";
        addRow("no such position", kThree, "get hdr 3", 3) << "no camera 3";
        addRow("none present", kNone, "info", 3) << "No camera";
        addRow("cannot open", faulty("open-fails"), "info", 4) << "(errno 16)).";
        const QString noUnits = kPlain + R"(,"no-extension-units":true)";
        addRow("moves without extension units", noUnits, "ptz --zoom 200", 0,
               {"camera 0 position 0,0,200"})
            << "zoom 200";
        addRow("own setting without extension units", noUnits, "get anti-flicker", 5)
            << "no way to the camera's own settings (error 0x80004001)";
        addRow("node not permitted", faulty("node-refused"), "info", 4)
            << "may not open the camera's video device";
        addRow("package of another model", kPlain, "upgrade --yes ZENTA-320.zip", 6)
            << "Unable to upgrade now. The firmware version does not match with this model.";
        addRow("not a package", kPlain, "upgrade --yes not-a-package.zip", 6)
            << "The format of firmware file is not correct.";
        addRow("upgrade needs --yes", kPlain, "upgrade QX-M30-000.zip", 2) << "give --yes";
        addRow("upgrade failed", faulty("never-shows-volume"), "upgrade --yes QX-M30-000.zip", 7,
               {"camera 0 enter-upgrade", "*"})
            << "Firmware upgrade failed!";
        addRow("nothing to recover", kPlain, "recover --yes QX-M30-000.zip", 3) << "No camera";
        addRow("apply, items refused", faulty("requests-time-out"), "apply room.json", 5,
               {"camera 0 set 10=00", "camera 0 set 02=02"})
            << "(no answer) -> 60Hz (2)  refused";
        addRow("damaged profile", kPlain, "apply damaged.json", 2) << "damaged.json is refused";
        addRow("profile of another format", kPlain, "apply format2.json", 2)
            << "format 2 is unknown";
        addRow("profile export", kNone, "profile export Stored", 0) << R"("zoom": 250)";
        addRow("unknown command", kNone, "reboot", 2) << "no command \"reboot\"";
        addRow("option of another command", kNone, "info --zoom 200", 2) << "belong to ptz";
    }
    void output() {
        QFETCH(QString, shown);
        const QPair<QString, QString> output = runRow();
        if (!QTest::currentTestFailed())
            QVERIFY2((output.first + output.second).contains(shown),
                     qPrintable(output.first + output.second));
    }

    // The JSON document of --json holds the values at their paths, in order.
    void json_data() {
        addRowColumns();
        addColumns<QStringList, QStringList>({"paths", "values"});
        addRow("list", kThree, "list --json", 0)
            << QStringList{"cameras.1.node", "cameras.0.model", "cameras.1.vendorId",
                           "updaterStages.0.stage"}
            << QStringList{"/dev/video2", "QX-M30-000", "1d6b", "u-Boot"};
        addRow("vendor's own line", kZenta, "list --json", 0)
            << QStringList{"vendor.manufacturer", "cameras.0.name", "cameras.1.friendlyName",
                           "cameras.1.vendorId", "cameras.1.productId"}
            << QStringList{"Kestrelon", "ZENTA 320", "Kestrelon ZENTA 310", "3c1e", "0103"};
        addRow("info", kFraming, "info --json", 0)
            << QStringList{"firmwareVersion", "settings.tracking-mode.label",
                           "settings.tracking-speed.value", "ptz.zoom"}
            << QStringList{"1.2.30", "Auto Framing", "2", "150"};
        addRow("get", kFraming, "get Anti-Flicker --json", 0)
            << QStringList{"label", "value", "camera.position"} << QStringList{"50Hz", "1", "1"};
        addRow("set by label", kPlain, "set tracking-mode \"auto framing\" --json", 0,
               {"camera 0 set 10=01"})
            << QStringList{"confirmed", "previous.label", "readBack.value"}
            << QStringList{"true", "Off", "1"};
        addRow("set, restart", kPlain, "set microphone 0 --json", 0, {"camera 0 set 04=00"})
            << QStringList{"restarted", "readBack.label"} << QStringList{"true", "Disable"};
        addRow("not confirmed", faulty("garbage-answers"), "set hdr On --json", 5,
               {"camera 0 set 01=01"})
            << QStringList{"error.exitCode", "confirmed"} << QStringList{"5", "false"};
        addRow("restore defaults", kFraming, "restore-defaults --yes --json", 0,
               {"camera 0 restore-defaults", "camera 0 position 0,0,100"})
            << QStringList{"restarted"} << QStringList{"true"};
        addRow("ptz", kPlain, "ptz --zoom 300 --pan -10 --json", 0, {"camera 0 position -10,0,300"})
            << QStringList{"ptz.pan", "ptz.zoom", "requested.pan"}
            << QStringList{"-10", "300", "-10"};
        addRow("ambiguous camera", kThree, "info qx --json", 3)
            << QStringList{"error.exitCode", "candidates.1.position"} << QStringList{"3", "2"};
        addRow("upgrade", kPlain, "upgrade --yes QX-M30-000.zip --json", 0,
               {"camera 0 enter-upgrade", "camera 0 scsi *", "camera 0 version 2.0.0"})
            << QStringList{"ok", "firmwareVersionBefore", "firmwareVersionAfter"}
            << QStringList{"true", "0.0.1", "2.0.0"};
        addRow("recover", kStuck, "recover --yes ZENTA-320.zip --json", 0,
               {"camera 0 scsi *", "camera 0 stage camera", "camera 0 version 2.0.0"})
            << QStringList{"ok", "stage"} << QStringList{"true", "Updater"};
        addRow("picture controls", kPlain, "picture --json", 0)
            << QStringList{"controls.0.name", "controls.8.name", "controls.8.inactive",
                           "controls.8.step", "controls.9.menu.0.label"}
            << QStringList{"brightness", "white-balance-temperature", "true", "10", "Manual Mode"};
        addRow("manual picture value once the automatic control is off", kPictureManual,
               "set white-balance-temperature 5000 --json", 0,
               {"camera 0 picture white-balance-temperature=5000 stored"})
            << QStringList{"value"} << QStringList{"5000"};
        addRow("picture menu by label", kPlain, "set auto-exposure \"manual mode\" --json", 0,
               {"camera 0 picture auto-exposure=1 stored"})
            << QStringList{"value"} << QStringList{"1"};
        addRow("picture get", kPlain, "get exposure-time --json", 0)
            << QStringList{"value", "control.step", "control.automaticMaster"}
            << QStringList{"156", "1", "auto-exposure"};
        addRow("picture reset", kPictureManual, "picture --reset --json", 0,
               {"camera 0 picture brightness=0 stored",
                "camera 0 picture white-balance-automatic=1 stored"})
            << QStringList{"controls.0.value", "controls.7.value"} << QStringList{"0", "1"};
        addRow("info with the picture", kPlain, "info --json", 0)
            << QStringList{"picture.brightness", "picture.auto-exposure"} << QStringList{"0", "3"};
        addRow("apply --check writes nothing", kPlain, "apply --check room.json --json", 0)
            << QStringList{"check", "changed", "items.anti-flicker.result", "items.zoom.from"}
            << QStringList{"true", "true", "would change", "100"};
        addRow("apply", kPlain, "apply room.json --json", 0,
               {"camera 0 set 02=02", "camera 0 position 5,0,200"})
            << QStringList{"changed", "items.anti-flicker.now", "items.pan.result", "refused"}
            << QStringList{"true", "2", "changed", "false"};
        addRow("apply, what the restart lost again", kPlain, "apply Stored --json", 0,
               {"camera 0 set 04=00", "camera 0 position 0,0,250"})
            << QStringList{"restarted", "items.zoom.result", "items.microphone.now"}
            << QStringList{"true", "changed", "0"};
        addRow("profile save", kFraming, "profile save Taken --json", 0)
            << QStringList{"name", "items.0", "items.3", "items.6", "items.14", "items.15"}
            << QStringList{"Taken",         "tracking-mode", "anti-flicker",
                           "auto-exposure", "microphone",    ""};
        addRow("profile show", kNone, "profile show Stored --json", 0)
            << QStringList{"items.zoom", "items.microphone", "model"}
            << QStringList{"250", "0", "QX-M30-000"};
        addRow("profile list", kNone, "profile list --json", 0)
            << QStringList{"profiles.0.name", "profiles.0.model", "profiles.1.name"}
            << QStringList{"Broken", "", "Stored"};
    }
    void json() {
        QFETCH(QStringList, paths);
        QFETCH(QStringList, values);
        const QString out = runRow().first;
        if (QTest::currentTestFailed())
            return;
        const QJsonDocument document = QJsonDocument::fromJson(out.toUtf8());
        QVERIFY2(document.isObject(), qPrintable(out));
        QStringList found;
        for (const QString &path : paths)
            found << valueAt(document.object(), path);
        QCOMPARE(found, values);
    }

    // watch --json: one JSON line per event, until it is stopped.
    void watch_data() {
        addRowColumns();
        QTest::addColumn<QStringList>("events");
        addRow("watch", kWatched, "watch --json", 0, {"camera 1 stage uboot"})
            << QStringList{"unplugged 1", "plugged 1", "unplugged 2", "stuck u-Boot"};
        addRow("watch --apply", kReplugged, "watch --apply --json", 0,
               {"camera 0 position 5,0,250"})
            << QStringList{"applied 1", "unplugged 1", "plugged 1", "applied 1"};
    }
    void watch() {
        QFETCH(QString, cameras);
        QFETCH(QString, command);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, events);
        QProcess process;
        start(process, cameras, command);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).count('\n') >= 4, 20000);
        process.terminate();
        QVERIFY(process.waitForFinished(20000));
        QStringList seen;
        for (const QByteArray &line : out.trimmed().split('\n')) {
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            seen << event["event"].toString() + " " +
                        (event.contains("stage") ? valueAt(event, "stage")
                                                 : valueAt(event, "camera.position"));
        }
        QCOMPARE(seen, events);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(reachedAsExpected(reached(), sent), qPrintable(reached()));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
