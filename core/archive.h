// The data archive: an index file ("demowad.IND") holding a tree of named directories, and a data
// file ("demowad.WAD") holding directory listing blocks and file contents in 2048-byte sectors.
// Both are read through the disc file layer. The studio never writes the archive.
//
// Index file (little-endian):
//   0  32  disc name            32  u16 disc number        34  u16 top-level node count
//   36 u32  offset of the listing area (the loaded block's count word sits 4 bytes before it; the
//           rest of the file after the count word is the room for the largest block)
//   40 u32  listing buffer size (companion files; rounded up to 2048)   44 u32 unused
//   48 WADNODE records (16 bytes each): the top-level list (its first node is the root), then the
//      children of every directory as consecutive runs.
// Listing block (data file, at a sector): u32 count of the owner's own entries (header included),
// then WADENTRY records: the owner's own, then the ranges of the non-owner directories below it.
// Entry 0 of every listing is its header entry: it locates the companion file, 32-byte text rows,
// row k + 1 naming file k.
//
// Every index and block is checked against the file sizes when the archive opens; an archive
// whose tree loops or links out of range is refused as a whole (g_iDiscError 2 and a text in
// g_szWadErrorText), and every call then answers as for a missing directory. An entry or a name
// list that reaches past the data file (or past the listing buffer) is refused alone, when read.
// The top-level list may also hold the root's children, and a directory may have entries with no
// owning directory above it: it then lists from the loaded block, never past it.
//
// Main thread only. Navigation changes the current listing: use the entries you got before the
// next navigation.
#pragma once

#include <cstddef>
#include <cstdint>

struct DISCFILE;
struct IDPOOL;

enum
{
    WAD_SECTOR_SIZE = 2048,
    WAD_HEADER_SIZE = 48,
    WAD_NODE_SIZE = 16,
    WAD_ENTRY_SIZE = 16,
    WAD_NAME_LEN = 8,
    WAD_COMPANION_ROW = 32,
    WAD_PATH_MAX = 255,
    WAD_MAX_DEPTH = 32, // deeper index paths are refused
    WAD_MAX_SECTOR = 0x7FFFF, // 19 bits
    WAD_MAX_RECORDS = 0x1FFF, // 13 bits
    WAD_NODE_OWNER = 0x8000,
    WAD_NODE_CHILDREN = 0x7FFF,
    WAD_DISC_DATA = 520,
    WAD_RES_ROWS = 13, // resource-kind rows of a disc record
    WAD_RES_ROW = 40,
};

// Decoded header of the index file.
struct WADINDEX
{
    char szDiscName[32];
    uint16_t uDiscNumber;
    uint16_t uTopCount;
    uint32_t uListingOffset; // the file offset as stored; the address is g_pWadListingArea
    uint32_t uListingSize;
    uint32_t uUnused;
};
static_assert(sizeof(WADINDEX) == WAD_HEADER_SIZE, "WADINDEX is 48 bytes");

struct WADNODE
{
    char szName[WAD_NAME_LEN]; // not terminated when 8 long
    int16_t iFirstChild;       // in nodes, relative to this node
    uint16_t uChildInfo;       // bits 0-14 children, bit 15 owns a listing block
    uint32_t uListing;         // owner: sector | records << 19; else first entry | count << 19
};
static_assert(sizeof(WADNODE) == WAD_NODE_SIZE, "WADNODE is 16 bytes");

struct WADENTRY
{
    char szName[WAD_NAME_LEN]; // not terminated when 8 long
    uint32_t uSector;
    uint32_t uSize;
};
static_assert(sizeof(WADENTRY) == WAD_ENTRY_SIZE, "WADENTRY is 16 bytes");

// One record of the "DISKNAMES" pool per disc seen.
struct DISKNAMES
{
    char szName[32];
    uint16_t uNumber;
    uint8_t abDiscData[WAD_DISC_DATA]; // resource-kind rows of the video engine
    uint8_t abPad[2];
};
static_assert(sizeof(DISKNAMES) == 556, "DISKNAMES is 556 bytes");

extern int g_iDiscError; // 1 listing buffer, 2 no or bad index / no record / missing key; 3-5 disc
extern char g_szWadErrorText[256]; // why the last open failed
// 1 (the default): a failed open also prints its reason on stderr. The fuzz target turns it off.
extern int g_bWadErrorsToConsole;

extern WADINDEX g_stWadIndex;      // decoded header of the loaded index
extern uint8_t *g_pWadIndex;       // the index file as loaded; null when closed
extern WADNODE *g_pWadTree;        // decoded nodes, g_nWadNodes of them
extern uint32_t g_nWadNodes;
extern uint8_t *g_pWadListingArea; // address of the offset at byte 36 (inside g_pWadIndex)
extern DISCFILE *g_pWadFile;
extern WADENTRY *g_pWadEntries;    // current listing, header entry first
extern int32_t g_nWadEntries;
extern uint8_t *g_pWadListing;     // companion file of the last listing call
extern uint8_t g_abWadEntryEmpty[WAD_MAX_RECORDS + 1]; // per file number: 1 when its size is 0

extern IDPOOL *g_pDiscPool;
extern DISKNAMES *g_pCurrentDisc;

extern int g_iWadDirN, g_iWadDirR, g_iWadDirPerf, g_iWadDirChases, g_iWadDirJamTem, g_iWadDirAuto;
extern int g_iWadDirM1Ins, g_iWadDirM1Path, g_iWadDirM1MapTex, g_iWadDirM1Back, g_iWadDirM1Mod,
    g_iWadDirM1Part, g_iWadDirM1Mov;

// Opening and closing. Mode bit 0 keeps a listing buffer. 1 on success, 0 on failure.
int Sys_WadOpen(const char *dataName, const char *indexName, int mode);
void Sys_WadClose();
// At shutdown: closes the archive and frees the listing buffer.
void Sys_WadFreeBuffers();
// At shutdown: releases every disc record's resource rows, the records and the pool.
void Sys_FreeDiscPool();
int Sys_WadRegisterDisc(const uint8_t *index);
void Sys_WadResetCache();

// Text paths ('/'-separated, a leading '/' names the root; directories match case-insensitively on
// 8 characters, entries case-sensitively). The path text is never written to.
int Sys_WadChangeDir(const char *path); // 0 done, 1 missing
WADENTRY *Sys_WadFindEntry(const char *name);
// Whole entry into a new malloc'd buffer of the size rounded up to 2048 (the caller frees it).
void *Sys_WadLoadFile(int region, const char *path);
// The entry (whole when maxBytes < 1, else at most its first maxBytes bytes) into buffer, which
// holds capacity bytes; null, with buffer untouched, when it would not fit or is missing. A null
// buffer only changes directory.
void *Sys_WadLoadFileInto(void *buffer, const char *path, int maxBytes, size_t capacity);
uint8_t *Sys_WadListDir(const char *path, int32_t *outCount);
int Sys_WadDirPathToIndices(const char *path, uint16_t *outIndices);
int Sys_WadPathToIndices(const char *path, uint16_t *outIndices);
// Reads the entry rounded up to 2048 bytes (buffer must hold that), or its first n bytes.
int Sys_WadReadEntry(void *buffer, const WADENTRY *entry);
int Sys_WadReadEntryPart(void *buffer, const WADENTRY *entry, int n);

// Index paths: arrays of child numbers below the root.
WADNODE *Sys_WadGotoIndexPath(const uint16_t *path, int depth);
uint8_t *Sys_WadListDirByIndex(const uint16_t *path, int depth, int32_t *outCount);
int Sys_WadCountAt(const uint16_t *path, int depth);
int Sys_WadFileCountAt(const uint16_t *path, int depth);
int Sys_WadNodeNameAt(const uint16_t *path, int depth, char *outName, int maxLen);
WADENTRY *Sys_WadEntryAt(int index); // null outside the current listing
// Last element a file number (0 = first after the header). outName receives 8 bytes.
void *Sys_WadLoadEntryAlloc(int region, const uint16_t *path, int depth, char *outName,
                            uint32_t *outSize);
void *Sys_WadLoadEntryByIndex(void *buffer, const uint16_t *path, int depth, int maxBytes,
                              size_t capacity);
int Sys_WadResolveCompanionPath(const uint16_t *path, int depth, uint16_t *outIndices, int n);
int Sys_WadEntryDiscPosition(int dir, int a, int b, int c, uint8_t *outMsf);
WADENTRY *Sys_WadLoadByName(void *buffer, const char *name, size_t capacity);
void Sys_WadMarkEmptyEntries();
// Loads an animation definition file by its disc name (host file first) and lays it out in place
// for the video engine; the result owns the file (Vid_FreeAnim). Null when the file is missing,
// empty or refused (g_szResErrorText says why), with nothing left allocated.
struct ANIMRES;
ANIMRES *Sys_WadLoadModelFile(const char *name);

// Checks an index image against its own size and the data file's size: node ranges, loops, block
// placement and room, entry ranges within their owner's block. 0 when sound, else -1 with a text in err.
int Sys_WadCheckIndex(const uint8_t *index, size_t indexSize, uint64_t dataSize, char *err,
                      size_t errSize);
