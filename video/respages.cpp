#include "video/respages.h"

#include "app/calllog.h"
#include "core/archive.h"
#include "core/idpool.h"

#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <string>

IDPOOL *g_pResPagePool = nullptr;

namespace {

constexpr int32_t kMaxCallbackSlots = 32;
struct CALLBACKS
{
    RESLOADFN load;
    RESFREEFN free;
};
CALLBACKS s_astCallbacks[kMaxCallbackSlots];
int32_t s_iCallbackSlots = 1; // slot 0 is "none"

// Folders of the kinds, in the order the rows are set up.
const struct
{
    int32_t kind;
    const char *folder;
    uint16_t flags;
} kKindFolders[RES_KIND_COUNT] = {
    {RES_MODELS, "/B/B", RESROW_LOAD_WHOLE},      {RES_MODTEX, "/B/D", RESROW_LOAD_WHOLE},
    {RES_LAYOUT, "/B/F", RESROW_LOAD_WHOLE},      {RES_BACK, "/D/B", RESROW_LOAD_WHOLE},
    {RES_BACKTEX, "/D/D", RESROW_LOAD_WHOLE},     {RES_MAPTEX, "/F", RESROW_LOAD_WHOLE},
    {RES_PATH, "/H", RESROW_LOAD_WHOLE},          {RES_PARTICLE, "/J", RESROW_LOAD_WHOLE},
    {RES_TEXT, "/L", RESROW_LOAD_WHOLE},          {RES_INSTRUMENT, "/N", RESROW_STREAMED},
    {RES_ANIM, "/B/H", RESROW_LOAD_WHOLE},        {RES_TUNNEL, "/P", RESROW_LOAD_WHOLE},
    {RES_TEXTDEF, "/T", RESROW_LOAD_WHOLE},
};

RESKINDROW *Rows(uint8_t *discData) { return reinterpret_cast<RESKINDROW *>(discData); }

RESPAGE *Page(int32_t id)
{
    if (!g_pResPagePool || id < 1)
        return nullptr;
    return static_cast<RESPAGE *>(Sys_PoolGet(g_pResPagePool, id));
}

int32_t IdOf(const RESPAGE *page)
{
    return page && g_pResPagePool ? Sys_PoolIdOf(g_pResPagePool, page) : -1;
}

void CreatePool();

RESPAGE *Vid_NewResPage()
{
    if (!g_pResPagePool)
        CreatePool();
    if (!g_pResPagePool)
        return nullptr;
    int32_t id = -1;
    RESPAGE *page = static_cast<RESPAGE *>(Sys_PoolAlloc(g_pResPagePool, &id));
    if (page)
        std::memset(page, 0, sizeof(*page));
    return page;
}

// The top-level folder above a record (the record itself when it is one).
const RESPAGE *TopOf(const RESPAGE *page)
{
    while (page && page->parent)
        page = page->parent;
    return page;
}

// Index path of a record from its top-level folder down; the depth, or -1 when it is too deep.
int32_t PathOf(const RESPAGE *page, uint16_t *out, int32_t max)
{
    int32_t depth = 0;
    for (const RESPAGE *p = page; p; p = p->parent)
        depth++;
    if (depth > max)
        return -1;
    int32_t i = depth;
    for (const RESPAGE *p = page; p; p = p->parent)
        out[--i] = p->index;
    return depth;
}

// Unlinks a record from its parent's child list (or from its row's top-level list).
void Unlink(RESPAGE *page)
{
    RESPAGE **link = nullptr;
    if (page->parent) {
        link = &page->parent->child;
    } else if (page->row) {
        RESPAGE *first = Page(page->row->tree);
        if (first == page) {
            page->row->tree = static_cast<int16_t>(page->next ? IdOf(page->next) : -1);
            return;
        }
        for (RESPAGE *p = first; p; p = p->next) {
            if (p->next == page) {
                p->next = page->next;
                return;
            }
        }
        return;
    }
    while (link && *link) {
        if (*link == page) {
            *link = page->next;
            return;
        }
        link = &(*link)->next;
    }
}

const CALLBACKS *CallbacksOf(const RESKINDROW *row)
{
    if (!row || row->callbacks == 0 || row->callbacks >= s_iCallbackSlots)
        return nullptr;
    return &s_astCallbacks[row->callbacks];
}

// Frees one loaded leaf through its kind's free callback, then the record.
void Vid_FreeResPage(RESPAGE *page)
{
    const RESPAGE *top = TopOf(page);
    const RESKINDROW *row = top ? top->row : nullptr;
    uint16_t path[WAD_MAX_DEPTH];
    const int32_t depth = PathOf(page, path, WAD_MAX_DEPTH);
    const CALLBACKS *cb = CallbacksOf(row);
    if (page->data && cb && cb->free)
        cb->free(IdOf(page), page->data, path, depth < 0 ? 0 : depth);
    page->data = nullptr;
    Unlink(page);
    Sys_PoolFree(g_pResPagePool, page);
}

void FreeChildren(RESPAGE *node)
{
    while (node->child) {
        RESPAGE *c = node->child;
        if (c->child)
            FreeChildren(c);
        if (c->folder || !c->data) {
            node->child = c->next;
            Sys_PoolFree(g_pResPagePool, c);
        } else {
            Vid_FreeResPage(c); // unlinks c from node->child
        }
    }
}

// Turns "/B/B"-style folder letters plus more letters and a name into index numbers.
int32_t TextToIndices(const std::string &text, uint16_t *out)
{
    uint16_t idx[WAD_MAX_DEPTH + 1];
    const int depth = Sys_WadPathToIndices(text.c_str(), idx);
    if (depth < 1 || depth > WAD_MAX_DEPTH)
        return -1;
    std::memcpy(out, idx, sizeof(uint16_t) * static_cast<size_t>(depth));
    return depth;
}

bool Taken(const RESPAGE *page, const uint32_t *mask)
{
    if (!page->data || page->folder)
        return false;
    if (!mask)
        return true;
    const int32_t id = IdOf(page);
    return id >= 0 && (mask[id >> 5] >> (id & 31) & 1);
}

void NumberWalk(const RESPAGE *p, int32_t *counter, int32_t *nextNumber, const uint32_t *mask)
{
    for (; p; p = p->next) {
        if (p->child)
            NumberWalk(p->child, counter, nextNumber, mask);
        if (Taken(p, mask)) {
            (*counter)++;
            const_cast<RESPAGE *>(p)->saveNumber = static_cast<uint16_t>((*nextNumber)++);
        }
    }
}

int32_t WriteWalk(const RESPAGE *p, uint8_t *out, const uint32_t *mask, int32_t *count)
{
    int32_t result = 0;
    for (; p; p = p->next) {
        if (p->child && WriteWalk(p->child, out, mask, count) != 0)
            result = -1;
        if (!Taken(p, mask))
            continue;
        // Ancestors' first letters, then the row's letters from the deepest up.
        char letters[WAD_MAX_DEPTH + RESROW_PATH_MAX];
        int32_t n = 0;
        for (const RESPAGE *a = p->parent; a; a = a->parent)
            letters[n++] = a->name[0];
        const RESKINDROW *row = TopOf(p)->row;
        for (int32_t i = row ? row->depth - 1 : -1; i >= 0; i--)
            letters[n++] = row->letters[i];
        if (n > RESREF_LETTERS) {
            // Four letters would cut the path short: a reference that loads something else.
            result = -1;
            continue;
        }
        uint8_t *ref = out + RESREF_SIZE * static_cast<size_t>(*count);
        std::memset(ref, 0, RESREF_LETTERS);
        for (int32_t i = 0; i < n; i++)
            ref[i] = static_cast<uint8_t>(letters[n - 1 - i]);
        std::memcpy(ref + RESREF_LETTERS, p->name, 8);
        (*count)++;
    }
    return result;
}

} // namespace

uint8_t Vid_AddResCallbacks(RESLOADFN load, RESFREEFN free)
{
    for (int32_t i = 1; i < s_iCallbackSlots; i++)
        if (s_astCallbacks[i].load == load && s_astCallbacks[i].free == free)
            return static_cast<uint8_t>(i);
    if (s_iCallbackSlots >= kMaxCallbackSlots)
        return 0;
    s_astCallbacks[s_iCallbackSlots] = {load, free};
    return static_cast<uint8_t>(s_iCallbackSlots++);
}

void Vid_SetKindCallbacks(RESKINDROW *row, uint8_t slot)
{
    if (row && slot < s_iCallbackSlots)
        row->callbacks = slot;
}

void Vid_CreateResPagePool()
{
    Sys_CallLog("Vid_CreateResPagePool");
    CreatePool();
}

void Vid_FreeResPagePool()
{
    Sys_PoolDestroy(g_pResPagePool);
    g_pResPagePool = nullptr;
}

namespace {

void CreatePool()
{
    if (g_pResPagePool)
        return;
    g_pResPagePool = Sys_PoolCreate(RESPAGE_POOL_SHIFT, sizeof(RESPAGE), RESPAGE_POOL_PAGES, 0, "RES PAGE", nullptr);
    if (!g_pResPagePool)
        return;
    // Id 0 means "none" to every holder of a resource id: keep it from ever being handed out.
    int32_t id = -1;
    RESPAGE *zero = static_cast<RESPAGE *>(Sys_PoolAlloc(g_pResPagePool, &id));
    if (zero) {
        std::memset(zero, 0, sizeof(*zero));
        zero->folder = 1;
    }
}

} // namespace

uint8_t g_aucResKindCallbacks[RES_KIND_COUNT];

int32_t Vid_InitDiscResKinds(uint8_t *discData)
{
    if (!discData)
        return 1;
    std::memset(discData, 0, WAD_DISC_DATA);
    RESKINDROW *rows = Rows(discData);
    for (RESKINDROW *row = rows; row < rows + RES_KIND_COUNT; row++)
        row->tree = -1;
    for (const auto &k : kKindFolders) {
        RESKINDROW *row = &rows[k.kind];
        if (Vid_InitResKindRow(row, k.kind, k.folder, g_aucResKindCallbacks[k.kind], k.flags) != 0) {
            for (RESKINDROW *r = rows; r < rows + RES_KIND_COUNT; r++)
                Vid_FreeKindRowTree(r);
            std::memset(discData, 0, WAD_DISC_DATA);
            return 1;
        }
    }
    return 0;
}

int32_t Vid_InitResKindRow(RESKINDROW *row, int32_t kind, const char *folderPath, uint8_t callbacks, uint16_t flags)
{
    if (!row || !folderPath)
        return 1;
    std::memset(row, 0, sizeof(*row));
    row->tree = -1;
    uint16_t idx[WAD_MAX_DEPTH];
    const int depth = Sys_WadDirPathToIndices(folderPath, idx);
    if (depth < 1 || depth > RESROW_PATH_MAX)
        return 1;
    std::memcpy(row->path, idx, sizeof(uint16_t) * static_cast<size_t>(depth));
    row->depth = static_cast<uint16_t>(depth);
    row->kind = static_cast<uint8_t>(kind);
    row->flags = flags;
    row->callbacks = callbacks;
    row->disc = g_pCurrentDisc ? g_pCurrentDisc->uNumber : 0;
    int32_t n = 0;
    for (const char *c = folderPath; *c && n < RESROW_PATH_MAX; c++)
        if (*c == '/' && c[1] && c[1] != '/')
            row->letters[n++] = c[1];
    uint16_t path[WAD_MAX_DEPTH + 1];
    std::memcpy(path, idx, sizeof(uint16_t) * static_cast<size_t>(depth));
    RESPAGE *first = nullptr;
    if (Vid_BuildResTree(nullptr, &first, path, depth) != 0)
        return 1;
    row->tree = static_cast<int16_t>(first ? IdOf(first) : -1);
    for (RESPAGE *p = first; p; p = p->next)
        p->row = row;
    return 0;
}

int32_t Vid_BuildResTree(RESPAGE *parent, RESPAGE **firstChild, uint16_t *indexPath, int32_t depth)
{
    if (depth >= WAD_MAX_DEPTH)
        return 1;
    char name[8] = {};
    const int children = Sys_WadNodeNameAt(indexPath, depth, name, 8);
    if (children < 0)
        return 1;
    if (parent)
        std::memcpy(parent->name, name, 8);
    *firstChild = nullptr;
    RESPAGE *last = nullptr;
    for (int i = 0; i < children; i++) {
        RESPAGE *page = Vid_NewResPage();
        bool ok = page != nullptr;
        if (ok) {
            page->folder = 1;
            page->parent = parent;
            page->index = static_cast<uint16_t>(i);
            (last ? last->next : *firstChild) = page;
            last = page;
            indexPath[depth] = static_cast<uint16_t>(i);
            ok = Vid_BuildResTree(page, &page->child, indexPath, depth + 1) == 0;
        }
        if (!ok) {
            // Free what was built below this level.
            while (*firstChild) {
                RESPAGE *c = *firstChild;
                *firstChild = c->next;
                FreeChildren(c);
                Sys_PoolFree(g_pResPagePool, c);
            }
            return 1;
        }
    }
    return 0;
}

void Vid_FreeResTree(RESPAGE *node)
{
    if (node && g_pResPagePool)
        FreeChildren(node);
}

void Vid_FreeKindRowTree(RESKINDROW *row)
{
    if (!row || !g_pResPagePool)
        return;
    while (row->tree > 0) {
        RESPAGE *top = Page(row->tree);
        if (!top) {
            break;
        }
        FreeChildren(top);
        row->tree = static_cast<int16_t>(top->next ? IdOf(top->next) : -1);
        Sys_PoolFree(g_pResPagePool, top);
    }
    row->tree = -1;
}

void Vid_ReleaseResData(uint8_t *row)
{
    Vid_FreeKindRowTree(reinterpret_cast<RESKINDROW *>(row));
}

RESKINDROW *Vid_GetKindRow(int32_t kind)
{
    if (!g_pCurrentDisc || kind < 0 || kind >= RES_KIND_COUNT)
        return nullptr;
    RESKINDROW *row = &Rows(g_pCurrentDisc->abDiscData)[kind];
    return row->depth ? row : nullptr;
}

RESPAGE *Vid_GetKindTree(const RESKINDROW *row)
{
    return row ? Page(row->tree) : nullptr;
}

void *Vid_LoadResource(int32_t kind, const uint16_t *path, int32_t depth, int32_t *outId)
{
    int32_t dummy;
    int32_t &id = outId ? *outId : dummy;
    id = -1;
    RESKINDROW *row = Vid_GetKindRow(kind);
    if (!row || !path || depth < 1 || depth + row->depth > WAD_MAX_DEPTH)
        return nullptr;
    // Folders first: every level above the entry must exist.
    RESPAGE *parent = nullptr;
    RESPAGE *level = Page(row->tree);
    for (int32_t d = 0; d < depth - 1; d++) {
        RESPAGE *p = level;
        while (p && p->index < path[d])
            p = p->next;
        if (!p || p->index != path[d] || !p->folder)
            return nullptr;
        parent = p;
        level = p->child;
    }
    if (!parent)
        return nullptr; // entries sit in a folder below the kind's folder
    const uint16_t want = path[depth - 1];
    RESPAGE *before = nullptr;
    RESPAGE *found = nullptr;
    for (RESPAGE *p = parent->child; p && p->index <= want; p = p->next) {
        if (p->index == want) {
            found = p;
            if (!(row->flags & RESROW_STREAMED))
                break;
        }
        before = p;
    }
    if (found && found->folder)
        return nullptr; // a folder holds this number: loading the entry would mix the two
    if (found && !(row->flags & RESROW_STREAMED)) {
        id = IdOf(found);
        return found->data;
    }

    RESPAGE *page = Vid_NewResPage();
    if (!page)
        return nullptr;
    page->parent = parent;
    page->index = want;
    page->next = before ? before->next : parent->child;
    (before ? before->next : parent->child) = page;
    const int32_t pageId = IdOf(page);

    uint16_t full[WAD_MAX_DEPTH];
    std::memcpy(full, row->path, sizeof(uint16_t) * row->depth);
    std::memcpy(full + row->depth, path, sizeof(uint16_t) * static_cast<size_t>(depth));
    const int32_t fullDepth = row->depth + depth;
    const CALLBACKS *cb = CallbacksOf(row);
    void *data = nullptr;
    if (row->flags & RESROW_STREAMED) {
        if (Sys_WadGotoIndexPath(full, fullDepth - 1)) {
            const WADENTRY *e = Sys_WadEntryAt(static_cast<int>(want) + 1);
            if (e && cb && cb->load) {
                std::memcpy(page->name, e->szName, 8);
                data = cb->load(pageId, nullptr, path, depth, e->uSize);
            }
        }
    } else {
        char name[8] = {};
        uint32_t size = 0;
        void *buffer = Sys_WadLoadEntryAlloc(0, full, fullDepth, name, &size);
        if (buffer) {
            std::memcpy(page->name, name, 8);
            // Without a loader the raw entry is the resource.
            data = cb && cb->load ? cb->load(kind, buffer, path, depth, size) : buffer;
        }
    }
    if (!data) {
        Unlink(page);
        Sys_PoolFree(g_pResPagePool, page);
        return nullptr;
    }
    page->data = data;
    id = pageId;
    return data;
}

void Vid_AddResRef(int32_t id)
{
    RESPAGE *page = Page(id);
    if (page && page->data)
        page->count++;
}

int32_t Vid_ReleaseResRef(int32_t id)
{
    RESPAGE *page = Page(id);
    if (!page || !page->data || page->count == 0)
        return -1; // a release without a reference would free data that others still use
    if (--page->count == 0)
        Vid_FreeResPage(page);
    return 0;
}

void Vid_ReleaseUnusedResources()
{
    if (!g_pResPagePool)
        return;
    const int32_t highest = Sys_PoolHighestId(g_pResPagePool);
    for (int32_t id = 1; id <= highest; id++) {
        RESPAGE *page = Page(id);
        if (page && page->data && !page->folder && page->count == 0)
            Vid_FreeResPage(page);
    }
}

int32_t Vid_ReleaseResource(int32_t id)
{
    RESPAGE *page = Page(id);
    if (!page || !page->data || page->folder)
        return -1;
    const int32_t count = static_cast<int32_t>(page->count);
    Vid_FreeResPage(page);
    return count;
}

void *Vid_GetResData(int32_t id)
{
    RESPAGE *page = Page(id);
    return page && !page->folder ? page->data : nullptr;
}

int32_t Vid_GetResSaveNumber(int32_t id)
{
    RESPAGE *page = Page(id);
    return page ? page->saveNumber : -1;
}

int32_t Vid_GetResCount(int32_t id)
{
    RESPAGE *page = Page(id);
    return page && page->data ? static_cast<int32_t>(page->count) : -1;
}

RESKINDROW *Vid_GetResKindRow(int32_t id)
{
    const RESPAGE *top = TopOf(Page(id));
    return top ? top->row : nullptr;
}

int32_t Vid_GetResIndexPath(int32_t id, uint16_t *outPath, int32_t *outDepth)
{
    const RESPAGE *page = Page(id);
    if (!page || !outPath)
        return -1;
    const int32_t depth = PathOf(page, outPath, WAD_MAX_DEPTH);
    if (depth < 0)
        return -1;
    if (outDepth)
        *outDepth = depth;
    return 0;
}

int32_t Vid_GetResPath(int32_t id, char *out)
{
    const RESPAGE *page = Page(id);
    if (!page || !out)
        return 0;
    char letters[WAD_MAX_DEPTH];
    int32_t n = 0;
    for (const RESPAGE *a = page->parent; a && n < WAD_MAX_DEPTH; a = a->parent)
        letters[n++] = a->name[0];
    for (int32_t i = 0; i < n; i++)
        out[i] = letters[n - 1 - i];
    return n;
}

uint32_t Vid_GetResFileSize(int32_t kind, const uint16_t *path, int32_t depth)
{
    const RESKINDROW *row = Vid_GetKindRow(kind);
    if (!row || !path || depth < 1 || depth + row->depth > WAD_MAX_DEPTH)
        return 0;
    uint16_t full[WAD_MAX_DEPTH];
    std::memcpy(full, row->path, sizeof(uint16_t) * row->depth);
    std::memcpy(full + row->depth, path, sizeof(uint16_t) * static_cast<size_t>(depth));
    if (!Sys_WadGotoIndexPath(full, row->depth + depth - 1))
        return 0;
    const WADENTRY *e = path[depth - 1] > 0 ? Sys_WadEntryAt(path[depth - 1]) : nullptr;
    return e ? e->uSize : 0;
}

namespace {

// A saved reference keeps only the first letter of each folder, and the archive's folders may
// have longer names: each folder whose name starts with the letter is tried, the first that holds
// the entry wins.
bool FindByLetters(const RESPAGE *level, const uint8_t *letters, int32_t count, const std::string &prefix,
                   const std::string &name, int32_t wantDepth, uint16_t *idx)
{
    for (const RESPAGE *p = level; p; p = p->next) {
        if (!p->folder || std::toupper(static_cast<unsigned char>(p->name[0])) != std::toupper(letters[0]))
            continue;
        const std::string text = prefix + "/" + std::string(p->name, strnlen(p->name, 8));
        if (count == 1 ? TextToIndices(text + "/" + name, idx) == wantDepth
                       : FindByLetters(p->child, letters + 1, count - 1, text, name, wantDepth, idx))
            return true;
    }
    return false;
}

} // namespace

int32_t Vid_ResNameToIndexPath(int32_t kind, const uint8_t *letters, int32_t count, const char name[8],
                               uint16_t *outPath)
{
    const RESKINDROW *row = Vid_GetKindRow(kind);
    if (!row || !name || !outPath || count < 0 || (count > 0 && !letters))
        return -1;
    std::string text;
    for (int32_t i = 0; i < row->depth; i++)
        text += std::string("/") + row->letters[i];
    for (int32_t i = 0; i < count; i++) {
        if (letters[i] == 0 || letters[i] == '/')
            return -1;
        text += "/";
        text += static_cast<char>(letters[i]);
    }
    text += "/";
    text.append(name, strnlen(name, 8));
    uint16_t idx[WAD_MAX_DEPTH + 1];
    const int32_t depth = TextToIndices(text, idx);
    if (depth != row->depth + count + 1) {
        std::string prefix;
        for (int32_t i = 0; i < row->depth; i++)
            prefix += std::string("/") + row->letters[i];
        if (count < 1 || !FindByLetters(Vid_GetKindTree(row), letters, count, prefix,
                                        std::string(name, strnlen(name, 8)), row->depth + count + 1, idx))
            return -1;
    }
    std::memcpy(outPath, idx + row->depth, sizeof(uint16_t) * static_cast<size_t>(count + 1));
    return 0;
}

void Vid_NumberResources(const RESPAGE *tree, int32_t *counter, int32_t *nextNumber, const uint32_t *mask)
{
    if (counter && nextNumber)
        NumberWalk(tree, counter, nextNumber, mask);
}

int32_t Vid_WriteResRefs(const RESPAGE *tree, uint8_t *out, const uint32_t *mask, int32_t *count)
{
    if (!out || !count)
        return -1;
    return WriteWalk(tree, out, mask, count);
}

int32_t Vid_LoadSavedResRef(const uint8_t ref[RESREF_SIZE])
{
    if (!ref || !g_pCurrentDisc)
        return -1;
    std::string text;
    for (int32_t i = 0; i < RESREF_LETTERS && ref[i]; i++) {
        if (ref[i] == '/' || ref[i] == '\\')
            return -1;
        text += "/";
        text += static_cast<char>(ref[i]);
    }
    const char *name = reinterpret_cast<const char *>(ref + RESREF_LETTERS);
    const size_t len = strnlen(name, 8);
    if (len == 0)
        return -1;
    text += "/";
    text.append(name, len);
    uint16_t idx[WAD_MAX_DEPTH + 1];
    const int32_t depth = TextToIndices(text, idx);
    if (depth < 1)
        return -1;
    for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++) {
        const RESKINDROW *row = Vid_GetKindRow(kind);
        if (!row || row->depth >= depth || std::memcmp(row->path, idx, sizeof(uint16_t) * row->depth) != 0)
            continue;
        idx[depth - 1]--; // listing numbers count the header entry
        int32_t id = -1;
        Vid_LoadResource(kind, idx + row->depth, depth - row->depth, &id);
        return id;
    }
    return -1;
}

void *Vid_FindResByPath(const RESKINDROW *row, const uint16_t *path, int32_t depth, int32_t *outId)
{
    if (outId)
        *outId = -1;
    if (!row || !path || depth < 1)
        return nullptr;
    RESPAGE *level = Page(row->tree);
    RESPAGE *node = nullptr;
    for (int32_t d = 0; d < depth; d++) {
        RESPAGE *p = level;
        while (p && p->index < path[d])
            p = p->next;
        if (!p || p->index != path[d])
            return nullptr;
        node = p;
        level = p->child;
    }
    if (outId)
        *outId = IdOf(node);
    return node->data;
}

int Vid_LoadResByName(int32_t kind, const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize)
{
    if (!path || !name || !aIndex)
        return -1;
    uint16_t idx[4];
    if (Vid_ResNameToIndexPath(kind, path, 3, name, idx) != 0)
        return -1;
    const uint32_t size = Vid_GetResFileSize(kind, idx, 4);
    if (size == 0)
        return -1;
    std::memcpy(aIndex, idx, sizeof(idx));
    if (pSize)
        *pSize = size;
    return 0;
}
