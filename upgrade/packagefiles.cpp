#include "upgrade/packagefiles.h"

#include "device/catalogue.h"
#include "upgrade/zip7z.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtDebug>

#include <cstdio>
#include <cstring>

const char kUpgradeScriptName[] = "auto_update.txt";
const char kBootLoaderImageName[] = "u-boot.bin";
const char kUpdaterImageName[] = "usb_updater.bin";

namespace {
constexpr int kModelBufferSize = 5 * 1024 * 1024;
// Start positions 0 .. kModelBufferSize - 21 are searched.
constexpr int kLastModelPosition = 5242859;

bool isLink(const QFileInfo &info) {
    return info.isSymLink() || info.isJunction();
}

// Whether the entry is a link or a directory holding one anywhere below it.
bool holdsLink(const QString &path) {
    const QFileInfo info(path);
    if (isLink(info))
        return true;
    if (!info.isDir())
        return false;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (isLink(it.fileInfo()))
            return true;
    }
    return false;
}

QString entryPath(const QString &directory, const QString &name) {
    return QStringLiteral("%1/%2").arg(directory, name);
}

// First start position at which the pattern matches, the byte at `skip` (or none, -1) accepted
// whatever it is.
bool findPattern(const QByteArray &buffer, const char *pattern, int skip) {
    const int length = static_cast<int>(std::strlen(pattern));
    const char *data = buffer.constData();
    const char *const end = data + kLastModelPosition + 1;
    // The buffer is mostly filler: memchr skips to each candidate instead of looking at every
    // byte (the search otherwise took seconds under a fuzzer's instrumentation).
    for (const char *at = data; at < end; ++at) {
        at = static_cast<const char *>(std::memchr(at, pattern[0], std::size_t(end - at)));
        if (!at)
            return false;
        bool match = true;
        for (int i = 1; i < length && match; ++i)
            match = i == skip || at[i] == pattern[i];
        if (match)
            return true;
    }
    return false;
}
} // namespace

QString packageDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/firmware");
}

QStringList packageCleaningList() {
    return {QString::fromLatin1(kUpgradeScriptName),
            QStringLiteral("boot"),
            QStringLiteral("scripts"),
            QStringLiteral("kernel"),
            QStringLiteral("cis.bin"),
            QString::fromLatin1(kBootLoaderImageName),
            kPackageImageName,
            kPackageModelFileName};
}

bool pathExists(const QString &path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || isLink(info);
}

bool removePath(const QString &path) {
    if (!pathExists(path))
        return false;
    const QFileInfo info(path);
    if (isLink(info)) {
        // The link itself; a directory link must not be walked into.
        return QFile::remove(path) || QDir().rmdir(path);
    }
    if (info.isDir())
        return QDir(path).removeRecursively(); // removes links inside as links
    return QFile::remove(path);
}

bool cleanPackageFiles(const QString &directory) {
    const QStringList names = packageCleaningList();
    for (const QString &name : names) {
        const QString path = entryPath(directory, name);
        if (pathExists(path))
            removePath(path);
    }
    // The updater image is kept for the next package unless it is a link, which no package may
    // bring and which would make every later package fail the layout check.
    const QString updater = entryPath(directory, QString::fromLatin1(kUpdaterImageName));
    if (isLink(QFileInfo(updater)))
        removePath(updater);
    return true;
}

void removeEarlierPackage(const QString &directory, const QString &keep) {
    cleanPackageFiles(directory);
    const QString kept = QFileInfo(keep).absoluteFilePath();
    const QFileInfoList entries = QDir(directory).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName() == QLatin1String(kUpdaterImageName) && !isLink(entry))
            continue;
        if (entry.absoluteFilePath() != kept)
            removePath(entry.absoluteFilePath());
    }
}

bool checkPackageLayout(const QString &directory) {
    for (const char *name : {kUpgradeScriptName, "boot", "scripts", "kernel"}) {
        if (!pathExists(entryPath(directory, QString::fromLatin1(name))))
            return false;
    }
    if (!pathExists(entryPath(directory, kPackageImageName)) &&
        !pathExists(entryPath(directory, kPackageModelFileName)))
        return false;
    // What the script and the worker read must be the package's own files, not links into the
    // rest of the system.
    QStringList entries = packageCleaningList();
    entries << QString::fromLatin1(kUpdaterImageName);
    for (const QString &name : entries) {
        const QString path = entryPath(directory, name);
        if (pathExists(path) && holdsLink(path)) {
            qWarning().noquote() << "package entry is a symbolic link:" << name;
            return false;
        }
    }
    return true;
}

bool detectFirmwareModel(int &model, const QString &directory) {
    QString path = entryPath(directory, kPackageImageName);
    qDebug().noquote() << "model file:" << path;
    if (!QFileInfo::exists(path)) {
        qWarning().noquote() << "model file:" << path << "does not exist.";
        path = entryPath(directory, kPackageModelFileName);
        if (!QFileInfo::exists(path)) {
            qWarning().noquote() << "model file:" << path << "does not exist.";
            return false;
        }
    }

    QByteArray buffer(kModelBufferSize, '\0');
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fputs("can't open file\n", stdout);
        std::fflush(stdout);
        return false;
    }
    // Block after block into the start of the buffer: a larger file leaves its last block there,
    // over the tail of the block before it.
    while (file.read(buffer.data(), kModelBufferSize) > 0) {
    }
    file.close();

    // One pass per model, in catalogue order: an earlier pass wins wherever its name stands.
    struct Pass {
        const char *pattern;
        int skip;
        int model;
    };
    const Pass passes[] = {
        {"QX-M30-000", -1, 0},
        {"ZENTA 310", 5, 1},
        {"ZENTA 320", 5, 2},
        {"ZENTA 325", 5, 3},
    };
    for (const Pass &pass : passes) {
        if (findPattern(buffer, pass.pattern, pass.skip)) {
            model = pass.model;
            return true;
        }
    }
    return false;
}

void logPackageDirectory(const QString &directory) {
    qInfo().noquote() << "app dir:" << directory;
}

PackageOutcome preparePackage(const QString &packagePath, int &model, const QString &directory,
                              const std::atomic<bool> *cancel, QString *reason) {
    const auto refused = [reason](PackageOutcome outcome, const QString &why) {
        if (reason)
            *reason = why;
        return outcome;
    };
    qInfo().noquote() << "upgrade file:" << QFileInfo(packagePath).fileName();
    // Private to the user: what lies here is sent to the camera.
    QDir().mkpath(directory);
    QFile::setPermissions(directory,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    removeEarlierPackage(directory, packagePath);
    bool unpacked = false;
    Zip7z archiver;
    const QString unpackRefusal = archiver.extract(packagePath, directory, &unpacked, cancel);
    if (!unpacked) {
        if (cancel && cancel->load()) {
            qInfo("package unpacking cancelled");
            return refused(PackageOutcome::Cancelled,
                           QStringLiteral("the unpacking was cancelled"));
        }
        return refused(PackageOutcome::BadLayout, unpackRefusal);
    }
    if (!checkPackageLayout(directory))
        return refused(PackageOutcome::BadLayout,
                       QStringLiteral("an entry of a firmware package is missing, or an entry is "
                                      "a symbolic link"));
    if (!detectFirmwareModel(model, directory))
        return refused(PackageOutcome::UnknownModel,
                       QStringLiteral("its model file names no known model"));
    qDebug() << "firmware file model:" << model;
    return PackageOutcome::Ready;
}
