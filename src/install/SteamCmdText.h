#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What Quillmont says to SteamCMD and reads back from it, as pure functions: the command lines, the
// lines of its output, and the builds in Valve's KeyValues text. SteamCMD documents little of its
// output, so every reader takes the variations it has been seen to print.

// The server's branch on Steam: the current build, or the one before the 2023 update.
enum class Branch { Current, Legacy };
// The branch's name on Steam ("public", "steam_legacy") and on Quillmont's command line ("current",
// "steam_legacy").
QString steamBranchName(Branch branch);
QString branchOption(Branch branch);
std::optional<Branch> branchFromOption(const QString& option);

// The game server's app and mod.
inline constexpr int serverApp = 90;

// Installs or updates the server in `folder`, which must be absolute: SteamCMD ignores a relative
// one. Each word is an argument of its own, in the order SteamCMD needs them.
QStringList updateArguments(const QString& folder, Branch branch, bool validate);
// Asks Steam for the app's current builds; printed twice, since the first print may be cached.
QStringList buildQuestionArguments();

// SteamCMD's output as it arrives from its terminal, in lines: a carriage return ends a line as a line
// feed does, escape sequences are dropped, and a line longer than `longestLine` is kept only up to
// there. Holds at most one line's bytes, however long the output without a line end.
class OutputLines {
public:
    static constexpr qsizetype longestLine = 4096;
    // The lines that these bytes complete, blank ones left out.
    QStringList take(QByteArrayView bytes);
    // The last line, when the output ended without a line end.
    QStringList finish();

private:
    enum class Escape { None, Started, Sequence };
    void endLine(QStringList& lines);
    QByteArray line_;
    Escape escape_ = Escape::None;
};

// A progress line: ` Update state (0x61) downloading, progress: 26.93 (198783134 / 738158916)`.
struct Progress {
    QString phase;
    double percent = 0;
    qint64 done = 0;
    qint64 total = 0;
    bool operator==(const Progress&) const = default;
};
std::optional<Progress> progressOf(const QString& line);
// "downloading, 26.9% (198.8 MB of 738.2 MB)".
QString progressInWords(const Progress& progress);

// SteamCMD updating itself, before its first command.
bool updatesItself(const QString& line);

// How a run ended, in the line that says so.
struct RunEnding {
    enum class Kind { Installed, UpToDate, StateError, Failure };
    Kind kind = Kind::Failure;
    // For a state error: the app's state; else 0.
    unsigned state = 0;
    // For a failure another run cannot mend, what the operator must do; else empty.
    QString remedy;
    bool operator==(const RunEnding&) const = default;
};
std::optional<RunEnding> endingOf(const QString& line);
// Whether a line says something failed, for the message when every run failed.
bool isErrorLine(const QString& line);

// An app's state bits in Steam's own words: 0x402 is "update required, update started".
QString stateInWords(unsigned state);

// The build of a branch in `app_info_print`'s output, from its last complete print of the app.
std::optional<qint64> branchBuild(const QByteArray& appInfo, Branch branch);
// The build in an app manifest (steamapps/appmanifest_90.acf).
std::optional<qint64> manifestBuild(const QByteArray& manifest);
