// File names are UTF-16; the wide form of the call reaches every name that Windows can hold.
#include "upgrade/archiver.h"

#include <QDir>

#include <archive.h>

#include <string>

int openArchiveFile(archive *reader, const QString &path, int blockSize_bytes) {
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    return archive_read_open_filename_w(reader, name.c_str(), static_cast<size_t>(blockSize_bytes));
}
