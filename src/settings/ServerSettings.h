#pragma once

#include <QString>

#include <array>

// Everything Quillmont manages, in one plain record. Text fields are named after the console
// variable they feed and hold exactly what was typed or read: nothing here trims, checks or converts.
struct ServerSettings {
    QString hostname;
    QString rcon_password;
    QString sv_password;
    QString mp_timelimit;
    QString maxplayers;
    QString start_map;
    QString sv_minrate;
    QString sv_maxrate;
    QString sv_lan;
    QString pausable;
    QString tfc_clanbattle;
    QString tfc_clanbattle_prematch;
    QString sv_cheats;
    QString sv_clipmode;
    QString sv_gravity;
    QString sv_clienttrace;
    QString sv_maxspeed;
    QString decalfrequency;
    QString mp_decals;
    QString mp_falldamage;
    QString mp_footsteps;
    QString sv_aim;
    QString mp_teamplay;
    QString cr_scout;
    QString cr_sniper;
    QString cr_soldier;
    QString cr_demoman;
    QString cr_medic;
    QString cr_hwguy;
    QString cr_pyro;
    QString cr_spy;
    QString cr_engineer;
    QString tfc_autoteam;
    QString tfc_balance_teams;
    QString tfc_balance_scores;
    QString tfc_fragscoring;
    QString mp_forcerespawn;
    QString tfc_respawndelay;
    QString file_version;

    // The Team Damage dialog's remembered row per frame: 1 no, 2 half, 3 full damage; anything else
    // means nothing is recorded for that frame.
    std::array<qint16, 6> team_damage_choice{};

    bool operator==(const ServerSettings&) const = default;
};

using TextField = QString ServerSettings::*;

// How messages name a text field: the caption of the control that shows it and the name the game
// server knows it by, "Server Name (hostname)"; "mp_teamplay", which no control shows by itself;
// and "the version text on line 2 of default.tfc".
QString settingName(TextField field);
