// tnv_content SOURCE OUTDIR
// Builds the studio's data folder OUTDIR from the sources in SOURCE (the project's data/ folder)
// and what it synthesises: the archive WADS/demowad.IND + WADS/demowad.WAD from SOURCE/archive,
// with the directories and boot files the studio needs always present and the instrument library
// under "N"; the interface sounds under "boot"; the loading picture; the interface pictures
// win6.raw .. win27.raw; the screen-graphics set win.tx + win.vrm and gfx/pal.tim; the interface
// fonts gfx/fonts/*.bin; the language files language/*.txt; the tile sheets and the jam backdrop "pcjambg.raw"; the short video clip
// video/tnvclip.avi; the video engine's resources (models, textures, paths, fonts...) and its
// chase palette BOOT/PALETTE.PAL; the sequencer's boot tables BOOT/DEFRIF and BOOT/EFFREAL; the
// demo song examples/demo.tnv; the riff library under "R"; the auto video's clip library under
// "AUTO", authored by the studio's video engine over the archive built first; the jam players'
// folders after the riff and instrument libraries; the prepared songs under "PERF".
#include "tools/autocontent.h"
#include "tools/boottables.h"
#include "tools/fontcontent.h"
#include "tools/helpcontent.h"
#include "tools/imagecontent.h"
#include "tools/interfacepictures.h"
#include "tools/demovideo.h"
#include "tools/jamcontent.h"
#include "tools/langsource.h"
#include "tools/packer.h"
#include "tools/perfsongs.h"
#include "tools/screengraphics.h"
#include "tools/songcontent.h"
#include "tools/soundcontent.h"
#include "tools/tilecontent.h"
#include "tools/videocontent.h"
#include "tools/videoresources.h"
#include "ui/langtext.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Directories the archive must hold for the studio to open it.
const char *const kRequiredDirs[] = {"N", "R", "PERF", "CHASES", "JAMTEM", "AUTO", "BOOT"};


// Writes the files that live in the data folder itself (not in the archive).
bool WriteDataFiles(const std::string &out, const std::vector<CONTENTFILE> &files, std::string &err)
{
    for (const CONTENTFILE &f : files) {
        if (f.data.empty()) {
            err = f.path + ": nothing to write";
            return false;
        }
        std::filesystem::path path = std::filesystem::path(out) / f.path;
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write((const char *)f.data.data(), (std::streamsize)f.data.size());
        if (!file.flush()) {
            err = path.string() + ": cannot write";
            return false;
        }
    }
    return true;
}

// Puts archive files ("DIR/SUB/NAME") into the tree.
bool AddArchiveFiles(PACKDIR &root, const std::vector<CONTENTFILE> &files, std::string &err)
{
    for (const CONTENTFILE &f : files) {
        size_t cut = f.path.rfind('/');
        if (cut == std::string::npos || f.data.empty()) {
            err = f.path + ": not an archive file";
            return false;
        }
        PACKFILE file;
        file.name = f.path.substr(cut + 1);
        file.shown = f.shown;
        file.data = f.data;
        Pack_Dir(root, f.path.substr(0, cut)).files.push_back(std::move(file));
    }
    return true;
}

bool WriteFonts(const std::string &out, std::string &err)
{
    const std::vector<CONTENTFILE> fonts = Content_FontFiles(err);
    return !fonts.empty() && WriteDataFiles(out, fonts, err);
}

// The demo song beside the archive, the riff library into it.
bool WriteSongs(PACKDIR &root, const std::string &out, std::string &err)
{
    std::vector<CONTENTFILE> riffs;
    const std::vector<CONTENTFILE> songs = Content_SongFiles(err, &riffs);
    return !songs.empty() && WriteDataFiles(out, songs, err) && AddArchiveFiles(root, riffs, err);
}

// The language files language/<name>.txt, from the UTF-8 sources in lang/ (code page 1252; a
// text a translation lacks is the English one).
bool WriteLanguages(const std::string &source, const std::string &out, std::string &err)
{
    std::vector<std::string> english;
    std::vector<CONTENTFILE> files;
    for (int t = 0; t < 5; t++) {
        const std::string path = source + "/lang/" + g_apszLangSourceNames[t] + ".txt";
        std::ifstream file(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<std::string> texts;
        std::vector<bool> present;
        std::string why;
        if (!file || !Lang_ParseSource(text, texts, present, why)) {
            err = path + ": " + (file ? why : "cannot read");
            return false;
        }
        if (t == 0)
            english = texts;
        const char *table[LANG_TEXT_COUNT];
        for (int id = 0; id < LANG_TEXT_COUNT; id++)
            table[id] = present[size_t(id)] ? texts[size_t(id)].c_str() : english[size_t(id)].c_str();
        files.push_back({std::string("language/") + g_apszLangSourceNames[t] + ".txt", "", Ui_BuildLanguageFile(table)});
    }
    return WriteDataFiles(out, files, err);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s SOURCE OUTDIR\n", argv[0]);
        return 2;
    }
    std::string source = argv[1];
    std::string out = argv[2];

    PACKDIR root;
    std::string err;
    if (!Pack_ReadTree(source + "/archive", root, err))
    {
        std::fprintf(stderr, "tnv_content: %s\n", err.c_str());
        return 1;
    }
    for (const char *d : kRequiredDirs)
        Pack_Dir(root, d);

    if (!AddArchiveFiles(root, Content_InstrumentFiles(), err) || !AddArchiveFiles(root, Content_BootFiles(), err) ||
        !Content_AddVideoResources(root, err) || !WriteDataFiles(out, Content_VideoDataFiles(), err) ||
        !WriteDataFiles(out, Content_InterfaceSoundFiles(), err) ||
        !WriteDataFiles(out, Content_PictureFiles(), err) ||
        !WriteDataFiles(out, Content_InterfacePictureFiles(), err) ||
        !WriteDataFiles(out, Content_ScreenGraphicsFiles(), err) ||
        !WriteDataFiles(out, Content_TileFiles(), err) ||
        !WriteDataFiles(out, Content_VideoFiles(), err) ||
        !WriteFonts(out, err) || !WriteSongs(root, out, err) || !WriteLanguages(source, out, err))
    {
        std::fprintf(stderr, "tnv_content: %s\n", err.c_str());
        return 1;
    }

    std::vector<CONTENTFILE> help;
    if (!Content_HelpFiles(source, help, err) || !AddArchiveFiles(root, help, err))
    {
        std::fprintf(stderr, "tnv_content: %s\n", err.c_str());
        return 1;
    }
    Content_AddJamPlayerFolders(root);
    std::vector<uint8_t> index, data;
    if (!Pack_Build(root, PACKOPTIONS{}, index, data, err) || !Pack_WriteArchive(out + "/WADS", index, data, err) ||
        !Content_AddAutoClips(root, out, err) || !Pack_Build(root, PACKOPTIONS{}, index, data, err) ||
        !Pack_WriteArchive(out + "/WADS", index, data, err) || !Content_AddDemoVideoAndJams(root, out, err) ||
        !Content_AddPerfSongs(root, out, err) || !Pack_Build(root, PACKOPTIONS{}, index, data, err) || !Pack_WriteArchive(out + "/WADS", index, data, err))
    {
        std::fprintf(stderr, "tnv_content: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
