#include "jam/jamscreen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "app/cmdline.h"
#include "app/devices.h"
#include "app/mainwindow.h"
#include "audio/plugin.h"
#include "core/fixmath.h"
#include "core/padbind.h"
#include "jam/jaminput.h"
#include "jam/jamplay.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/jamsetup.h"
#include "jam/jamsound.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "sequencer/songcontrol.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/toolbar.h"
#include "ui/widgets.h"

char g_szJamChatLine[JAM_CHAT_CHARS + 1];

namespace {

// ---- Button lists ----

constexpr JAMBUTTON End{JAM_BUTTON_END, 0, 0, {-1, -1, -1}};

const JAMBUTTON kRiffKeys[] = {
    {0, 65, 8, {15, 5, 16}},    {0, 105, 8, {18, 17, 19}},  {0, 146, 8, {21, 20, 22}}, {0, 186, 8, {24, 23, 25}},
    {0, 243, 8, {27, 26, 28}},  {0, 283, 8, {30, 29, 31}},  {0, 323, 8, {33, 32, 34}}, {0, 363, 8, {36, 35, 37}},
    {0, 419, 8, {39, 38, 40}},  {0, 460, 8, {7, 6, 8}},     {0, 500, 8, {10, 9, 11}},  {0, 540, 8, {13, 12, 14}},
    End,
};

const JAMBUTTON kPads[] = {
    {0, 85, 97, {65, 75, 85}},  {0, 125, 97, {66, 76, 86}}, {0, 165, 97, {67, 77, 87}},
    {0, 262, 97, {68, 78, 88}}, {0, 302, 97, {69, 79, 89}}, {0, 343, 97, {70, 80, 90}},
    {0, 439, 97, {71, 81, 91}}, {0, 479, 97, {72, 82, 92}}, {0, 519, 97, {73, 83, 93}},
    End,
};

// Key shapes: a white key cut on its right (C, F), a black key, a white key cut on both sides
// (D, G, A) and one cut on its left (E, B).
constexpr int32_t kWhiteRight[3] = {142, 142, 139}, kBlack[3] = {137, 137, 138}, kWhiteBoth[3] = {143, 143, 140},
                  kWhiteLeft[3] = {144, 144, 141};
constexpr JAMBUTTON Key(int32_t x, const int32_t (&im)[3]) { return {0, x, 179, {im[0], im[1], im[2]}}; }
const JAMBUTTON kKeyboard[] = {
    Key(36, kWhiteRight),  Key(47, kBlack),  Key(51, kWhiteBoth),  Key(67, kBlack),  Key(70, kWhiteLeft),
    Key(87, kWhiteRight),  Key(98, kBlack),  Key(102, kWhiteBoth), Key(118, kBlack), Key(122, kWhiteBoth),
    Key(138, kBlack),      Key(141, kWhiteLeft), Key(156, kWhiteRight), Key(167, kBlack), Key(171, kWhiteBoth),
    Key(187, kBlack),      Key(190, kWhiteLeft), End,
};

constexpr int32_t kKeyboardOffset = 396;
constexpr int32_t kPanelX[JAM_NET_SLOTS] = {43, 196, 349, 502};
constexpr int32_t kPanelY = 251;
constexpr int32_t kDialX = 362, kDialY = 150;
constexpr int32_t kOctaveX[JAM_KEYBOARDS] = {180, 574};
constexpr int32_t kOctaveY = 146;
constexpr int32_t kNameX[JAM_KEYBOARDS] = {38, 432};
constexpr int32_t kNameY = 150;
// The activity icons of the player panels: riff keys, pads, and keyboards by instrument kind.
constexpr int32_t kIconRiff = 840, kIconPad = 841, kIconKeyboard = 842, kIconOwnKeyboard = 845;
constexpr int32_t kLogX = 40, kLogY = 375, kLogW = 552, kChatY = 447;

// ---- What a frame draws, in painting order ----
//
// The packets of one ordering-table entry are drawn last-added first, so the frame gathers its
// pieces in the order a person paints them and hands them over backwards.
struct PIECE
{
    enum Kind { TILE, IMAGE, TEXT, CENTRED_TEXT } kind;
    int32_t x, y, w, h;
    uint8_t r, g, b;
    int32_t image;
    char text[64];
};
std::vector<PIECE> s_pieces;

void AddTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    PIECE p{PIECE::TILE, x, y, w, h, r, g, b, -1, {}};
    s_pieces.push_back(p);
}
void AddImage(int32_t image, int32_t x, int32_t y, uint8_t level = 128)
{
    if (image < 0)
        return;
    PIECE p{PIECE::IMAGE, x, y, 0, 0, level, level, level, image, {}};
    s_pieces.push_back(p);
}
void AddText(const char *text, int32_t x, int32_t y, bool centred = false, uint8_t level = 128)
{
    PIECE p{centred ? PIECE::CENTRED_TEXT : PIECE::TEXT, x, y, 0, 0, level, level, level, -1, {}};
    std::snprintf(p.text, sizeof p.text, "%s", text ? text : "");
    s_pieces.push_back(p);
}
void FlushPieces()
{
    for (auto it = s_pieces.rbegin(); it != s_pieces.rend(); ++it) {
        const PIECE &p = *it;
        switch (p.kind) {
        case PIECE::TILE: Gfx_AddTile(p.x, p.y, p.w, p.h, p.r, p.g, p.b); break;
        case PIECE::IMAGE:
            if (const IMAGEREC *im = Gfx_GetImage(p.image))
                Gfx_AddImageSprite(im, p.x, p.y, p.r, p.g, p.b);
            break;
        case PIECE::TEXT:
        case PIECE::CENTRED_TEXT:
            Gfx_DrawTextInFont(p.text, p.x, p.y, &g_tFontMain, uint32_t(p.r) | uint32_t(p.g) << 8 | uint32_t(p.b) << 16,
                               g_pOrderingTable, p.kind == PIECE::CENTRED_TEXT ? GFX_TEXT_CENTRED : GFX_TEXT_LEFT);
            break;
        }
    }
    s_pieces.clear();
}

int32_t RowStepOfKey(int32_t player, int32_t key)
{
    const JAMSTATE *s = g_pJamState;
    const int32_t row = g_aJamPlayerRows[player].aiRiffRow[key];
    if (!s || row < 0 || row >= JAM_ROWS)
        return 0;
    return s->aiRowStep[row].load(std::memory_order_relaxed);
}

void Jam_DrawButtonList(int32_t list, const JAMPLAYER &pl, int32_t player)
{
    int32_t ox = 0, oy = 0;
    const JAMBUTTON *b = Jam_ButtonList(list, &ox, &oy);
    for (int32_t i = 0; b[i].iState != JAM_BUTTON_END; ++i) {
        int32_t state = 0;
        switch (list) {
        case JAM_LIST_RIFFS: state = Jam_RiffKeyButtonState(pl, i, RowStepOfKey(player, i)); break;
        case JAM_LIST_PADS: state = Jam_PadButtonState(pl, i); break;
        default: state = Jam_KeyboardButtonState(pl, list - JAM_LIST_KEYBOARD0, i); break;
        }
        AddImage(b[i].aiImage[state], ox + b[i].iX, oy + b[i].iY);
    }
}

// The riff meters under the keys: eight bars a key, brighter for the bars played.
void DrawRiffMeters(int32_t player)
{
    if (!g_pJamState)
        return;
    const JAMPLAYERROW &rows = g_aJamPlayerRows[player];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
        for (int32_t i = 0; i < 8; ++i) {
            const uint8_t v = rows.aucBarLevel[k][i];
            AddTile(kRiffKeys[k].iX + 1 + i * 4, 44, 3, 6, uint8_t(v / 4), uint8_t(v * 3 / 4), v);
        }
}

void Jam_DrawSelectionMarks(const JAMPLAYER &pl)
{
    const auto mark = [](int32_t x, int32_t y, bool on) {
        const uint8_t v = on ? 255 : 128;
        AddTile(x, y, 3, 3, v, v, v);
    };
    const uint32_t parts = pl.uPartMask & 0x7FFF, riffs = pl.uRiffMask & 0x7FFF;
    mark(40, 152, parts & 1);
    mark(434, 152, parts & 2);
    for (int32_t p = 0; p < JAM_PADS; ++p)
        mark(kPads[p].iX + 6, 101, parts >> (2 + p) & 1);
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
        mark(kRiffKeys[k].iX + 6, kRiffKeys[k].iY + 4, riffs >> k & 1);
}

void DrawKeyboardPlate(int32_t k, const JAMPLAYER &pl)
{
    AddTile(kNameX[k], kNameY, 134, 16, 20, 24, 40);
    AddText(g_aszJamKeyboardNames[k][0] ? g_aszJamKeyboardNames[k] : Ui_Text(696 + k), kNameX[k] + 12, kNameY + 2);
    AddImage(94 + int32_t(std::min<uint32_t>(pl.aKeyboard[k].uOctave, 5)), kOctaveX[k], kOctaveY);
}

int32_t s_iPanelPhase = -1;
int32_t s_iPanelScroll = 0;

void Jam_DrawPlayerPanel(const JAMNET &net, int32_t p)
{
    const NETPLAYERSLOT &slot = net.aSlotNames[p];
    const bool empty = !slot.szName[0] || std::strcmp(slot.szName, "EMPTY") == 0;
    const bool selected = g_iJamSelectedPlayer == p;
    AddTile(kPanelX[p], 235, 96, 18, empty ? 64 : 0, empty ? 0 : selected ? 128 : 64, 0);
    AddText(empty ? "EMPTY" : slot.szName, kPanelX[p] + 48, 238, true);
    if (p == 0) {
        const int32_t phase = (g_iJamStep.load(std::memory_order_relaxed) % JAM_PHRASE_STEPS) / 16;
        if (phase != s_iPanelPhase) {
            s_iPanelPhase = phase;
            s_iPanelScroll = 24;
        }
        s_iPanelScroll = std::max(0, s_iPanelScroll - 4);
    }
    if (empty)
        return;
    const JAMTALLY &t = net.aTally[p];
    for (int32_t row = 0; row < 4; ++row)
        for (int32_t col = 0; col < 5; ++col) {
            const int32_t x = col * 24 + s_iPanelScroll - 24;
            if (x < 0 || x + 24 > 96)
                continue;
            const uint32_t v = t.auShown[row * 4 + ((s_iPanelPhase + col) & 3)];
            int32_t icon = -1;
            if (v >= 1 && v <= 12)
                icon = kIconRiff;
            else if (v >= 13 && v <= 22)
                icon = kIconPad;
            else if (v == 23 || v == 24) {
                const uint32_t word = net.aPlayers[p].aKeyboard[v - 23].uSlotWord;
                icon = p == net.iNetMySlot && g_bNetJamImmediate ? kIconOwnKeyboard
                                                                 : kIconKeyboard + int32_t((word >> 8 & 255) % 3);
            }
            AddImage(icon, kPanelX[p] + x, kPanelY + row * 24);
        }
}

void Jam_DrawDial(const JAMNET &net)
{
    int32_t x = 0, y = 0;
    Jam_DialKnobPosition(net.aDials[JAM_LOCAL_PLAYER].iPosition, &x, &y);
    AddImage(104, kDialX, kDialY);
    AddImage(103, x, y);
}

void DrawPluginPanel(const JAMNET &net, int32_t player)
{
    const JAMPLAYER &pl = net.aPlayers[player];
    const int32_t instance = pl.iPluginSlot >= 0 ? Jam_PlayerPluginInstance(player, pl.iPluginSlot) : -1;
    PLUGININSTANCE *in = nullptr;
    if (instance >= 0)
        Snd_GetPlugin(instance, &in);
    if (!in) {
        AddTile(JAM_PLUGIN_PANEL_X, 202, 128, 8, 64, 0, 0);
        AddText("No Plugin Loaded", 292, 200, true);
        return;
    }
    char label[64];
    std::snprintf(label, sizeof label, "%d: %s", pl.iPluginSlot + 1, in->szName);
    AddTile(JAM_PLUGIN_PANEL_X, 202, 128, 8, 0, 64, 0);
    AddText(label, 292, 200, true);
}

// ---- Log list ----

LISTWIDGET *s_pLogList;
// A row buffer starts with the list's own row number; the text follows.
constexpr int32_t kLogRowText = 4;
constexpr int32_t kLogRowStride = kLogRowText + JAM_LOG_CHARS;

void LogFillRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    Jam_LogRowText(n, static_cast<char *>(row) + kLogRowText, JAM_LOG_CHARS);
}

void Jam_LogRowDraw(void *row, int32_t x, int32_t y)
{
    Gfx_DrawTextInFont(static_cast<const char *>(row) + kLogRowText, x + 2, y, &g_tFontMain, 0x808080,
                       g_pOrderingTable);
}

void Jam_DrawChatLine(void *)
{
    // Added in front: the text over its tile.
    if (g_szJamChatLine[0] || g_bTextEntryActive) {
        char shown[JAM_CHAT_CHARS + 4];
        std::snprintf(shown, sizeof shown, "%s%s", g_szJamChatLine, g_bTextEntryActive && !g_bJamKeyboardInput ? "_" : "");
        Gfx_DrawTextInFont(shown, kLogX + 2, kChatY, &g_tFontMain, 0x808080, g_pOrderingTable);
    }
    Gfx_AddTile(kLogX, kChatY, kLogW, 12, 24, 24, 24);
}

// ---- Hotspot handlers ----

template <typename F> void Locked(F f)
{
    JAMNET *net = g_NetNode.pJam ? g_NetNode.pJam : &g_JamNet;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    f(net);
}

void PluginSlotMenu(int32_t) { Jam_OpenPluginSlotList(); }
void PluginPanelMouse(int32_t)
{
    Locked([](JAMNET *) { Jam_PluginPanelMouse(&g_NetNode, g_sMouseX, g_sMouseY, g_ucMouseButtons); });
}
void PlayerMenu(int32_t p) { Jam_OpenPlayerMenu(p); }
void BeginChat(int32_t) { Jam_BeginChat(); }
void SelectKeyboard(int32_t k)
{
    Locked([k](JAMNET *) { Jam_SelectKeyboard(&g_NetNode, k); });
}
void SelectPad(int32_t p)
{
    Locked([p](JAMNET *) { Jam_SelectPad(&g_NetNode, p); });
}
void SelectRiffKey(int32_t k)
{
    Locked([k](JAMNET *) { Jam_SelectRiffKey(&g_NetNode, k); });
}
void StartDial(int32_t)
{
    if (!g_bJamDialDrag)
        Jam_StartDialDrag();
}
void ControllerList(int32_t) { Jam_OpenControllerList(); }

#define SPOT(x, y, w, h, fn, trig, arg, cap) {x, y, w, h, fn, trig, arg, cap}
#define RIFF(k) SPOT(kRiffKeys[k].iX, 8, 32, 32, Jam_ChooseRiff, 2, k, 3 + k), SPOT(kRiffKeys[k].iX, 8, 32, 32, SelectRiffKey, 1, k, 3 + k)
#define PAD(p) SPOT(kPads[p].iX, 97, 32, 32, Jam_ChoosePadInstrument, 2, p, 15 + p), SPOT(kPads[p].iX, 97, 32, 32, SelectPad, 1, p, 15 + p)

const JAMHOTSPOT kHotspots[] = {
    SPOT(0, 0, 0, 0, nullptr, 0, 0, 0),
    SPOT(0, 0, 0, 0, nullptr, 0, 0, 0),
    SPOT(228, 202, 128, 9, PluginSlotMenu, 2, 0, 0),
    SPOT(228, 138, 128, 64, PluginPanelMouse, 3, 0, 0),
    SPOT(228, 138, 128, 64, PluginPanelMouse, 1, 0, 0),
    SPOT(228, 138, 128, 64, PluginPanelMouse, 4, 0, 0),
    SPOT(228, 138, 128, 64, PluginPanelMouse, 2, 0, 0),
    SPOT(43, 251, 96, 96, Jam_SelectPlayer, 1, 0, 0),
    SPOT(196, 251, 96, 96, Jam_SelectPlayer, 1, 1, 0),
    SPOT(349, 251, 96, 96, Jam_SelectPlayer, 1, 2, 0),
    SPOT(502, 251, 96, 96, Jam_SelectPlayer, 1, 3, 0),
    SPOT(43, 235, 96, 16, PlayerMenu, 2, 0, 0),
    SPOT(196, 235, 96, 16, PlayerMenu, 2, 1, 0),
    SPOT(349, 235, 96, 16, PlayerMenu, 2, 2, 0),
    SPOT(502, 235, 96, 16, PlayerMenu, 2, 3, 0),
    SPOT(40, 447, 552, 12, BeginChat, 1, 0, 0),
    SPOT(38, 150, 134, 16, Jam_ChooseKeyboardInstrument, 2, 0, 1),
    SPOT(432, 150, 134, 16, Jam_ChooseKeyboardInstrument, 2, 1, 2),
    SPOT(38, 150, 134, 16, SelectKeyboard, 1, 0, 1),
    SPOT(432, 150, 134, 16, SelectKeyboard, 1, 1, 2),
    SPOT(362, 150, 48, 48, StartDial, 3, 1, 25),
    SPOT(362, 150, 48, 48, ControllerList, 2, 0, 25),
    SPOT(180, 146, 24, 24, Jam_OctaveUp, 1, 0, 0),
    SPOT(574, 146, 24, 24, Jam_OctaveUp, 1, 1, 0),
    SPOT(180, 146, 24, 24, Jam_OctaveDown, 2, 0, 0),
    SPOT(574, 146, 24, 24, Jam_OctaveDown, 2, 1, 0),
    RIFF(0), RIFF(1), RIFF(2), RIFF(3), RIFF(4), RIFF(5), RIFF(6), RIFF(7), RIFF(8), RIFF(9), RIFF(10), RIFF(11),
    PAD(0), PAD(1), PAD(2), PAD(3), PAD(4), PAD(5), PAD(6), PAD(7), PAD(8),
    SPOT(-1, 0, 0, 0, nullptr, 0, 0, 0),
};
#undef PAD
#undef RIFF
#undef SPOT

// The local player's captions, kept while another player is shown.
char s_aszLocalCaptions[JAM_CAPTIONS][JAM_CAPTION_BYTES];
char s_aszLocalKeyboardNames[JAM_KEYBOARDS][JAM_CAPTION_BYTES];
bool s_bLocalCaptionsSaved = false;

void CaptionOfWord(const JAMNET &net, uint32_t word, bool riff, char *out, size_t size)
{
    if (!word) {
        std::snprintf(out, size, "%s", Ui_Text(663));
        return;
    }
    if (Jam_IsListEntry(word)) {
        const int32_t player = Jam_ListEntryPlayer(word);
        const uint32_t entry = Jam_ListEntryNumber(word);
        if (riff) {
            const uint16_t id = Jam_RiffListEntry(Jam_ListOwner(player, net.iNetMySlot), entry);
            const RIFFENTRY *r = id ? g_JamSeqCalls.GetRiff(id) : nullptr;
            std::snprintf(out, size, "%.16s", r ? r->szName : "");
        } else {
            const uint16_t id = Jam_InstrumentListEntry(Jam_ListOwner(player, net.iNetMySlot), entry);
            char name[32] = {};
            if (id)
                Seq_GetInstrumentName(id, name);
            std::snprintf(out, size, "%s", name);
        }
        return;
    }
    uint32_t a = 0, b = 0, c = 0;
    Jam_UnpackLibraryKey(word, &a, &b, &c);
    if (!c)
        std::snprintf(out, size, "%s", Ui_Text(663));
    else
        std::snprintf(out, size, "%u/%u/%u", a, b, c);
}

void CaptionsFromPlayer(const JAMNET &net, int32_t p)
{
    const JAMPLAYER &pl = net.aPlayers[p];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
        CaptionOfWord(net, Jam_SlotWordOf(pl.auRiffKey[k]), true, g_aszJamCaptions[3 + k], JAM_CAPTION_BYTES);
    for (int32_t i = 0; i < JAM_PADS; ++i)
        CaptionOfWord(net, Jam_SlotWordOf(pl.auPad[i]), false, g_aszJamCaptions[15 + i], JAM_CAPTION_BYTES);
    for (int32_t k = 0; k < JAM_KEYBOARDS; ++k) {
        const uint32_t word = pl.aKeyboard[k].uSlotWord;
        CaptionOfWord(net, word, false, g_aszJamCaptions[1 + k], JAM_CAPTION_BYTES);
        if (word)
            std::snprintf(g_aszJamKeyboardNames[k], JAM_CAPTION_BYTES, "%s", g_aszJamCaptions[1 + k]);
        else
            std::snprintf(g_aszJamKeyboardNames[k], JAM_CAPTION_BYTES, "%s", Ui_Text(696 + k));
    }
}

void OpenChoicePopup(int32_t kind, int32_t x, int32_t y)
{
    g_bJamKeysActive = 0;
    Ui_SetMenuPage(kind == POPUP_RIFF_LIBRARY ? 18 : 2);
    if (!Ui_OpenPopup(kind, nullptr, x, y, 170, 306))
        g_bJamKeysActive = 1;
}

void EditTempoItem() { Jam_EditTempo(); }

} // namespace

// ---- Drawing ----

const JAMBUTTON *Jam_ButtonList(int32_t list, int32_t *originX, int32_t *originY)
{
    int32_t ox = 0;
    const JAMBUTTON *b = kRiffKeys;
    switch (list) {
    case JAM_LIST_PADS: b = kPads; break;
    case JAM_LIST_KEYBOARD0: b = kKeyboard; break;
    case JAM_LIST_KEYBOARD1:
        b = kKeyboard;
        ox = kKeyboardOffset;
        break;
    default: break;
    }
    if (originX)
        *originX = ox;
    if (originY)
        *originY = 0;
    return b;
}

int32_t Jam_RiffKeyButtonState(const JAMPLAYER &player, int32_t key, int32_t rowStep)
{
    if (key < 0 || key >= JAM_RIFF_KEYS)
        return 0;
    const uint32_t w = player.auRiffKey[key];
    if (!Jam_SlotWordOf(w))
        return 0;
    if (!(w & 1))
        return 1;
    if (!(player.auRiffLatch[key] & 1))
        return 2;
    return rowStep % 4 == 0 ? 2 : 1;
}

int32_t Jam_PadButtonState(const JAMPLAYER &player, int32_t pad)
{
    if (pad < 0 || pad >= JAM_PADS || !Jam_SlotWordOf(player.auPad[pad]))
        return 0;
    return player.auPad[pad] & 1 ? 2 : 1;
}

int32_t Jam_KeyboardButtonState(const JAMPLAYER &player, int32_t keyboard, int32_t key)
{
    if (keyboard < 0 || keyboard >= JAM_KEYBOARDS || key < 0 || key >= JAM_KEYBOARD_KEYS)
        return 0;
    return player.aKeyboard[keyboard].uHeld >> key & 1 ? 2 : 1;
}

void Jam_DialKnobPosition(int32_t position, int32_t *x, int32_t *y)
{
    const int32_t a = (position + 128) * 16;
    *x = 381 + Sys_FixedSin(a) / 384;
    *y = 169 + Sys_FixedCos(a) / 384;
}

void Jam_FrameUpdate()
{
    // The layer keeps what was drawn, so the picture goes under every frame: nothing moving
    // leaves a trail.
    Gfx_DrawJamBackground();
    Jam_HandleMouse();
    JAMNET *net = g_NetNode.pJam ? g_NetNode.pJam : &g_JamNet;
    {
        std::lock_guard<std::recursive_mutex> hold(net->Lock);
        const int32_t shown = g_iJamSelectedPlayer >= 0 && g_iJamSelectedPlayer < JAM_PLAYERS ? g_iJamSelectedPlayer
                                                                                               : JAM_LOCAL_PLAYER;
        const JAMPLAYER &pl = net->aPlayers[shown];
        Jam_UpdateRiffMeters(shown);
        DrawRiffMeters(shown);
        for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
            Jam_DrawPlayerPanel(*net, p);
        Jam_DrawButtonList(JAM_LIST_PADS, pl, shown);
        Jam_DrawButtonList(JAM_LIST_RIFFS, pl, shown);
        for (int32_t k = 0; k < JAM_KEYBOARDS; ++k) {
            DrawKeyboardPlate(k, pl);
            Jam_DrawButtonList(JAM_LIST_KEYBOARD0 + k, pl, shown);
        }
        // The marks go over the buttons: a mark under a pad would never be seen.
        Jam_DrawSelectionMarks(pl);
        Jam_DrawDial(*net);
        Jam_DialDragFrame(&g_NetNode);
        Jam_ApplyPlayerInput(net);
        // The picture goes straight into the layer; its label is drawn over it.
        Jam_DrawPluginPanel(net, shown);
        DrawPluginPanel(*net, shown);
    }
    FlushPieces();
}

// ---- Log ----

WINDOW *Jam_OpenLogWindow()
{
    g_szJamChatLine[0] = 0;
    s_iPanelPhase = -1;
    s_bLocalCaptionsSaved = false;
    WINDOWDESC desc{};
    desc.w = 640;
    desc.h = 480;
    desc.draw = Jam_DrawChatLine;
    WINDOW *w = Ui_OpenWindow(&desc);
    if (!w)
        return nullptr;
    w->flags |= WINDOW_NO_FRAME;
    LISTDESC ld{};
    ld.x = kLogX;
    ld.y = kLogY;
    ld.w = kLogW;
    ld.visibleRows = 6;
    ld.totalRows = JAM_LOG_LINES;
    ld.selected = JAM_LOG_LINES;
    ld.first = 25;
    ld.rowHeight = 12;
    ld.rowStride = kLogRowStride;
    ld.fillRow = LogFillRow;
    ld.drawRow = Jam_LogRowDraw;
    s_pLogList = Ui_CreateList(&ld, w);
    // The jam's page menu (28).
    Ui_SetMenuItemHandler(147, Jam_OpenTemplateList);
    Ui_SetMenuItemHandler(166, Jam_ResetLocalAndCloseMenu);
    Ui_SetMenuItemHandler(150, EditTempoItem);
    Ui_SetMenuItemHandler(151, Jam_AskEndSession);
    return w;
}

void Jam_RefreshLogList()
{
    if (!s_pLogList || !g_pJamLogWindow || !Ui_WindowIsOpen(g_pJamLogWindow))
        return;
    s_pLogList->first = 25;
    s_pLogList->selected = JAM_LOG_LINES;
    Ui_RefillListRows(s_pLogList);
    if (s_pLogList->scrollBar) {
        Ui_SetScrollBarPos(s_pLogList->scrollBar, s_pLogList->first);
        Ui_MarkScrollBarDirty(s_pLogList->scrollBar);
    }
}

void Jam_LogRowText(int32_t row, char *out, int32_t size)
{
    if (!out || size <= 0)
        return;
    if (row >= 1 && row < JAM_LOG_LINES)
        Jam_CopyLogLine(row, out, size_t(size));
    else
        out[0] = 0;
}

// ---- Chat ----

void Jam_BeginChat()
{
    if (g_bJamSinglePlayer) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    if (g_bTextEntryActive)
        return;
    g_bJamKeyboardInput = 0;
    Jam_ReleaseAllKeys();
    Sys_BeginTextEntry(Jam_ChatAccept, Jam_ChatCancel, Jam_ChatChanged, JAM_CHAT_CHARS, g_szJamChatLine);
}

void Jam_ChatChanged() { std::snprintf(g_szJamChatLine, sizeof g_szJamChatLine, "%.*s", JAM_CHAT_CHARS, g_szTextEntry); }

void Jam_ChatAccept()
{
    Jam_ChatChanged();
    if (g_szJamChatLine[0] && g_NetNode.pJam) {
        char text[JAM_LOG_CHARS];
        std::lock_guard<std::recursive_mutex> hold(g_NetNode.pJam->Lock);
        const int32_t mine = g_NetNode.pJam->iNetMySlot;
        const char *name = mine >= 0 && mine < JAM_NET_SLOTS ? g_NetNode.pJam->aSlotNames[mine].szName : "";
        std::snprintf(text, sizeof text, "<%s> %s", name, g_szJamChatLine);
        Net_SendText(&g_NetNode, text, -1);
    }
    Sys_EndTextEntry();
    g_szJamChatLine[0] = 0;
    g_bJamKeyboardInput = 1;
}

void Jam_ChatCancel()
{
    Sys_EndTextEntry();
    g_szJamChatLine[0] = 0;
    g_bJamKeyboardInput = 1;
}

// ---- Mouse ----

const JAMHOTSPOT *Jam_Hotspots() { return kHotspots; }

bool Jam_HotspotContains(const JAMHOTSPOT &s, int32_t px, int32_t py)
{
    return s.iX - 1 < px && px < s.iX + 3 + s.iW && s.iY - 1 < py && py < s.iY + s.iH;
}

void Jam_HandleMouse()
{
    if (!g_bJamKeysActive)
        return;
    if (!g_bJamDialDrag) {
        g_szHintText[0] = 0;
        if (g_bPointerFrozen)
            Ui_UnfreezePointer();
    }
    const uint8_t b = g_ucMouseButtons;
    if (g_iJamSelectedPlayer != JAM_LOCAL_PLAYER && (b & MOUSE_LEFT_PRESS))
        Jam_SelectPlayer(JAM_LOCAL_PLAYER);
    bool pageMenu = (b & MOUSE_RIGHT_PRESS) != 0;
    const int32_t px = g_sMouseX, py = g_sMouseY;
    for (const JAMHOTSPOT *s = kHotspots; s->iX != -1; ++s) {
        if (!Jam_HotspotContains(*s, px, py))
            continue;
        if (s->iCaption > 0 && !g_bJamDialDrag)
            std::snprintf(g_szHintText, sizeof g_szHintText, "%s", g_aszJamCaptions[s->iCaption]);
        if (!s->pfnHandler)
            continue;
        const bool left = s->iTrigger == JAM_TRIGGER_LEFT && (b & MOUSE_LEFT_PRESS);
        const bool right = s->iTrigger == JAM_TRIGGER_RIGHT && (b & MOUSE_RIGHT_PRESS);
        const bool held = s->iTrigger == JAM_TRIGGER_HELD && (b & MOUSE_LEFT_DOWN);
        if (right)
            pageMenu = false;
        if (left || right || held) {
            s->pfnHandler(s->iArgument);
            if (!g_bJamKeysActive)
                return; // a pop-up or menu took over
        }
    }
    if (pageMenu)
        Jam_OpenPageMenu();
}

void Jam_SelectPlayer(int32_t p)
{
    JAMNET *net = g_NetNode.pJam ? g_NetNode.pJam : &g_JamNet;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    if (p != JAM_LOCAL_PLAYER &&
        (p < 0 || p >= JAM_NET_SLOTS || p == net->iNetMySlot || !net->aSlotNames[p].uState))
        return;
    if (p == g_iJamSelectedPlayer)
        return;
    if (g_iJamSelectedPlayer == JAM_LOCAL_PLAYER) {
        std::memcpy(s_aszLocalCaptions, g_aszJamCaptions, sizeof s_aszLocalCaptions);
        std::memcpy(s_aszLocalKeyboardNames, g_aszJamKeyboardNames, sizeof s_aszLocalKeyboardNames);
        s_bLocalCaptionsSaved = true;
    }
    g_iJamSelectedPlayer = p;
    if (p == JAM_LOCAL_PLAYER && s_bLocalCaptionsSaved) {
        std::memcpy(g_aszJamCaptions, s_aszLocalCaptions, sizeof s_aszLocalCaptions);
        std::memcpy(g_aszJamKeyboardNames, s_aszLocalKeyboardNames, sizeof s_aszLocalKeyboardNames);
    } else {
        CaptionsFromPlayer(*net, p);
    }
}

void Jam_OctaveUp(int32_t k)
{
    if (k < 0 || k >= JAM_KEYBOARDS)
        return;
    Locked([k](JAMNET *net) {
        uint32_t &o = net->aPlayers[JAM_LOCAL_PLAYER].aKeyboard[k].uOctave;
        o = o >= 5 ? 0 : o + 1;
    });
}

void Jam_OctaveDown(int32_t k)
{
    if (k < 0 || k >= JAM_KEYBOARDS)
        return;
    Locked([k](JAMNET *net) {
        uint32_t &o = net->aPlayers[JAM_LOCAL_PLAYER].aKeyboard[k].uOctave;
        o = o == 0 || o > 5 ? 5 : o - 1;
    });
}

void Jam_ChooseRiff(int32_t key)
{
    if (key < 0 || key >= JAM_RIFF_KEYS)
        return;
    g_iJamRiffKeyChoice = key;
    OpenChoicePopup(POPUP_RIFF_LIBRARY, g_sMouseX, g_sMouseY);
}

void Jam_ChoosePadInstrument(int32_t pad)
{
    if (pad < 0 || pad >= JAM_PADS)
        return;
    g_iJamSlotChoice = pad;
    OpenChoicePopup(POPUP_SAMPLE_LIBRARY, g_sMouseX, g_sMouseY);
}

void Jam_ChooseKeyboardInstrument(int32_t keyboard)
{
    if (keyboard < 0 || keyboard >= JAM_KEYBOARDS)
        return;
    g_iJamKeyboardChoice = keyboard;
    OpenChoicePopup(POPUP_SAMPLE_LIBRARY, g_iScreenWidth / 4, 69);
}

void Jam_OpenPageMenu()
{
    Ui_SetMenuPage(28);
    g_bJamKeysActive = 0;
    Ui_OpenPageMenu();
}

void Jam_OpenTemplateList()
{
    Ui_ClosePageMenu();
    g_bJamKeysActive = 0;
    if (!Ui_OpenPopup(POPUP_JAM_LIST, nullptr, g_iScreenWidth / 4, 69, 170, 306))
        g_bJamKeysActive = 1;
}

void Jam_PopupsClosed()
{
    if (!g_bJamSessionOn)
        return;
    if (g_pCurrentPopup && !g_pCurrentPopup->free)
        return;
    g_iScreen = 10;
    g_iNextScreen = 10;
    g_bJamKeysActive = 1;
    if (g_pJamWindow)
        Ui_SetFocus(g_pJamWindow);
}

bool Jam_ChooseFromLibraryPopup(POPUP *p, int32_t row)
{
    if (!p || !p->desc || row < 0 || !g_NetNode.pJam)
        return false;
    const uint32_t a = uint32_t(std::max<int>(p->desc->folder, 0)), b = uint32_t(std::max<int>(p->desc->subfolder, 0));
    const uint32_t c = uint32_t(row + 1);
    std::lock_guard<std::recursive_mutex> hold(g_NetNode.pJam->Lock);
    // A jam player's folder: the row is an entry of that player's list.
    if (const int32_t player = Ui_JamLibraryFolderPlayer(p); player >= 0) {
        if (p->kind == POPUP_RIFF_LIBRARY)
            return g_iJamRiffKeyChoice >= 0 && Jam_AssignRiffFromList(&g_NetNode, player, c, -1, 1) == 0;
        return (g_iJamSlotChoice >= 0 || g_iJamKeyboardChoice >= 0) &&
               Jam_AssignInstrumentFromList(&g_NetNode, player, c, -1, 1) == 0;
    }
    if (p->kind == POPUP_RIFF_LIBRARY)
        return g_iJamRiffKeyChoice >= 0 && Jam_AssignRiffFromLibrary(&g_NetNode, a, b, c, -1) == 0;
    if (p->kind != POPUP_SAMPLE_LIBRARY)
        return false;
    if (g_iJamSlotChoice >= 0)
        return Jam_AssignInstrumentFromLibrary(&g_NetNode, a, b, c, -1) == 0;
    if (g_iJamKeyboardChoice >= 0)
        return Jam_AssignKeyboardFromLibrary(&g_NetNode, a, b, c, -1) == 0;
    return false;
}
