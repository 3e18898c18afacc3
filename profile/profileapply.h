// Taking a profile from an open camera, and bringing a camera to a profile: in the order the
// camera takes the items (see profileItems()), writing only what differs from what the camera
// reports, reading each item back, and saying for each what became of it.
#pragma once

#include "control/camerasession.h"
#include "profile/profile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// What the camera offers and what it is called, as the page narrows it.
struct ProfileCamera {
    ModelControls offered;
    QString model; // the catalogue's model name; empty: unknown
};

// What the model offers now (effect and speed only in Auto Framing, a position only while
// tracking is off), read from the open camera.
Profile takeProfile(CameraSession &session, const ProfileCamera &camera, const QString &name);

enum class ItemResult { Unchanged, Changed, WouldChange, Refused, NotOffered };
// "unchanged", "changed", "would change", "refused", "not offered"
const char *itemResultName(ItemResult result);

struct ItemOutcome {
    const ProfileItem *item = nullptr;
    std::optional<int> from; // what the camera reported before; empty: no answer
    int to = 0;              // what the profile says
    std::optional<int> now;  // what the camera reports after; empty: no answer (or not asked)
    ItemResult result = ItemResult::Unchanged;
    QString note; // why it was refused or not offered
};

struct ApplyOutcome {
    std::vector<ItemOutcome> items; // the profile's items, in apply order
    bool restarted = false;         // the microphone changed and the camera restarted
    bool cameraLost = false;        // it did not come back after the restart (or not yet)
    // Whether anything was (or, checked, would be) written; whether an item was refused.
    bool changed() const;
    bool refused() const;
    // The items of another model's profile that this one does not offer.
    QStringList leftOut() const;
};

struct ApplyOptions {
    bool check = false; // read and compare only: nothing is written
    // Run after a microphone change restarts the camera: waits for it to come back and opens the
    // session again; false when it did not come back. Without one the apply ends with the
    // microphone, and whoever opens the camera again applies the rest (the window does so).
    std::function<bool()> reopenAfterRestart;
};

ApplyOutcome applyProfile(const Profile &profile, CameraSession &session,
                          const ProfileCamera &camera, const ApplyOptions &options = {});
