#include "upgrade/zip7z.h"

#include "upgrade/archiver.h"
#include "upgrade/packagepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtDebug>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {
constexpr int kBlock_bytes = 64 * 1024;
const char kCancelled[] = "cancelled";

struct ReaderDeleter {
    void operator()(archive *reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, ReaderDeleter>;

// What one pass has met so far.
struct Tally {
    int entries = 0;
    qint64 declared_bytes = 0;
    qint64 written_bytes = 0;
};

QString archiveError(archive *reader) {
    const char *text = archive_error_string(reader);
    return text ? QString::fromUtf8(text) : QStringLiteral("unreadable archive");
}

QString entryName(archive_entry *entry) {
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char *local = archive_entry_pathname(entry))
        return QString::fromLocal8Bit(local);
    return QString();
}

bool cancelled(const std::atomic<bool> *cancel) {
    return cancel && cancel->load();
}

// The entry's name (a folder's without its trailing slash) when its header is acceptable;
// otherwise an empty name and the reason.
QString checkHeader(archive_entry *entry, Tally &tally, bool &folder, QString &reason) {
    QString name = entryName(entry);
    const auto type = archive_entry_filetype(entry);
    folder = type == AE_IFDIR;
    if (folder && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    if (++tally.entries > Zip7z::kMaxEntries)
        reason = QStringLiteral("more than %1 entries").arg(Zip7z::kMaxEntries);
    else if (type == AE_IFLNK || archive_entry_symlink(entry) || archive_entry_hardlink(entry))
        reason = name + QStringLiteral(": a link");
    else if (type != AE_IFREG && !folder)
        reason = name + QStringLiteral(": a device, FIFO or socket");
    else if (!unsafeNameReason(name).isEmpty())
        reason = name + QStringLiteral(": ") + unsafeNameReason(name);
    else if (archive_entry_size_is_set(entry)) {
        const qint64 size = archive_entry_size(entry);
        tally.declared_bytes += size;
        if (size > Zip7z::kMaxEntrySize_bytes)
            reason =
                name + QStringLiteral(": larger than %1 bytes").arg(Zip7z::kMaxEntrySize_bytes);
        else if (tally.declared_bytes > Zip7z::kMaxTotalSize_bytes)
            reason = QStringLiteral("more than %1 bytes in all").arg(Zip7z::kMaxTotalSize_bytes);
    }
    return reason.isEmpty() ? name : QString();
}

// Writes the current entry's data to a new file; the count, not the header, holds the limits.
QString writeFile(archive *reader, const QString &path, Tally &tally, QByteArray &block,
                  const std::atomic<bool> *cancel) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("cannot create the folder of ") + path;
    QFile file(path);
    // NewOnly: a name given twice, or a file where a folder stands, is refused.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return path + QStringLiteral(": ") + file.errorString();
    qint64 entry_bytes = 0;
    for (;;) {
        if (cancelled(cancel))
            return QString::fromLatin1(kCancelled);
        const auto read =
            archive_read_data(reader, block.data(), static_cast<size_t>(block.size()));
        if (read < 0)
            return archiveError(reader);
        if (read == 0)
            return QString();
        entry_bytes += read;
        tally.written_bytes += read;
        if (entry_bytes > Zip7z::kMaxEntrySize_bytes)
            return path +
                   QStringLiteral(": holds more than %1 bytes").arg(Zip7z::kMaxEntrySize_bytes);
        if (tally.written_bytes > Zip7z::kMaxTotalSize_bytes)
            return QStringLiteral("holds more than %1 bytes in all")
                .arg(Zip7z::kMaxTotalSize_bytes);
        if (file.write(block.constData(), read) != read)
            return path + QStringLiteral(": ") + file.errorString();
    }
}

// One pass over the archive: the headers only when `staging` is empty, else every entry written
// below `staging`. An empty text when the whole archive passed, otherwise the reason.
QString pass(const QString &archivePath, const QString &staging, const std::atomic<bool> *cancel) {
    // A FIFO or a device would block or never end.
    if (!QFileInfo(archivePath).isFile())
        return QStringLiteral("not a regular file");
    Reader reader(archive_read_new());
    archive_read_support_format_zip(reader.get());
    if (openArchiveFile(reader.get(), archivePath, kBlock_bytes) != ARCHIVE_OK)
        return archiveError(reader.get());
    Tally tally;
    QByteArray block(kBlock_bytes, Qt::Uninitialized);
    for (;;) {
        if (cancelled(cancel))
            return QString::fromLatin1(kCancelled);
        archive_entry *entry = nullptr;
        const int result = archive_read_next_header(reader.get(), &entry);
        if (result == ARCHIVE_EOF)
            return QString();
        // A warning here means the headers contradict each other: the package is not trusted.
        if (result != ARCHIVE_OK)
            return archiveError(reader.get());
        QString reason;
        bool folder = false;
        const QString name = checkHeader(entry, tally, folder, reason);
        if (name.isEmpty())
            return reason;
        if (staging.isEmpty())
            continue; // the next header skips the data
        const QString path = staging + QLatin1Char('/') + name;
        if (folder)
            reason = QDir().mkpath(path) ? QString() : QStringLiteral("cannot create ") + path;
        else
            reason = writeFile(reader.get(), path, tally, block, cancel);
        if (!reason.isEmpty())
            return reason;
    }
}

// Moves the unpacked entries into the output directory, replacing what has their names.
QString moveInto(const QString &staging, const QString &outputDirectory) {
    const QStringList names = QDir(staging).entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString target = QDir(outputDirectory).filePath(name);
        const QFileInfo existing(target);
        if (existing.isDir() && !existing.isSymLink())
            QDir(target).removeRecursively();
        else if (existing.exists() || existing.isSymLink())
            QFile::remove(target);
        if (!QDir().rename(QDir(staging).filePath(name), target))
            return QStringLiteral("cannot move ") + name + QStringLiteral(" into place");
    }
    return QString();
}
} // namespace

Zip7z::Zip7z(QObject *parent)
    : QObject(parent) {}

bool Zip7z::prepareTools() {
    return true;
}

QString Zip7z::extract(const QString &archivePath, const QString &outputDirectory, bool *succeeded,
                       const std::atomic<bool> *cancel) {
    if (succeeded)
        *succeeded = false;
    prepareTools();
    // The headers first: a package refused by what it declares costs no writing at all.
    QString reason = pass(archivePath, QString(), cancel);
    if (reason.isEmpty()) {
        QTemporaryDir staging(QDir(outputDirectory).filePath(QStringLiteral(".unpacking-XXXXXX")));
        if (!staging.isValid())
            reason = QStringLiteral("cannot create a folder in ") + outputDirectory;
        else
            reason = pass(archivePath, staging.path(), cancel);
        if (reason.isEmpty())
            reason = moveInto(staging.path(), outputDirectory);
    }
    if (!reason.isEmpty()) {
        qWarning().noquote() << "package not unpacked:" << QFileInfo(archivePath).fileName() << "-"
                             << reason;
        return reason;
    }
    if (succeeded)
        *succeeded = true;
    return QString();
}
