// Song files of the content builder: the demo song as a plain song file, "examples/demo.tnv",
// written through the studio's own song writer.
#pragma once

#include "tools/soundcontent.h"

#include <string>
#include <vector>

// Empty with err set when the song could not be built or written. With riffs, also the riff
// library's archive files (tools/riffcontent.h).
std::vector<CONTENTFILE> Content_SongFiles(std::string &err, std::vector<CONTENTFILE> *riffs = nullptr);
