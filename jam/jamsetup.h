// The set-up pop-ups of a network jam: the host set-up (kind 27: server and player names, number
// of players, tempo, largest template size, "host"), the join set-up (kind 28: player name and
// host address, "join"), the player set-up (kind 29: player name, then the session list) and the
// session list (kind 17: the sessions found; a choice joins one). Also the name entries, the
// tempo item, the host's player menu, and the jam entries of the Music Jam menu.
#pragma once

#include <cstddef>
#include <cstdint>

struct POPUP;
typedef void (*LISTFILLROW)(int32_t op, int32_t number, void *row, void *user);
typedef void (*LISTDRAWROW)(void *row, int32_t x, int32_t y);

enum : int32_t
{
    POPUP_JAM_SESSIONS = 17,
    POPUP_JAM_HOST_SETUP = 27,
    POPUP_JAM_JOIN_SETUP = 28,
    POPUP_JAM_PLAYER_SETUP = 29,
    JAM_NAME_CHARS = 16,
};

// Caption (or session name) of row `row` (1-based) of a set-up kind; empty past its rows.
void Jam_SetupRowText(int32_t kind, int32_t row, char *out, size_t size);
// The value a row shows at x + 180 ("" for rows without one).
void Jam_SetupRowValue(int32_t kind, int32_t row, char *out, size_t size);
int32_t Jam_SetupRowCount(int32_t kind);

// The pop-up mechanism's hooks for these kinds: rows, a choice, a close. False for other kinds.
bool Jam_SetupPopupRows(POPUP *p, int32_t *total, LISTFILLROW *fill, LISTDRAWROW *draw);
bool Jam_SetupPopupChoose(POPUP *p, int32_t row);
bool Jam_SetupPopupClose(POPUP *p);

// The choices, by row (0-based), as the pop-ups run them.
void Jam_HostSetupAction(int32_t row);
void Jam_JoinSetupAction(int32_t row);
void Jam_PlayerSetupAction(int32_t row);
void Jam_SessionListChoose(int32_t row);

// Name entries (16 characters). An accepted empty name takes the default text and every
// accepted name is stored in the settings ("ServerName", "Name").
void Jam_EditServerName();
void Jam_EditPlayerName();
void Jam_EditJoinAddress();
void Jam_AcceptServerName();
void Jam_AcceptPlayerName();

// The jam menu's tempo item (host only) and the host's player menu (page 30).
void Jam_EditTempo();
void Jam_OpenPlayerMenu(int32_t player);
void Jam_DropSelectedPlayer();
void Jam_ClosePlayerMenu();

// Opens the set-up pop-ups where the jam menu shows them.
void Jam_OpenHostSetup();
void Jam_OpenJoinSetup();
void Jam_OpenPlayerSetup();
// Binds the Music Jam menu's entries (single player, host, join) and the template save item.
void Jam_InstallSetupMenuItems();
