#include "cli/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include <vector>

namespace {
struct CommandHelp {
    const char *name;
    CommandShape shape;
    const char *usage;
    const char *text;
};

const std::vector<CommandHelp> &commands() {
    static const std::vector<CommandHelp> table = {
        {"list",
         {0, 0, false},
         "list",
         "The cameras of the configured vendor as the window lists them (name, friendly name,\n"
         "device id, model, USB ids, node), and a camera found in an updater stage, with its\n"
         "stage.\n\nExample: cameracontrol-cli list --json"},
        {"info",
         {0, 1, false},
         "info [CAMERA]",
         "Model, firmware version, every setting of the Control page and pan, tilt and zoom,\n"
         "read as the window reads them when it opens the camera (tracking effect and speed only\n"
         "in Auto Framing).\n\nExample: cameracontrol-cli info 1"},
        {"get",
         {1, 2, false},
         "get NAME [CAMERA]",
         "One setting, or one picture control, as the camera reports it.\n\n"
         "Example: cameracontrol-cli get anti-flicker"},
        {"set",
         {2, 3, false},
         "set NAME VALUE [CAMERA]",
         "Writes one setting and reads it back. VALUE is a label of the setting's table (\"Auto\n"
         "Framing\", \"50Hz\", \"Enable\", any case) or one of its raw values; a picture control\n"
         "takes a number within its range and step, a menu entry's label, or on/off. A value\n"
         "outside is refused, never clamped; so is a manual value while its automatic control\n"
         "is on (the message names it). Tracking effect\n"
         "and speed are taken only in Auto Framing. A microphone change restarts the camera; the\n"
         "program waits for it to come back.\n\n"
         "Example: cameracontrol-cli set tracking-mode \"Auto Framing\" \"ZENTA 320\""},
        {"picture",
         {0, 1, false},
         "picture [--reset] [CAMERA]",
         "The picture controls the camera offers (brightness, contrast, white balance, exposure\n"
         "and the rest), each with its value, range, step, default and state; a manual control\n"
         "is inactive while its automatic control is on. --reset first writes the camera's\n"
         "defaults. The camera comes back with its defaults after every restart.\n\n"
         "Example: cameracontrol-cli picture --json"},
        {"restore-defaults",
         {0, 1, false},
         "restore-defaults [--yes] [CAMERA]",
         "Restores the camera's factory settings; the camera restarts and the program waits for\n"
         "it to come back. Asks first on a terminal; --yes answers for you.\n\n"
         "Example: cameracontrol-cli restore-defaults --yes 2"},
        {"ptz",
         {0, 1, true},
         "ptz [--pan DEG] [--tilt DEG] [--zoom PERCENT] [CAMERA]",
         "Moves the camera within the window's limits: pan and tilt -30..30 degrees, zoom\n"
         "100..800 per cent. Values outside are refused. As in the window, the camera must not\n"
         "be tracking (tracking-mode Off), and pan and tilt move a zoomed picture only (zoom\n"
         "above 100).\n\nExample: cameracontrol-cli ptz --zoom 200 --pan -10 --tilt 5"},
        {"upgrade",
         {1, 2, false},
         "upgrade [--yes] PACKAGE.zip [CAMERA]",
         "Checks the firmware package as the window does (layout, model file, the camera's\n"
         "model), asks first on a terminal (--yes answers for you), upgrades the camera and waits\n"
         "for it to come back. Progress goes to standard error.\n\n"
         "Example: cameracontrol-cli upgrade --yes firmware-2.0.0.zip 1"},
        {"recover",
         {1, 1, false},
         "recover [--yes] PACKAGE.zip",
         "Upgrades a camera that was left in an updater stage (see list), with any package laid\n"
         "out as one.\n\nExample: cameracontrol-cli recover --yes firmware-2.0.0.zip"},
        {"watch",
         {0, 0, false},
         "watch [--apply]",
         "Prints each camera that is plugged in or pulled out, and each camera found in an\n"
         "updater stage, one line (one JSON object with --json) each, until interrupted. With\n"
         "--apply, each camera's connect profile (see profile connect) is applied to it when it\n"
         "connects and when watch starts, and each application is printed too.\n\n"
         "Example: cameracontrol-cli watch --apply --json"},
        {"profile",
         {1, 3, false},
         "profile list | show NAME | save NAME [CAMERA] | delete NAME | export NAME |\n"
         "          connect NAME [CAMERA] | connect --none [CAMERA]",
         "The saved profiles: a camera's settings, pan, tilt and zoom, as far as its model\n"
         "offers them. save takes them from the camera; export writes the profile's JSON to\n"
         "standard output; connect chooses the profile applied whenever that camera connects\n"
         "(the same choice as the window's \"Apply when this camera connects\"), --none\n"
         "chooses none. Profiles are kept in ~/.config/cameracontrol/profiles.\n\n"
         "Example: cameracontrol-cli profile save \"Room 4\" 1"},
        {"apply",
         {1, 2, false},
         "apply [--check] NAME|FILE [CAMERA]",
         "Brings the camera to a profile: a saved one by its NAME, or a FILE (a name ending in\n"
         ".json or holding a path). Only what differs from what the camera reports is written,\n"
         "in an order the camera takes (the microphone last: a change of it restarts the\n"
         "camera, which is waited for, and what it forgot is applied again). Each item is read\n"
         "back and reported: unchanged, changed, refused, not offered. --check only says what\n"
         "would change and writes nothing. Exit code 0 when the camera ends as the profile\n"
         "says, 5 when an item was refused, 2 for a damaged or unknown profile.\n\n"
         "Example: cameracontrol-cli apply --json room.json"},
    };
    return table;
}

const CommandHelp *findCommand(const QString &name) {
    for (const CommandHelp &command : commands())
        if (name == QLatin1String(command.name))
            return &command;
    return nullptr;
}

const char kProgramHelp[] =
    "Usage: cameracontrol-cli [--json] [--verbose] COMMAND [ARGUMENTS]\n"
    "\n"
    "Sets up and upgrades the cameras of the family from a script.\n"
    "\n"
    "Commands:\n"
    "%1"
    "\n"
    "NAME, a setting: tracking-mode, tracking-effect, tracking-speed, anti-flicker,\n"
    "  microphone, hdr; or a picture control the camera offers (see picture): brightness,\n"
    "  white-balance-automatic, white-balance-temperature, auto-exposure, exposure-time, ...\n"
    "CAMERA: a position in the list (1, 2, ...), a device id, or a part of the camera's name;\n"
    "  may be left out when one camera is present.\n"
    "\n"
    "Options:\n"
    "  --json      one JSON document on standard output (one object a line for watch)\n"
    "  --yes       answer the question of restore-defaults, upgrade and recover\n"
    "  --reset     picture: write the camera's default picture first\n"
    "  --check     apply: say what would change, write nothing\n"
    "  --apply     watch: apply each camera's connect profile when it connects\n"
    "  --none      profile connect: no connect profile for the camera\n"
    "  --verbose   also copy the log's messages to standard error\n"
    "  --help      this text; COMMAND --help: the command's\n"
    "  --version   the program's version\n"
    "\n"
    "Exit codes: 0 done, 1 declined or failed otherwise, 2 bad arguments, 3 no such camera,\n"
    "4 camera busy or not permitted, 5 setting refused or not confirmed, 6 package refused,\n"
    "7 upgrade failed. The log is ~/.cameracontrol/cameracontrol.log.\n";
} // namespace

bool parseCommandLine(const QStringList &arguments, Invocation &invocation, QString &error) {
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption reset(QStringLiteral("reset"));
    const QCommandLineOption check(QStringLiteral("check"));
    const QCommandLineOption apply(QStringLiteral("apply"));
    const QCommandLineOption none(QStringLiteral("none"));
    const QCommandLineOption pan(QStringLiteral("pan"), QString(), QStringLiteral("DEG"));
    const QCommandLineOption tilt(QStringLiteral("tilt"), QString(), QStringLiteral("DEG"));
    const QCommandLineOption zoom(QStringLiteral("zoom"), QString(), QStringLiteral("PERCENT"));
    parser.addOptions(
        {json, yes, verbose, help, version, reset, check, apply, none, pan, tilt, zoom});
    // QCommandLineParser reads "-10" as the options "1" and "0": a negative number that is not
    // the value of --pan, --tilt or --zoom is marked as an argument, and unmarked after parsing.
    const QChar negativeMark(0x2212); // the minus sign
    QStringList marked = arguments;
    for (int i = 1; i < marked.size(); ++i) {
        const QString &argument = marked.at(i);
        if (argument == QLatin1String("--pan") || argument == QLatin1String("--tilt") ||
            argument == QLatin1String("--zoom")) {
            ++i; // its value, which the parser reads as such
        } else if (argument == QLatin1String("--")) {
            break;
        } else if (QRegularExpression(QStringLiteral("^-\\d+$")).match(argument).hasMatch()) {
            marked[i] = negativeMark + argument.mid(1);
        }
    }
    if (!parser.parse(marked)) {
        error = parser.errorText();
        return false;
    }
    invocation.json = parser.isSet(json);
    invocation.yes = parser.isSet(yes);
    invocation.verbose = parser.isSet(verbose);
    invocation.help = parser.isSet(help);
    invocation.version = parser.isSet(version);
    invocation.reset = parser.isSet(reset);
    invocation.check = parser.isSet(check);
    invocation.apply = parser.isSet(apply);
    invocation.none = parser.isSet(none);
    const std::pair<const QCommandLineOption *, std::optional<int> *> axes[] = {
        {&pan, &invocation.pan_deg},
        {&tilt, &invocation.tilt_deg},
        {&zoom, &invocation.zoom_percent}};
    for (const auto &axis : axes) {
        if (!parser.isSet(*axis.first))
            continue;
        bool isNumber = false;
        const QString text = parser.value(*axis.first);
        const int value = text.toInt(&isNumber, 10);
        if (!isNumber) {
            error = QStringLiteral("--%1 takes a whole number, not \"%2\".")
                        .arg(axis.first->names().constFirst(), text);
            return false;
        }
        *axis.second = value;
    }
    QStringList positional = parser.positionalArguments();
    for (QString &argument : positional)
        if (argument.startsWith(negativeMark))
            argument[0] = QLatin1Char('-');
    if (!positional.isEmpty())
        invocation.command = positional.takeFirst();
    invocation.arguments = positional;
    return true;
}

bool isKnownCommand(const QString &command) {
    return findCommand(command) != nullptr;
}

CommandShape commandShape(const QString &command) {
    const CommandHelp *found = findCommand(command);
    return found ? found->shape : CommandShape();
}

QString helpText(const QString &command) {
    if (const CommandHelp *found = findCommand(command)) {
        return QStringLiteral("Usage: cameracontrol-cli [--json] %1\n\n%2\n")
            .arg(QLatin1String(found->usage), QLatin1String(found->text));
    }
    QString list;
    for (const CommandHelp &entry : commands())
        list += QStringLiteral("  %1\n").arg(QLatin1String(entry.usage));
    return QString::fromLatin1(kProgramHelp).arg(list);
}
