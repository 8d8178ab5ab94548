#include "tools/songcontent.h"

#include "audio/mixer.h"
#include "core/browser.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "tools/demosong.h"
#include "tools/riffcontent.h"

std::vector<CONTENTFILE> Content_SongFiles(std::string &err, std::vector<CONTENTFILE> *riffs)
{
    std::vector<CONTENTFILE> files;
    if (Snd_InitSampleEngine(64) != 0) {
        err = "songs: no sample engine";
        return files;
    }
    Seq_Init();
    Seq_NewSong();
    g_bTaggedSongFile = 1;
    if (Content_BuildDemoSong() != 0) {
        err = "songs: the demo song could not be built";
    } else {
        CONTENTFILE demo;
        demo.path = "examples/demo.tnv";
        demo.data = Seq_SaveSongImage(SONGPART_SONG, "Tonnivelle");
        if (demo.data.empty())
            err = "songs: the demo song could not be saved";
        else
            files.push_back(std::move(demo));
    }
    if (riffs && err.empty()) {
        *riffs = Content_RiffFiles(err);
        if (!err.empty())
            files.clear();
    }
    Seq_NewSong();
    Snd_ShutdownSampleEngine();
    return files;
}
