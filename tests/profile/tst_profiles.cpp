// Profiles on the simulated camera, which keeps its settings through a restart but comes back at
// its home position with its picture at the defaults: the order of an apply and its second run,
// which writes nothing; another model's profile; a profile taken and brought back; files refused
// and left as they were.
#include "profile/profileapply.h"
#include "profile/profilestore.h"
#include "testsupport/simfixture.h"
#include "testsupport/testsupport.h"

#include <QStandardPaths>
#include <QtTest>

namespace {
using Items = QVector<QPair<QString, int>>;

Profile profileOf(const Items &items, const QString &model = QString()) {
    Profile profile;
    profile.name = QStringLiteral("Room");
    profile.model = model;
    for (const auto &item : items)
        profile.set(*findProfileItem(item.first), item.second);
    return profile;
}

// What reached the camera and changed it, in order: "10=00 zoom=200 pan=-5".
QString writes(const SimCamera &camera) {
    const std::vector<SimXuRecord> unit = camera.xuLog();
    const std::vector<SimCamera::PositionRecord> moves = camera.positionLog();
    QStringList trace;
    auto move = moves.begin();
    auto movesUpTo = [&](std::size_t records) {
        for (; move != moves.end() && move->afterUnitRecords <= records; ++move)
            trace << QString("%1=%2")
                         .arg(move->axis == CameraControlId::Zoom  ? "zoom"
                              : move->axis == CameraControlId::Pan ? "pan"
                                                                   : "tilt")
                         .arg(move->value);
    };
    for (std::size_t i = 0; i < unit.size(); ++i) {
        movesUpTo(i);
        const SimXuRecord &record = unit[i];
        if (record.direction == UnitDirection::Write && !(record.bytes[0] & kQueryBit))
            trace << QString::asprintf("%02x=%02x", record.bytes[0], record.bytes[2]);
    }
    movesUpTo(unit.size());
    for (const SimPictureRecord &record : camera.pictureLog())
        trace << QString("%1=%2").arg(QString::fromStdString(record.name)).arg(record.value);
    return trace.join(' ');
}

struct Camera {
    SimSettings settings;
    SimPosition position;
    Items picture;
};

Camera inAutoFraming() {
    Camera camera;
    camera.settings.trackingMode = kAutoFraming;
    return camera;
}

Camera zoomedTo(int zoom) {
    Camera camera;
    camera.position.zoom = zoom;
    return camera;
}

// The simulated camera opened in a session; a restart is waited for in virtual time.
struct OpenCamera {
    explicit OpenCamera(const Camera &state, const SimCameraConfig &config = SimCameraConfig())
        : sim(config) {
        sim.camera->setSettings(state.settings);
        sim.camera->setPosition(state.position);
        for (const auto &control : state.picture)
            sim.camera->setPictureValue(control.first.toStdString(), control.second);
        session.open(idOf(*sim.camera), nameOf(*sim.camera));
        sim.camera->clearLogs();
    }

    ApplyOutcome apply(const Profile &profile, const ModelControls &offered = {}) {
        ApplyOptions options;
        options.reopenAfterRestart = [this] {
            session.close();
            sim.elapse(sim.camera->restartDelay + Milliseconds(100));
            return session.open(idOf(*sim.camera), nameOf(*sim.camera)).ok();
        };
        return applyProfile(profile, session, ProfileCamera{offered, QString()}, options);
    }

    SimFixture sim;
    CameraSession session;
};

QString resultsOf(const ApplyOutcome &outcome) {
    QStringList results;
    for (const ItemOutcome &item : outcome.items)
        results << QString("%1 %2").arg(item.item->name, itemResultName(item.result));
    return results.join(", ");
}

// A row of applies: the camera, the profile's items, what reached the camera, the results.
void applyRow(const char *name, const Camera &camera, const Items &items, const char *written,
              const char *results = "") {
    QTest::newRow(name) << camera << profileOf(items) << QString(written) << QString(results);
}

// A row of refusedFiles: a profile file of format 1 with these items.
void itemRow(const char *name, const char *items, ProfileError::Kind kind, const char *item) {
    QTest::newRow(name) << R"({"format": 1, "items": {)" + QByteArray(items) + "}}" << kind
                        << QString(item);
}
} // namespace

Q_DECLARE_METATYPE(Profile)
Q_DECLARE_METATYPE(Camera)
Q_DECLARE_METATYPE(SimCameraConfig)
Q_DECLARE_METATYPE(ProfileError::Kind)

class TestProfiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void applies_data() {
        // results: of each item, when one is refused (none: none is, and a second run writes
        // nothing)
        addColumns<Camera, Profile, QString, QString>({"camera", "profile", "written", "results"});
        applyRow("tracking off before a move", inAutoFraming(),
                 {{"tracking-mode", 0}, {"zoom", 200}, {"pan", -5}, {"tilt", 3}},
                 "10=00 zoom=200 pan=-5 tilt=3");
        applyRow("an automatic mode before its values", Camera(),
                 {{"tracking-effect", 0}, {"tracking-mode", 1}, {"tracking-speed", 2}},
                 "10=01 11=00 12=02");
        applyRow("only what differs", Camera(),
                 {{"anti-flicker", 1}, {"hdr", 1}, {"tracking-mode", 0}}, "01=01");
        applyRow("microphone last, then what the restart lost", Camera(),
                 {{"microphone", 0}, {"pan", 10}, {"zoom", 300}, {"anti-flicker", 2}},
                 "02=02 zoom=300 pan=10 04=00 zoom=300 pan=10");
        applyRow("zoom before pan, pan only in a zoomed picture", zoomedTo(300),
                 {{"pan", 5}, {"zoom", 100}}, "zoom=100");
        applyRow("picture: the automatic control off before its manual value", Camera(),
                 {{"white-balance-temperature", 5000}, {"white-balance-automatic", 0}},
                 "white-balance-automatic=0 white-balance-temperature=5000");
        applyRow("picture: what the restart forgot, written again", Camera(),
                 {{"microphone", 0}, {"brightness", 20}}, "04=00 brightness=20 brightness=20");
        // A picture value is checked against the camera's own description, never clamped.
        applyRow("outside the range", Camera(), {{"brightness", 99}}, "", "brightness refused");
        applyRow("between two steps", Camera(),
                 {{"white-balance-automatic", 0}, {"white-balance-temperature", 5005}},
                 "white-balance-automatic=0",
                 "white-balance-automatic changed, white-balance-temperature refused");
        applyRow("under its automatic master", Camera(), {{"exposure-time", 300}}, "",
                 "exposure-time refused");
        applyRow("a control the camera lacks", Camera(), {{"focus", 10}, {"gain", 5}}, "gain=5",
                 "gain changed, focus not offered");
    }
    void applies() {
        QFETCH(Camera, camera);
        QFETCH(Profile, profile);
        QFETCH(QString, written);
        QFETCH(QString, results);
        OpenCamera open(camera);
        const ApplyOutcome first = open.apply(profile);
        QCOMPARE(writes(*open.sim.camera), written);
        for (const ItemOutcome &item : first.items)
            QVERIFY(item.result != ItemResult::Refused || !item.note.isEmpty());
        if (!results.isEmpty()) {
            QCOMPARE(resultsOf(first), results);
            return;
        }
        QVERIFY2(!first.refused(), qPrintable(resultsOf(first)));
        QVERIFY(first.changed());

        open.sim.camera->clearLogs();
        const ApplyOutcome second = open.apply(profile);
        QCOMPARE(writes(*open.sim.camera), QString());
        QVERIFY2(!second.changed() && !second.refused(), qPrintable(resultsOf(second)));
    }

    void anotherModel_data() {
        addColumns<SimCameraConfig, Camera, QStringList, QString>(
            {"config", "camera", "leftOut", "written"});
        QTest::newRow("ZENTA 310: the microphone only")
            << zentaConfig(0x0103, "Kestrelon ZENTA 310") << Camera()
            << QStringList{"tracking-mode", "tracking-effect", "anti-flicker", "hdr", "zoom"}
            << "04=00";
        QTest::newRow("ZENTA 320: no tracking mode, so it keeps framing")
            << zentaConfig(0x0305, "Kestrelon ZENTA 320") << inAutoFraming()
            << QStringList{"tracking-mode", "zoom"} << "11=00 02=02 01=01 04=00";
    }
    void anotherModel() {
        QFETCH(SimCameraConfig, config);
        QFETCH(Camera, camera);
        QFETCH(QStringList, leftOut);
        QFETCH(QString, written);
        OpenCamera open(camera, config);
        const Profile profile = profileOf({{"tracking-mode", 0},
                                           {"tracking-effect", 0},
                                           {"anti-flicker", 2},
                                           {"hdr", 1},
                                           {"zoom", 200},
                                           {"microphone", 0}},
                                          "ZENTA 325");
        const ModelControls offered =
            controlsOfModel(1, modelIndexByIds(config.vendorId, config.productId));
        const ApplyOutcome outcome = open.apply(profile, offered);
        QCOMPARE(writes(*open.sim.camera), written);
        QCOMPARE(outcome.leftOut(), leftOut);
        QVERIFY(!outcome.refused());
    }

    void takenAndBroughtBack_data() {
        addColumns<Camera>({"camera"});
        Camera framing = inAutoFraming();
        framing.settings = {kAutoFraming, 0, 2, 2, 1, 1};
        QTest::newRow("framing: effect and speed, no position") << framing;
        Camera still = zoomedTo(250);
        still.position.pan_deg = -7;
        still.position.tilt_deg = 4;
        still.settings.antiFlicker = 0;
        still.picture = {{"white-balance-automatic", 0},
                         {"white-balance-temperature", 5200},
                         {"brightness", -10}};
        QTest::newRow("tracking off: zoom, pan and tilt") << still;
    }
    void takenAndBroughtBack() {
        QFETCH(Camera, camera);
        OpenCamera taken(camera);
        Profile profile = takeProfile(taken.session, ProfileCamera{{}, "QX-M30-000"}, "Room");
        ProfileError error;
        QVERIFY(saveProfile(profile, error));
        const std::optional<Profile> loaded = loadStoredProfile("Room", error);
        QVERIFY2(loaded, qPrintable(error.message()));

        OpenCamera fresh{Camera()};
        QVERIFY(!fresh.apply(*loaded).refused());
        // Effect and speed are taken only in Auto Framing.
        const bool framing = camera.settings.trackingMode == kAutoFraming;
        const auto state = [framing](const SimSettings &s, const SimPosition &p) {
            QList<int> values{s.trackingMode, s.antiFlicker, s.hdr, p.zoom, p.pan_deg, p.tilt_deg};
            if (framing)
                values << s.trackingEffect << s.trackingSpeed;
            return values;
        };
        QCOMPARE(state(fresh.sim.camera->settings(), fresh.sim.camera->position()),
                 state(camera.settings, camera.position));
        for (const auto &control : fresh.sim.camera->pictureControls())
            for (const auto &wanted : camera.picture)
                if (control.first.name == wanted.first.toStdString())
                    QCOMPARE(control.second, wanted.second);
    }

    void refusedFiles_data() {
        addColumns<QByteArray, ProfileError::Kind, QString>({"content", "kind", "item"});
        using K = ProfileError::Kind;
        QTest::newRow("cut short") << QByteArray(R"({"format": 1, "items": {)") << K::Damaged << "";
        QTest::newRow("no items") << QByteArray(R"({"format": 1})") << K::Damaged << "";
        QTest::newRow("another format")
            << QByteArray(R"({"format": 2, "items": {}})") << K::UnknownFormat << "";
        itemRow("an unknown item", R"("brightnes": 5)", K::UnknownItem, "brightnes");
        itemRow("zoom outside its range", R"("hdr": 1, "zoom": 900)", K::OutOfRange, "zoom");
        itemRow("a value outside the table", R"("anti-flicker": 3)", K::OutOfRange, "anti-flicker");
        itemRow("a fraction", R"("pan": 2.5)", K::OutOfRange, "pan");
        itemRow("a picture value that is no number", R"("contrast": "high")", K::OutOfRange,
                "contrast");
        itemRow("a label of no value", R"("tracking-mode": "Sideways")", K::OutOfRange,
                "tracking-mode");
        itemRow("labels are read", R"("anti-flicker": "60hz")", K::None, "");
    }
    void refusedFiles() {
        QFETCH(QByteArray, content);
        QFETCH(ProfileError::Kind, kind);
        QFETCH(QString, item);
        const QString file = storedProfileFile("Room");
        QVERIFY(writeFile(file, content));
        ProfileError error;
        const std::optional<Profile> profile = loadStoredProfile("Room", error);
        QCOMPARE(error.kind, kind);
        QCOMPARE(profile.has_value(), kind == ProfileError::Kind::None);
        if (profile)
            return;
        QCOMPARE(error.item, item);
        QVERIFY2(error.message().contains(file) && error.message().contains(item),
                 qPrintable(error.message()));
        QCOMPARE(readFile(file), content);
        QVERIFY(storedProfileNames().contains("Room"));
    }

    void names_data() {
        addColumns<QString, bool>({"name", "valid"});
        QTest::newRow("words") << "Room 4, morning" << true;
        QTest::newRow("a folder") << "../Room" << false;
        QTest::newRow("a backslash") << "a\\b" << false;
        QTest::newRow("hidden") << ".Room" << false;
        QTest::newRow("blank at the end") << "Room " << false;
        QTest::newRow("empty") << "" << false;
    }
    void names() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        Profile profile = profileOf({{"hdr", 1}});
        profile.name = name;
        ProfileError error;
        QCOMPARE(saveProfile(profile, error), valid);
        QCOMPARE(storedProfileNames().contains(name), valid);
        QVERIFY(!valid || deleteStoredProfile(name));
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
