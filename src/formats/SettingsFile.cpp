#include "formats/SettingsFile.h"

#include "formats/SafeSave.h"
#include "formats/TextLines.h"
#include "settings/ServerSettings.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <limits>

namespace {

using S = ServerSettings;

// A line of the full layout. `written` is fixed text the writer puts on the line; `field` is what
// the reader assigns from it, and what the writer writes when there is no fixed text. `choice` is
// an element of team_damage_choice, in number form. A line with neither field nor choice is a
// header the reader skips.
struct FullLayoutLine {
    const char* written = nullptr;
    TextField field = nullptr;
    int choice = -1;
};

// clang-format off
constexpr auto fullLayout = std::to_array<FullLayoutLine>({
    {.written = "--- Quillmont Configuration File Version:"},
    {.written = "0.3", .field = &S::file_version},
    {.written = "--- Main Screen"},
    {.field = &S::hostname},
    {.field = &S::rcon_password},
    {.field = &S::sv_password},
    {.field = &S::mp_timelimit},
    {.field = &S::maxplayers},
    {.field = &S::start_map},
    {.field = &S::sv_minrate},
    {.field = &S::sv_maxrate},
    {.field = &S::sv_lan},
    {.field = &S::pausable},
    {.field = &S::tfc_clanbattle},
    {.field = &S::tfc_clanbattle_prematch},
    {.written = "--- Cheats"},
    {.field = &S::sv_cheats},
    {.field = &S::sv_clipmode},
    {.written = "--- Game Physics"},
    {.field = &S::sv_gravity},
    {.field = &S::sv_clienttrace},
    {.field = &S::sv_maxspeed},
    {.field = &S::decalfrequency},
    {.field = &S::mp_decals},
    {.field = &S::mp_falldamage},
    {.field = &S::mp_footsteps},
    {.field = &S::sv_aim},
    {.written = "--- Team Damage Settings"},
    {.field = &S::mp_teamplay},
    {.choice = 0},
    {.choice = 1},
    {.choice = 2},
    {.choice = 3},
    {.choice = 4},
    {.choice = 5},
    {.written = "--- Class Restriction"},
    {.field = &S::cr_scout},
    {.field = &S::cr_sniper},
    {.field = &S::cr_soldier},
    {.field = &S::cr_demoman},
    {.field = &S::cr_medic},
    {.field = &S::cr_hwguy},
    {.field = &S::cr_pyro},
    {.field = &S::cr_spy},
    {.field = &S::cr_engineer},
    {.written = "--- Scoring and Team Settings"},
    {.field = &S::tfc_autoteam},
    {.field = &S::tfc_balance_teams},
    {.field = &S::tfc_balance_scores},
    {.field = &S::tfc_fragscoring},
    {.field = &S::mp_forcerespawn},
    {.field = &S::tfc_respawndelay},
});
// clang-format on

// A line of the Save As layout: a field, or one of the main window's switches.
struct SaveAsLine {
    TextField field = nullptr;
    bool MainWindowSwitches::*switchState = nullptr;
};

using W = MainWindowSwitches;

// clang-format off
constexpr auto saveAsLayout = std::to_array<SaveAsLine>({
    {.field = &S::hostname},
    {.field = &S::rcon_password},
    {.field = &S::mp_timelimit},
    {.field = &S::sv_clienttrace},
    {.field = &S::sv_maxspeed},
    {.field = &S::sv_minrate},
    {.field = &S::sv_maxrate},
    {.switchState = &W::lanServer},
    {.switchState = &W::pausable},
    {.switchState = &W::clanBattle},
    {.switchState = &W::clanPreMatch},
    {.field = &S::sv_cheats},
    {.field = &S::sv_clipmode},
    {.field = &S::sv_gravity},
    {.field = &S::mp_forcerespawn},
    {.field = &S::decalfrequency},
    {.field = &S::mp_decals},
    {.field = &S::mp_falldamage},
    {.field = &S::sv_aim},
    {.field = &S::mp_teamplay},
    {.field = &S::cr_scout},
    {.field = &S::cr_sniper},
    {.field = &S::cr_soldier},
    {.field = &S::cr_demoman},
    {.field = &S::cr_medic},
    {.field = &S::cr_hwguy},
    {.field = &S::cr_pyro},
    {.field = &S::cr_spy},
    {.field = &S::cr_engineer},
});
// clang-format on

// A settings file is a few hundred bytes; anything this large is not one.
constexpr qint64 largestSettingsFile = 1024 * 1024;

// A sign where a negative number has its minus, the digits, and a blank after.
QByteArray numberForm(qint16 value)
{
    const int magnitude = value < 0 ? -int(value) : int(value);
    return (value < 0 ? "-" : " ") + QByteArray::number(magnitude) + ' ';
}

// Blanks around an optional sign and decimal digits; anything else, or a number a 16-bit choice
// cannot hold, reads as 0, which the Team Damage dialog shows as no choice.
qint16 choiceFromLine(const QString& line)
{
    bool ok{};
    const qlonglong value = line.toLongLong(&ok);
    if (!ok || value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return 0;
    return static_cast<qint16>(value);
}

// A value takes its line whole: a line break would split it and shift every line after it, and a
// character the file's set cannot hold would be lost.
template <std::size_t N, typename Line>
std::optional<Failure> refuseUnwritable(
    const QString& path, const ServerSettings& settings, const std::array<Line, N>& layout, TextEncoding encoding)
{
    for (const Line& line : layout) {
        if (!line.field)
            continue;
        if (holdsLineBreak(settings.*line.field))
            return valueRefused(path, line.field, QStringLiteral("holds a line break, which would split its line."));
        if (!encodeText(settings.*line.field, encoding))
            return cannotHold(path, line.field, encoding);
    }
    return std::nullopt;
}

QByteArray fieldText(const ServerSettings& settings, TextField field, TextEncoding encoding)
{
    return encodeText(settings.*field, encoding).value();
}

} // namespace

QByteArray fullLayoutBytes(const ServerSettings& settings, TextEncoding encoding)
{
    QByteArray contents;
    for (const FullLayoutLine& line : fullLayout) {
        if (line.written)
            contents += line.written;
        else if (line.field)
            contents += fieldText(settings, line.field, encoding);
        else
            contents += numberForm(settings.team_damage_choice.at(std::size_t(line.choice)));
        contents += lineEnd;
    }
    return contents;
}

SaveOutcome writeFullLayout(const QString& path, const ServerSettings& settings, TextEncoding encoding)
{
    if (auto refused = refuseUnwritable(path, settings, fullLayout, encoding))
        return *refused;
    const QByteArray contents = fullLayoutBytes(settings, encoding);
    // Never a file that the next start would refuse to read.
    if (contents.size() > largestSettingsFile)
        return Failure::cannotWrite(path,
            QStringLiteral("the settings would make a file larger than 1 MiB, more than a settings file may "
                           "hold. Shorten the longest values."));
    return saveWhole(path, contents, SafeSave::Owner::Operator, contentsOf(settings));
}

std::optional<Failure> readFullLayout(const QString& path, ServerSettings& settings, TextEncoding& encoding)
{
    QByteArray contents;
    if (auto failure = readPlainFile(path, largestSettingsFile, contents))
        return failure;
    if (contents.size() > largestSettingsFile)
        return Failure::cannotRead(path, QStringLiteral("it is larger than 1 MiB, too large for a settings file."));

    const QList<QByteArrayView> lines = splitLines(contents);
    if (lines.size() < qsizetype(fullLayout.size()))
        return Failure::cannotRead(path,
            QStringLiteral("it has only %1 lines, and a settings file has %2.")
                .arg(lines.size())
                .arg(fullLayout.size()));

    // Each line is taken whole, blanks, commas, quotes and byte-order marks included, in the one
    // character set of the whole file, so every value comes back as it was written; the record
    // changes only once the whole file has been read.
    const TextEncoding detected = detectEncoding(contents);
    ServerSettings read = settings;
    for (std::size_t i = 0; i < fullLayout.size(); ++i) {
        const FullLayoutLine& line = fullLayout[i];
        const QString text = decodeText(lines[qsizetype(i)], detected);
        if (line.field)
            read.*line.field = text;
        else if (line.choice >= 0)
            read.team_damage_choice.at(std::size_t(line.choice)) = choiceFromLine(text);
    }
    settings = read;
    encoding = detected;
    return std::nullopt;
}

SaveOutcome writeSaveAsLayout(
    const QString& path, const ServerSettings& settings, const MainWindowSwitches& switches, TextEncoding encoding)
{
    if (auto refused = refuseUnwritable(path, settings, saveAsLayout, encoding))
        return *refused;
    QByteArray contents;
    for (const SaveAsLine& line : saveAsLayout) {
        if (line.field)
            contents += fieldText(settings, line.field, encoding);
        else
            contents += switches.*line.switchState ? "1" : "0";
        contents += lineEnd;
    }
    return saveWhole(path, contents, SafeSave::Owner::Operator, contentsOf(settings));
}
