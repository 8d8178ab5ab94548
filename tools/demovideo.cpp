#include "tools/demovideo.h"

#include "audio/mixer.h"
#include "core/browser.h"
#include "core/random.h"
#include "jam/jamrecords.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "tools/videohost.h"
#include "video/autovideo.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

struct TEMPLATE
{
    const char *style, *folder, *name, *shown;
    int32_t riffs[4]; // riffs of the demo song by id, 0 ends
};

// Riff groups of the demo song that play well together.
const TEMPLATE kTemplates[] = {
    {"A", "A", "GROOVE", "Demo groove", {1, 2, 3, 0}},
    {"A", "A", "BASSLINE", "Bass line", {2, 4, 0, 0}},
    {"A", "B", "SPARSE", "Sparse beat", {1, 5, 0, 0}},
    {"B", "A", "FULL", "Full band", {1, 2, 3, 4}},
};

} // namespace

bool Content_AddDemoVideoAndJams(PACKDIR &root, const std::string &dataDir, std::string &err)
{
    const std::string path = dataDir + "/examples/demo.tnv";
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    if (file.empty()) {
        err = "demo video: " + path + " is missing";
        return false;
    }
    if (Snd_InitSampleEngine(64) != 0) {
        err = "demo video: no sample engine";
        return false;
    }
    Seq_Init();
    Seq_NewSong();
    g_bTaggedSongFile = 1;
    bool ok = Content_StartVideoHost(dataDir, err);
    if (ok && Seq_LoadSongImage(file.data(), file.size()) != 0) {
        err = "demo video: the demo song does not load";
        ok = false;
    }
    if (ok) {
        Sys_SeedRand(1234);
        if (Vid_BuildAutoVideo(20, 40, 0, 0) != 1) {
            err = "demo video: the auto video failed";
            ok = false;
        }
    }
    std::vector<uint8_t> image;
    if (ok) {
        image = Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "Tonnivelle");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(image.data()), (std::streamsize)image.size());
        if (image.empty() || !out) {
            err = "demo video: " + path + " cannot be written";
            ok = false;
        }
    }
    // Jam templates: one jam record each, playing a few of the demo's riffs.
    PACKDIR &jams = Pack_Dir(root, "JAMTEM");
    jams.title = "Jam templates";
    for (const TEMPLATE &t : kTemplates) {
        if (!ok)
            break;
        Seq_ResetJamSlots();
        Jam_ResetRecords();
        g_JamSetups[0].ucState = 2;
        int32_t row = 0;
        for (int32_t riff : t.riffs)
            if (riff > 0 && riff < g_uRiffCount && Seq_GetRiff(riff))
                Jam_SetRecordRiff(0, row++, riff);
        PACKFILE f;
        f.name = t.name;
        f.shown = t.shown;
        f.data = Seq_WriteJamImage(0, "AUTHOR BLOKE");
        if (row == 0 || f.data.empty()) {
            err = std::string("jam template ") + t.name + " cannot be written";
            ok = false;
            break;
        }
        PACKDIR &style = Pack_Dir(jams, t.style);
        style.title = std::string("Style ") + t.style;
        PACKDIR &folder = Pack_Dir(style, t.folder);
        folder.title = std::string("Set ") + t.folder;
        folder.files.push_back(std::move(f));
    }
    Seq_ResetJamSlots();
    Jam_ResetRecords();
    Content_StopVideoHost();
    Seq_NewSong();
    Snd_ShutdownSampleEngine();
    return ok;
}
