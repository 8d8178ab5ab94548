// The prepared songs of the archive's "/PERF" folders: what the idle demo plays and what the
// jukebox offers from the archive card. Each entry is a 512-byte save header followed by a song
// image in the untagged layout, with its own instruments and an automatic video.
#pragma once

#include "tools/demosong.h"
#include "tools/packer.h"

#include <string>
#include <vector>

// The folders of "/PERF" in order and their songs. Folder 0 entry 7 (its seventh song, the
// folder's header being entry 0) is "Ela V8", the idle demo.
struct CONTENTPERFFOLDER
{
    const char *name, *title;
    std::vector<CONTENTSTYLE> songs;
};
const std::vector<CONTENTPERFFOLDER> &Content_PerfFolders();

// One archive entry: the save header titled with the song's shown name, then the image. Empty
// with err set when the song cannot be built or does not fit a save.
std::vector<uint8_t> Content_BuildPerfEntry(const CONTENTSTYLE &style, std::string &err);

// Adds the folders to "/PERF" of root; needs the archive already built in dataDir (the automatic
// videos take their clips from it). false with a message in err.
bool Content_AddPerfSongs(PACKDIR &root, const std::string &dataDir, std::string &err);
