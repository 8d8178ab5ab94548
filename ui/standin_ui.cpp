#include "ui/standin_ui.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "app/startup.h"
#include "app/timers.h"
#include "audio/midiin.h"
#include "core/console_memory.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/screentiles.h"

#include <algorithm>
#include <cstring>

void * g_pCurrentPopup = nullptr;
uint8_t g_ucPopupReturn = 0;
int32_t g_bUiRedrawOnce = 0;
uint32_t g_uUiFreeMemory = 0;
int32_t g_iTexturePagesUsed = 0;

// Stand-in.
void Ui_ToggleMouseMode()
{
    Sys_CallLog("Ui_ToggleMouseMode");
}

// Stand-in: of the widget pools only the pointer's start at the screen centre.
void Ui_InitWidgetPools()
{
    Sys_CallLog("Ui_InitWidgetPools");
    g_iPointerX = static_cast<int16_t>(g_iScreenWidth / 2);
    g_iPointerY = static_cast<int16_t>(g_iScreenHeight / 2);
}

// Stand-in for the mouse layer's motion: the last poll's movement moves the pointer, held 12
// pixels short of the far edges.
void Ui_StandinMovePointer()
{
    const int x = g_iPointerX + g_iMouseDeltaX, y = g_iPointerY + g_iMouseDeltaY;
    g_iPointerX = static_cast<int16_t>(std::clamp(x, 0, std::max(0, g_iScreenWidth - 12)));
    g_iPointerY = static_cast<int16_t>(std::clamp(y, 0, std::max(0, g_iScreenHeight - 12)));
}

// Stand-in: one pop-up always free.
void * Ui_OpenPopup(int, const void *, int, int, int, int)
{
    Sys_CallLog("Ui_OpenPopup");
    static int s_popup;
    return &s_popup;
}

// Stand-in until the window stack draws the screens: the interface entry is the last entry of the
// first list (drawn before the rest), and the screen behind every window is the first background
// tile of the tile set, repeated.
void Ui_StandinDrawBackground()
{
    OTLIST *lists = g_pFrameBuffer ? Sys_OrderingTableLists(g_pFrameBuffer) : nullptr;
    if (!lists || lists[0].count == 0)
        return;
    g_pOrderingTable = lists[0].base + 4 * (lists[0].count - 1);
    for (int y = 0; y < g_iScreenHeight; y += TILE_SIZE)
        for (int x = 0; x < g_iScreenWidth; x += TILE_SIZE) {
            uint8_t *p = Gfx_AddPacket(g_pOrderingTable, sizeof(PACKET_SPRITE_T));
            if (!p)
                return;
            PACKET_SPRITE_T s{};
            s.head = {0, 5, 0, 0, 5, PACKET_SPRITE}; // row 0, column 0, page 5: the background tiles
            s.x = static_cast<int16_t>(x);
            s.y = static_cast<int16_t>(y);
            s.clut = PACKET_SCREEN_TILE_MARKER;
            s.w = s.h = TILE_SIZE;
            std::memcpy(p + 4, reinterpret_cast<const uint8_t *>(&s) + 4, sizeof s - 4);
        }
    Gfx_AddDrawArea(0, 0, g_iScreenWidth, g_iScreenHeight);
}

// Stand-in: of the widget frame only the pad latch and the background run.
void Ui_Frame()
{
    Sys_CallLog("Ui_Frame");
    Ui_StandinMovePointer();
    Ui_StandinDrawBackground();
    Sys_DebugSetMark(4);
    Ui_LatchPads();
    // The riff editor takes the live-play notes of its frame on the main thread.
    Snd_DispatchLiveNotes();
    Sys_DebugSetMark(0);
}

namespace {
constexpr int kLiveNotesKept = 1024;
UILIVENOTE s_liveNotes[kLiveNotesKept];
int s_liveNoteCount = 0;
} // namespace

// Stand-in.
void Ui_LiveNoteEntry(int note, int velocity)
{
    if (s_liveNoteCount < kLiveNotesKept)
        s_liveNotes[s_liveNoteCount++] = {note, velocity};
}

const UILIVENOTE *Ui_StandinLiveNotes(int *count)
{
    if (count)
        *count = s_liveNoteCount;
    return s_liveNotes;
}

void Ui_StandinClearLiveNotes()
{
    s_liveNoteCount = 0;
}

// Stand-in: port 1 only (the keyboard's pad); the real latch also merges port 2 and multitaps.
void Ui_LatchPads()
{
    const PADBUFFER *port1 = Sys_PadBuffer(1);
    if (!port1 || port1->status == 0xFF) {
        g_wPadWorkButtons = 0xFFFF;
        Sys_PadCheckRemoved();
        return;
    }
    g_wPadWorkButtons = port1->buttons;
    if (g_ucPadMissingCount) {
        g_ucPadMissingCount--;
        return;
    }
    Sys_PadDispatch();
}

// Stand-in.
void Ui_EscapeAction()
{
    Sys_CallLog("Ui_EscapeAction");
}

// Stand-in: the user's close request quits at once; the interface will ask first.
void Ui_HandleCloseRequest()
{
    Sys_CallLog("Ui_HandleCloseRequest");
    Sys_RequestQuit();
}

// Stand-in.
void Ui_OpenWavSaveProgress(const char *, int)
{
    Sys_CallLog("Ui_OpenWavSaveProgress");
}

// Stand-in.
void Ui_FinishWavSaveProgress()
{
    Sys_CallLog("Ui_FinishWavSaveProgress");
}

// Stand-in: the question box; answering it runs Sys_TryDisplayMode with the requested change.
void Ui_AskTestDisplayMode()
{
    Sys_CallLog("Ui_AskTestDisplayMode");
}

// Stand-in: the failure box of a display test.
void Ui_ReportDisplayModeFailed()
{
    Sys_CallLog("Ui_ReportDisplayModeFailed");
}
