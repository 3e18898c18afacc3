// The package sequence that every upgrade starts with, and the judgement of its outcome: the
// window's upgrade button, the offer for a camera stuck in an updater stage and the command-line
// program run the same steps and refuse the same packages. The judgement is a verdict with its
// reason; the window and the command line each say it in their own form.
#pragma once

#include <QString>

#include <functional>

class PackageJob;

// Asks for a firmware package: the chosen path, or an empty one when the choice was cancelled.
using PackageFileChooser = std::function<QString()>;

enum class PackageSequenceOutcome {
    Cancelled,       // no package was chosen; nothing was touched
    BadLayout,       // not unpacked completely, or not laid out as a package
    UnknownModel,    // laid out as a package, but its model file names no known model
    Ready,           // laid out as a package, `model` set
    UnpackCancelled, // the unpacking was cancelled (the window is closing); nothing of it is left
};

// What the package sequence tells the one who runs it.
struct PackageSequenceHooks {
    // The sequence begins (the window holds back its watcher's searches from here on).
    std::function<void()> started;
    // The package is being unpacked by `job`, and once that has ended, null: the window cancels
    // the job when it is closed meanwhile.
    std::function<void(PackageJob *job)> unpacking;
};

struct PackageSequenceResult {
    PackageSequenceOutcome outcome = PackageSequenceOutcome::Cancelled;
    int model = -1; // the package's model index when Ready
    // Why the package was not made ready, in the words of the step that refused it ("the archive
    // holds a symbolic link", "its model file names no known model"); empty when it is Ready.
    QString reason;
};

// Notes the package directory, asks for the package, cleans what an earlier package left, unpacks
// the new one and checks it. The unpacking runs on a thread of its own while an event loop here
// keeps serving events (user input waits until it ends). An empty directory means the private
// package folder.
PackageSequenceResult runPackageSequence(const PackageFileChooser &chooser,
                                         const QString &directory,
                                         const PackageSequenceHooks &hooks = {});

enum class PackageVerdict {
    Accepted,
    Cancelled,       // no package was chosen
    UnpackCancelled, // the unpacking was cancelled
    BadLayout,       // not laid out as a package
    Corrupted,       // laid out as one, but of no known model
    OtherModel,      // of another model than the camera's
};

// A package for the open camera: laid out as a package, of a known model, and of the camera's
// model (by its friendly name; ModelIndexNone matches no package).
PackageVerdict judgePackageForCamera(PackageSequenceOutcome outcome, int packageModel,
                                     int cameraModel);
// A package for a camera stuck in an updater stage, which cannot tell its model: any package that
// is laid out as one.
PackageVerdict judgePackageForStuckCamera(PackageSequenceOutcome outcome);
// The refusal in one plain, untranslated sentence ("The firmware file is corrupted."), as the
// command line and the log tell it; empty for the verdicts that refuse nothing.
QString packageVerdictSentence(PackageVerdict verdict);
