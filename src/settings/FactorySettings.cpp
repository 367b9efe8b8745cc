#include "settings/FactorySettings.h"

#include "settings/ServerSettings.h"

#include <QLatin1StringView>

#include <array>
#include <utility>

namespace {

using S = ServerSettings;

// clang-format off
constexpr auto factoryTexts = std::to_array<std::pair<TextField, const char*>>({
    {&S::hostname, "Team Fortress Classic"},
    {&S::rcon_password, ""},
    {&S::sv_password, ""},
    {&S::mp_timelimit, "30"},
    {&S::maxplayers, "12"},
    {&S::start_map, "2fort"},
    {&S::sv_minrate, "0"},
    {&S::sv_maxrate, "0"},
    {&S::sv_lan, "0"},
    {&S::pausable, "0"},
    {&S::tfc_clanbattle, "0"},
    {&S::tfc_clanbattle_prematch, "0"},
    {&S::sv_cheats, "0"},
    {&S::sv_clipmode, "0"},
    {&S::sv_gravity, "800"},
    {&S::sv_clienttrace, "3.5"},
    {&S::sv_maxspeed, "500"},
    {&S::decalfrequency, "30"},
    {&S::mp_decals, "300"},
    {&S::mp_falldamage, "0"},
    {&S::mp_footsteps, "1"},
    {&S::sv_aim, "0"},
    {&S::mp_teamplay, "21"},
    {&S::cr_scout, "0"},
    {&S::cr_sniper, "0"},
    {&S::cr_soldier, "0"},
    {&S::cr_demoman, "0"},
    {&S::cr_medic, "0"},
    {&S::cr_hwguy, "0"},
    {&S::cr_pyro, "0"},
    {&S::cr_spy, "0"},
    {&S::cr_engineer, "0"},
    {&S::tfc_autoteam, "0"},
    {&S::tfc_balance_teams, "0"},
    {&S::tfc_balance_scores, "0"},
    {&S::tfc_fragscoring, "0"},
    {&S::mp_forcerespawn, "0"},
    {&S::tfc_respawndelay, "0.0"},
});
// clang-format on

// No damage from direct fire or explosives, full armour damage, no mirror damage: the choices
// that give the factory mp_teamplay of 21.
constexpr auto factoryTeamDamageChoices = std::to_array<qint16>({1, 1, 3, 3, 1, 1});

} // namespace

void applyFactorySettings(ServerSettings& settings)
{
    for (const auto& [field, value] : factoryTexts)
        settings.*field = QLatin1StringView(value);
    settings.team_damage_choice = factoryTeamDamageChoices;
}
