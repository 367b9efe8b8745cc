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
    };
    for (const auto& [option, verb] : verbs)
        parser.addOption(option);
    const QCommandLineOption stopOnExit(QStringLiteral("stop-on-exit"),
        QStringLiteral("With --keep: stops the server before the keeper ends; without it the server runs on."));
    parser.addOption(stopOnExit);
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
            return print(
                stderr, QStringLiteral("Give one of --keep, --status and --stop, and a server folder.\n"), wrong);
        headless = HeadlessRequest{verb, serverFolder, parser.isSet(stopOnExit)};
    }
    if (parser.isSet(stopOnExit) && (!headless || headless->verb != Verb::Keep))
        return print(stderr, QStringLiteral("--stop-on-exit goes with --keep.\n"), wrong);
    return std::nullopt;
}
