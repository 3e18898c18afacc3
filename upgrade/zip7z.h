// Unpacking of a firmware package (a zip archive) in the process, with libarchive. The class keeps
// the name it had when an external 7-Zip program did this work.
//
// A package comes from a file the user picked and is trusted with nothing: only regular files and
// folders with plain relative names are unpacked, within fixed limits, into a fresh folder of
// their own beside the output; only a package unpacked to its end is moved into the output
// directory, so a refused one leaves nothing behind.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>

class Zip7z : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxEntries = 4096;
    static constexpr qint64 kMaxEntrySize_bytes = 128LL * 1024 * 1024;
    static constexpr qint64 kMaxTotalSize_bytes = 512LL * 1024 * 1024;

    explicit Zip7z(QObject *parent = nullptr);

    // Nothing has to be put in place before unpacking. Always true.
    bool prepareTools();

    // Unpacks the archive into the output directory, overwriting what is there under the same
    // names. Returns an empty text when the whole package was unpacked, otherwise the reason it
    // was refused (also logged). `succeeded` (when given) says the same as a bool. A set `cancel`
    // flag stops the unpacking at its next block.
    QString extract(const QString &archivePath, const QString &outputDirectory,
                    bool *succeeded = nullptr, const std::atomic<bool> *cancel = nullptr);
};
