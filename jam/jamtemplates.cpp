#include "jam/jamtemplates.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "app/calllog.h"
#include "app/cmdline.h"
#include "app/settings.h"
#include "core/archive.h"
#include "core/browser.h"
#include "core/file.h"
#include "core/mixlock.h"
#include "core/padbind.h"
#include "jam/jamplay.h"
#include "jam/jamrecords.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "sequencer/songcontrol.h"
#include "platform/paths.h"
#include "sequencer/instruments.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "ui/handlers.h"
#include "ui/popup.h"
#include "ui/textentry.h"

namespace fs = std::filesystem;

char g_szJamTemplateName[JAM_TEMPLATE_NAME_CHARS + 1];
char g_szJamTemplateLabel[96];
int32_t g_iJamTemplateTarget = -1;

namespace {

constexpr const char *kAuthor = "AUTHOR BLOKE";
constexpr int32_t kKeyboardRow = JAM_PADS; // rows 9 and 10
constexpr int32_t kNameBytes = 8;
constexpr int32_t kJamInstrumentKind = 3;

uint16_t Rd16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
void Wr16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

uint8_t *InstrumentRow(int32_t record, int32_t row)
{
    return g_aabJamRecords[record] + JAM_RECORD_INSTRUMENT_AT + row * JAM_ROW_BYTES;
}
uint8_t *RiffRow(int32_t record, int32_t key)
{
    return g_aabJamRecords[record] + JAM_RECORD_RIFF_AT + key * JAM_ROW_BYTES;
}

// Templates are always of the tagged layout; the flag the last song file set is kept.
struct TaggedLayout
{
    int32_t saved = g_bTaggedSongFile;
    TaggedLayout() { g_bTaggedSongFile = 1; }
    ~TaggedLayout() { g_bTaggedSongFile = saved; }
};

// ---- Library folders ----

int32_t LibraryDir(bool riff) { return riff ? g_iWadDirR : g_iWadDirN; }

// The listing of library folder (a, b) (1-based) and its entry count.
const uint8_t *LibraryListing(bool riff, uint32_t a, uint32_t b, int32_t *count)
{
    *count = 0;
    const int32_t dir = LibraryDir(riff);
    if (dir < 0 || a < 1 || b < 1)
        return nullptr;
    // Instruments sit below their quality folder; the jam loads the third (its kind 3).
    const uint16_t riffPath[3] = {(uint16_t)dir, (uint16_t)(a - 1), (uint16_t)(b - 1)};
    const uint16_t instrumentPath[4] = {(uint16_t)dir, (uint16_t)(kJamInstrumentKind - 1), (uint16_t)(a - 1),
                                        (uint16_t)(b - 1)};
    const uint8_t *listing =
        riff ? Sys_WadListDirByIndex(riffPath, 3, count) : Sys_WadListDirByIndex(instrumentPath, 4, count);
    if (!listing || *count < 0)
        *count = 0;
    return listing;
}

// Entry c's 8-character name (zero-padded); false when there is none.
bool LibraryEntryName(bool riff, uint32_t a, uint32_t b, uint32_t c, char out[kNameBytes])
{
    std::memset(out, 0, kNameBytes);
    int32_t count = 0;
    const uint8_t *listing = LibraryListing(riff, a, b, &count);
    if (!listing || c < 1 || (int64_t)c > count)
        return false;
    std::memcpy(out, listing + (size_t)c * WAD_COMPANION_ROW, kNameBytes);
    return true;
}

// The entry of folder (a, b) with that name, 0 when none.
uint32_t FindLibraryEntry(bool riff, uint32_t a, uint32_t b, const uint8_t *name)
{
    int32_t count = 0;
    const uint8_t *listing = LibraryListing(riff, a, b, &count);
    for (int32_t c = 1; listing && c <= count; ++c)
        if (strncmp((const char *)listing + (size_t)c * WAD_COMPANION_ROW, (const char *)name, kNameBytes) == 0)
            return (uint32_t)c;
    return 0;
}

// ---- Rows from the local player's parts ----

void EmptyInstrumentRow(uint8_t *row)
{
    std::memset(row, 0, JAM_ROW_BYTES);
    row[0] = JAM_ROW_EMPTY;
}
void EmptyRiffRow(uint8_t *row)
{
    std::memset(row, 0, JAM_ROW_BYTES);
    row[6] = JAM_ROW_EMPTY;
}

int32_t RiffListPosition(uint16_t id)
{
    for (uint32_t i = 1; i <= g_uRiffListCount; ++i)
        if (g_auRiffList[i] == id)
            return (int32_t)i;
    return -1;
}

// The riff a list word names, and the number it has in this program's own list (0 for another
// player's list).
uint16_t RiffOfWord(const JAMNET *net, uint32_t word, uint32_t *ownEntry)
{
    const int32_t player = Jam_ListEntryPlayer(word);
    const uint32_t entry = Jam_ListEntryNumber(word);
    *ownEntry = 0;
    if (player == net->iNetMySlot) {
        if (entry < 1 || entry > g_uRiffListCount)
            return 0;
        *ownEntry = entry;
        return g_auRiffList[entry];
    }
    return Jam_RiffListEntry(player, entry);
}

uint16_t InstrumentOfWord(const JAMNET *net, uint32_t word, uint32_t *ownEntry)
{
    const int32_t owner = Jam_ListOwner(Jam_ListEntryPlayer(word), net->iNetMySlot);
    const uint32_t entry = Jam_ListEntryNumber(word);
    const uint16_t inst = Jam_InstrumentListEntry(owner, entry);
    *ownEntry = owner == JAM_LOCAL_PLAYER && inst ? entry : 0;
    return inst;
}

void FillInstrumentRow(const JAMNET *net, uint8_t *row, uint32_t word)
{
    EmptyInstrumentRow(row);
    if (Jam_IsListEntry(word)) {
        uint32_t entry = 0;
        const uint16_t inst = InstrumentOfWord(net, word, &entry);
        if (!inst)
            return;
        row[0] = JAM_ROW_SONG;
        Wr16(row + 2, inst);
        Wr16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT, entry);
        char name[20];
        Seq_GetInstrumentName(inst, name);
        std::memcpy(row + JAM_TEMPLATE_ROW_NAME_AT, name, strnlen(name, kNameBytes));
        return;
    }
    uint32_t a, b, c;
    Jam_UnpackLibraryKey(word, &a, &b, &c);
    char name[kNameBytes];
    if (a == 0 || !LibraryEntryName(false, a, b, c, name))
        return;
    row[0] = JAM_TEMPLATE_ROW_KIND_LIBRARY;
    row[1] = (uint8_t)(a - 1);
    Wr16(row + 2, b - 1);
    Wr16(row + 4, c - 1);
    std::memcpy(row + JAM_TEMPLATE_ROW_NAME_AT, name, kNameBytes);
}

void FillRiffRow(const JAMNET *net, uint8_t *row, uint32_t word)
{
    EmptyRiffRow(row);
    if (Jam_IsListEntry(word)) {
        uint32_t entry = 0;
        const uint16_t id = RiffOfWord(net, word, &entry);
        const RIFFENTRY *r = id ? Seq_GetRiff(id) : nullptr;
        if (!r)
            return;
        Wr16(row, id);
        row[6] = JAM_ROW_SONG;
        Wr16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT, entry);
        std::memcpy(row + JAM_TEMPLATE_ROW_NAME_AT, r->szName, strnlen(r->szName, kNameBytes));
        return;
    }
    uint32_t a, b, c;
    Jam_UnpackLibraryKey(word, &a, &b, &c);
    char name[kNameBytes];
    if (a == 0 || !LibraryEntryName(true, a, b, c, name))
        return;
    Wr16(row, a - 1);
    Wr16(row + 2, b - 1);
    row[6] = JAM_TEMPLATE_ROW_KIND_LIBRARY;
    std::memcpy(row + JAM_TEMPLATE_ROW_NAME_AT, name, kNameBytes);
}

// ---- Loading ----

// The own list numbers of a loaded setup's song rows: riffs as the song's riff list has them,
// instruments as this program's own list has them (a template's instrument joins the list).
void NumberOwnRows(int32_t record)
{
    Seq_BuildRiffList();
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        uint8_t *row = RiffRow(record, k);
        const int32_t entry = row[6] == JAM_ROW_SONG ? RiffListPosition(Rd16(row)) : -1;
        Wr16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT, entry > 0 ? (uint32_t)entry : 0);
    }
    for (int32_t r = 0; r < JAM_RECORD_INSTRUMENTS; ++r) {
        uint8_t *row = InstrumentRow(record, r);
        if (row[0] != JAM_ROW_SONG)
            continue;
        const int32_t slot = (int16_t)Rd16(row + 2);
        int32_t entry = Jam_FindOwnInstrument(slot);
        if (entry < 0 && slot > 0 && Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, (uint16_t)slot) == 0)
            entry = Jam_FindOwnInstrument(slot);
        Wr16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT, entry > 0 ? (uint32_t)entry : 0);
    }
}

// Loads an image into a setup under the mix lock (the sequencer reads the song while it plays).
bool LoadIntoSetup(const uint8_t *image, size_t size, int32_t record, int32_t target)
{
    if (!image || !size || record < 0 || record >= JAM_RECORDS)
        return false;
    g_iJamTemplateTarget = target;
    int32_t ok;
    {
        std::lock_guard<std::recursive_mutex> mix(g_csMix);
        ok = Seq_LoadJamTemplateImage(image, size, record);
        if (ok)
            NumberOwnRows(record);
    }
    g_iJamTemplateTarget = -1;
    return ok == 1;
}

// The parts of setup 0 onto the local player: keyboards, riff keys, pads.
void AssignSetup(NETNODE *node)
{
    auto assignInstrument = [&](int32_t r, auto fromList, auto fromLibrary) {
        const uint8_t *row = InstrumentRow(0, r);
        if (row[0] == JAM_ROW_SONG) {
            const uint32_t entry = Rd16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT);
            if (entry && fromList(entry) == 0)
                return;
        } else if (row[0] == JAM_TEMPLATE_ROW_KIND_LIBRARY) {
            const uint32_t a = row[1] + 1u, b = Rd16(row + 2) + 1u;
            if (const uint32_t c = FindLibraryEntry(false, a, b, row + JAM_TEMPLATE_ROW_NAME_AT)) {
                fromLibrary(a, b, c);
                return;
            }
        }
        fromLibrary(0, 0, 0);
    };
    for (int32_t k = 0; k < JAM_KEYBOARDS; ++k)
        assignInstrument(
            kKeyboardRow + k, [&](uint32_t e) { return Jam_AssignKeyboardFromList(node, JAM_LOCAL_PLAYER, e, k, 0); },
            [&](uint32_t a, uint32_t b, uint32_t c) { Jam_AssignKeyboardFromLibrary(node, a, b, c, k); });
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        const uint8_t *row = RiffRow(0, k);
        if (row[6] == JAM_ROW_SONG) {
            const uint32_t entry = Rd16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT);
            if (entry && Jam_AssignRiffFromList(node, JAM_LOCAL_PLAYER, entry, k, 0) == 0)
                continue;
        } else if (row[6] == JAM_TEMPLATE_ROW_KIND_LIBRARY) {
            const uint32_t a = Rd16(row) + 1u, b = Rd16(row + 2) + 1u;
            if (const uint32_t c = FindLibraryEntry(true, a, b, row + JAM_TEMPLATE_ROW_NAME_AT)) {
                Jam_AssignRiffFromLibrary(node, a, b, c, k);
                continue;
            }
        }
        Jam_AssignRiffFromLibrary(node, 0, 0, 0, k);
    }
    for (int32_t p = 0; p < JAM_PADS; ++p)
        assignInstrument(
            p, [&](uint32_t e) { return Jam_AssignInstrumentFromList(node, JAM_LOCAL_PLAYER, e, p, 0); },
            [&](uint32_t a, uint32_t b, uint32_t c) { Jam_AssignInstrumentFromLibrary(node, a, b, c, p); });
}

// Files entry n of a player's list (the lists grow with empty entries up to it).
template <typename T> bool FileEntry(T *list, int32_t *count, int32_t capacity, uint32_t entry, uint16_t id)
{
    if (!list || entry < 1 || (int64_t)entry > capacity)
        return false;
    while (*count < (int32_t)entry)
        list[(*count)++] = 0;
    list[entry - 1] = id;
    return true;
}

std::string TemplateFileName(const char *name)
{
    std::string n(name ? name : "", name ? strnlen(name, JAM_TEMPLATE_NAME_CHARS) : 0);
    for (char &c : n)
        if (c == '/' || c == '\\' || (unsigned char)c < 32)
            c = '_';
    while (!n.empty() && n.back() == ' ')
        n.pop_back();
    if (n.empty() || n[0] == '.')
        return {};
    return n + ".jam";
}

} // namespace

// ---- Places ----

std::string Jam_TemplateFolder()
{
    const std::string user = Plat_UserDataDir();
    if (user.empty())
        return {};
    const std::string folder = user + "/Templates";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec) ? folder : std::string();
}

std::string Jam_TemplateFilePath(const char *name)
{
    const std::string file = TemplateFileName(name);
    if (file.empty())
        return {};
    std::error_code ec;
    const std::string user = Plat_UserDataDir();
    if (!user.empty() && fs::is_regular_file(user + "/Templates/" + file, ec))
        return user + "/Templates/" + file;
    char host[SYS_HOSTPATH_SIZE];
    if (Sys_HostPath((std::string(g_szDataDir) + "Templates\\" + file).c_str(), host, sizeof host) == 0 &&
        fs::is_regular_file(host, ec))
        return host;
    return {};
}

int32_t Jam_TemplateRecordOf(int32_t slot, int32_t mySlot)
{
    if (slot < 0 || slot >= JAM_NET_SLOTS || slot == mySlot)
        return -1;
    return slot < mySlot || mySlot < 0 || mySlot >= JAM_NET_SLOTS ? slot + 1 : slot;
}

// ---- Saving ----

int32_t Jam_WriteTemplate(NETNODE *node, std::vector<uint8_t> *outImage, const char *path)
{
    if (!node || !node->pJam)
        return 0;
    const JAMNET *net = node->pJam;
    const JAMPLAYER &me = net->aPlayers[JAM_LOCAL_PLAYER];
    g_JamSetups[0].ucState = 2;
    for (int32_t k = 0; k < JAM_KEYBOARDS; ++k)
        FillInstrumentRow(net, InstrumentRow(0, kKeyboardRow + k), me.aKeyboard[k].uSlotWord);
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
        FillRiffRow(net, RiffRow(0, k), Jam_SlotWordOf(me.auRiffKey[k]));
    for (int32_t p = 0; p < JAM_PADS; ++p)
        FillInstrumentRow(net, InstrumentRow(0, p), Jam_SlotWordOf(me.auPad[p]));
    std::vector<uint8_t> image;
    {
        TaggedLayout tagged;
        image = Seq_WriteJamImage(0, kAuthor);
    }
    if (image.empty())
        return 0;
    if (path) {
        if (Seq_WriteSongFile(path, image) != 0)
            return 0;
    } else if (outImage) {
        *outImage = image;
    }
    return (int32_t)image.size();
}

int32_t Jam_BuildTemplateImage(NETNODE *node, std::vector<uint8_t> *image)
{
    return Jam_WriteTemplate(node, image, nullptr);
}

// ---- Reading ----

bool Jam_ReadTemplateFile(const char *path, size_t limit, std::vector<uint8_t> *out)
{
    if (!path || !*path || !out)
        return false;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || size == 0 || size > limit || size > (uintmax_t)JAM_TEMPLATE_FILE_MAX)
        return false;
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (bytes.size() != size)
        return false;
    *out = std::move(bytes);
    return true;
}

bool Jam_ReadArchiveTemplate(int32_t dir, int32_t sub, int32_t entry, std::vector<uint8_t> *out)
{
    if (!out || g_iWadDirJamTem < 0 || dir < 1 || sub < 1 || entry < 1 || dir > 65535 || sub > 65535 ||
        entry > 65535)
        return false;
    const uint16_t path[4] = {(uint16_t)g_iWadDirJamTem, (uint16_t)(dir - 1), (uint16_t)(sub - 1),
                              (uint16_t)(entry - 1)};
    char name[WAD_NAME_LEN + 1] = {};
    uint32_t bytes = 0;
    void *file = Sys_WadLoadEntryAlloc(0, path, 4, name, &bytes);
    if (!file)
        return false;
    out->assign((const uint8_t *)file, (const uint8_t *)file + bytes);
    std::free(file);
    char style[WAD_NAME_LEN + 1] = {}, set[WAD_NAME_LEN + 1] = {};
    Sys_WadNodeNameAt(path, 2, style, WAD_NAME_LEN);
    Sys_WadNodeNameAt(path, 3, set, WAD_NAME_LEN);
    std::snprintf(g_szJamTemplateLabel, sizeof g_szJamTemplateLabel, "c:\\JamTem\\%s\\%s\\%.8s.jt2", style, set,
                  name);
    return !out->empty();
}

int32_t Jam_LoadTemplateBytes(NETNODE *node, const uint8_t *image, size_t size)
{
    if (!node || !node->pJam || !LoadIntoSetup(image, size, 0, 0))
        return -1;
    AssignSetup(node);
    return 1;
}

int32_t Jam_LoadTemplate(NETNODE *node, int32_t dir, int32_t sub, int32_t entry, const char *path)
{
    std::vector<uint8_t> bytes;
    const bool read = path ? Jam_ReadTemplateFile(path, JAM_TEMPLATE_FILE_MAX, &bytes)
                           : Jam_ReadArchiveTemplate(dir, sub, entry, &bytes);
    if (!read)
        return -1;
    return Jam_LoadTemplateBytes(node, bytes.data(), bytes.size());
}

int32_t Jam_LoadTemplate(int32_t dir, int32_t sub, int32_t entry, const char *path)
{
    if (!g_NetNode.pJam)
        return -1;
    std::lock_guard<std::recursive_mutex> jam(g_NetNode.pJam->Lock);
    return Jam_LoadTemplate(&g_NetNode, dir, sub, entry, path);
}

// ---- Network exchange ----

int32_t Jam_LoadTemplateImage(NETNODE *node, int32_t slot, const uint8_t *image, size_t length)
{
    if (!node || !node->pJam || !image || !length)
        return -1;
    const int32_t record = Jam_TemplateRecordOf(slot, node->pJam->iNetMySlot);
    if (record < 0)
        return -1;
    g_iJamTemplateTarget = slot + 1;
    int32_t ok;
    {
        std::lock_guard<std::recursive_mutex> mix(g_csMix);
        ok = Seq_LoadJamTemplateImage(image, length, record);
    }
    g_iJamTemplateTarget = -1;
    if (!ok)
        return -1;
    // The sender's numbers for the riffs and instruments its parts will name.
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        const uint8_t *row = RiffRow(record, k);
        const uint32_t entry = Rd16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT);
        if (row[6] == JAM_ROW_SONG && entry)
            FileEntry(g_apJamRiffIds[slot], &g_aiJamRiffIdCount[slot], JAM_MAX_RIFF_IDS, entry, Rd16(row));
    }
    for (int32_t r = 0; r < JAM_RECORD_INSTRUMENTS; ++r) {
        const uint8_t *row = InstrumentRow(record, r);
        const uint32_t entry = Rd16(row + JAM_TEMPLATE_ROW_LIST_ENTRY_AT);
        if (row[0] == JAM_ROW_SONG && entry)
            FileEntry(g_apJamInstrumentIds[slot], &g_aiJamInstrumentIdCount[slot], JAM_MAX_INSTRUMENT_IDS, entry,
                      Rd16(row + 2));
    }
    return 0;
}

int32_t Jam_ReloadChosenTemplate(NETNODE *node, std::vector<uint8_t> *image)
{
    if (!node || !image || node->ChosenTemplate.empty())
        return -1;
    if (!node->bLoadChosenTemplate) {
        *image = node->ChosenTemplate;
        return 0;
    }
    node->bAssignLoadedTemplate = false;
    // The limit may have changed since the choice: what goes out is checked now.
    const size_t limit = (size_t)std::clamp<int64_t>(g_iMaxTemplateSize, 0, NET_MAX_TEMPLATE_LIMIT);
    if (node->ChosenTemplate.size() > limit ||
        !LoadIntoSetup(node->ChosenTemplate.data(), node->ChosenTemplate.size(), 0, 0))
        return -1;
    std::vector<uint8_t> made;
    {
        TaggedLayout tagged;
        made = Seq_WriteJamImage(0, kAuthor);
    }
    if (made.empty() || made.size() > limit)
        return -1;
    *image = std::move(made);
    node->bAssignLoadedTemplate = true;
    return 0;
}

void Jam_AssignLoadedTemplate(NETNODE *node)
{
    if (!node || !node->bAssignLoadedTemplate)
        return;
    node->bAssignLoadedTemplate = false;
    AssignSetup(node);
}

int32_t Jam_ChooseTemplate(NETNODE *node, std::vector<uint8_t> bytes)
{
    if (!node || !node->pJam || bytes.empty())
        return -1;
    if (g_bJamSinglePlayer)
        return Jam_LoadTemplateBytes(node, bytes.data(), bytes.size());
    // What the jam cannot carry is refused now: past the go-ahead it could only go out empty,
    // and the choice would come to nothing without a word.
    if (bytes.size() > (size_t)std::clamp<int64_t>(g_iMaxTemplateSize, 0, NET_MAX_TEMPLATE_LIMIT))
        return JAM_TEMPLATE_TOO_LARGE;
    // The others hold their input until the template has reached them all; it is loaded here
    // on the server's go-ahead.
    node->ChosenTemplate = std::move(bytes);
    node->bLoadChosenTemplate = true;
    return Net_SendTemplateLoading(node) == 0 ? 1 : -1;
}

// ---- The jam list ----

int32_t Jam_TemplateStyleCount()
{
    if (g_iWadDirJamTem < 0)
        return 0;
    const uint16_t path[1] = {(uint16_t)g_iWadDirJamTem};
    return std::max(Sys_WadCountAt(path, 1), 0);
}

bool Jam_IsTemplateFileFolder(const POPUP *p)
{
    return p && p->kind == POPUP_JAM_LIST && p->desc && p->desc->folder == Jam_TemplateStyleCount() + 1;
}

bool Jam_FillTemplateFileListing(POPUP *p)
{
    if (!Jam_IsTemplateFileFolder(p))
        return false;
    std::free(p->names);
    std::free(p->empty);
    p->names = p->empty = nullptr;
    p->nameCount = 0;
    std::snprintf(p->title, sizeof p->title, "%s", "Templates");
    std::snprintf(p->subtitle, sizeof p->subtitle, "%s", "MY TEMPLATES");
    static char table[WAD_MAX_RECORDS + 1][JAMTEMPLATE_NAME_BYTES];
    std::memset(g_abWadEntryEmpty, 0, 256);
    const int32_t count = Sys_ScanJamTemplates(table, 256);
    if (count <= 0)
        return true;
    p->names = static_cast<uint8_t *>(std::calloc((size_t)count, WAD_COMPANION_ROW));
    p->empty = static_cast<uint8_t *>(std::calloc((size_t)count, 1));
    if (!p->names || !p->empty) {
        std::free(p->names);
        std::free(p->empty);
        p->names = p->empty = nullptr;
        return true;
    }
    const bool running = g_iJamStartState == JAM_START_RUNNING;
    for (int32_t r = 0; r < count; ++r) {
        std::memcpy(p->names + (size_t)r * WAD_COMPANION_ROW, table[r], JAMTEMPLATE_NAME_BYTES - 1);
        p->empty[r] = running || g_abWadEntryEmpty[r] ? 1 : 0;
    }
    p->nameCount = count;
    return true;
}

// ---- The jam list's choice ----

void Jam_LoadJamFile()
{
    POPUP *p = g_pCurrentPopup;
    if (!p || p->free || p->kind != POPUP_JAM_LIST || !p->list || !p->desc)
        return;
    const int32_t row = p->list->selected;
    const bool files = Jam_IsTemplateFileFolder(p);
    const int32_t folder = p->desc->folder, subfolder = p->desc->subfolder;
    std::vector<uint8_t> bytes;
    bool read = false;
    if (files) {
        char name[JAMTEMPLATE_NAME_BYTES + 1] = {};
        if (row >= 0 && row < p->nameCount && p->names)
            std::memcpy(name, p->names + (size_t)row * WAD_COMPANION_ROW, JAMTEMPLATE_NAME_BYTES - 1);
        std::snprintf(g_szJamTemplateName, sizeof g_szJamTemplateName, "%.*s", int(sizeof g_szJamTemplateName - 1), name);
        const size_t limit = g_bJamSinglePlayer ? (size_t)JAM_TEMPLATE_FILE_MAX
                                                : (size_t)std::clamp(g_iMaxTemplateSize, 0, 2097151);
        read = Jam_ReadTemplateFile(Jam_TemplateFilePath(name).c_str(), limit, &bytes);
    } else {
        read = Jam_ReadArchiveTemplate(folder, subfolder, row + 1, &bytes);
    }
    Ui_ClosePopup();
    if (!read || !g_NetNode.pJam) {
        Jam_LogLine("That template could not be read.");
        return;
    }
    std::lock_guard<std::recursive_mutex> jam(g_NetNode.pJam->Lock);
    const int32_t chosen = Jam_ChooseTemplate(&g_NetNode, std::move(bytes));
    if (chosen == JAM_TEMPLATE_TOO_LARGE)
        Jam_LogLine("That template is too large to send in this jam.");
    else if (chosen < 0)
        Jam_LogLine("That template could not be loaded.");
}

void Jam_SaveTemplateAs()
{
    const std::string file = TemplateFileName(g_szJamTemplateName);
    const std::string folder = Jam_TemplateFolder();
    g_iNextScreen = 10;
    if (file.empty() || folder.empty() || !g_NetNode.pJam) {
        Jam_LogLine("The template could not be saved.");
        return;
    }
    const std::string path = folder + "/" + file;
    std::lock_guard<std::recursive_mutex> jam(g_NetNode.pJam->Lock);
    if (Jam_WriteTemplate(&g_NetNode, nullptr, path.c_str()) == 0)
        Jam_LogLine("The template could not be saved.");
}

void Jam_EnterTemplateName()
{
    TEXTENTRYREQUEST r{};
    r.x = 100;
    r.y = 90;
    r.maxLength = JAM_TEMPLATE_NAME_CHARS + 1;
    r.titleText = 669;
    r.text = g_szJamTemplateName;
    r.accept = Jam_SaveTemplateAs;
    if (!Ui_OpenTextEntry(&r))
        Ui_PlayRefusal();
}
