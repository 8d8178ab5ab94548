// The video engine's content, generated at build time: models, their textures and animations,
// point layouts, backgrounds, map textures (with the 16 user-image placeholders), paths, the
// particle sprites, the 3-D letter font, tunnel profiles and paths, the text-definition folder,
// and the chase palette "BOOT\PALETTE.PAL" of the data folder.
//
// Folders below the kind folders have one-letter names (saved references keep only first
// letters), given in index order: family n is the n-th letter of kFolderLetters.
#pragma once

#include "tools/packer.h"
#include "tools/reswriters.h"
#include "tools/soundcontent.h"

#include <string>
#include <vector>

// Folder names by index: "A".."Z", then "0".."9".
char Content_FolderLetter(int index);

// One generated resource: where it goes below the archive root and what it is.
struct VIDEOITEM
{
    std::string folder; // e.g. "B/B/A"
    std::string name;   // entry name, 1-8 characters
    std::string shown;  // companion row
    std::vector<uint8_t> data;
};
struct VIDEOFOLDER
{
    std::string path;  // e.g. "B/B/A"
    std::string title; // companion row 0
};

// Everything the video kinds hold, in index order within each folder.
void Content_VideoResources(std::vector<VIDEOFOLDER> &folders, std::vector<VIDEOITEM> &items);
// Adds them to the archive tree. false with a message when a name does not fit.
bool Content_AddVideoResources(PACKDIR &root, std::string &err);
// "BOOT/PALETTE.PAL": the chase palette, 128 colours.
std::vector<CONTENTFILE> Content_VideoDataFiles();

// The 128 colours of the chase palette, as r, g, b.
std::vector<CONTENTRGB> Content_ChasePaletteColours();
// The models one family holds (for tests and the previews).
int Content_ModelFamilyCount();
// 62 letter models: "0".."9", "A".."Z", "a".."z" as model numbers 0..61.
constexpr int CONTENT_LETTER_COUNT = 62;
char Content_LetterOfCode(int code);
