// The riff library: riffs of our own in the archive's "/R" folder, one untagged song image each,
// written by the studio's own song writer. Folders: style, then part (drums, bass, lead, pad),
// then the riffs.
#pragma once

#include "tools/soundcontent.h"

#include <string>
#include <vector>

struct CONTENTRIFFSTYLE
{
    const char *folder; // below "R"
    const char *name;
};
int Content_RiffStyleCount();
const CONTENTRIFFSTYLE &Content_RiffStyle(int i);
// The part folders below a style, in order: "DRUMS", "BASS", "LEAD", "PAD".
const char *Content_RiffPartFolder(int part);
constexpr int CONTENT_RIFF_PARTS = 4;
constexpr int CONTENT_RIFFS_PER_PART = 2;

// Every library riff, paths "R/<style>/<part>/<entry>". Empty with err set on failure. Needs the
// sample engine and the sequencer set up; leaves an empty song behind.
std::vector<CONTENTFILE> Content_RiffFiles(std::string &err);
