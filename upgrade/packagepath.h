// Names inside an unpacked firmware package. The unpacking and the upgrade script share one rule
// for a name that has to stay inside the package folder, whatever system the package was made on
// and whatever system reads it.
#pragma once

#include <QString>

// Why `name` is not a plain relative name below a folder; an empty string when it is one. Refused:
// an empty name; absolute names ("/x", "//server/x"); any backslash or colon (drive letters such
// as "C:x", alternate data streams); control characters; empty, "." and ".." parts; and the
// device names of Windows ("nul", "con.txt"), which name a device there whatever the folder.
QString unsafeNameReason(const QString &name);

// The path of `name` inside `directory`, or an empty string with the reason in `reason` when the
// name is not safe or when the path that exists leads out of the folder (through a link that
// someone else put there).
QString resolveInsideFolder(const QString &directory, const QString &name, QString *reason);
