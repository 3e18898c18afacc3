// cameracontrol-cli: every camera task of the window from a script. The same libraries as the
// window, without widgets; the device back ends are the system's (or, in cameracontrol-cli-sim,
// the simulated cameras).
#include "app/logging.h"
#include "buildconfig.h"
#include "cli/backends.h"
#include "cli/commands.h"
#include "upgrade/massstorage.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QtDebug>

#include <map>

namespace {
using CommandFunction = CommandResult (*)(CommandContext &);

const std::map<QString, CommandFunction> &commandFunctions() {
    static const std::map<QString, CommandFunction> functions = {
        {QStringLiteral("list"), runList},
        {QStringLiteral("info"), runInfo},
        {QStringLiteral("get"), runGet},
        {QStringLiteral("set"), runSet},
        {QStringLiteral("picture"), runPicture},
        {QStringLiteral("restore-defaults"), runRestoreDefaults},
        {QStringLiteral("ptz"), runPtz},
        {QStringLiteral("upgrade"), runUpgrade},
        {QStringLiteral("recover"), runRecover},
        {QStringLiteral("watch"), runWatch},
        {QStringLiteral("profile"), runProfile},
        {QStringLiteral("apply"), runApply},
    };
    return functions;
}

// The arguments against the command's shape; a refusal when they do not fit it.
std::optional<CommandResult> checkShape(const Invocation &invocation) {
    if (invocation.command.isEmpty())
        return failure(ExitCode::BadArguments,
                       QStringLiteral("No command given (cameracontrol-cli --help)."));
    if (!isKnownCommand(invocation.command))
        return failure(ExitCode::BadArguments,
                       QStringLiteral("There is no command \"%1\" (cameracontrol-cli --help).")
                           .arg(invocation.command));
    const CommandShape shape = commandShape(invocation.command);
    const int count = invocation.arguments.size();
    if (count < shape.minimumArguments || count > shape.maximumArguments) {
        const QString takes =
            shape.minimumArguments == shape.maximumArguments
                ? QStringLiteral("%1 argument(s)").arg(shape.minimumArguments)
            : shape.minimumArguments == 0
                ? QStringLiteral("at most %1 argument(s)").arg(shape.maximumArguments)
                : QStringLiteral("%1 to %2 arguments")
                      .arg(shape.minimumArguments)
                      .arg(shape.maximumArguments);
        return failure(ExitCode::BadArguments,
                       QStringLiteral("%1 takes %2 (cameracontrol-cli %1 --help).")
                           .arg(invocation.command, takes));
    }
    const bool positionGiven = invocation.pan_deg || invocation.tilt_deg || invocation.zoom_percent;
    if (positionGiven && !shape.takesPosition)
        return failure(ExitCode::BadArguments,
                       QStringLiteral("--pan, --tilt and --zoom belong to ptz."));
    // The options that belong to one command each.
    const struct {
        bool given;
        const char *option;
        const char *command;
    } owned[] = {{invocation.check, "--check", "apply"},
                 {invocation.apply, "--apply", "watch"},
                 {invocation.none, "--none", "profile"},
                 {invocation.reset, "--reset", "picture"}};
    for (const auto &entry : owned)
        if (entry.given && invocation.command != QLatin1String(entry.command))
            return failure(ExitCode::BadArguments,
                           QStringLiteral("%1 belongs to %2.")
                               .arg(QLatin1String(entry.option), QLatin1String(entry.command)));
    return std::nullopt;
}

void print(Console &console, const Invocation &invocation, const CommandResult &result) {
    if (result.streamed)
        return;
    if (result.code != ExitCode::Success)
        Console::writeError(result.error + QLatin1Char('\n'));
    if (!invocation.json) {
        if (result.code == ExitCode::Success)
            console.writeOutput(result.text);
        return;
    }
    QJsonObject document = result.json;
    if (result.code != ExitCode::Success) {
        QJsonObject error;
        error[QStringLiteral("exitCode")] = static_cast<int>(result.code);
        error[QStringLiteral("message")] = result.error;
        document[QStringLiteral("error")] = error;
    }
    console.writeOutput(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)));
}

CommandResult run(Console &console, const Invocation &invocation) {
    if (std::optional<CommandResult> refusal = checkShape(invocation))
        return *refusal;
    QString error;
    const std::unique_ptr<CliBackends> backends = installCliBackends(invocation.command, error);
    if (!backends)
        return failure(ExitCode::Failed, error);
    const AccessRefusals refusals;
    CommandContext context{invocation, console, readConfiguredVendor(), refusals};
    const CommandResult result = commandFunctions().at(invocation.command)(context);
    qInfo().noquote() << "cameracontrol-cli" << invocation.command << "ends with"
                      << static_cast<int>(result.code);
    // The last search's disk handle closes before the back ends go.
    releaseUpdaterDevice();
    return result;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    Invocation invocation;
    QString error;
    const bool parsed = parseCommandLine(QCoreApplication::arguments(), invocation, error);

    setUpLogFile();
    setDebuggerCopies(invocation.verbose);
    qInstallMessageHandler(logMessageHandler);
    Console console(invocation.verbose);
    if (!parsed) {
        Console::writeError(error + QStringLiteral(" (cameracontrol-cli --help)\n"));
        return static_cast<int>(ExitCode::BadArguments);
    }
    if (invocation.version) {
        console.writeOutput(QStringLiteral("cameracontrol-cli %1.%2.%3\n")
                                .arg(buildconfig::kVersionMajor)
                                .arg(buildconfig::kVersionMinor)
                                .arg(buildconfig::kVersionPatch));
        return 0;
    }
    if (invocation.help || invocation.command == QLatin1String("help")) {
        const QString about = invocation.command == QLatin1String("help")
                                  ? invocation.arguments.value(0)
                                  : invocation.command;
        console.writeOutput(helpText(about));
        return 0;
    }
    qInfo("---------------------------------------------------");
    qInfo().noquote() << "- cameracontrol-cli" << QCoreApplication::arguments().mid(1).join(' ');
    qInfo("---------------------------------------------------");
    const CommandResult result = run(console, invocation);
    print(console, invocation, result);
    return static_cast<int>(result.code);
}
