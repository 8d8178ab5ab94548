// Stand-in: see standin_mainscreen.h.
#include "ui/standin_mainscreen.h"

#include "app/settings.h"
#include "core/padbind.h"
#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/undo.h"
#include "ui/frontend.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/widgets.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr size_t kLargestSong = 64u << 20;

void LoadDemoSong()
{
    const char *path = Sys_MakeDataPath("examples/demo.tnv");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size_t(size) > kLargestSong)
        return;
    in.seekg(0);
    std::vector<uint8_t> file(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char *>(file.data()), size))
        return;
    Seq_NewSong();
    int32_t tagged = 1;
    const int32_t at = Seq_LocateSongImage(file.data(), file.size(), &tagged);
    g_bTaggedSongFile = tagged;
    const int32_t result = at < 0 ? -1 : Seq_LoadSongImage(file.data() + at, file.size() - size_t(at));
    if (result != 0) {
        std::fprintf(stderr, "tnvpc: the demo song %s could not be loaded (%d); the song is empty\n", path, result);
        return;
    }
    Seq_ComputeSongTime(9999);
    // Loading dropped the undo log; edits of the loaded song are undone from a fresh one.
    Seq_AllocUndoLog();
}

} // namespace

void Ui_OpenMainScreenAtStart()
{
    LoadDemoSong();
    Ui_ResetGridRows();
    Ui_ReturnToMainScreen();
}
