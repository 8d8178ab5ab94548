#include "core/archive.h"

#include "core/idpool.h"
#include "core/disc.h"
#include "core/file.h"
#include "sequencer/songmodel.h"
#include "video/resloaders.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// Neighbours told about a fresh archive.
void Ui_SetupArchiveLists();
void Ed_AttractFreeDemoList();
int32_t Vid_InitDiscResKinds(uint8_t *discData);
void Vid_ReleaseResData(uint8_t *row);

int g_iDiscError;
char g_szWadErrorText[256];
int g_bWadErrorsToConsole = 1;

WADINDEX g_stWadIndex;
uint8_t *g_pWadIndex;
WADNODE *g_pWadTree;
uint32_t g_nWadNodes;
uint8_t *g_pWadListingArea;
DISCFILE *g_pWadFile;
WADENTRY *g_pWadEntries;
int32_t g_nWadEntries;
uint8_t *g_pWadListing;
uint8_t g_abWadEntryEmpty[WAD_MAX_RECORDS + 1];

IDPOOL *g_pDiscPool;
DISKNAMES *g_pCurrentDisc;

int g_iWadDirN = -1, g_iWadDirR = -1, g_iWadDirPerf = -1, g_iWadDirChases = -1,
    g_iWadDirJamTem = -1, g_iWadDirAuto = -1;
int g_iWadDirM1Ins = -1, g_iWadDirM1Path = -1, g_iWadDirM1MapTex = -1, g_iWadDirM1Back = -1,
    g_iWadDirM1Mod = -1, g_iWadDirM1Part = -1, g_iWadDirM1Mov = -1;

namespace {

// Index files hold a few thousand nodes; anything near this is not an index.
constexpr uint32_t kMaxIndexSize = 64u << 20;

uint32_t g_uWadIndexSize;
uint64_t g_uWadDataSize;
uint32_t g_uWadRoom;        // bytes from the count word to the end of the index file
uint32_t g_uWadListingCap;  // bytes in g_pWadListing
WADENTRY *g_pWadBlock;      // decoded records of the loaded block
uint32_t g_uWadBlockCap;    // records g_pWadBlock holds
int32_t g_iWadBlockSector = -1;
uint32_t g_uWadBlockCount;  // count word of the loaded block
uint32_t g_uWadBlockRecords; // records decoded from the loaded block
const WADNODE *g_pWadCurrent;
char g_szWadPath[WAD_PATH_MAX + 1];
uint16_t g_auWadCachedPath[WAD_MAX_DEPTH];
int g_iWadCachedDepth = -1;

struct KEY
{
    const char *path;
    int *global;
};
const KEY kRequired[] = {{"/N", &g_iWadDirN},         {"/R", &g_iWadDirR},
                         {"/PERF", &g_iWadDirPerf},   {"/CHASES", &g_iWadDirChases},
                         {"/JAMTEM", &g_iWadDirJamTem}, {"/AUTO", &g_iWadDirAuto}};
const KEY kOptional[] = {{"/M1INS", &g_iWadDirM1Ins},     {"/M1PATH", &g_iWadDirM1Path},
                         {"/M1MAPTEX", &g_iWadDirM1MapTex}, {"/M1BACK", &g_iWadDirM1Back},
                         {"/M1MOD", &g_iWadDirM1Mod},     {"/M1PART", &g_iWadDirM1Part},
                         {"/M1MOV", &g_iWadDirM1Mov}};

uint16_t Rd16(const uint8_t *p)
{
    return (uint16_t)(p[0] | p[1] << 8);
}

uint32_t Rd32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint64_t RoundUp(uint64_t n)
{
    return (n + WAD_SECTOR_SIZE - 1) / WAD_SECTOR_SIZE * WAD_SECTOR_SIZE;
}

void Fail(char *err, size_t errSize, const char *fmt, ...)
{
    if (!err || !errSize)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(err, errSize, fmt, ap);
    va_end(ap);
}

void DecodeNode(const uint8_t *p, WADNODE *n)
{
    std::memcpy(n->szName, p, WAD_NAME_LEN);
    n->iFirstChild = (int16_t)Rd16(p + 8);
    n->uChildInfo = Rd16(p + 10);
    n->uListing = Rd32(p + 12);
}

void DecodeEntry(const uint8_t *p, WADENTRY *e)
{
    std::memcpy(e->szName, p, WAD_NAME_LEN);
    e->uSector = Rd32(p + 8);
    e->uSize = Rd32(p + 12);
}

bool Owns(const WADNODE *n)
{
    return (n->uChildInfo & WAD_NODE_OWNER) != 0;
}

uint32_t ChildCount(const WADNODE *n)
{
    return n->uChildInfo & WAD_NODE_CHILDREN;
}

uint32_t ListingLow(const WADNODE *n)
{
    return n->uListing & WAD_MAX_SECTOR;
}

uint32_t ListingHigh(const WADNODE *n)
{
    return n->uListing >> 19;
}

// First child's node number (the index is checked at open, so it is in range).
uint32_t FirstChild(const WADNODE *n)
{
    return (uint32_t)((n - g_pWadTree) + n->iFirstChild);
}

// Directory names: case-insensitive over at most 8 characters.
bool DirNameMatches(const char *name, const char *comp, size_t len)
{
    size_t n = len < WAD_NAME_LEN ? len : (size_t)WAD_NAME_LEN;
    for (size_t i = 0; i < n; i++)
        if (name[i] == '\0' || std::tolower((unsigned char)name[i]) != std::tolower((unsigned char)comp[i]))
            return false;
    return n == WAD_NAME_LEN || name[n] == '\0';
}

// Reads n bytes of the data file from a sector; the bytes read, -1 on failure.
int ReadAt(uint32_t sector, void *buffer, uint32_t n)
{
    if (!g_pWadFile)
        return -1;
    uint64_t at = (uint64_t)sector * WAD_SECTOR_SIZE;
    if (at > g_uWadDataSize)
        return -1;
    if (at + n > g_uWadDataSize)
        n = (uint32_t)(g_uWadDataSize - at);
    if (Sys_DiscSeek(g_pWadFile, (int)at, 0) != (int)at)
        return -1;
    if (n == 0)
        return 0;
    return Sys_DiscRead(buffer, 1, (int)n, g_pWadFile);
}

// Reads a block into the listing area and decodes it; checks it as the open did, since the file
// may have changed since. 0, or -1 (nothing loaded).
int ReadBlock(uint32_t sector, uint32_t records, WADENTRY *out, uint32_t *outCount, char *err,
              size_t errSize)
{
    uint32_t bytes = records * WAD_ENTRY_SIZE + 4;
    if (records < 1 || records > g_uWadBlockCap || bytes > g_uWadRoom)
    {
        Fail(err, errSize, "listing block at sector %u (%u records) does not fit the index's room", sector, records);
        return -1;
    }
    uint8_t *to = g_pWadListingArea - 4;
    if (ReadAt(sector, to, bytes) != (int)bytes)
    {
        Fail(err, errSize, "listing block at sector %u lies past the end of the data file", sector);
        return -1;
    }
    uint32_t count = Rd32(to);
    if (count < 1 || count > records)
    {
        Fail(err, errSize, "listing block at sector %u counts %u entries of %u records", sector, count, records);
        return -1;
    }
    // An entry reaching past the data file stays listed; reading it fails (ReadAt), the rest of
    // the archive stays usable.
    for (uint32_t i = 0; i < records; i++)
        DecodeEntry(to + 4 + i * WAD_ENTRY_SIZE, &out[i]);
    *outCount = count;
    return 0;
}

void InvalidateNavigation()
{
    g_pWadEntries = nullptr;
    g_nWadEntries = 0;
    g_pWadCurrent = nullptr;
    g_szWadPath[0] = '\0';
    g_iWadCachedDepth = -1;
}

int LoadBlock(const WADNODE *node)
{
    int32_t sector = (int32_t)ListingLow(node);
    if (sector == g_iWadBlockSector)
        return 0;
    InvalidateNavigation();
    g_iWadBlockSector = -1;
    g_uWadBlockCount = 0;
    g_uWadBlockRecords = 0;
    uint32_t count = 0;
    if (ReadBlock((uint32_t)sector, ListingHigh(node), g_pWadBlock, &count, nullptr, 0) != 0)
        return -1;
    g_uWadBlockCount = count;
    g_uWadBlockRecords = ListingHigh(node);
    g_iWadBlockSector = sector;
    return 0;
}

void SetCurrent(const WADNODE *node, const uint16_t *path, int depth)
{
    if (Owns(node))
    {
        g_pWadEntries = g_pWadBlock;
        g_nWadEntries = (int32_t)g_uWadBlockCount;
    }
    else
    {
        // A directory without an owner above it lists from whatever block is loaded: only the
        // records that block holds count.
        uint32_t low = ListingLow(node), n = ListingHigh(node);
        uint32_t held = g_iWadBlockSector >= 0 ? g_uWadBlockRecords : 0;
        if (low >= held)
            n = 0;
        else if (n > held - low)
            n = held - low;
        g_nWadEntries = (int32_t)n;
        g_pWadEntries = n ? g_pWadBlock + low : nullptr;
    }
    g_pWadCurrent = node;

    // Path text: the names below the root, joined by '/'.
    size_t len = 0;
    const WADNODE *at = &g_pWadTree[0];
    g_szWadPath[0] = '\0';
    g_iWadCachedDepth = -1;
    if (depth < 0)
        return; // reached from the top-level list, outside the root: no index path
    for (int i = 0; i < depth; i++)
    {
        at = &g_pWadTree[FirstChild(at) + path[i]];
        if (i > 0 && len < WAD_PATH_MAX)
            g_szWadPath[len++] = '/';
        for (int k = 0; k < WAD_NAME_LEN && at->szName[k] && len < WAD_PATH_MAX; k++)
            g_szWadPath[len++] = at->szName[k];
        g_auWadCachedPath[i] = path[i];
    }
    g_szWadPath[len] = '\0';
    g_iWadCachedDepth = depth;
}

// Walks a text path from the top-level list, loading the blocks of owners on the way when asked.
// The node reached, or null; outIndices receives the child numbers of the non-empty components.
const WADNODE *WalkText(const char *path, bool load, uint16_t *outIndices, int *outDepth)
{
    if (!g_pWadTree || !path)
        return nullptr;
    uint32_t first = 0;
    uint32_t count = g_stWadIndex.uTopCount;
    int depth = 0; // -1 once the path has no index path
    bool top = true;
    const char *p = path;
    for (;;)
    {
        const char *slash = std::strchr(p, '/');
        size_t len = slash ? (size_t)(slash - p) : std::strlen(p);
        bool last = !slash || slash[1] == '\0';
        const WADNODE *node = nullptr;
        uint32_t i = 0;
        for (; i < count; i++)
            if (DirNameMatches(g_pWadTree[first + i].szName, p, len))
            {
                node = &g_pWadTree[first + i];
                break;
            }
        if (!node)
            return nullptr;
        if (len > 0 && depth >= 0)
        {
            if (depth >= WAD_MAX_DEPTH)
                return nullptr;
            uint32_t number = i;
            if (top)
            {
                // The top-level list may hold the root and then the root's children: an index
                // path counts them as the root's children. A top-level node outside the root has
                // no index path.
                const WADNODE *root = &g_pWadTree[0];
                int64_t at = (int64_t)(first + i) - (int64_t)FirstChild(root);
                if (ChildCount(root) && at >= 0 && at < (int64_t)ChildCount(root))
                    number = (uint32_t)at;
                else if (node != root)
                    number = UINT32_MAX;
            }
            if (number == UINT32_MAX)
                depth = -1;
            else
                outIndices[depth++] = (uint16_t)number;
        }
        top = false;
        if (load && Owns(node))
        {
            if (LoadBlock(node) != 0)
                return nullptr;
        }
        if (last)
        {
            *outDepth = depth;
            return node;
        }
        if (ChildCount(node) == 0)
            return nullptr;
        first = FirstChild(node);
        count = ChildCount(node);
        p = slash + 1;
    }
}

// Follows an index path without loading anything. The node reached, or null when an element is
// out of range or a node before the last has no children.
const WADNODE *WalkIndex(const uint16_t *path, int depth)
{
    if (!g_pWadTree || depth < 0 || depth > WAD_MAX_DEPTH || (depth > 0 && !path))
        return nullptr;
    const WADNODE *node = &g_pWadTree[0];
    for (int i = 0; i < depth; i++)
    {
        if (path[i] >= ChildCount(node))
            return nullptr;
        node = &g_pWadTree[FirstChild(node) + path[i]];
    }
    return node;
}

// Splits "dir/name" into a directory (a copy; "/" when empty) and the name. Without '/', dir is
// empty and the current directory is meant. False when the directory part is too long.
bool SplitPath(const char *path, char *dir, const char **name)
{
    const char *slash = std::strrchr(path, '/');
    if (!slash)
    {
        dir[0] = '\0';
        *name = path;
        return true;
    }
    size_t len = (size_t)(slash - path);
    if (len > WAD_PATH_MAX)
        return false;
    if (len == 0)
    {
        std::strcpy(dir, "/");
    }
    else
    {
        std::memcpy(dir, path, len);
        dir[len] = '\0';
    }
    *name = slash + 1;
    return true;
}

WADENTRY *FindInDir(const char *path)
{
    if (!path || !g_pWadTree)
        return nullptr;
    char dir[WAD_PATH_MAX + 1];
    const char *name = nullptr;
    if (!SplitPath(path, dir, &name))
        return nullptr;
    if (dir[0] && Sys_WadChangeDir(dir) != 0)
        return nullptr;
    return Sys_WadFindEntry(name);
}

void *AllocEntry(const WADENTRY *e)
{
    uint64_t bytes = RoundUp(e->uSize);
    void *buffer = std::malloc(bytes ? bytes : (uint64_t)WAD_SECTOR_SIZE);
    if (!buffer)
        return nullptr;
    if (e->uSize && ReadAt(e->uSector, buffer, e->uSize) != (int)e->uSize)
    {
        std::free(buffer);
        return nullptr;
    }
    return buffer;
}

// The entry's first n bytes (whole when maxBytes < 1) into a buffer of capacity bytes.
void *ReadInto(void *buffer, const WADENTRY *e, int maxBytes, size_t capacity)
{
    uint32_t n = maxBytes < 1 || (uint32_t)maxBytes > e->uSize ? e->uSize : (uint32_t)maxBytes;
    if (n > capacity)
    {
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText),
             "archive entry %.8s is %u bytes, more than the %zu the buffer holds", e->szName, n, capacity);
        return nullptr;
    }
    if (n && ReadAt(e->uSector, buffer, n) != (int)n)
        return nullptr;
    return buffer;
}

uint8_t *ListCurrent(int32_t *outCount)
{
    if (outCount)
        *outCount = 0;
    if (!g_pWadListing || !g_pWadEntries || g_nWadEntries < 1)
        return nullptr;
    const WADENTRY *header = &g_pWadEntries[0];
    if (!ReadInto(g_pWadListing, header, 0, g_uWadListingCap))
        return nullptr;
    Sys_WadMarkEmptyEntries();
    if (outCount)
        *outCount = g_nWadEntries - 1;
    return g_pWadListing;
}

// Checks the blocks of every owner against the data file and the index's room.
int CheckBlocks(char *err, size_t errSize)
{
    std::vector<WADENTRY> records(g_uWadBlockCap);
    for (uint32_t i = 0; i < g_nWadNodes; i++)
    {
        const WADNODE *owner = &g_pWadTree[i];
        if (!Owns(owner))
            continue;
        // A name list larger than the listing buffer is refused when that listing is read.
        uint32_t count = 0;
        if (ReadBlock(ListingLow(owner), ListingHigh(owner), records.data(), &count, err, errSize) != 0)
            return -1;
    }
    g_iWadBlockSector = -1;
    return 0;
}

} // namespace

int Sys_WadCheckIndex(const uint8_t *index, size_t indexSize, uint64_t dataSize, char *err, size_t errSize)
{
    if (!index || indexSize < WAD_HEADER_SIZE + 4)
    {
        Fail(err, errSize, "the index is %zu bytes, too short for its header", indexSize);
        return -1;
    }
    if (indexSize > kMaxIndexSize)
    {
        Fail(err, errSize, "the index is %zu bytes, too large", indexSize);
        return -1;
    }
    uint32_t top = Rd16(index + 34);
    uint32_t offset = Rd32(index + 36);
    uint32_t listing = Rd32(index + 40);
    if (offset < WAD_HEADER_SIZE + 4 || offset > indexSize)
    {
        Fail(err, errSize, "the listing area offset %u lies outside the index (%zu bytes)", offset, indexSize);
        return -1;
    }
    uint32_t nodes = (offset - 4 - WAD_HEADER_SIZE) / WAD_NODE_SIZE;
    if (top < 1 || top > nodes)
    {
        Fail(err, errSize, "the top-level list has %u nodes of the %u the index holds", top, nodes);
        return -1;
    }
    if (listing > dataSize || listing > kMaxIndexSize * 4u)
    {
        Fail(err, errSize, "the listing buffer size %u is larger than the data file", listing);
        return -1;
    }
    uint32_t room = (uint32_t)(indexSize - (offset - 4));

    // Depth-first from each top-level node: a child still on the walk's own path is a loop. A
    // node reached again by another way (the top-level list may hold the root and then the
    // root's children) is not walked twice; it keeps the owner of its first walk.
    enum : uint8_t
    {
        UNSEEN,
        ON_PATH,
        DONE
    };
    std::vector<uint8_t> state(nodes, UNSEEN);
    struct ITEM
    {
        uint32_t node;
        int32_t owner;  // nearest owning ancestor or the node itself, -1 none
        uint32_t first; // first child's node number
        uint32_t children;
        uint32_t next; // next child to walk
    };
    std::vector<ITEM> stack;
    // Checks a node on entering it; false (err filled) when it is broken.
    auto enter = [&](uint32_t k, int32_t owner) -> bool {
        WADNODE n;
        DecodeNode(index + WAD_HEADER_SIZE + (size_t)k * WAD_NODE_SIZE, &n);
        if (n.uChildInfo & WAD_NODE_OWNER)
        {
            uint32_t sector = n.uListing & WAD_MAX_SECTOR;
            uint32_t records = n.uListing >> 19;
            uint64_t bytes = (uint64_t)records * WAD_ENTRY_SIZE + 4;
            if (records < 1)
            {
                Fail(err, errSize, "node %u owns a block with no records", k);
                return false;
            }
            if (bytes > room)
            {
                Fail(err, errSize, "node %u: its block of %u records does not fit the index's room of %u bytes",
                     k, records, room);
                return false;
            }
            if ((uint64_t)sector * WAD_SECTOR_SIZE + bytes > dataSize)
            {
                Fail(err, errSize, "node %u: its block at sector %u lies past the end of the data file", k, sector);
                return false;
            }
            owner = (int32_t)k;
        }
        else if ((n.uListing >> 19) > 0 && owner >= 0)
        {
            // Entries with no owner above list from whatever block is loaded (bounded then).
            WADNODE o;
            DecodeNode(index + WAD_HEADER_SIZE + (size_t)owner * WAD_NODE_SIZE, &o);
            uint64_t end = (uint64_t)(n.uListing & WAD_MAX_SECTOR) + (n.uListing >> 19);
            if (end > (o.uListing >> 19))
            {
                Fail(err, errSize, "node %u: its entries run past its owner's block", k);
                return false;
            }
        }
        uint32_t children = n.uChildInfo & WAD_NODE_CHILDREN;
        int64_t first = (int64_t)k + n.iFirstChild;
        if (children && (first < 0 || first + children > nodes))
        {
            Fail(err, errSize, "node %u: its %u children lie outside the %u nodes", k, children, nodes);
            return false;
        }
        state[k] = ON_PATH;
        stack.push_back({k, owner, children ? (uint32_t)first : 0, children, 0});
        return true;
    };
    for (uint32_t t = 0; t < top; t++)
    {
        if (state[t] != UNSEEN)
            continue;
        if (!enter(t, -1))
            return -1;
        while (!stack.empty())
        {
            ITEM &it = stack.back();
            if (it.next == it.children)
            {
                state[it.node] = DONE;
                stack.pop_back();
                continue;
            }
            uint32_t k = it.first + it.next++;
            int32_t owner = it.owner;
            if (state[k] == ON_PATH)
            {
                Fail(err, errSize, "node %u is its own ancestor: the tree loops", k);
                return -1;
            }
            if (state[k] == DONE)
                continue;
            if (!enter(k, owner)) // may grow the stack: it is not used after this
                return -1;
        }
    }
    return 0;
}

void Sys_WadResetCache()
{
    InvalidateNavigation();
    g_iWadBlockSector = -1;
    g_uWadBlockCount = 0;
}

int Sys_WadRegisterDisc(const uint8_t *index)
{
    if (!g_pDiscPool || !index)
        return 0;
    uint16_t number = Rd16(index + 32);
    int32_t highest = Sys_PoolHighestId(g_pDiscPool);
    for (int32_t id = 0; id <= highest; id++)
    {
        DISKNAMES *rec = (DISKNAMES *)Sys_PoolGet(g_pDiscPool, id);
        if (rec && rec->uNumber == number)
        {
            g_pCurrentDisc = rec;
            return 1;
        }
    }
    int32_t id = -1;
    DISKNAMES *rec = (DISKNAMES *)Sys_PoolAlloc(g_pDiscPool, &id);
    if (!rec)
        return 0;
    std::memcpy(rec->szName, index, sizeof(rec->szName));
    rec->uNumber = number;
    g_pCurrentDisc = rec;
    Vid_InitDiscResKinds(rec->abDiscData);
    return 1;
}

void Sys_WadClose()
{
    if (g_pWadFile)
        Sys_DiscClose(g_pWadFile);
    g_pWadFile = nullptr;
    std::free(g_pWadIndex);
    g_pWadIndex = nullptr;
    std::free(g_pWadTree);
    g_pWadTree = nullptr;
    g_nWadNodes = 0;
    std::free(g_pWadBlock);
    g_pWadBlock = nullptr;
    g_uWadBlockCap = 0;
    g_pWadListingArea = nullptr;
    g_uWadIndexSize = 0;
    g_uWadDataSize = 0;
    Sys_WadResetCache();
}

void Sys_WadFreeBuffers()
{
    Sys_WadClose();
    std::free(g_pWadListing);
    g_pWadListing = nullptr;
    g_uWadListingCap = 0;
}

void Sys_FreeDiscPool()
{
    if (!g_pDiscPool)
        return;
    int32_t highest = Sys_PoolHighestId(g_pDiscPool);
    for (int32_t id = 0; id <= highest; id++)
    {
        DISKNAMES *rec = (DISKNAMES *)Sys_PoolGet(g_pDiscPool, id);
        if (!rec)
            continue;
        for (int row = 0; row < WAD_RES_ROWS; row++)
            Vid_ReleaseResData(rec->abDiscData + row * WAD_RES_ROW);
        Sys_PoolFree(g_pDiscPool, rec);
    }
    Sys_PoolDestroy(g_pDiscPool);
    g_pDiscPool = nullptr;
    g_pCurrentDisc = nullptr;
}

int Sys_WadOpen(const char *dataName, const char *indexName, int mode)
{
    static const char *const kBases[] = {"WADS", "BRAKEN\\WADS"};
    g_iDiscError = 0;
    g_szWadErrorText[0] = '\0';
    Sys_WadClose();

    char name[300];
    const char *base = nullptr;
    DISCFILE *f = nullptr;
    for (const char *b : kBases)
    {
        if (!indexName)
            break;
        std::snprintf(name, sizeof(name), "%s\\%s", b, indexName);
        f = Sys_DiscOpen(name);
        if (f)
        {
            base = b;
            break;
        }
    }
    Sys_WadResetCache();

    auto failure = [&](int code) {
        g_iDiscError = code;
        for (const KEY &k : kRequired)
            *k.global = -1;
        for (const KEY &k : kOptional)
            *k.global = -1;
        if (mode & 1)
        {
            std::free(g_pWadListing);
            g_pWadListing = nullptr;
            g_uWadListingCap = 0;
        }
        Sys_WadClose();
        if (g_szWadErrorText[0] && g_bWadErrorsToConsole)
            std::fprintf(stderr, "archive: %s\n", g_szWadErrorText);
        return 0;
    };

    if (!f)
    {
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "Couldn't Load File (WADS\\%s). File doesn't exist!",
             indexName ? indexName : "");
        return failure(2);
    }
    int size = Sys_DiscFileSize(f);
    if (size < 0 || (uint32_t)size > kMaxIndexSize)
    {
        Sys_DiscClose(f);
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "archive index %s has a bad size", name);
        return failure(2);
    }
    g_pWadIndex = (uint8_t *)std::malloc(size ? (size_t)size : 1);
    if (!g_pWadIndex || Sys_DiscRead(g_pWadIndex, 1, size, f) != size)
    {
        Sys_DiscClose(f);
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "Couldn't Read from File (%s).", name);
        return failure(2);
    }
    Sys_DiscClose(f);
    g_uWadIndexSize = (uint32_t)size;

    if (!g_pDiscPool)
    {
        g_pDiscPool = Sys_PoolCreate(3, sizeof(DISKNAMES), 8, 0, "DISKNAMES", nullptr);
        if (!g_pDiscPool)
            return failure(0);
    }

    uint32_t listing = g_uWadIndexSize >= WAD_HEADER_SIZE ? Rd32(g_pWadIndex + 40) : 0;
    if (mode & 1)
    {
        std::free(g_pWadListing);
        g_uWadListingCap = (uint32_t)RoundUp(listing > kMaxIndexSize * 4u ? 0 : listing);
        if (!g_uWadListingCap)
            g_uWadListingCap = WAD_SECTOR_SIZE;
        g_pWadListing = (uint8_t *)std::malloc(g_uWadListingCap);
        if (!g_pWadListing)
        {
            g_uWadListingCap = 0;
            return failure(1);
        }
    }
    else
    {
        std::free(g_pWadListing);
        g_pWadListing = nullptr;
        g_uWadListingCap = 0;
    }

    std::snprintf(name, sizeof(name), "%s\\%s", base, dataName ? dataName : "");
    g_pWadFile = dataName ? Sys_DiscOpen(name) : nullptr;
    int dataSize = g_pWadFile ? Sys_DiscFileSize(g_pWadFile) : -1;
    if (dataSize < 0)
    {
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "Couldn't Load File (%s). File doesn't exist!", name);
        return failure(2);
    }
    g_uWadDataSize = (uint64_t)dataSize;

    char why[200];
    if (Sys_WadCheckIndex(g_pWadIndex, g_uWadIndexSize, g_uWadDataSize, why, sizeof(why)) != 0)
    {
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "archive %s is broken: %s", indexName, why);
        return failure(2);
    }
    std::memcpy(g_stWadIndex.szDiscName, g_pWadIndex, 32);
    g_stWadIndex.uDiscNumber = Rd16(g_pWadIndex + 32);
    g_stWadIndex.uTopCount = Rd16(g_pWadIndex + 34);
    g_stWadIndex.uListingOffset = Rd32(g_pWadIndex + 36);
    g_stWadIndex.uListingSize = listing;
    g_stWadIndex.uUnused = Rd32(g_pWadIndex + 44);
    g_pWadListingArea = g_pWadIndex + g_stWadIndex.uListingOffset;
    g_uWadRoom = g_uWadIndexSize - (g_stWadIndex.uListingOffset - 4);
    if (!(mode & 1))
        g_uWadListingCap = (uint32_t)RoundUp(listing);

    g_nWadNodes = (g_stWadIndex.uListingOffset - 4 - WAD_HEADER_SIZE) / WAD_NODE_SIZE;
    g_pWadTree = (WADNODE *)std::malloc((size_t)g_nWadNodes * sizeof(WADNODE));
    if (!g_pWadTree)
        return failure(1);
    uint32_t most = 1;
    for (uint32_t i = 0; i < g_nWadNodes; i++)
    {
        DecodeNode(g_pWadIndex + WAD_HEADER_SIZE + i * WAD_NODE_SIZE, &g_pWadTree[i]);
        if (Owns(&g_pWadTree[i]) && ListingHigh(&g_pWadTree[i]) > most)
            most = ListingHigh(&g_pWadTree[i]);
    }
    g_uWadBlockCap = most;
    g_pWadBlock = (WADENTRY *)std::malloc((size_t)most * sizeof(WADENTRY));
    if (!g_pWadBlock)
        return failure(1);
    if (CheckBlocks(why, sizeof(why)) != 0)
    {
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "archive %s is broken: %s", dataName, why);
        return failure(2);
    }
    if (!(mode & 1))
        g_uWadListingCap = 0;

    if (!Sys_WadRegisterDisc(g_pWadIndex))
    {
        Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "no disc record is free for archive %s", indexName);
        return failure(2);
    }

    uint16_t idx[WAD_MAX_DEPTH];
    for (const KEY &k : kRequired)
    {
        if (Sys_WadDirPathToIndices(k.path, idx) < 1)
        {
            Fail(g_szWadErrorText, sizeof(g_szWadErrorText), "archive %s has no directory %s", indexName, k.path);
            return failure(2);
        }
        *k.global = idx[0];
    }
    bool all = true;
    for (const KEY &k : kOptional)
    {
        if (Sys_WadDirPathToIndices(k.path, idx) < 1)
            all = false;
        else
            *k.global = idx[0];
    }
    if (!all)
        for (const KEY &k : kOptional)
            *k.global = -1;

    Seq_LoadBootTables();
    Ui_SetupArchiveLists();
    Ed_AttractFreeDemoList();
    return 1;
}

// ---- text paths -------------------------------------------------------------------------------

int Sys_WadChangeDir(const char *path)
{
    if (!g_pWadTree || !path)
        return 1;
    if (g_pWadCurrent && std::strcmp(path, g_szWadPath) == 0)
        return 0;
    uint16_t idx[WAD_MAX_DEPTH];
    int depth = 0;
    const WADNODE *node = WalkText(path, true, idx, &depth);
    if (!node)
        return 1;
    SetCurrent(node, idx, depth);
    if (std::strlen(path) <= WAD_PATH_MAX)
        std::strcpy(g_szWadPath, path);
    return 0;
}

WADENTRY *Sys_WadFindEntry(const char *name)
{
    if (!g_pWadEntries || !name)
        return nullptr;
    for (int32_t i = 0; i < g_nWadEntries; i++)
        if (std::strncmp(g_pWadEntries[i].szName, name, WAD_NAME_LEN) == 0)
            return &g_pWadEntries[i];
    const char *tilde = std::strchr(name, '~');
    if (!tilde || tilde == name)
        return nullptr;
    size_t len = (size_t)(tilde - name);
    if (len > WAD_NAME_LEN)
        len = WAD_NAME_LEN;
    for (int32_t i = 0; i < g_nWadEntries; i++)
        if (std::strncmp(g_pWadEntries[i].szName, name, len) == 0)
            return &g_pWadEntries[i];
    return nullptr;
}

void *Sys_WadLoadFile(int, const char *path)
{
    WADENTRY *e = FindInDir(path);
    return e ? AllocEntry(e) : nullptr;
}

void *Sys_WadLoadFileInto(void *buffer, const char *path, int maxBytes, size_t capacity)
{
    WADENTRY *e = FindInDir(path);
    if (!e || !buffer)
        return nullptr;
    return ReadInto(buffer, e, maxBytes, capacity);
}

uint8_t *Sys_WadListDir(const char *path, int32_t *outCount)
{
    if (Sys_WadChangeDir(path) != 0)
    {
        if (outCount)
            *outCount = 0;
        return nullptr;
    }
    return ListCurrent(outCount);
}

int Sys_WadDirPathToIndices(const char *path, uint16_t *outIndices)
{
    uint16_t idx[WAD_MAX_DEPTH];
    int depth = 0;
    if (!WalkText(path, false, idx, &depth) || depth < 0)
        return -1;
    if (outIndices)
        std::memcpy(outIndices, idx, (size_t)depth * sizeof(uint16_t));
    return depth;
}

int Sys_WadPathToIndices(const char *path, uint16_t *outIndices)
{
    if (!path || !outIndices || !g_pWadTree)
        return -1;
    char dir[WAD_PATH_MAX + 1];
    const char *name = nullptr;
    if (!SplitPath(path, dir, &name))
        return -1;
    int depth = 0;
    if (!dir[0])
    {
        if (Sys_WadChangeDir("/") != 0)
            return -1;
    }
    else
    {
        uint16_t idx[WAD_MAX_DEPTH];
        depth = Sys_WadDirPathToIndices(dir, idx);
        if (depth < 0 || !Sys_WadGotoIndexPath(idx, depth))
            return -1;
        std::memcpy(outIndices, idx, (size_t)depth * sizeof(uint16_t));
    }
    WADENTRY *e = Sys_WadFindEntry(name);
    if (!e)
        return -1;
    outIndices[depth] = (uint16_t)(e - g_pWadEntries);
    return depth + 1;
}

int Sys_WadReadEntry(void *buffer, const WADENTRY *entry)
{
    if (!buffer || !entry)
        return -1;
    return ReadAt(entry->uSector, buffer, (uint32_t)RoundUp(entry->uSize));
}

int Sys_WadReadEntryPart(void *buffer, const WADENTRY *entry, int n)
{
    if (!buffer || !entry || n < 0)
        return -1;
    uint32_t bytes = (uint32_t)n < entry->uSize ? (uint32_t)n : entry->uSize;
    return ReadAt(entry->uSector, buffer, bytes);
}

// ---- index paths ------------------------------------------------------------------------------

WADNODE *Sys_WadGotoIndexPath(const uint16_t *path, int depth)
{
    if (!g_pWadTree || depth < 0 || depth > WAD_MAX_DEPTH || (depth > 0 && !path))
        return nullptr;
    WADNODE *root = &g_pWadTree[0];
    if (g_pWadCurrent && depth == g_iWadCachedDepth &&
        (depth == 0 || std::memcmp(path, g_auWadCachedPath, (size_t)depth * sizeof(uint16_t)) == 0))
        return (WADNODE *)g_pWadCurrent;
    if (Owns(root) && LoadBlock(root) != 0)
        return nullptr;
    WADNODE *node = root;
    for (int i = 0; i < depth; i++)
    {
        if (path[i] >= ChildCount(node))
            return nullptr;
        node = &g_pWadTree[FirstChild(node) + path[i]];
        if (Owns(node) && LoadBlock(node) != 0)
            return nullptr;
    }
    SetCurrent(node, path, depth);
    return node;
}

uint8_t *Sys_WadListDirByIndex(const uint16_t *path, int depth, int32_t *outCount)
{
    if (!Sys_WadGotoIndexPath(path, depth))
    {
        if (outCount)
            *outCount = 0;
        return nullptr;
    }
    return ListCurrent(outCount);
}

int Sys_WadCountAt(const uint16_t *path, int depth)
{
    if (!g_pWadTree || depth < 0 || depth > WAD_MAX_DEPTH || (depth > 0 && !path))
        return -1;
    const WADNODE *node = &g_pWadTree[0];
    for (int i = 0; i < depth; i++)
    {
        if (path[i] >= ChildCount(node))
            return -1;
        node = &g_pWadTree[FirstChild(node) + path[i]];
    }
    uint32_t children = ChildCount(node);
    return children ? (int)children : -1;
}

int Sys_WadFileCountAt(const uint16_t *path, int depth)
{
    const WADNODE *node = WalkIndex(path, depth);
    if (!node)
        return -1;
    if (!Owns(node))
        return (int)ListingHigh(node) - 1;
    if (!Sys_WadGotoIndexPath(path, depth))
        return -1;
    return (int)g_uWadBlockCount - 1;
}

int Sys_WadNodeNameAt(const uint16_t *path, int depth, char *outName, int maxLen)
{
    const WADNODE *node = WalkIndex(path, depth);
    if (!node)
        return -1;
    if (outName && maxLen > 0)
        std::memcpy(outName, node->szName, maxLen < WAD_NAME_LEN ? (size_t)maxLen : (size_t)WAD_NAME_LEN);
    return (int)ChildCount(node);
}

WADENTRY *Sys_WadEntryAt(int index)
{
    if (!g_pWadEntries || index < 0 || index >= g_nWadEntries)
        return nullptr;
    return &g_pWadEntries[index];
}

// The entry a path names whose last element is a file number.
static WADENTRY *FileByIndex(const uint16_t *path, int depth)
{
    if (depth < 1 || !path || !Sys_WadGotoIndexPath(path, depth - 1))
        return nullptr;
    return Sys_WadEntryAt((int)path[depth - 1] + 1);
}

void *Sys_WadLoadEntryAlloc(int, const uint16_t *path, int depth, char *outName, uint32_t *outSize)
{
    if (outSize)
        *outSize = 0;
    WADENTRY *e = FileByIndex(path, depth);
    if (!e)
        return nullptr;
    if (outName)
        std::memcpy(outName, e->szName, WAD_NAME_LEN);
    if (outSize)
        *outSize = e->uSize;
    return AllocEntry(e);
}

void *Sys_WadLoadEntryByIndex(void *buffer, const uint16_t *path, int depth, int maxBytes, size_t capacity)
{
    WADENTRY *e = FileByIndex(path, depth);
    if (!e || !buffer)
        return nullptr;
    return ReadInto(buffer, e, maxBytes, capacity);
}

int Sys_WadResolveCompanionPath(const uint16_t *path, int depth, uint16_t *outIndices, int n)
{
    // The bytes after the name: the sector field, then the size field.
    if (depth < 1 || !path || n < 1 || n - 2 > 7)
        return 0;
    if (!Sys_WadGotoIndexPath(path, depth - 1))
        return 0;
    const WADENTRY *e = Sys_WadEntryAt(path[depth - 1]);
    if (!e)
        return 0;
    uint8_t after[8];
    for (int i = 0; i < 4; i++)
    {
        after[i] = (uint8_t)(e->uSector >> (8 * i));
        after[4 + i] = (uint8_t)(e->uSize >> (8 * i));
    }
    char text[2 * 8 + 2 + WAD_NAME_LEN + 1];
    size_t len = 0;
    for (int i = n - 2; i >= 0; i--)
    {
        text[len++] = '/';
        text[len++] = (char)after[i];
    }
    text[len++] = '/';
    for (int k = 0; k < WAD_NAME_LEN && e->szName[k]; k++)
        text[len++] = e->szName[k];
    text[len] = '\0';
    return Sys_WadPathToIndices(text, outIndices) >= 0 ? 1 : 0;
}

int Sys_WadEntryDiscPosition(int dir, int a, int b, int c, uint8_t *outMsf)
{
    if (dir < 0 || a < 1 || b < 1 || c < 0 || !outMsf)
        return -1;
    uint16_t path[4];
    int depth = 0;
    path[depth++] = (uint16_t)dir;
    if (dir == g_iWadDirN)
        path[depth++] = 2;
    path[depth++] = (uint16_t)(a - 1);
    path[depth++] = (uint16_t)(b - 1);
    if (!Sys_WadGotoIndexPath(path, depth) || g_nWadEntries < 1)
        return -1;
    if (c >= g_nWadEntries)
        c = 0;
    const WADENTRY *e = &g_pWadEntries[c];
    Sys_MsfFromSector((int)(g_pWadFile->uStartSector + e->uSector), outMsf);
    return (int)e->uSize;
}

WADENTRY *Sys_WadLoadByName(void *buffer, const char *name, size_t capacity)
{
    WADENTRY *e = Sys_WadFindEntry(name);
    if (!e || !buffer || !ReadInto(buffer, e, 0, capacity))
        return nullptr;
    return e;
}

void Sys_WadMarkEmptyEntries()
{
    for (int32_t k = 0; k + 1 < g_nWadEntries && k <= WAD_MAX_RECORDS; k++)
        g_abWadEntryEmpty[k] = g_pWadEntries[k + 1].uSize == 0 ? 1 : 0;
}

ANIMRES *Sys_WadLoadModelFile(const char *name)
{
    DISCFILE *handle = name ? Sys_DiscOpen(name) : nullptr;
    if (!handle)
        return nullptr;
    const int size = Sys_DiscFileSize(handle);
    auto *file = size > 0 ? static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size))) : nullptr;
    const bool read = file && Sys_DiscRead(file, size, 1, handle) == size;
    Sys_DiscClose(handle);
    ANIMRES *anim = read ? Vid_LayoutLoadedDef(file, static_cast<size_t>(size)) : nullptr;
    if (!anim)
        std::free(file);
    return anim;
}
