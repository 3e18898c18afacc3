#include "profile/profileapply.h"

#include <QtDebug>

#include <algorithm>

namespace {
bool offers(const ProfileCamera &camera, const ProfileItem &item) {
    // The camera itself tells which picture controls it has.
    if (item.kind == ProfileItemKind::Picture)
        return true;
    if (item.kind == ProfileItemKind::Position)
        return camera.offered.position;
    return modelOffers(camera.offered, item.setting);
}

bool isMicrophone(const ProfileItem &item) {
    return item.kind == ProfileItemKind::Setting && item.setting == CameraSetting::Microphone;
}

QString trackingModeText(std::optional<int> mode) {
    return mode ? profileValueText(profileItemOf(CameraSetting::TrackingMode), *mode)
                : QStringLiteral("unknown");
}

class Applier {
public:
    Applier(CameraSession &open, const ProfileCamera &offered, const ApplyOptions &how)
        : session(open)
        , camera(offered)
        , options(how) {}

    // Everything but the microphone, in order.
    void pass(std::vector<ItemOutcome> &outcomes) {
        std::optional<int> mode;
        int read = 0;
        if (session.readSetting(CameraSetting::TrackingMode, read))
            mode = read;
        std::vector<ItemOutcome *> axes;
        for (ItemOutcome &outcome : outcomes) {
            const ProfileItem &item = *outcome.item;
            if (isMicrophone(item))
                continue;
            if (!offers(camera, item)) {
                notOffered(outcome,
                           camera.model.isEmpty()
                               ? QStringLiteral("this camera does not offer it")
                               : QStringLiteral("the %1 does not offer it").arg(camera.model));
                continue;
            }
            if (item.kind == ProfileItemKind::Position) {
                axes.push_back(&outcome);
                continue;
            }
            if (item.kind == ProfileItemKind::Picture) {
                applyPicture(outcome);
                continue;
            }
            if (settingNeedsAutoFraming(item.setting) && mode != kAutoFraming) {
                notOffered(outcome, QStringLiteral("taken only in Auto Framing; the tracking "
                                                   "mode is %1")
                                        .arg(trackingModeText(mode)));
                continue;
            }
            applySetting(outcome);
            if (item.setting == CameraSetting::TrackingMode &&
                outcome.result != ItemResult::Refused)
                mode = outcome.to;
        }
        if (!axes.empty())
            applyPosition(axes, mode);
    }

    void applyMicrophone(ItemOutcome &outcome, ApplyOutcome &whole) {
        applySetting(outcome);
        if (outcome.result != ItemResult::Changed || outcome.from == outcome.to)
            return;
        // The camera restarts: what it answered in between means nothing.
        whole.restarted = true;
        outcome.now.reset();
        if (!options.reopenAfterRestart) {
            outcome.note = QStringLiteral("the camera restarts");
            return;
        }
        if (!options.reopenAfterRestart()) {
            whole.cameraLost = true;
            refuse(outcome, QStringLiteral("the camera did not come back after its restart"));
            return;
        }
        int value = 0;
        if (session.readSetting(CameraSetting::Microphone, value))
            outcome.now = value;
        if (outcome.now != outcome.to)
            refuse(outcome, reportsText(outcome));
    }

private:
    static void notOffered(ItemOutcome &outcome, const QString &why) {
        outcome.result = ItemResult::NotOffered;
        outcome.note = why;
    }

    static void refuse(ItemOutcome &outcome, const QString &why) {
        outcome.result = ItemResult::Refused;
        outcome.note = why;
    }

    // An item that needs no write: unchanged, or only checked (it would change). True when
    // its outcome is decided.
    bool settledWithoutWrite(ItemOutcome &outcome) const {
        if (outcome.from == outcome.to) {
            outcome.now = outcome.from;
            outcome.result = ItemResult::Unchanged;
            return true;
        }
        if (options.check) {
            outcome.result = ItemResult::WouldChange;
            return true;
        }
        return false;
    }

    static QString reportsText(const ItemOutcome &outcome) {
        return outcome.now ? QStringLiteral("the camera reports %1")
                                 .arg(profileValueText(*outcome.item, *outcome.now))
                           : QStringLiteral("the camera does not answer");
    }

    void applySetting(ItemOutcome &outcome) {
        const CameraSetting setting = outcome.item->setting;
        int value = 0;
        if (session.readSetting(setting, value))
            outcome.from = value;
        if (settledWithoutWrite(outcome))
            return;
        if (const ControlResult written = session.writeSetting(setting, outcome.to); !written) {
            refuse(outcome, written.describe());
            return;
        }
        if (session.readBack(setting, outcome.to, value))
            outcome.now = value;
        outcome.result = ItemResult::Changed;
        if (outcome.now != outcome.to && !settingDefinition(setting).restartsCamera)
            refuse(outcome, reportsText(outcome));
    }

    // Checked against the control as the camera describes it now (its range, its step, whether its
    // automatic master lets it), never clamped.
    void applyPicture(ItemOutcome &outcome) {
        PictureSettings &picture = session.pictureSettings();
        const QString name = QLatin1String(outcome.item->name);
        const PictureOutcome read = picture.read(name);
        if (read.status == PictureStatus::UnknownControl ||
            read.status == PictureStatus::NoCamera) {
            notOffered(outcome, QStringLiteral("this camera does not offer it"));
            return;
        }
        outcome.from = read.value;
        if (settledWithoutWrite(outcome))
            return;
        const PictureOutcome written = picture.write(name, outcome.to);
        if (!written.ok()) {
            refuse(outcome, written.message);
            return;
        }
        outcome.now = written.value;
        outcome.result = ItemResult::Changed;
        if (outcome.now != outcome.to)
            refuse(outcome, reportsText(outcome));
    }

    // The zoom first, then pan and tilt, which move a zoomed picture only; each read back.
    void applyPosition(const std::vector<ItemOutcome *> &axes, std::optional<int> mode) {
        if (mode != kTrackingOff) {
            for (ItemOutcome *outcome : axes)
                notOffered(*outcome, QStringLiteral("the camera frames itself (tracking mode %1)")
                                         .arg(trackingModeText(mode)));
            return;
        }
        const CameraPosition before = session.readPosition();
        auto reported = [](const CameraPosition &readout, CameraControlId axis) {
            return axis == CameraControlId::Pan    ? readout.pan_deg
                   : axis == CameraControlId::Tilt ? readout.tilt_deg
                                                   : readout.zoom_percent;
        };
        int zoom = before.zoom_percent;
        for (ItemOutcome *outcome : axes)
            if (outcome->item->axis == CameraControlId::Zoom)
                zoom = outcome->to;
        std::vector<ItemOutcome *> moved;
        for (ItemOutcome *outcome : axes) {
            const CameraControlId axis = outcome->item->axis;
            if (axis != CameraControlId::Zoom && !padMovesAtZoom(zoom)) {
                notOffered(*outcome, QStringLiteral("pan and tilt move a zoomed picture only"));
                continue;
            }
            if (before.read)
                outcome->from = reported(before, axis);
            if (settledWithoutWrite(*outcome))
                continue;
            if (const ControlResult result = session.move(axis, outcome->to))
                moved.push_back(outcome);
            else
                refuse(*outcome, result.describe());
        }
        if (moved.empty())
            return;
        const CameraPosition after = session.readPosition();
        for (ItemOutcome *outcome : moved) {
            if (after.read)
                outcome->now = reported(after, outcome->item->axis);
            outcome->result = ItemResult::Changed;
            if (outcome->now != outcome->to)
                refuse(*outcome, reportsText(*outcome));
        }
    }

    CameraSession &session;
    const ProfileCamera &camera;
    const ApplyOptions &options;
};

// After a restart: what the first pass found before it, and what the second pass left. An item
// written by either pass was changed.
void merge(std::vector<ItemOutcome> &first, const std::vector<ItemOutcome> &second) {
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (isMicrophone(*first[i].item))
            continue;
        const ItemOutcome before = first[i];
        first[i] = second[i];
        first[i].from = before.from;
        if (second[i].result == ItemResult::Unchanged && before.result == ItemResult::Changed)
            first[i].result = ItemResult::Changed;
    }
}
} // namespace

const char *itemResultName(ItemResult result) {
    switch (result) {
    case ItemResult::Unchanged:
        return "unchanged";
    case ItemResult::Changed:
        return "changed";
    case ItemResult::WouldChange:
        return "would change";
    case ItemResult::Refused:
        return "refused";
    case ItemResult::NotOffered:
        break;
    }
    return "not offered";
}

bool ApplyOutcome::changed() const {
    return std::any_of(items.begin(), items.end(), [](const ItemOutcome &outcome) {
        return outcome.result == ItemResult::Changed || outcome.result == ItemResult::WouldChange;
    });
}

bool ApplyOutcome::refused() const {
    return std::any_of(items.begin(), items.end(), [](const ItemOutcome &outcome) {
        return outcome.result == ItemResult::Refused;
    });
}

QStringList ApplyOutcome::leftOut() const {
    QStringList names;
    for (const ItemOutcome &outcome : items)
        if (outcome.result == ItemResult::NotOffered)
            names << QLatin1String(outcome.item->name);
    return names;
}

Profile takeProfile(CameraSession &session, const ProfileCamera &camera, const QString &name) {
    Profile profile;
    profile.name = name;
    profile.model = camera.model;
    const CameraReadout read = session.readAll();
    for (const ProfileItem &item : profileItems()) {
        if (item.kind != ProfileItemKind::Setting || !offers(camera, item))
            continue;
        if (const std::optional<int> value = read.value(item.setting))
            profile.set(item, *value);
    }
    // A manual picture value means something only while its automatic master lets it; a value
    // the control itself would not take back (uvcvideo reads 0 from an auto-exposure of 1 and 3)
    // is left out.
    const std::vector<PictureControl> picture = session.pictureSettings().controls();
    std::vector<PictureControlInfo> described;
    for (const PictureControl &control : picture)
        described.push_back(control.info);
    for (const PictureControl &control : picture) {
        const ProfileItem *item = findProfileItem(control.name());
        if (!item || item->kind != ProfileItemKind::Picture || !control.value ||
            control.info.inactive || control.info.readOnly)
            continue;
        if (PictureSettings::check(control.info, *control.value, described).ok())
            profile.set(*item, *control.value);
    }
    // A position means something only while the camera does not frame itself, and pan and tilt
    // only in a zoomed picture.
    const CameraPosition &position = read.position;
    if (camera.offered.position && position.read &&
        read.value(CameraSetting::TrackingMode) == kTrackingOff) {
        profile.set(profileItemOf(CameraControlId::Zoom), position.zoom_percent);
        if (padMovesAtZoom(position.zoom_percent)) {
            profile.set(profileItemOf(CameraControlId::Pan), position.pan_deg);
            profile.set(profileItemOf(CameraControlId::Tilt), position.tilt_deg);
        }
    }
    return profile;
}

ApplyOutcome applyProfile(const Profile &profile, CameraSession &session,
                          const ProfileCamera &camera, const ApplyOptions &options) {
    ApplyOutcome whole;
    for (const ProfileItem &item : profileItems()) {
        if (const std::optional<int> value = profile.value(item)) {
            ItemOutcome outcome;
            outcome.item = &item;
            outcome.to = *value;
            whole.items.push_back(outcome);
        }
    }
    Applier applier(session, camera, options);
    applier.pass(whole.items);
    const auto microphone =
        std::find_if(whole.items.begin(), whole.items.end(),
                     [](const ItemOutcome &o) { return isMicrophone(*o.item); });
    if (microphone != whole.items.end()) {
        applier.applyMicrophone(*microphone, whole);
        // The camera came back at its home position with its picture at the defaults: the rest
        // again, writing only what it forgot.
        if (whole.restarted && options.reopenAfterRestart && !whole.cameraLost) {
            std::vector<ItemOutcome> again = whole.items;
            for (ItemOutcome &outcome : again)
                if (!isMicrophone(*outcome.item))
                    outcome = ItemOutcome{outcome.item, std::nullopt,          outcome.to,
                                          std::nullopt, ItemResult::Unchanged, QString()};
            applier.pass(again);
            merge(whole.items, again);
        }
    }
    qInfo().noquote() << "profile" << profile.name
                      << "applied:" << (whole.changed() ? "changed" : "unchanged")
                      << (whole.refused() ? "with refusals" : "");
    return whole;
}
