// The firmware package as unpacked into its private folder: cleaning what an earlier package
// left, checking the layout, and finding the camera model the firmware was built for. Every name
// is taken relative to a package directory, the private folder unless a caller (a test) gives
// another.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

// Where packages are unpacked: "firmware" in the user's own application data folder, never the
// program's folder, which may be read-only and holds the program's own files.
QString packageDirectory();

// Entries of an unpacked package.
extern const char kUpgradeScriptName[];   // "auto_update.txt"
extern const char kBootLoaderImageName[]; // "u-boot.bin"
extern const char kUpdaterImageName[];    // "usb_updater.bin"

// Entries removed before a package is unpacked, in the order of removal.
QStringList packageCleaningList();

// False for an empty path; otherwise whether anything (also a dangling symbolic link) has that
// name.
bool pathExists(const QString &path);
// Deletes a file, a symbolic link (never what it points to) or a directory with everything in it.
// False for an empty path or one that does not exist.
bool removePath(const QString &path);
// Removes the entries of packageCleaningList() that exist. Always true.
bool cleanPackageFiles(const QString &directory = packageDirectory());
// Empties the package folder before the next package: the cleaning list, then every other entry
// but the updater image (and `keep`, the package file itself should it lie there), so that no
// file of an earlier package can be read in place of one the new package lacks.
void removeEarlierPackage(const QString &directory, const QString &keep = QString());
// The script, "boot", "scripts", "kernel" and one of the two model files are present, and no entry
// of the package is, or holds, a symbolic link.
bool checkPackageLayout(const QString &directory = packageDirectory());
// Searches the model file ("miservice.ubifs", else "model.dat") for a model name. True with the
// model index (0..3) set when one is found; `model` is untouched otherwise.
bool detectFirmwareModel(int &model, const QString &directory = packageDirectory());

enum class PackageOutcome {
    Ready,        // layout checked and model found
    BadLayout,    // not unpacked completely, or the layout check failed
    UnknownModel, // no model name in the model file
    Cancelled,    // the unpacking was cancelled before its end; nothing of it is left
};

// Writes the first line of the package sequence ("app dir:"), before the package is chosen.
void logPackageDirectory(const QString &directory = packageDirectory());
// The rest of the sequence for a chosen package: log its name, clean, unpack, check the layout
// and detect the model ("firmware file model:" on success). A package that was not unpacked to
// its end leaves nothing and is refused as badly formed. A set `cancel` flag stops the unpacking
// (Cancelled). Blocks for the whole unpacking: the window runs it on a thread of its own.
// `reason`, when given, receives why a package was refused (empty when it is Ready).
PackageOutcome preparePackage(const QString &packagePath, int &model,
                              const QString &directory = packageDirectory(),
                              const std::atomic<bool> *cancel = nullptr, QString *reason = nullptr);
