// The command line of cameracontrol-cli: the command, its arguments and the options, and the help
// texts of the program and of each command.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct Invocation {
    QString command;       // empty: none given
    QStringList arguments; // after the command, options removed
    bool json = false;
    bool yes = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    bool reset = false; // picture --reset
    bool check = false; // apply: compare only
    bool apply = false; // watch: apply each camera's connect profile
    bool none = false;  // profile connect: no connect profile
    std::optional<int> pan_deg;
    std::optional<int> tilt_deg;
    std::optional<int> zoom_percent;
};

// Parses the arguments (the program's name first). False with the reason in `error` for an
// unknown option, an option without its value or a value that is not a whole number.
bool parseCommandLine(const QStringList &arguments, Invocation &invocation, QString &error);
// Whether the command is one of the program's; the help text of the program (empty command) or
// of one command.
bool isKnownCommand(const QString &command);
QString helpText(const QString &command);
// The number of arguments the command takes at least and at most (CAMERA included), and whether
// it takes the options of ptz.
struct CommandShape {
    int minimumArguments = 0;
    int maximumArguments = 0;
    bool takesPosition = false;
};
CommandShape commandShape(const QString &command);
