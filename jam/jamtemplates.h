// Jam templates: the set-up of a jam (the riff on each of the 12 riff keys, the instrument on each
// of the 9 pads and the 2 keyboards) kept as a song image of one jam record and the music it
// plays. They come from the archive's jam template folder or from "*.jam" files in the user's
// "Templates" folder; in a network jam the one a player loads goes to the others, who load it as
// that player's.
//
// Rows of a record (20 bytes; pads 0-8 and keyboards 9-10 from +4, riff keys from +224):
//   pad / keyboard row: u8 kind, u8 folder, u16 sub-folder (library) or slot (song), u16 entry,
//                       u16 0, u16 list entry, char[8] name at +12
//   riff key row:       u16 folder (library) or riff id (song), u16 sub-folder, u16 0, u8 kind
//                       at +6, u16 list entry at +8, char[8] name at +12
// Kinds: 1 a library entry, found again by its name in its folder; 2 a song item (the rows the
// chunks translate); 255 empty. The list entry of a song row is the number the sender's own
// list gives it, so a receiver files the item under that number in the sender's list and the
// sender's list words name the same riff or instrument on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct NETNODE;
struct POPUP;

enum : int32_t
{
    JAM_TEMPLATE_NAME_CHARS = 16,
    JAM_TEMPLATE_ROW_KIND_LIBRARY = 1,
    JAM_TEMPLATE_ROW_LIST_ENTRY_AT = 8,
    JAM_TEMPLATE_ROW_NAME_AT = 12,
    // A template file larger than this is never read (the network limit is far below it).
    JAM_TEMPLATE_FILE_MAX = 16 * 1024 * 1024,
};

// The name the user gave (saved as "<name>.jam") or chose; the label of an archive template.
extern char g_szJamTemplateName[JAM_TEMPLATE_NAME_CHARS + 1];
extern char g_szJamTemplateLabel[96];
// The player whose setup receives a load: 0 this program's, player + 1 a received one, -1 idle.
extern int32_t g_iJamTemplateTarget;

// The folder user templates are written to (created when missing), and the file of a name: the
// user's folder first, then the content's. Empty when there is no such place.
std::string Jam_TemplateFolder();
std::string Jam_TemplateFilePath(const char *name);

// The setup record a received template of `slot` goes to: this program's is 0, the others fill
// 1..3 in slot order. -1 for this program's own slot or a slot out of range.
int32_t Jam_TemplateRecordOf(int32_t slot, int32_t mySlot);

// Fills setup 0 from the local player's parts and makes its image. With a path the image is
// written there (atomically) and not handed out. The image's size; 0 when it could not be made
// or written.
int32_t Jam_WriteTemplate(NETNODE *node, std::vector<uint8_t> *outImage, const char *path);
int32_t Jam_BuildTemplateImage(NETNODE *node, std::vector<uint8_t> *image);

// Loads a template image as this program's setup and assigns its parts (keyboards, riff keys,
// pads). 1, or -1 when the image is not a template (the parts keep their assignments).
int32_t Jam_LoadTemplateBytes(NETNODE *node, const uint8_t *image, size_t size);
// The archive's template (1-based style, set, entry) or, with a path, that file.
int32_t Jam_LoadTemplate(NETNODE *node, int32_t dir, int32_t sub, int32_t entry, const char *path);
int32_t Jam_LoadTemplate(int32_t dir, int32_t sub, int32_t entry, const char *path);
// The bytes of a template file or archive entry, as Jam_LoadTemplate reads them. False when
// missing, unreadable or larger than `limit`.
bool Jam_ReadTemplateFile(const char *path, size_t limit, std::vector<uint8_t> *out);
bool Jam_ReadArchiveTemplate(int32_t dir, int32_t sub, int32_t entry, std::vector<uint8_t> *out);

// A template another player sent (message 411), loaded as that player's setup on the jam step:
// its riffs and instruments are filed in that player's lists under the sender's numbers. 0, or
// -1 refused (nothing filed).
int32_t Jam_LoadTemplateImage(NETNODE *node, int32_t slot, const uint8_t *image, size_t length);
// The image to send on the server's go-ahead: the chosen template loaded here and its setup
// made again with this program's list numbers (its parts are assigned by
// Jam_AssignLoadedTemplate once it has gone). -1 when there is nothing or it cannot be loaded or
// is over the size limit.
int32_t Jam_ReloadChosenTemplate(NETNODE *node, std::vector<uint8_t> *image);
void Jam_AssignLoadedTemplate(NETNODE *node);

// The jam list's choice (pop-up kind 23): a user template file, or an archive template.
void Jam_LoadJamFile();
// Chooses a template for this program's jam: single player loads it at once; a network jam
// starts the exchange (the others hold until it has reached them). 1 done or begun, -1 refused,
// JAM_TEMPLATE_TOO_LARGE when a network jam's template limit (g_iMaxTemplateSize) cannot carry it.
constexpr int32_t JAM_TEMPLATE_TOO_LARGE = -2;
int32_t Jam_ChooseTemplate(NETNODE *node, std::vector<uint8_t> bytes);
// "Templates/<name>.jam" from the local player's parts; back to the jam screen.
void Jam_SaveTemplateAs();
void Jam_EnterTemplateName();

// The jam list (pop-up kind 23): the archive's template styles, then one folder more that lists
// the user's template files (unavailable while the jam runs, or when over the size limit in a
// network jam).
int32_t Jam_TemplateStyleCount();
bool Jam_IsTemplateFileFolder(const POPUP *p);
// Fills the pop-up's rows from a fresh scan of the template files. True when p is on that folder.
bool Jam_FillTemplateFileListing(POPUP *p);
