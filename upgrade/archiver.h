// The archive reader's side that differs between the systems: how a package file is opened for
// libarchive, which takes file names in the system's own form.
#pragma once

#include <QString>

struct archive;

// Opens the file for `reader`, reading in blocks of `blockSize_bytes`. libarchive's result code
// (ARCHIVE_OK on success, the reason in archive_error_string()).
int openArchiveFile(archive *reader, const QString &path, int blockSize_bytes);
