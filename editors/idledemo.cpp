// The idle demo: an empty studio left alone plays a prepared song of the archive full screen with
// its video until a button or key is pressed or the song ends, then comes back as it was.
#include "editors/jukebox.h"

#include "app/calllog.h"
#include "render/display.h"
#include "app/mainwindow.h"
#include "app/timers.h"
#include "audio/capture.h"
#include "core/archive.h"
#include "core/cardsave.h"
#include "core/console_memory.h"
#include "core/idpool.h"
#include "core/padbind.h"
#include "core/random.h"
#include "editors/filescreen.h"
#include "editors/options.h"
#include "editors/mixerpanel.h"
#include "editors/curveeditor.h"
#include "editors/topbar.h"
#include "jam/jamsession.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "sequencer/eventlists.h"
#include "sequencer/undo.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/help.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/samplepanel.h"
#include "ui/textentry.h"
#include "ui/valueslider.h"
#include "ui/widgets.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const PLAYLISTENTRY kBuiltInDemos[2] = {{7, "Ela V8"}, {7, "Ela V8"}};

uint8_t s_ucBlink = 0;
// The song as it stood when the demo started: the emptiness test allows a tempo lane, rows of
// riff 0 and a title, which the demo must not take away.
std::vector<uint8_t> s_vSongBefore;
int32_t s_bSongBeforeTagged = 1;
// A key went down while the demo showed (the shortcut dispatch takes the key code before the
// demo window's frame sees it).
bool s_bKeyPressed = false;
// The last frame the song was not empty.
int32_t s_iSongHeldAt = 0;

void Stamp()
{
    g_iAttractLastActivity = g_iFrameCount.load();
}

bool SongIsEmpty()
{
    return g_iClipCount == 0 && g_uInstrumentCount == 0 && g_uRiffCount <= 1;
}

// Closes a window the reset found on the stack and forgets what pointed at it.
void CloseFound(WINDOW *w)
{
    if (!w || !Ui_WindowIsOpen(w))
        return;
    w->onClose = nullptr;
    Ui_ForgetWindowRoles(w);
    Ui_CloseWindow(w);
}

void RestoreSong()
{
    Seq_StopSong();
    Vid_ResetVideo();
    Seq_NewSong();
    if (!s_vSongBefore.empty()) {
        const int32_t tagged = g_bTaggedSongFile;
        g_bTaggedSongFile = s_bSongBeforeTagged;
        Seq_LoadSongImage(s_vSongBefore.data(), s_vSongBefore.size());
        g_bTaggedSongFile = tagged;
    }
    s_vSongBefore.clear();
    s_vSongBefore.shrink_to_fit();
    Seq_CountUsedRows();
    Seq_ComputeSongTime(9999);
}

} // namespace

DEMOLIST g_tDemoList{2, 0, kBuiltInDemos};
// The song's video over the whole screen: the frame is drawn into the back surface, and the
// interface layer is what reaches the screen, so the picture goes into it under what the window
// draws this frame.
void Ed_DrawSongVideo(void *)
{
    g_iAttractLastActivity = g_iFrameCount.load();
    Vid_RenderFrame();
    Gfx_CopySurfaceRectToFrame(0, 0, LAYER_WIDTH, LAYER_HEIGHT);
}

void (*g_pfnAttractDraw)(void *user) = Ed_DrawSongVideo;
int32_t g_iAttractEndRow = -1;
int32_t g_iAttractLastActivity = 0;
WINDOW *g_pAttractWindow = nullptr;

int32_t Ed_IsButtonDown()
{
    const PADBUFFER *p = Sys_PadBuffer(1);
    return p && p->status != 255 && p->buttons != 0xFFFF ? 1 : 0;
}

void Ed_AttractFreeDemoList()
{
    g_tDemoList = DEMOLIST{2, 0, kBuiltInDemos};
}

void Ed_AttractTick()
{
    Sys_CallLog("Ed_AttractTick");
    const int32_t now = g_iFrameCount.load();
    // The wait counts from the last press and from the last frame the song held something; the
    // latter is kept apart, since other idle waits (the help's) share the activity stamp.
    const bool empty = SongIsEmpty();
    if (!empty)
        s_iSongHeldAt = now;
    const int32_t since = std::max(g_iAttractLastActivity, s_iSongHeldAt);
    // Never over a recording or a mixdown: their windows hold work the reset would drop.
    if (g_iAttractLastActivity >= 0 && since + ED_ATTRACT_TIMEOUT < now && g_ucGridKind != ED_GRIDKIND_PLAYING &&
        !g_bRecording.load() && !g_bMixdownRunning.load() && empty) {
        Ed_AttractStartDemo();
        Stamp();
    }
    if (Ed_IsButtonDown())
        Stamp();
    if (g_pAttractWindow && g_iLastKeyCode != 0)
        s_bKeyPressed = true;
}

void Ed_ResetWindows()
{
    Sys_CallLog("Ed_ResetWindows");
    if (g_bJamSessionOn) {
        if (g_pJamWindow)
            g_pJamWindow->onClose = nullptr;
        Jam_EndSession(1);
    }
    Sys_EndTextEntry();
    Ui_CloseGridScreen();
    for (int i = int(g_ucWindowDepth) - 1; i >= 0; i--)
        CloseFound(g_apWindowStack[i]);
    for (POPUP &p : g_atPopups)
        if (!p.free)
            Ui_TakeDownPopup(&p);
    g_pCurrentPopup = nullptr;
    g_pParentPopup = nullptr;
    g_bPlaylistPopupOpen = 0;
    Ui_ResetMessageBoxes();
    g_pModalWindow = nullptr;
    g_pHelpTextWindow = nullptr;
    g_pSampleEditWindow = nullptr;
    g_pFileBrowserWindow = nullptr;
    g_pFileListWidget = nullptr;
    g_pOptionWindow = nullptr;
    g_pMixerWindow = nullptr;
    g_pCurveWindow = nullptr;
    g_pTopBarWindow = nullptr;
    g_pTextEntryWindow = nullptr;
    g_pKeyboardWindow = nullptr;
    g_pValueEditorWindow = nullptr;
}

void Ed_AttractStartDemo()
{
    Sys_CallLog("Ed_AttractStartDemo");
    // A list read from the archive may hold fewer than two entries: never read past it.
    if (g_tDemoList.count == 0 || !g_tDemoList.entries)
        return;
    const PLAYLISTENTRY &e = g_tDemoList.entries[Sys_Rand() % g_tDemoList.count];
    g_tDemoList.entry = e.source;
    Ed_ResetWindows();
    Seq_StopSong();
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    Seq_FreeUndoLog();
    s_bSongBeforeTagged = 1;
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 1;
    s_vSongBefore = Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "Author");
    g_bTaggedSongFile = tagged;
    g_iNextScreen = 10;
    Ui_SetMenuPage(31);
    Ui_SetBusyOperation(ED_ATTRACT_BUSY_CODE, Ed_AttractLoadDemo, Ed_AttractExitToMenu);
    char name[33] = {};
    std::memcpy(name, e.name, sizeof e.name);
    g_ucGridKind = ED_GRIDKIND_PLAYING;
    if (!Ui_OpenBusyBox(name, Ui_Text(41), UI_BUSY_CENTRED, 100, ED_ATTRACT_BUSY_CODE))
        Ed_AttractExitToMenu();
}

int32_t Ed_LoadPreparedImage(const uint8_t *image, uint32_t size)
{
    Seq_StopSong();
    Vid_ResetVideo();
    Seq_NewSong();
    const int32_t tagged = g_bTaggedSongFile;
    // Prepared songs are saves of the console layout: no tag, the image right behind the header.
    int32_t layout = 0;
    const int32_t at = image && size ? Seq_LocateSongImage(image, size, &layout) : -1;
    g_bTaggedSongFile = 0;
    const int32_t result = at != 0 ? SONGLOAD_UNREADABLE : Seq_LoadSongImage(image, size);
    g_bTaggedSongFile = tagged;
    // A song missing some of its data still plays; one that could not be read is not half kept.
    if (result != 0 && !(result & 0x100))
        Seq_NewSong();
    Seq_CountUsedRows();
    Seq_ComputeSongTime(9999);
    return result;
}

uint8_t Ed_AttractLoadDemo()
{
    Sys_CallLog("Ed_AttractLoadDemo");
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 0;
    Seq_NewSong();
    uint16_t path[8] = {};
    const int depth = Sys_WadDirPathToIndices("/PERF", path);
    if (depth > 0 && depth <= 5 && g_tDemoList.entry >= 1) {
        path[depth] = 0;
        path[depth + 1] = uint16_t(g_tDemoList.entry - 1);
        uint32_t size = 0;
        char name[9] = {};
        uint8_t *data = nullptr;
        // The entry's size decides before anything is read: a demo larger than the largest free
        // block is left out, and the song stays empty.
        if (Sys_WadGotoIndexPath(path, depth + 1)) {
            const WADENTRY *e = Sys_WadEntryAt(g_tDemoList.entry);
            size = e ? e->uSize : 0;
        }
        if (size != 0 && ((size + 2047) & ~2047u) < Sys_MemLargestFree())
            data = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, depth + 2, name, &size));
        if (data && size > SAVEHEADER_BYTES && Sys_CheckSaveHeader(data, size) == 0)
            Ed_LoadPreparedImage(data + SAVEHEADER_BYTES, size - SAVEHEADER_BYTES);
        std::free(data);
    }
    g_bTaggedSongFile = tagged;
    Stamp();
    return 0;
}

void Ed_AttractExitToMenu()
{
    Sys_CallLog("Ed_AttractExitToMenu");
    g_uUiFlags &= ~0x40u;
    Ed_AttractBegin();
    g_ucGridKind = ED_GRIDKIND_PLAYING;
}

void Ed_AttractBegin()
{
    Sys_CallLog("Ed_AttractBegin");
    g_iNextScreen = 10;
    WINDOWDESC d{};
    d.w = uint16_t(g_iScreenWidth);
    d.h = uint16_t(g_iScreenHeight);
    d.input = Ed_AttractFrame;
    d.draw = g_pfnAttractDraw;
    g_pAttractWindow = Ui_OpenWindow(&d);
    if (!g_pAttractWindow) {
        Ed_AttractExit();
        return;
    }
    g_pAttractWindow->flags |= WINDOW_NO_FRAME;
    const int16_t view[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
    Vid_SetViewport(view);
    Vid_ForceVideoPosition(0);
    s_ucBlink = 0;
    s_bKeyPressed = false;
    g_iLastKeyCode = 0;
    g_iAttractEndRow = int32_t(Seq_CountUsedRows()) - 1;
    if (g_iAttractEndRow >= 0)
        Seq_PlaySongFrom(0);
    Ui_SetFocus(g_pAttractWindow);
}

void Ed_AttractFrame()
{
    g_ucFullScreenVideo = 1;
    s_ucBlink = uint8_t((s_ucBlink + 1) % 12);
    if (s_ucBlink < 6) {
        const bool missing = g_ucPadMissingCount >= 5;
        if (!missing)
            Gfx_DrawTextCentred(Ui_Text(547), g_iScreenWidth / 2, 456, g_pOrderingTable);
        Gfx_DrawTextCentred(Ui_Text(missing ? 454 : 548), g_iScreenWidth / 2, 468, g_pOrderingTable);
    }
    Gfx_AddTile(0, g_iScreenHeight - 25, g_iScreenWidth, 25, 0, 0, 0);
    Vid_UpdateLanes();
    Stamp();
    // A key of the keyboard that drives no pad button, or a mouse button, ends it too.
    const bool pressed = Ed_IsButtonDown() || s_bKeyPressed || (g_ucMouseButtons & (MOUSE_LEFT_PRESS | MOUSE_RIGHT_PRESS)) != 0;
    const bool ended = int32_t(g_uSongRow.load()) > g_iAttractEndRow || !g_bSongPlaying.load();
    if (!pressed && !ended)
        return;
    Sys_CallLog(pressed ? "Ed_AttractFrame(pressed)" : "Ed_AttractFrame(ended)");
    RestoreSong();
    if (g_pAttractWindow) {
        g_pAttractWindow->onClose = Ed_AttractExit;
        Ui_CloseWindow(g_pAttractWindow);
    }
    g_pAttractWindow = nullptr;
}

void Ed_AttractExit()
{
    Sys_CallLog("Ed_AttractExit");
    g_ucFullScreenVideo = 0;
    g_ucGridKind = 0;
    g_iLastKeyCode = 0;
    const int16_t view[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
    Vid_SetViewport(view);
    if (g_pHelpTextWindow && Ui_WindowIsOpen(g_pHelpTextWindow)) {
        Ui_SetFocus(g_pHelpTextWindow);
        g_iNextScreen = 50;
        return;
    }
    g_ucTopBarButton = 0;
    Ed_OpenTopBar();
    Ed_ShowSongGrid();
    Ui_ReturnToEditorMenu();
    g_iNextScreen = 0;
    Stamp();
}
