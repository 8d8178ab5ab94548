// The front end's start-up defaults, and the way back to the main screen (the song grid).
#include "app/calllog.h"
#include "core/padbind.h"
#include "editors/blockselect.h"
#include "editors/cdscreen.h"
#include "editors/curveeditor.h"
#include "editors/filescreen.h"
#include "editors/topbar.h"
#include "render/framecycle.h"
#include "render/prims2d.h"
#include "app/settings.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/undo.h"
#include "ui/bindings.h"
#include "ui/frontend.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/help.h"
#include "jam/jamsetup.h"
#include "ui/langtext.h"
#include "ui/samplemenu.h"
#include "ui/samplepanel.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

void Ui_ResetGridCursor()
{
    g_sGridCursorX = g_sGridCursorY = 0;
    g_cGridGlideStepX = g_cGridGlideStepY = 0;
    std::fill(std::begin(g_asSavedGridView), std::end(g_asSavedGridView), int16_t(0));
    g_asGridMark[0] = g_asGridMark[1] = g_asGridMark[2] = -1;
}

void Ui_InitFrontEnd()
{
    const uint8_t bevel[6] = {15, 20, 20, 70, 80, 80};
    std::copy(std::begin(bevel), std::end(bevel), g_abBevelColours);
    Ui_ClearOptionPanelFlag();
    Ui_ResetGridCursor();
    Ui_ResetGridRows();
    Ui_LoadInterfaceFonts();
    Seq_AllocUndoLog();
    Ui_BindScreenButtons();
    Ed_InstallBlockMenuItems();
    Ui_InstallHelpMenuItems();
    Ui_InstallSampleMenuItems();
    Ui_InstallSampleEditItems();
    Ed_InstallCdMenuItems();
    Ed_InstallCurveMenuItems();
    Ed_InstallFilePopupItems();
    Jam_InstallSetupMenuItems();
    Ed_ResetStoredCurves();
    std::fill(g_aucChannelEnabled, g_aucChannelEnabled + 12, uint8_t(1));
    std::snprintf(g_szSongTitle, sizeof g_szSongTitle, "%s", "TONNIVELLE file");
    std::snprintf(g_szSongAuthor, sizeof g_szSongAuthor, "%s", "Author");
    Gfx_SetFrameMode(0);
    Seq_ResetJamSlots();
    Ui_SelectLanguageByName();
    // The start-up status keeps the prompt line for its first 200 frames.
    g_iStatusHoldFrames = 0;
    Ed_SetPromptText(0);
    g_iStatusHoldFrames = 200;
}

void Ui_ReturnToMainScreen()
{
    g_ucTopBarButton = 0;
    Ed_OpenTopBar();
    if (!Ui_SetupGridScreen(2))
        return;
    g_iScreen = 0;
    g_iNextScreen = -1;
    Ui_SetFocus(g_pGridWindow);
}

namespace {

constexpr size_t kLargestStartSong = 64u << 20;

// Whatever was in memory goes: the studio starts from the empty song, with its undo log.
bool StartSongFailed(const char *path, const char *why)
{
    Seq_NewSong();
    Seq_ComputeSongTime(9999);
    Seq_AllocUndoLog();
    std::fprintf(stderr, "tnvpc: the demo song %s could not be loaded (%s); the song is empty\n", path, why);
    return false;
}

} // namespace

bool Ui_LoadStartSong(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return StartSongFailed(path, "missing or unreadable");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size_t(size) > kLargestStartSong)
        return StartSongFailed(path, "bad size");
    in.seekg(0);
    std::vector<uint8_t> file(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char *>(file.data()), size))
        return StartSongFailed(path, "read error");
    Seq_NewSong();
    int32_t tagged = 1;
    const int32_t at = Seq_LocateSongImage(file.data(), file.size(), &tagged);
    g_bTaggedSongFile = tagged;
    // A half-loaded song must not stay: a failed load starts again from the empty one.
    if (at < 0 || Seq_LoadSongImage(file.data() + at, file.size() - size_t(at)) != 0)
        return StartSongFailed(path, "damaged");
    Seq_ComputeSongTime(9999);
    // The load dropped the undo log; edits of the loaded song are undone from a fresh one.
    Seq_AllocUndoLog();
    return true;
}

void Ui_OpenMainScreenAtStart()
{
    Ui_LoadStartSong(Sys_MakeDataPath("examples/demo.tnv"));
    Ui_ResetGridRows();
    Ui_ReturnToMainScreen();
}
