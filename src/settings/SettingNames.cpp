#include "settings/ServerSettings.h"

#include <QLatin1StringView>

#include <array>
#include <utility>

namespace {

using Named = std::pair<TextField, const char*>;

// clang-format off
constexpr std::array<Named, 39> settingNames{{
    {&ServerSettings::hostname, "hostname"},
    {&ServerSettings::rcon_password, "rcon_password"},
    {&ServerSettings::sv_password, "sv_password"},
    {&ServerSettings::mp_timelimit, "mp_timelimit"},
    {&ServerSettings::maxplayers, "maxplayers"},
    {&ServerSettings::start_map, "start_map"},
    {&ServerSettings::sv_minrate, "sv_minrate"},
    {&ServerSettings::sv_maxrate, "sv_maxrate"},
    {&ServerSettings::sv_lan, "sv_lan"},
    {&ServerSettings::pausable, "pausable"},
    {&ServerSettings::tfc_clanbattle, "tfc_clanbattle"},
    {&ServerSettings::tfc_clanbattle_prematch, "tfc_clanbattle_prematch"},
    {&ServerSettings::sv_cheats, "sv_cheats"},
    {&ServerSettings::sv_clipmode, "sv_clipmode"},
    {&ServerSettings::sv_gravity, "sv_gravity"},
    {&ServerSettings::sv_clienttrace, "sv_clienttrace"},
    {&ServerSettings::sv_maxspeed, "sv_maxspeed"},
    {&ServerSettings::decalfrequency, "decalfrequency"},
    {&ServerSettings::mp_decals, "mp_decals"},
    {&ServerSettings::mp_falldamage, "mp_falldamage"},
    {&ServerSettings::mp_footsteps, "mp_footsteps"},
    {&ServerSettings::sv_aim, "sv_aim"},
    {&ServerSettings::mp_teamplay, "mp_teamplay"},
    {&ServerSettings::cr_scout, "cr_scout"},
    {&ServerSettings::cr_sniper, "cr_sniper"},
    {&ServerSettings::cr_soldier, "cr_soldier"},
    {&ServerSettings::cr_demoman, "cr_demoman"},
    {&ServerSettings::cr_medic, "cr_medic"},
    {&ServerSettings::cr_hwguy, "cr_hwguy"},
    {&ServerSettings::cr_pyro, "cr_pyro"},
    {&ServerSettings::cr_spy, "cr_spy"},
    {&ServerSettings::cr_engineer, "cr_engineer"},
    {&ServerSettings::tfc_autoteam, "tfc_autoteam"},
    {&ServerSettings::tfc_balance_teams, "tfc_balance_teams"},
    {&ServerSettings::tfc_balance_scores, "tfc_balance_scores"},
    {&ServerSettings::tfc_fragscoring, "tfc_fragscoring"},
    {&ServerSettings::mp_forcerespawn, "mp_forcerespawn"},
    {&ServerSettings::tfc_respawndelay, "tfc_respawndelay"},
    {&ServerSettings::file_version, "file_version"},
}};
// clang-format on

} // namespace

QString settingName(TextField field)
{
    for (const auto& [member, name] : settingNames) {
        if (member == field)
            return QLatin1StringView(name);
    }
    Q_UNREACHABLE();
    return {};
}
