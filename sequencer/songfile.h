// Song images: the one byte format in which songs, song parts and library riffs are saved.
//
// An image is a run of typed chunks (two-letter tag, length in 32-bit words, item count), headed
// by "H2". Saving is two calls: Seq_PrepareSave marks what goes in and returns the size,
// Seq_WriteChunks writes exactly that many bytes. Loading is two calls as well: Seq_LoadChunks
// walks and checks the whole image into native records (refusing a broken one before the current
// song is touched), Seq_FinishLoad spreads the selection and builds the items. Between the calls
// the caller may restrict the riffs taken (Seq_SetUsageSlot + the RI bitmap).
#pragma once

#include "sequencer/library.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum : int32_t
{
    SONG_CHUNK_TYPES = 25,
    SONG_FORMAT_VERSION = 17,
    SONG_USAGE_SLOTS = 11,
    SONG_DISC_RECORD = 20,
    SONG_LOAD_DISCS = 500,
};

enum : int32_t
{
    CHUNK_00,
    CHUNK_H2,
    CHUNK_AU,
    CHUNK_CN,
    CHUNK_DS,
    CHUNK_RE,
    CHUNK_EN,
    CHUNK_SP,
    CHUNK_IN,
    CHUNK_NO,
    CHUNK_RI,
    CHUNK_R2,
    CHUNK_JT,
    CHUNK_JC,
    CHUNK_JS,
    CHUNK_SN,
    CHUNK_CH,
    CHUNK_CL,
    CHUNK_VD,
    CHUNK_CP,
    CHUNK_VI,
    CHUNK_SO,
    CHUNK_CO,
    CHUNK_HE,
    CHUNK_PC,
};

// Part flags of a save and part masks of a load: bit t - 1 stands for chunk type t.
enum : uint32_t
{
    SONGPART_JAMS = 0x2000,
    SONGPART_SONG = 0x4000,
    SONGPART_VIDEO = 0x20000,
    SONGPART_OLD_SONG = 0x80000,
    SONGPART_OLD_VIDEO = 0x100000,
};

// Results of Seq_LoadChunks and bits of Seq_FinishLoad's result.
enum : int32_t
{
    SONGLOAD_OK = 0,
    SONGLOAD_NO_IMAGE = 3,
    SONGLOAD_UNREADABLE = 4, // foreign first chunk, or a chunk that does not hold together
    SONGLOAD_MISSING = 1,
    SONGLOAD_ABANDONED = 2,
};

struct CHUNKCONTEXT;
struct CHUNKLOADCONTEXT;
struct SONGIMAGE;  // the checked, native form of a located image
struct SONGEXTRAS; // the checked jam and video chunks of a located image

struct CHUNKTYPEDEF
{
    char tag[4];
    void (*pfnLocate)(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t type);
    void (*pfnWrite)(CHUNKCONTEXT *ctx);
    void (*pfnPass1)(CHUNKCONTEXT *ctx);
    void (*pfnPass2)(CHUNKCONTEXT *ctx);
    uint32_t uType;
};
extern const CHUNKTYPEDEF g_aChunkTypes[SONG_CHUNK_TYPES];

struct CHUNKRECORD
{
    uint32_t uSize;  // saving: body bytes; loading: the whole chunk
    uint32_t uCount; // items
    uint32_t uPos;   // saving: write position in the image
    const uint8_t *pChunk; // loading: the chunk's address
};

// The save and load context. Usage bitmaps grow to any id (parameter lists reach 6000).
struct CHUNKCONTEXT
{
    char szAuthor[32] = {};
    uint32_t auSlotType[SONG_USAGE_SLOTS] = {};
    std::vector<uint32_t> aBitmap[SONG_USAGE_SLOTS];
    CHUNKRECORD aChunk[SONG_CHUNK_TYPES] = {};
    // Save numbers stamped by a preparation, by id (out of line: the records stay as they are).
    std::vector<uint16_t> riffSave, noteSave, listSave, slotSave, sampleSave;
    // Resources the video uses (ids as bits) and whether RE was sized for them.
    std::vector<uint32_t> videoResources;
    int32_t iVideoResCount = 0;
    std::vector<uint8_t> *pImage = nullptr; // while writing
    CHUNKLOADCONTEXT *pLoad = nullptr;      // while loading
};

struct CHUNKLOADCONTEXT
{
    int32_t iTarget = -1;
    uint32_t uMask = 0;
    char szAuthor[32] = {};
    uint8_t abReserved[24] = {};
    const uint8_t *pSongBlock = nullptr;
    const uint8_t *pVideoBlock = nullptr;
    CHUNKCONTEXT ctx;
    std::shared_ptr<SONGIMAGE> image;
    std::shared_ptr<SONGEXTRAS> extras;
};

extern int32_t g_iSongFormatVersion; // the image being loaded; 17 otherwise
extern int32_t g_iSongInsertRow;     // where a loaded grid goes; -1 none (row 0)
extern int32_t g_bLoadMissingData;

// Puts the song file layer back as it starts: format version 17, no insert row, load flags
// cleared, and the memory display's size counters at those of an empty song (header 76 bytes,
// one disc of 12). Run once after the archive is opened.
void Seq_ResetSongFile();
// Count A + count B less the entries of A that also stand in B: the ids two lists hold between
// them (the memory display counts the riffs and notes that two parts share only once).
int32_t Seq_CountDistinctIds(const uint16_t *a, int32_t countA, const uint16_t *b, int32_t countB);

// ---- Walking ----
int32_t Seq_ChunkTypeOfTag(const uint8_t *chunk);
// Bytes from this chunk to the next, 0 when the chunk cannot be stepped over within `left`.
uint32_t Seq_ChunkStep(const uint8_t *chunk, size_t left, int32_t type);
const uint8_t *Seq_NextChunk(const uint8_t *chunk, int32_t type);
int32_t Seq_GetDiscName(int32_t disc, char *out, int32_t length);

// ---- Contexts and saving ----
void Seq_SetUsageSlot(CHUNKCONTEXT *ctx, int32_t slot, int32_t type);
std::vector<uint32_t> *Seq_GetUsageBitmap(CHUNKCONTEXT *ctx, int32_t type);
void Seq_MarkBit(std::vector<uint32_t> *bitmap, uint32_t n);
bool Seq_TestBit(const std::vector<uint32_t> *bitmap, uint32_t n);
// Sizing steps of the preparation: H2, AU, CN and DS (one record per registered disc); RE for the
// resources marked in its bitmap (false when a marked resource is on no disc).
void Seq_SizeHeaderChunks(CHUNKCONTEXT *ctx);
void Seq_SizeDiscChunk(CHUNKCONTEXT *ctx);
bool Seq_SizeResourceChunk(CHUNKCONTEXT *ctx);
// Image size in bytes; *pBlocks = (size + 8703) >> 13.
uint32_t Seq_PrepareSave(uint32_t parts, int32_t *pBlocks, CHUNKCONTEXT *ctx);
// The image, exactly `size` bytes; empty when the context does not add up to that size.
std::vector<uint8_t> Seq_WriteChunks(uint32_t size, const char author[32], CHUNKCONTEXT *ctx);
// Write handlers of the music chunks: each appends its chunk (header included) when the preparation
// sized it, and returns false when what it wrote is not what was announced.
bool Seq_WriteHeaderChunk(const CHUNKCONTEXT *ctx, uint32_t imageSize, std::vector<uint8_t> *img);
bool Seq_WriteAuthorChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteReservedChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteDiscChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteResourceChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteParamListChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteSampleChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteInstrumentChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteNoteChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteRiffChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteSongChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
// Both calls; an empty vector on failure.
std::vector<uint8_t> Seq_SaveSongImage(uint32_t parts, const char *author);
// The packed length when packing is shorter, else minus the full length; writes the chosen form.
int32_t Seq_PackRiffGrid(int32_t riff, const CHUNKCONTEXT *ctx, std::vector<uint8_t> *out);

// ---- Loading ----
// Locate handlers of the load's walk: AU's author text, CN's (and the older CO's) reserved bytes,
// the data of the older VI and SO blocks; Seq_LocateChunk records any known chunk's address,
// whole size and item count in the load's context.
void Seq_LocateAuthorChunk(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t type);
void Seq_LocateReservedChunk(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t type);
void Seq_LocateOldReservedChunk(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t type);
void Seq_LocateVideoBlock(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t type);
void Seq_LocateSongBlock(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t type);
void Seq_LocateChunk(const uint8_t *chunk, uint32_t size, uint32_t count, CHUNKLOADCONTEXT *load, int32_t type);
// 0 walked and checked; 3 no image; 4 unreadable (nothing of the song touched).
int32_t Seq_LoadChunks(const uint8_t *image, size_t length, uint32_t mask, int32_t target, int32_t wait,
                       CHUNKLOADCONTEXT *load);
// The walk and check alone, without preparing the song.
int32_t Seq_LocateChunks(const uint8_t *image, size_t length, uint32_t mask, int32_t target, CHUNKLOADCONTEXT *load);
// Bit 0 something missing, bit 1 abandoned (rolled back).
int32_t Seq_FinishLoad(uint32_t mask, CHUNKLOADCONTEXT *load);
// Both calls on a whole song. 0, SONGLOAD_* or 0x100 | bits of Seq_FinishLoad.
int32_t Seq_LoadSongImage(const uint8_t *image, size_t length);
// The riffs of an image: names and riff types (no RI chunk or unreadable: 0 entries).
struct FILERIFF
{
    char szName[17];
    uint8_t ucType;
};
int32_t Seq_ListFileRiffs(const uint8_t *image, size_t length, std::vector<FILERIFF> *out);
// The names of the clips a song image holds, in their saved order (the order of the clip
// chunk's usage bits); their count, 0 for an image without clips or one that cannot be read.
int32_t Seq_ListFileClips(const uint8_t *image, size_t length, std::vector<std::string> *out);

// A line per chunk (tag, bytes, items) after a line on the image; 0, or -1 where a chunk does
// not fit (the text says where).
int32_t Seq_DescribeImage(const uint8_t *image, size_t size, std::string *out);

// The save list's summary of an image from its first 128 bytes: the part flags (the present-type
// mask of H2; HE's flag bits as 0x100000 | 0x20000 video, 0x80000 | 0x4000 song) and the author.
// 0, or -1 when the bytes do not start a song image.
int32_t Seq_ReadSaveSummary(const uint8_t *image, size_t size, uint32_t *pParts, char author[32]);

// ---- The riff library ("/R") ----
// Loads a library riff image as the riff in hand: 1, or 10 when nothing was loaded (the image
// was refused or brought no riff; the song is left as it was).
int32_t Seq_LoadLibraryRiffImage(const uint8_t *image, size_t size);
// The same from the archive: "/R" index1 - 1, index2 - 1, index3 - 1. -1 when the keys are
// those of the last load (nothing done). The archive loader reads into a buffer of its own, so
// scratch may be null.
int32_t Seq_LoadLibraryRiff(int32_t kind, int32_t index1, int32_t index2, int32_t index3, void *scratch);
int32_t Seq_LoadLibraryRiffLocal(int32_t kind, int32_t index1, int32_t index2, int32_t index3);
// Gives up the riff in hand and the instruments it brought.

// ---- Jam and video chunks (songfile_jam.cpp, songfile_video.cpp) ----
// Lane blocks whose last position lies past this are not saved: every position of the lanes.
extern int16_t g_sVideoRowLimit;
// Sizes JT, JC, JS, CH, CL and VD for the parts of a save; the video marks its resources for RE.
void Seq_PrepareVideoChunks(uint32_t parts, CHUNKCONTEXT *ctx);
void Seq_PrepareJamChunks(uint32_t parts, CHUNKCONTEXT *ctx);
// Append the sized chunks to the image; false when one does not come out at its size.
bool Seq_WriteJamChunks(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteVideoChunks(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
// One chunk each (nothing when it was sized empty): JT, JC, JS, CH, CL, VD.
bool Seq_WriteJamChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteJamSelectChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteJamSequenceChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteChaseChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteClipChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
bool Seq_WriteLaneChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img);
// Save sizing of the video: VD placements (when lanes), then CL clips and CH chases, stamping
// their save indexes and marking the chases' resources for RE.
void Vid_CountVideoChunkSize(CHUNKCONTEXT *ctx, bool lanes = true);
// Reads the located jam and video chunks into load->extras. A broken one is dropped (its data
// is reported missing when the load finishes); the music is never refused for it.
void Seq_LocateExtraChunks(const uint8_t *image, size_t length, CHUNKLOADCONTEXT *load);
// Builds them once the music is in; riffId and slotId are the new ids by save number. Returns
// SONGLOAD_MISSING when something could not be made.
int32_t Seq_FinishVideoLoad(uint32_t mask, CHUNKLOADCONTEXT *load);
int32_t Seq_FinishJamLoad(uint32_t mask, CHUNKLOADCONTEXT *load, const std::vector<int32_t> &riffId,
                          const std::vector<int32_t> &slotId);
// The named steps of the two finishing calls. Pass 1 (run before the music is built, only where
// the caller gave usage bitmaps): JC marks its records in JT, JT marks the riffs and instruments
// of its chosen records in RI and IN, CL marks the chases of its chosen clips in CH.
void Seq_SelectExtraChunks(CHUNKLOADCONTEXT *load);
void Seq_SelectJamSelectChunk(CHUNKLOADCONTEXT *load);
void Seq_SelectJamChunk(CHUNKLOADCONTEXT *load);
void Seq_SelectClipChunk(CHUNKLOADCONTEXT *load);
// CH: the chosen chases mark the resources their values name in RE (a bitmap made when missing).
void Seq_SelectChaseChunk(CHUNKLOADCONTEXT *load);
// Pass 2: JT into the first free setups (state 3) else by index; JC; JS.
int32_t Seq_LoadJamChunk(CHUNKLOADCONTEXT *load, const std::vector<int32_t> &riffId, const std::vector<int32_t> &slotId);
void Seq_LoadJamSelectChunk(CHUNKLOADCONTEXT *load);
void Seq_LoadJamSequenceChunk(CHUNKLOADCONTEXT *load);
// CH, CL and VD into chases, clips (tables by save index; 0 for what was not chosen or made) and
// lane placements. SONGLOAD_MISSING when something could not be made or placed.
struct VIDLOADMAP;
struct CHASE;
struct VIDCLIP;
int32_t Seq_LoadChaseChunk(CHUNKLOADCONTEXT *load, const VIDLOADMAP *map, std::vector<CHASE *> *chases);
int32_t Seq_LoadClipChunk(CHUNKLOADCONTEXT *load, const std::vector<CHASE *> &chases, std::vector<VIDCLIP *> *clips);
int32_t Seq_LoadLaneChunk(CHUNKLOADCONTEXT *load, const std::vector<VIDCLIP *> &clips);
// One line per jam and video chunk of a located image, for the song tool.
void Seq_DescribeExtraChunks(const uint8_t *image, size_t size, std::string *out);

// ---- Jam templates (".jtm") ----
enum : int32_t
{
    JAM_RECORD_BYTES = 528,
    JAM_COMPANION_BYTES = 236,
};
// The size of the image of jam setup `jam` (its riffs, their notes and instruments, the record).
uint32_t Seq_PrepareJamImage(CHUNKCONTEXT *ctx, int32_t jam);
std::vector<uint8_t> Seq_WriteJamImage(int32_t jam, const char *author);
// Loads a template image into jam setup `setup` (0..3): 1 loaded, 0 refused (the setups as they
// were). Templates are always read in the tagged layout, whatever the last song file was.
int32_t Seq_LoadJamTemplateImage(const uint8_t *image, size_t size, int32_t setup = 0);
// The archive's template at an index path from the root (jam template folder, style, folder, file).
int32_t Seq_LoadJamTemplate(const uint16_t path[4]);
// Writes "JamTem/JamTem N.jtm" for every jam setup in use into folder (created when missing).
// The number of files written, -1 when the folder cannot be made or a file cannot be written.
int32_t Seq_SaveJamTemplates(const char *folder);
// Rewrites every template of the archive's jam template folder as
// "folder/JamTem/<style>/<set>/<name>.jtm" (folders made when missing), each read into an empty
// song: the song in memory is cleared. The number written, -1 when the archive has no template
// folder or the top folders cannot be made; a template that cannot be read or written is skipped.
int32_t Seq_ConvertJamTemplates(const char *folder);

// ---- Files ----
// Offset of the image in a song file's bytes (behind "TVPC" + save header, or bare), -1 none.
// Sets g_bTaggedSongFile for the layout.
int32_t Seq_LocateSongImage(const uint8_t *file, size_t size, int32_t *pTagged);
// Writes a song file atomically: the old file stays whole until the new one is complete. 0 or -1.
int32_t Seq_WriteSongFile(const char *path, const std::vector<uint8_t> &image);
