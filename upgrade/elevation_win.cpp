// Windows: whether the process token is elevated (TokenElevation), and a new instance of this
// program started elevated through the shell's "runas" verb, which puts up the system's consent or
// credentials prompt.
#include "upgrade/elevation.h"

#include <QCoreApplication>
#include <QDir>

#include <windows.h>

#include <shellapi.h>

namespace {
class ElevatedToken final : public ElevationBackend {
public:
    bool canOpenVolumes() override {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return false;
        TOKEN_ELEVATION elevation = {};
        DWORD size = 0;
        const BOOL read =
            GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        CloseHandle(token);
        return read && elevation.TokenIsElevated != 0;
    }

    ElevationOutcome startElevated(const QStringList &arguments, QString &reason) override {
        const QString program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
        const QString parameters = windowsCommandLine(arguments);
        SHELLEXECUTEINFOW execute = {};
        execute.cbSize = sizeof execute;
        // Returns once the process is started, not when a DDE conversation would end.
        execute.fMask = SEE_MASK_NOASYNC;
        execute.lpVerb = L"runas";
        execute.lpFile = reinterpret_cast<LPCWSTR>(program.utf16());
        execute.lpParameters = reinterpret_cast<LPCWSTR>(parameters.utf16());
        execute.nShow = SW_SHOWNORMAL;
        if (ShellExecuteExW(&execute))
            return ElevationOutcome::Started;
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED)
            return ElevationOutcome::Declined;
        reason = QStringLiteral("ShellExecuteExW: error %1").arg(error);
        return ElevationOutcome::Failed;
    }
};
} // namespace

ElevationBackend &nativeElevationBackend() {
    static ElevatedToken backend;
    return backend;
}
