// The firmware package as unpacked into the application directory: cleaning what an earlier
// package left, checking the layout, and finding the camera model the firmware was built for.
// Every name is taken relative to a package directory, the program's directory unless a caller
// (a test) gives another.
#pragma once

#include <QString>
#include <QStringList>

// The program's directory, where packages are unpacked.
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
};

// Writes the first line of the package sequence ("app dir:"), before the package is chosen.
void logPackageDirectory(const QString &directory = packageDirectory());
// The rest of the sequence for a chosen package: log its name, clean, unpack, check the layout
// and detect the model ("firmware file model:" on success). A package that the archiver did not
// unpack to its end is cleaned away again and refused as badly formed.
PackageOutcome preparePackage(const QString &packagePath, int &model,
                              const QString &directory = packageDirectory());
