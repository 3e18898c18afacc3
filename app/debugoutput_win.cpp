#include "app/debugoutput.h"

#include <windows.h>

void writeDebuggerLine(const QString &line) {
    OutputDebugStringW(reinterpret_cast<const wchar_t *>(line.utf16()));
}

bool replacingRename(const QString &from, const QString &to) {
    return MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()),
                       reinterpret_cast<const wchar_t *>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
}
