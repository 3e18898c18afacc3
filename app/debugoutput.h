// The two platform calls of the log: the debugger channel and the rename that replaces its target.
#pragma once

#include <QString>

// Sends one finished line (already ending in "\r\n") to the debugger output.
void writeDebuggerLine(const QString &line);
// Renames `from` to `to` in one step, replacing an existing `to`. Returns false when it failed.
bool replacingRename(const QString &from, const QString &to);
