// Raw access to a camera's updater disk (the firmware upgrade, the recovery) needs administrator
// rights on Windows; everything else (settings, preview, pan/tilt/zoom) runs with the user's own.
// A program without them hands an upgrade or a recovery over to an elevated instance of itself,
// with what the user chose as its arguments, and the elevated instance carries on from there.
#pragma once

#include <QString>
#include <QStringList>

enum class ElevationOutcome {
    Started,  // the elevated instance runs
    Declined, // the user said no at the system's prompt
    Failed,   // it could not be started
};

class ElevationBackend {
public:
    virtual ~ElevationBackend() = default;
    // Whether this process may open a camera's updater disk for reading and writing.
    virtual bool canOpenVolumes() = 0;
    // Starts this program again with administrator rights and `arguments`; the system asks the
    // user. On Failed, `reason` says why in the system's words.
    virtual ElevationOutcome startElevated(const QStringList &arguments, QString &reason) = 0;
};

// The installed back end. Without one, a process that may open volumes and never elevates (the
// simulated camera's disk needs no rights).
ElevationBackend &elevationBackend();
void installElevationBackend(ElevationBackend *backend);
// The operating system's back end (in the native library). On Linux the rights come from the
// device nodes' permissions: it always may open them, as far as elevation goes.
ElevationBackend &nativeElevationBackend();

// What an elevated instance is asked to do on start.
struct HandOver {
    enum class Kind { None, Upgrade, Recover };
    Kind kind = Kind::None;
    QString package;  // the firmware package (zip) the user chose, absolute
    QString cameraId; // the camera's device id; upgrade only
};

// The program arguments that carry a hand-over ("--upgrade PACKAGE --camera ID" or
// "--recover PACKAGE"), and back: arguments that carry none, or carry it malformed, give None.
// `arguments` holds the program's arguments without the program itself.
QStringList handOverArguments(const HandOver &handOver);
HandOver handOverFromArguments(const QStringList &arguments);

// One command line as Windows programs split it (CommandLineToArgvW): each argument quoted
// where it must be, with backslashes doubled before a quote.
QString windowsCommandLine(const QStringList &arguments);
