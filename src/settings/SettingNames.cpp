#include "settings/ServerSettings.h"

#include <QLatin1StringView>

#include <array>

namespace {

using S = ServerSettings;

// A setting as messages name it: the caption of the box, list or switch that shows it, then the
// name the game server knows it by. mp_teamplay has no control of its own, and the version text
// is no setting at all.
struct Named {
    TextField field;
    const char* caption;
    const char* name;
};

// clang-format off
constexpr auto settingNames = std::to_array<Named>({
    {&S::hostname, "Server Name", "hostname"},
    {&S::rcon_password, "Remote Console Password", "rcon_password"},
    {&S::sv_password, "Server Password", "sv_password"},
    {&S::mp_timelimit, "Time Limit", "mp_timelimit"},
    {&S::maxplayers, "Max Players", "maxplayers"},
    {&S::start_map, "Start Map", "start_map"},
    {&S::sv_minrate, "Min Data", "sv_minrate"},
    {&S::sv_maxrate, "Max Data", "sv_maxrate"},
    {&S::sv_lan, "LAN Server", "sv_lan"},
    {&S::pausable, "Pausable", "pausable"},
    {&S::tfc_clanbattle, "Clan Battle", "tfc_clanbattle"},
    {&S::tfc_clanbattle_prematch, "Clan PreMatch", "tfc_clanbattle_prematch"},
    {&S::sv_cheats, "Allow Cheat Codes", "sv_cheats"},
    {&S::sv_clipmode, "Allow Clipping", "sv_clipmode"},
    {&S::sv_gravity, "Gravity", "sv_gravity"},
    {&S::sv_clienttrace, "Client Trace", "sv_clienttrace"},
    {&S::sv_maxspeed, "Max Speed", "sv_maxspeed"},
    {&S::decalfrequency, "Frequency", "decalfrequency"},
    {&S::mp_decals, "Limit", "mp_decals"},
    {&S::mp_falldamage, "Realistic Fall Damage", "mp_falldamage"},
    {&S::mp_footsteps, "Foot Steps", "mp_footsteps"},
    {&S::sv_aim, "Auto Aim", "sv_aim"},
    {&S::mp_teamplay, nullptr, "mp_teamplay"},
    {&S::cr_scout, "Scout", "cr_scout"},
    {&S::cr_sniper, "Sniper", "cr_sniper"},
    {&S::cr_soldier, "Soldier", "cr_soldier"},
    {&S::cr_demoman, "DemoMan", "cr_demoman"},
    {&S::cr_medic, "Medic", "cr_medic"},
    {&S::cr_hwguy, "HWGuy", "cr_hwguy"},
    {&S::cr_pyro, "Pyro", "cr_pyro"},
    {&S::cr_spy, "Spy", "cr_spy"},
    {&S::cr_engineer, "Engineer", "cr_engineer"},
    {&S::tfc_autoteam, "Auto Teams", "tfc_autoteam"},
    {&S::tfc_balance_teams, "Balance Teams", "tfc_balance_teams"},
    {&S::tfc_balance_scores, "Balance Scores", "tfc_balance_scores"},
    {&S::tfc_fragscoring, "Include Frags in Team Score", "tfc_fragscoring"},
    {&S::mp_forcerespawn, "Force Respawn", "mp_forcerespawn"},
    {&S::tfc_respawndelay, "Respawn Delay", "tfc_respawndelay"},
    {&S::file_version, nullptr, nullptr},
});
// clang-format on

} // namespace

QString settingName(TextField field)
{
    for (const Named& named : settingNames) {
        if (named.field != field)
            continue;
        if (!named.name)
            return QStringLiteral("the version text on line 2 of default.tfc");
        if (!named.caption)
            return QLatin1StringView(named.name);
        return QStringLiteral("%1 (%2)").arg(QLatin1StringView(named.caption), QLatin1StringView(named.name));
    }
    qFatal("a text field without a name");
}
