#include "install/SteamCmdText.h"

#include <QRegularExpression>

#include <array>
#include <utility>

QString steamBranchName(Branch branch)
{
    return branch == Branch::Legacy ? QStringLiteral("steam_legacy") : QStringLiteral("public");
}

QString branchOption(Branch branch)
{
    return branch == Branch::Legacy ? QStringLiteral("steam_legacy") : QStringLiteral("current");
}

std::optional<Branch> branchFromOption(const QString& option)
{
    for (const Branch branch : {Branch::Current, Branch::Legacy}) {
        if (option == branchOption(branch))
            return branch;
    }
    return std::nullopt;
}

QStringList updateArguments(const QString& folder, Branch branch, bool validate)
{
    const QString app = QString::number(serverApp);
    QStringList arguments{QStringLiteral("+@ShutdownOnFailedCommand"), QStringLiteral("1"),
        QStringLiteral("+@NoPromptForPassword"), QStringLiteral("1"), QStringLiteral("+force_install_dir"), folder,
        QStringLiteral("+login"), QStringLiteral("anonymous"), QStringLiteral("+app_set_config"), app,
        QStringLiteral("mod"), QStringLiteral("tfc"), QStringLiteral("+app_update"), app};
    if (branch == Branch::Legacy)
        arguments << QStringLiteral("-beta") << steamBranchName(branch);
    if (validate)
        arguments << QStringLiteral("validate");
    return arguments << QStringLiteral("+quit");
}

QStringList buildQuestionArguments()
{
    const QString app = QString::number(serverApp);
    return {QStringLiteral("+login"), QStringLiteral("anonymous"), QStringLiteral("+app_info_update"),
        QStringLiteral("1"), QStringLiteral("+app_info_print"), app, QStringLiteral("+app_info_print"), app,
        QStringLiteral("+quit")};
}

void OutputLines::endLine(QStringList& lines)
{
    const QString line = QString::fromUtf8(line_).trimmed();
    if (!line.isEmpty())
        lines << line;
    line_.clear();
}

QStringList OutputLines::take(QByteArrayView bytes)
{
    QStringList lines;
    for (const char byte : bytes) {
        switch (escape_) {
        case Escape::Started:
            // ESC [ opens a control sequence; any other byte after ESC ends the escape.
            escape_ = byte == '[' ? Escape::Sequence : Escape::None;
            continue;
        case Escape::Sequence:
            if (byte >= 0x40 && byte <= 0x7E)
                escape_ = Escape::None;
            continue;
        case Escape::None:
            break;
        }
        if (byte == '\x1b')
            escape_ = Escape::Started;
        else if (byte == '\n' || byte == '\r')
            endLine(lines);
        else if (line_.size() < longestLine)
            line_ += byte;
    }
    return lines;
}

QStringList OutputLines::finish()
{
    QStringList lines;
    endLine(lines);
    escape_ = Escape::None;
    return lines;
}

std::optional<Progress> progressOf(const QString& line)
{
    // The older form says "App state (0x300502)"; some locales write a comma as decimal mark.
    static const QRegularExpression form(QStringLiteral(
        R"((?:Update|App) state \(0x[0-9a-fA-F]+\)\s*([^,]*?)\s*, progress: (\d+(?:[.,]\d+)?) \((\d+) / (\d+)\))"));
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    QString percent = match.captured(2);
    percent.replace(QLatin1Char(','), QLatin1Char('.'));
    return Progress{
        match.captured(1), percent.toDouble(), match.captured(3).toLongLong(), match.captured(4).toLongLong()};
}

QString progressInWords(const Progress& progress)
{
    const auto megabytes = [](qint64 bytes) { return QString::number(double(bytes) / 1e6, 'f', 1); };
    return QStringLiteral("%1, %2% (%3 MB of %4 MB)")
        .arg(progress.phase, QString::number(progress.percent, 'f', 1), megabytes(progress.done),
            megabytes(progress.total));
}

bool updatesItself(const QString& line)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^\[[ 0-9%-]{4}\] (Checking for available update|Downloading update|Extracting package))"));
    return form.match(line).hasMatch();
}

std::optional<RunEnding> endingOf(const QString& line)
{
    const QString app = QString::number(serverApp);
    if (line.startsWith(QStringLiteral("Success! App '%1' fully installed").arg(app)))
        return RunEnding{RunEnding::Kind::Installed, 0, {}};
    if (line.startsWith(QStringLiteral("Success! App '%1' already up to date").arg(app)))
        return RunEnding{RunEnding::Kind::UpToDate, 0, {}};
    static const QRegularExpression stateError(QStringLiteral(R"(^Error! App '\d+' state is 0x([0-9a-fA-F]+))"));
    if (const QRegularExpressionMatch match = stateError.match(line); match.hasMatch())
        return RunEnding{RunEnding::Kind::StateError, match.captured(1).toUInt(nullptr, 16), {}};
    // What another run cannot mend, and what the operator can do instead.
    static const std::array<std::pair<const char*, const char*>, 4> lasting{{
        {"No subscription",
            "Steam does not give this account the server: check that SteamCMD logs in anonymously and installs app "
            "90."},
        {"Invalid platform", "Steam has no server of this app for this system: use SteamCMD for Linux."},
        {"Login Failure", "SteamCMD could not log in to Steam: check this computer's connection to the internet."},
        {"Missing file permissions",
            "SteamCMD cannot write its own files: make your home folder writable for your account."},
    }};
    for (const auto& [words, remedy] : lasting) {
        if (line.contains(QLatin1StringView(words)))
            return RunEnding{RunEnding::Kind::Failure, 0, QString::fromLatin1(remedy)};
    }
    if (line.startsWith(QStringLiteral("ERROR! Failed to install app"), Qt::CaseInsensitive))
        return RunEnding{RunEnding::Kind::Failure, 0, {}};
    return std::nullopt;
}

bool isErrorLine(const QString& line)
{
    return line.startsWith(QStringLiteral("error"), Qt::CaseInsensitive)
        || line.contains(QStringLiteral("Failure"), Qt::CaseInsensitive)
        || line.startsWith(QStringLiteral("FAILED"), Qt::CaseInsensitive);
}

QString stateInWords(unsigned state)
{
    // As Steam names the bits in its own content log.
    static const std::array<std::pair<unsigned, const char*>, 8> bits{{
        {0x2, "update required"},
        {0x4, "fully installed"},
        {0x8, "update queued"},
        {0x20, "files missing"},
        {0x80, "files corrupt"},
        {0x100, "update running"},
        {0x200, "update paused"},
        {0x400, "update started"},
    }};
    QStringList words;
    unsigned known = 0;
    for (const auto& [bit, name] : bits) {
        if (state & bit)
            words << QString::fromLatin1(name);
        known |= bit;
    }
    if (state & ~known)
        words << QStringLiteral("other bits 0x%1").arg(state & ~known, 0, 16);
    return QStringLiteral("0x%1: %2")
        .arg(QString::number(state, 16),
            words.isEmpty() ? QStringLiteral("no state") : words.join(QStringLiteral(", ")));
}

namespace {

// Valve's KeyValues text: quoted or bare words, braces, and `//` comments.
QList<QByteArray> keyValueTokens(const QByteArray& text)
{
    QList<QByteArray> tokens;
    for (qsizetype at = 0; at < text.size();) {
        const char c = text.at(at);
        if (QChar::isSpace(uchar(c))) {
            ++at;
        } else if (c == '/' && text.mid(at, 2) == "//") {
            const qsizetype end = text.indexOf('\n', at);
            at = end < 0 ? text.size() : end;
        } else if (c == '{' || c == '}') {
            tokens << QByteArray(1, c);
            ++at;
        } else if (c == '"') {
            QByteArray word;
            for (++at; at < text.size() && text.at(at) != '"'; ++at) {
                if (text.at(at) == '\\' && at + 1 < text.size())
                    ++at;
                word += text.at(at);
            }
            ++at;
            // A quoted word is never a brace, however it reads.
            tokens << (word == "{" || word == "}" ? "\"" + word : word);
        } else {
            qsizetype end = at;
            while (end < text.size() && !QChar::isSpace(uchar(text.at(end))) && text.at(end) != '{'
                && text.at(end) != '}' && text.at(end) != '"')
                ++end;
            tokens << text.mid(at, end - at);
            at = end;
        }
    }
    return tokens;
}

// The value at `path` (keys from the top) in the last complete top-level block that has it.
std::optional<qint64> valueAt(const QByteArray& text, const QList<QByteArray>& path)
{
    const QList<QByteArray> tokens = keyValueTokens(text);
    QList<QByteArray> keys;
    std::optional<qint64> inThisBlock, lastComplete;
    for (qsizetype at = 0; at < tokens.size(); ++at) {
        const QByteArray& token = tokens.at(at);
        if (token == "}") {
            if (keys.isEmpty())
                continue;
            keys.removeLast();
            if (keys.isEmpty()) {
                if (inThisBlock)
                    lastComplete = inThisBlock;
                inThisBlock.reset();
            }
        } else if (token == "{") {
            keys << QByteArray();
        } else if (at + 1 < tokens.size() && tokens.at(at + 1) == "{") {
            keys << token;
            ++at;
        } else if (at + 1 < tokens.size() && tokens.at(at + 1) != "}") {
            bool number = false;
            const qint64 value = tokens.at(at + 1).toLongLong(&number);
            if (number && QList<QByteArray>(keys) << token == path)
                inThisBlock = value;
            ++at;
        }
    }
    return lastComplete;
}

} // namespace

std::optional<qint64> branchBuild(const QByteArray& appInfo, Branch branch)
{
    return valueAt(
        appInfo, {QByteArray::number(serverApp), "depots", "branches", steamBranchName(branch).toLatin1(), "buildid"});
}

std::optional<qint64> manifestBuild(const QByteArray& manifest)
{
    return valueAt(manifest, {"AppState", "buildid"});
}
