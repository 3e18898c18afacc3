// File names are bytes in the file system's encoding.
#include "upgrade/archiver.h"

#include <QFile>

#include <archive.h>

int openArchiveFile(archive *reader, const QString &path, int blockSize_bytes) {
    return archive_read_open_filename(reader, QFile::encodeName(path).constData(),
                                      static_cast<size_t>(blockSize_bytes));
}
