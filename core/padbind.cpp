#include "core/padbind.h"
#include "sequencer/playback.h"

#include "core/console_memory.h"
#include "core/cardsave.h"
#include "core/consolelib.h"
#include "editors/jukebox.h"
#include "ui/msgbox.h"
#include "video/engine.h"

#include <atomic>
#include <cstdio>
#include <cstring>

// Owned by neighbours: the video engine's sound overlay and the sequencer.
void Vid_EnterVideoOverlay();
void Vid_LeaveVideoOverlay();

OVERLAY OVERLAYS[OVERLAY_COUNT] = {
    {Vid_EnterVideoOverlay, Vid_LeaveVideoOverlay, 0, "overlays\\sound.bin"},
    {nullptr, nullptr, 0, "overlays\\jammode.bin"},
    {nullptr, nullptr, 0, "overlays\\load.bin"},
    {Sys_CardOverlayEnter, Sys_CardOverlayLeave, 0, "overlays\\other.bin"},
};
int32_t g_iCurrentOverlay = -1;

PADBINDINGS g_PadBindings;
PADACTION g_apfnPadActions[PAD_MAX_ACTIONS];
int32_t g_nPadActions;
int32_t g_iScreen;
int32_t g_iNextScreen = -1;
uint16_t g_wPadWorkButtons = 0xFFFF;
const uint16_t *g_pPadButtons = &g_wPadWorkButtons;
uint16_t g_wPadPrevButtons = 0xFFFF;
uint8_t g_ucPadMissingCount;

namespace
{
constexpr int kPadMissingLimit = 5;
constexpr uint16_t kBlockAllButCursor = 0xFF0F; // every slot but the directions 4-7
constexpr int kTextPadRemoved = 454;
constexpr int kScreenPadRemovedLiteral = 57;

PADACTION ActionOf(uint16_t cell)
{
    const int index = cell & BIND_INDEX_MASK;
    return index < g_nPadActions ? g_apfnPadActions[index] : nullptr;
}
} // namespace

void Sys_SwitchOverlay(int32_t id)
{
    if (id < -1 || id >= OVERLAY_COUNT || id == g_iCurrentOverlay)
        return;
    if (g_iCurrentOverlay >= 0 && OVERLAYS[g_iCurrentOverlay].pfnLeave)
        OVERLAYS[g_iCurrentOverlay].pfnLeave();
    g_iCurrentOverlay = id;
    if (id >= 0 && OVERLAYS[id].pfnEnter)
        OVERLAYS[id].pfnEnter();
}

void Sys_PadClearBindings()
{
    g_pPadButtons = &g_wPadWorkButtons;
    g_wPadPrevButtons = 0xFFFF;
    g_iNextScreen = -1;
    std::memset(&g_PadBindings, 0, sizeof g_PadBindings);
    std::memset(g_apfnPadActions, 0, sizeof g_apfnPadActions);
    g_nPadActions = 0;
    g_pPadRemovedBox = nullptr;
}

int Sys_PadBind(uint16_t screen, uint8_t slot, PADACTION action, uint16_t flags)
{
    if (screen >= PAD_SCREENS || slot >= PAD_SLOTS)
    {
        std::fprintf(stderr, "pad bind refused: screen %u slot %u outside the grid\n", screen, slot);
        return -1;
    }
    uint16_t &cell = g_PadBindings.auCell[screen][slot];
    if (!action)
    {
        cell = uint16_t((flags & 0xFF) | ((((flags >> 8) | 0x80) & 0xFF) << 8));
        return 0;
    }
    int index = 0;
    while (index < g_nPadActions && g_apfnPadActions[index] != action)
        ++index;
    if (index == g_nPadActions)
    {
        if (g_nPadActions >= PAD_MAX_ACTIONS)
        {
            std::fprintf(stderr, "pad bind refused: more than %d distinct actions\n", PAD_MAX_ACTIONS);
            return -1;
        }
        g_apfnPadActions[g_nPadActions++] = action;
    }
    // Only the kind bits of the flags: stray low bits would point the cell at another action.
    cell = uint16_t(index | (flags & 0xE000));
    return 0;
}

void Sys_PadDispatch()
{
    const uint16_t buttons = g_pPadButtons ? *g_pPadButtons : 0xFFFF;
    const uint16_t prev = g_wPadPrevButtons;
    // A handler may set g_iScreen to anything; a row outside the grid dispatches nothing.
    if (g_iScreen >= 0 && g_iScreen < PAD_SCREENS)
    {
        const uint16_t *row = g_PadBindings.auCell[g_iScreen];
        uint16_t block = 0;
        for (int slot = 0; slot < PAD_SLOTS; ++slot)
        {
            const uint16_t cell = row[slot];
            if (!cell)
                continue;
            const uint16_t m = uint16_t(1u << slot);
            const int kind = cell >> 13;
            const PADACTION action = ActionOf(cell);
            if (!(buttons & m) && !(block & m) && action)
            {
                if (slot < 4 || slot > 7)
                    block = kBlockAllButCursor;
                if ((kind == 1 && (prev & m)) || kind == 2)
                    action();
            }
            // Release needs the button up now: a blocked slot still held must not fire.
            else if (kind == 3 && action && (buttons & m) && !(prev & m))
                action();
        }
    }
    g_wPadPrevButtons = buttons;
    if (g_iNextScreen != -1)
    {
        g_iScreen = g_iNextScreen;
        g_iNextScreen = -1;
    }
}

void Sys_PadCheckRemoved()
{
    g_iAttractLastActivity = g_iFrameCount.load();
    if (g_ucPadMissingCount < kPadMissingLimit)
    {
        ++g_ucPadMissingCount;
        return;
    }
    if (g_ucPadMissingCount != kPadMissingLimit || g_pPadRemovedBox || g_ucFullScreenVideo != 0)
        return;
    // The box returns to the screen the user was heading for.
    const int32_t remembered = g_iNextScreen != -1 ? g_iNextScreen : g_iScreen;
    MSGBOXREQUEST req{};
    req.ucIcon = 0;
    req.ucOffset22 = 5;
    if (g_iScreen == kScreenPadRemovedLiteral)
    {
        req.pszText = "Controller removed.";
        req.ucFlags = MSGBOX_COPY_TEXT;
    }
    else
        req.pszText = g_apszText[kTextPadRemoved];
    MSGBOX *box = Ui_OpenMessageBox(&req);
    g_pPadRemovedBox = box;
    if (!g_bSongPlaying)
        return;
    if (g_iScreen == 4 || g_iScreen == 58 || g_iScreen == 5)
    {
        Ui_StopPlayback();
        if (box)
        {
            if (g_iScreen != 5)
                box->ucFlags |= 4;
            box->sSavedScreen = int16_t(remembered);
        }
    }
    else
    {
        const bool riffPreview = g_bSongPlaying == 0xFE;
        Seq_StopSong();
        if (riffPreview)
            Seq_StopRiffPreview();
    }
}

namespace
{
uint16_t PackColour(const uint8_t *c)
{
    return uint16_t((c[0] >> 3) | ((c[1] & 0xF8) << 2) | ((c[2] & 0xF8) << 7));
}
} // namespace

void Sys_GradientColourAt(const uint8_t *colour1, const uint8_t *colour2, const uint8_t *colour3,
                          int32_t share1, int32_t share2, int32_t share3, int32_t start,
                          uint16_t *out)
{
    if (!out || start < 0 || start > 255)
        return;
    static const uint8_t kBlack[3] = {0, 0, 0};
    const uint8_t *col[3] = {colour1 ? colour1 : kBlack, colour2 ? colour2 : kBlack,
                             colour3 ? colour3 : kBlack};
    // A negative width means nothing; clamping keeps the divisions below non-zero.
    int64_t share[3] = {share1 > 0 ? share1 : 0, share2 > 0 ? share2 : 0, share3 > 0 ? share3 : 0};
    int count = share[2] ? 3 : 2;
    while (share[0] == 0 && count > 0)
    {
        col[0] = col[1], col[1] = col[2];
        share[0] = share[1], share[1] = share[2], share[2] = 0;
        --count;
    }
    while (count > 1 && share[1] == 0)
    {
        col[1] = col[2];
        share[1] = share[2], share[2] = 0;
        --count;
    }
    if (count == 0)
    {
        std::memset(out, 0, 256 * sizeof *out);
        return;
    }
    if (count == 1)
    {
        const uint16_t c = PackColour(col[0]);
        for (int i = 0; i < 256; ++i)
            out[i] = c;
        return;
    }
    const int64_t total = share[0] + share[1] + (count == 3 ? share[2] : 0);
    int64_t len[3] = {0, 0, 0};
    if (count == 2)
    {
        col[2] = col[0];
        len[0] = len[1] = (((share[0] + share[1] + 1) << 8) | 64) / (2 * total);
    }
    else
    {
        len[0] = ((share[0] + share[1]) * 128 + 64) / total;
        len[1] = ((share[1] + share[2]) * 128 + 64) / total;
        len[2] = ((share[2] + share[0]) * 128 + 64) / total;
    }
    int pos = start;
    // Only the first segment blends; the later ones repeat its last colour, which the palette
    // data was made with.
    uint8_t last[3] = {col[0][0], col[0][1], col[0][2]};
    for (int64_t i = 0; i < len[0]; ++i)
    {
        const int64_t t = (i + 1) * 4096 / len[0];
        Sys_BlendColour(col[0], col[1], int32_t(4096 - t), int32_t(t), last);
        out[pos] = PackColour(last);
        pos = (pos + 1) & 255;
    }
    const uint16_t tail = uint16_t(PackColour(last) | 0x8000);
    for (int seg = 1; seg < count; ++seg)
        for (int64_t i = 0; i < len[seg]; ++i)
        {
            out[pos] = tail;
            pos = (pos + 1) & 255;
        }
}

void Sys_DebugSetMark(int32_t) {}
void Sys_DebugFrameHook() {}
void Sys_DebugSoundHook() {}
void Sys_VSyncCallback() {}
void Sys_DisplayObjectsHook() {}
void Sys_StartupHook() {}
