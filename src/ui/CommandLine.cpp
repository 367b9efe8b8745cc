#include "ui/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace {

int print(std::FILE* stream, const QString& text, int exitCode)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    return exitCode;
}

} // namespace

std::optional<int> takeCommandLine(
    int argc, char* argv[], QString& serverFolder, std::optional<HeadlessRequest>& headless)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Edits the settings of a Team Fortress Classic dedicated server, writes its tfc/server.cfg "
                       "and starts it."));
    // Qt's own help option brings --help-all along, which only an application could answer.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    using Verb = HeadlessRequest::Verb;
    const std::initializer_list<std::pair<QCommandLineOption, Verb>> verbs{
        {{QStringLiteral("keep"),
             QStringLiteral("Starts the server of SERVER_FOLDER, unless it runs, and keeps it running without a "
                            "window, restarting it when it ends or hangs.")},
            Verb::Keep},
        {{QStringLiteral("status"),
             QStringLiteral("Prints how the server of SERVER_FOLDER is; exits 0 while it runs, 3 when it does not.")},
            Verb::Status},
        {{QStringLiteral("stop"), QStringLiteral("Stops the server of SERVER_FOLDER and exits once it has ended.")},
            Verb::Stop},
        {{QStringLiteral("update"),
             QStringLiteral("Installs or updates the server in SERVER_FOLDER with SteamCMD, stopping and restarting a "
                            "running server; exits 0 when it is installed or up to date.")},
            Verb::Update},
    };
    for (const auto& [option, verb] : verbs)
        parser.addOption(option);
    const QCommandLineOption stopOnExit(QStringLiteral("stop-on-exit"),
        QStringLiteral("With --keep: stops the server before the keeper ends; without it the server runs on."));
    parser.addOption(stopOnExit);
    const QCommandLineOption validate(QStringLiteral("validate"), QStringLiteral("With --update: checks every file."));
    const QCommandLineOption branch(QStringLiteral("branch"),
        QStringLiteral("With --update: current or steam_legacy (the build before the 2023 update); else the "
                       "folder's last."),
        QStringLiteral("BRANCH"));
    const QCommandLineOption ifNewer(QStringLiteral("if-newer"),
        QStringLiteral("With --update: updates only when Steam has a newer build than the one installed."));
    const QCommandLineOption now(QStringLiteral("now"),
        QStringLiteral("With --update: stops the server without telling the players 5 minutes before."));
    parser.addOptions({validate, branch, ifNewer, now});
    parser.addPositionalArgument(QStringLiteral("SERVER_FOLDER"),
        QStringLiteral("The server's installation folder, which holds tfc and hlds_run or HLDS.EXE."),
        QStringLiteral("[SERVER_FOLDER]"));
    const int wrong = 2;
    if (!parser.parse(arguments))
        return print(stderr, parser.errorText() + QLatin1Char('\n'), wrong);
    if (parser.isSet(help))
        return print(
            stdout, parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("quillmont")), 0);
    if (parser.isSet(version))
        return print(stdout, QStringLiteral("Quillmont " QUILLMONT_VERSION "\n"), 0);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return print(stderr, QStringLiteral("Quillmont works on one server folder at a time.\n"), wrong);
    if (!positional.isEmpty() && !QFileInfo(positional.first()).isDir())
        return print(stderr, QStringLiteral("%1 is not a folder.\n").arg(positional.first()), wrong);
    serverFolder = positional.value(0);
    for (const auto& [option, verb] : verbs) {
        if (!parser.isSet(option))
            continue;
        if (headless || positional.isEmpty())
            return print(stderr,
                QStringLiteral("Give one of --keep, --status, --stop and --update, and a server folder.\n"), wrong);
        headless = HeadlessRequest{verb, serverFolder, parser.isSet(stopOnExit), parser.isSet(validate),
            parser.value(branch), parser.isSet(ifNewer), parser.isSet(now)};
    }
    const bool updating = headless && headless->verb == Verb::Update;
    for (const QCommandLineOption& option : {validate, branch, ifNewer, now}) {
        if (parser.isSet(option) && !updating)
            return print(stderr, QStringLiteral("--%1 goes with --update.\n").arg(option.names().first()), wrong);
    }
    if (updating && parser.isSet(branch) && parser.value(branch) != QStringLiteral("current")
        && parser.value(branch) != QStringLiteral("steam_legacy"))
        return print(stderr, QStringLiteral("--branch is current or steam_legacy.\n"), wrong);
    if (parser.isSet(stopOnExit) && (!headless || headless->verb != Verb::Keep))
        return print(stderr, QStringLiteral("--stop-on-exit goes with --keep.\n"), wrong);
    return std::nullopt;
}
