// Resource pages over a small archive: kind rows and trees, load / reference / release, the
// streamed kind, saved references and their resolution after the archive is opened again.
#include "core/idpool.h"
#include "support/wadfixture.h"
#include "video/respages.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A loader that keeps a copy of the entry's text, and counts its frees by id.
std::map<int32_t, int> g_frees;
int g_loads = 0;

void *TextLoad(int32_t, void *data, const uint16_t *, int32_t, uint32_t size)
{
    g_loads++;
    if (!data)
        return nullptr;
    std::string *s = new std::string(static_cast<const char *>(data), size);
    std::free(data);
    if (*s == "BROKEN") {
        delete s;
        return nullptr;
    }
    return s;
}
void TextFree(int32_t id, void *data, const uint16_t *, int32_t)
{
    g_frees[id]++;
    delete static_cast<std::string *>(data);
}
// The streamed kind gets no buffer: each load makes its own record.
void *StreamLoad(int32_t, void *data, const uint16_t *, int32_t, uint32_t size)
{
    g_loads++;
    return data ? nullptr : new std::string(std::to_string(size));
}

const char *const kKindFolders[] = {"B/B", "B/D", "B/F", "D/B", "D/D", "F", "H", "J", "L", "N", "B/H", "P", "T"};

class ResPages : public WadTest
{
protected:
    void SetUp() override
    {
        WadTest::SetUp();
        g_frees.clear();
        g_loads = 0;
        Vid_CreateResPagePool();
        const uint8_t slot = Vid_AddResCallbacks(TextLoad, TextFree);
        for (int k = 0; k < RES_KIND_COUNT; k++)
            g_aucResKindCallbacks[k] = k == RES_INSTRUMENT ? Vid_AddResCallbacks(StreamLoad, TextFree) : slot;
        for (const char *f : {"AUTO", "CHASES", "JAMTEM", "PERF", "R"})
            Pack_Dir(root, f);
        Pack_Dir(root, "BOOT").files = {File("DEFRIF", "riffs"), File("EFFREAL", "effects")};
        for (const char *f : kKindFolders)
            Pack_Dir(root, f);
        Pack_Dir(root, "B/B/A").files = {File("CUBE", "cube"), File("BALL", "ball"), File("BROKEN", "BROKEN")};
        Pack_Dir(root, "B/B/C").files = {File("STAR", "star")};
        Pack_Dir(root, "B/H/A").files = {File("ITEM1", "probe")};
        Pack_Dir(root, "B/H/A/A").files = {File("PULSE", "pulse"), File("TWIST", "twist")};
        Pack_Dir(root, "B/H/A/A/A/A").files = {File("DEEP", "deep")};
        Pack_Dir(root, "H/A").files = {File("CIRCLE", "circle")};
        Pack_Dir(root, "N/B").files = {File("KICK", "0123456789")};
        for (const char *f : {"D/B/A", "D/D/A", "F/A", "J/A", "L/A", "P/A", "T/A", "B/D/A", "B/F/A"})
            Pack_Dir(root, f);
    }
    void TearDown() override
    {
        for (int k = 0; k < RES_KIND_COUNT; k++)
            g_aucResKindCallbacks[k] = 0;
        WadTest::TearDown();
    }
    void Open()
    {
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        ASSERT_NE(Vid_GetKindRow(RES_MODELS), nullptr);
    }
    static int32_t Load(int kind, std::vector<uint16_t> path)
    {
        int32_t id = -2;
        void *data = Vid_LoadResource(kind, path.data(), static_cast<int>(path.size()), &id);
        EXPECT_EQ(data == nullptr, id == -1);
        return id;
    }
    static std::string Text(int32_t id)
    {
        const std::string *s = static_cast<const std::string *>(Vid_GetResData(id));
        return s ? *s : std::string("(none)");
    }
    // Tree shape: ids of every record below the row, depth first.
    static std::vector<int32_t> Shape(int kind)
    {
        std::vector<int32_t> ids;
        std::vector<const RESPAGE *> stack;
        for (const RESPAGE *p = Vid_GetKindTree(Vid_GetKindRow(kind)); p; p = p->next)
            stack.push_back(p);
        while (!stack.empty()) {
            const RESPAGE *p = stack.back();
            stack.pop_back();
            ids.push_back(Sys_PoolIdOf(g_pResPagePool, p));
            for (const RESPAGE *c = p->child; c; c = c->next)
                stack.push_back(c);
        }
        return ids;
    }
    PACKDIR root;
};

} // namespace

TEST_F(ResPages, KindRowsTakeTheirFoldersAndTrees)
{
    Open();
    const RESKINDROW *models = Vid_GetKindRow(RES_MODELS);
    EXPECT_EQ(models->depth, 2);
    EXPECT_EQ(std::string(models->letters, 2), "BB");
    EXPECT_EQ(models->flags, RESROW_LOAD_WHOLE);
    EXPECT_EQ(Vid_GetKindRow(RES_INSTRUMENT)->flags, RESROW_STREAMED);
    EXPECT_EQ(Vid_GetKindRow(RES_MAPTEX)->depth, 1);
    // Top-level folders know their row; folder records are never resources.
    const RESPAGE *top = Vid_GetKindTree(models);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->row, models);
    EXPECT_EQ(std::string(top->name, 1), "A");
    ASSERT_NE(top->next, nullptr);
    EXPECT_EQ(std::string(top->next->name, 1), "C");
    EXPECT_EQ(top->next->index, 1);
    EXPECT_EQ(Vid_GetResData(Sys_PoolIdOf(g_pResPagePool, top)), nullptr);
    // Id 0 never names a resource.
    EXPECT_EQ(Vid_GetResData(0), nullptr);
    EXPECT_EQ(Vid_ReleaseResRef(0), -1);
}

TEST_F(ResPages, AMissingKindFolderRefusesTheDiscAndFreesWhatWasBuilt)
{
    root.dirs.erase(std::remove_if(root.dirs.begin(), root.dirs.end(), [](const PACKDIR &d) { return d.name == "T"; }),
                    root.dirs.end());
    const int32_t before = Sys_PoolHighestId(g_pResPagePool);
    PackAndWrite(root);
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1);
    EXPECT_EQ(Vid_GetKindRow(RES_MODELS), nullptr);
    EXPECT_EQ(Sys_PoolHighestId(g_pResPagePool), before);
    const uint16_t path[2] = {0, 0};
    EXPECT_EQ(Vid_LoadResource(RES_MODELS, path, 2, nullptr), nullptr);
}

TEST_F(ResPages, SameEntryLoadsOnceAndOnlyReferencesCount)
{
    Open();
    const int32_t a = Load(RES_MODELS, {0, 0});
    const int32_t b = Load(RES_MODELS, {0, 0});
    ASSERT_GT(a, 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(g_loads, 1);
    EXPECT_EQ(Text(a), "cube");
    EXPECT_EQ(Vid_GetResCount(a), 0);
    Vid_AddResRef(a);
    Vid_AddResRef(a);
    EXPECT_EQ(Vid_GetResCount(a), 2);
    EXPECT_EQ(Vid_ReleaseResRef(a), 0);
    EXPECT_EQ(g_frees[a], 0);
    EXPECT_EQ(Vid_ReleaseResRef(a), 0);
    EXPECT_EQ(g_frees[a], 1) << "freed at once when the count reaches 0";
    EXPECT_EQ(Vid_GetResData(a), nullptr) << "a freed id gives no data";
    EXPECT_EQ(Vid_ReleaseResRef(a), -1) << "a third release is refused";
    EXPECT_EQ(g_frees[a], 1);
    // Loaded again, it is read again.
    const int32_t c = Load(RES_MODELS, {0, 0});
    EXPECT_GT(c, 0);
    EXPECT_EQ(g_loads, 2);
    EXPECT_EQ(Text(c), "cube");
}

TEST_F(ResPages, UnreferencedResourcesWaitForTheSweep)
{
    Open();
    const int32_t kept = Load(RES_MODELS, {0, 0});
    const int32_t idle = Load(RES_MODELS, {0, 1});
    const int32_t star = Load(RES_MODELS, {1, 0});
    Vid_AddResRef(kept);
    Vid_ReleaseUnusedResources();
    EXPECT_EQ(Text(kept), "cube");
    EXPECT_EQ(Vid_GetResData(idle), nullptr);
    EXPECT_EQ(Vid_GetResData(star), nullptr);
    EXPECT_EQ(g_frees[idle] + g_frees[star], 2);
    // The forced release frees whatever the count and says what it was.
    EXPECT_EQ(Vid_ReleaseResource(kept), 1);
    EXPECT_EQ(g_frees[kept], 1);
    EXPECT_EQ(Vid_ReleaseResource(kept), -1);
}

TEST_F(ResPages, StreamedKindGivesEachLoadItsOwnRecord)
{
    Open();
    const int32_t a = Load(RES_INSTRUMENT, {0, 0});
    const int32_t b = Load(RES_INSTRUMENT, {0, 0});
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(Text(a), "10") << "the streamer is told the entry's size";
    EXPECT_EQ(Text(b), "10");
    Vid_AddResRef(a);
    EXPECT_EQ(Vid_ReleaseResRef(a), 0);
    EXPECT_EQ(Text(b), "10") << "freeing one leaves the other";
}

TEST_F(ResPages, FailedLoadsLeaveTheTreeAsItWas)
{
    Open();
    Load(RES_MODELS, {0, 1});
    const std::vector<int32_t> models = Shape(RES_MODELS);
    const std::vector<int32_t> anims = Shape(RES_ANIM);
    const int32_t highest = Sys_PoolHighestId(g_pResPagePool);
    const struct
    {
        int kind;
        std::vector<uint16_t> path;
        const char *why;
    } cases[] = {
        {RES_MODELS, {0, 3}, "missing entry"},
        {RES_MODELS, {5, 0}, "missing folder"},
        {RES_MODELS, {0, 2}, "the loader refuses it"},
        {RES_MODELS, {0}, "no folder below the kind"},
        {RES_ANIM, {0, 0}, "a folder holds that number"},
        {RES_ANIM, {0, 0, 0, 0}, "missing folder below an entry level"},
        {-1, {0, 0}, "no such kind"},
        {RES_KIND_COUNT, {0, 0}, "no such kind"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Load(c.kind, c.path), -1);
        EXPECT_EQ(Shape(RES_MODELS), models);
        EXPECT_EQ(Shape(RES_ANIM), anims);
        EXPECT_EQ(Sys_PoolHighestId(g_pResPagePool), highest);
    }
}

TEST_F(ResPages, PathsSizesAndNames)
{
    Open();
    const int32_t pulse = Load(RES_ANIM, {0, 0, 1});
    ASSERT_GT(pulse, 0);
    EXPECT_EQ(Text(pulse), "twist");
    uint16_t path[8];
    int32_t depth = 0;
    ASSERT_EQ(Vid_GetResIndexPath(pulse, path, &depth), 0);
    EXPECT_EQ(depth, 3);
    EXPECT_EQ(path[0], 0);
    EXPECT_EQ(path[1], 0);
    EXPECT_EQ(path[2], 1);
    char letters[8] = {};
    EXPECT_EQ(Vid_GetResPath(pulse, letters), 2);
    EXPECT_EQ(std::string(letters, 2), "AA");
    EXPECT_EQ(Vid_GetResKindRow(pulse), Vid_GetKindRow(RES_ANIM));
    // File sizes take listing numbers (1 = the first entry).
    const uint16_t probe[2] = {0, 1}, none[2] = {0, 2}, header[2] = {0, 0};
    EXPECT_EQ(Vid_GetResFileSize(RES_ANIM, probe, 2), 5u);
    EXPECT_EQ(Vid_GetResFileSize(RES_ANIM, none, 2), 0u);
    EXPECT_EQ(Vid_GetResFileSize(RES_ANIM, header, 2), 0u);
    // Names to index paths.
    uint16_t idx[4] = {};
    const uint8_t a[1] = {'A'};
    ASSERT_EQ(Vid_ResNameToIndexPath(RES_MODELS, a, 1, "BALL", idx), 0);
    EXPECT_EQ(idx[0], 0);
    EXPECT_EQ(idx[1], 2);
    EXPECT_EQ(Vid_ResNameToIndexPath(RES_MODELS, a, 1, "NONE", idx), -1);
    // The library lookup of the instruments: three folder letters and a name.
    Pack_Dir(root, "N/B/X/Y").files = {File("BASS", "0123456789ABCDEF")};
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    Sys_DiscInit();
    Open();
    const uint8_t lib[3] = {'B', 'X', 'Y'};
    uint16_t found[4] = {};
    uint32_t size = 0;
    ASSERT_EQ(Vid_LoadResByName(RES_INSTRUMENT, lib, "BASS\0\0\0\0", found, &size), 0);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(found[3], 1) << "the entry's listing number";
    // Finding by path walks the tree only.
    int32_t id = -1;
    const uint16_t fp[3] = {0, 0, 1};
    EXPECT_EQ(Vid_FindResByPath(Vid_GetKindRow(RES_ANIM), fp, 3, &id), nullptr) << "not loaded after the reopen";
}

TEST_F(ResPages, SavedReferencesHaveFixedBytesAndResolveAfterAReopen)
{
    Open();
    const int32_t cube = Load(RES_MODELS, {0, 0});
    const int32_t star = Load(RES_MODELS, {1, 0});
    const int32_t twist = Load(RES_ANIM, {0, 0, 1});
    const int32_t circle = Load(RES_PATH, {0, 0});
    for (int32_t id : {cube, star, twist, circle})
        Vid_AddResRef(id);

    // Numbering stamps loaded leaves in tree order.
    int32_t counter = 0, next = 1;
    Vid_NumberResources(Vid_GetKindTree(Vid_GetKindRow(RES_MODELS)), &counter, &next, nullptr);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Vid_GetResSaveNumber(cube), 1);
    EXPECT_EQ(Vid_GetResSaveNumber(star), 2);
    // A mask takes only the ids it marks.
    uint32_t mask[1024] = {};
    mask[star >> 5] |= 1u << (star & 31);
    counter = 0;
    Vid_NumberResources(Vid_GetKindTree(Vid_GetKindRow(RES_MODELS)), &counter, &next, mask);
    EXPECT_EQ(counter, 1);

    uint8_t refs[12 * 8] = {};
    int32_t count = 0;
    for (int kind : {RES_MODELS, RES_ANIM, RES_PATH})
        EXPECT_EQ(Vid_WriteResRefs(Vid_GetKindTree(Vid_GetKindRow(kind)), refs, nullptr, &count), 0);
    ASSERT_EQ(count, 4);
    const uint8_t expected[4][12] = {
        {'B', 'B', 'A', 0, 'C', 'U', 'B', 'E', 0, 0, 0, 0},
        {'B', 'B', 'C', 0, 'S', 'T', 'A', 'R', 0, 0, 0, 0},
        {'B', 'H', 'A', 'A', 'T', 'W', 'I', 'S', 'T', 0, 0, 0},
        {'H', 'A', 0, 0, 'C', 'I', 'R', 'C', 'L', 'E', 0, 0},
    };
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(std::memcmp(refs + 12 * i, expected[i], 12), 0) << "reference " << i;

    // Resolved in the same session: the same records.
    EXPECT_EQ(Vid_LoadSavedResRef(refs), cube);
    EXPECT_EQ(Vid_LoadSavedResRef(refs + 24), twist);

    // After the archive is closed and opened again, the references find the same entries.
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    Sys_DiscInit();
    EXPECT_EQ(g_frees[cube] + g_frees[star] + g_frees[twist] + g_frees[circle], 4);
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1);
    const char *names[4] = {"cube", "star", "twist", "circle"};
    for (int i = 0; i < 4; i++) {
        const int32_t id = Vid_LoadSavedResRef(refs + 12 * i);
        ASSERT_GT(id, 0) << names[i];
        EXPECT_EQ(Text(id), names[i]);
    }
}

TEST_F(ResPages, SavedReferencesThatFitNothing)
{
    Open();
    const uint8_t refs[][12] = {
        {'Q', 'B', 'A', 0, 'C', 'U', 'B', 'E', 0, 0, 0, 0},  // no kind has these letters
        {'B', 'B', 'A', 0, 'N', 'O', 'N', 'E', 0, 0, 0, 0},  // no such entry
        {'B', 'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0},          // no name
        {'B', '/', 'A', 0, 'C', 'U', 'B', 'E', 0, 0, 0, 0},  // a separator as a letter
        {'N', 0, 0, 0, 'C', 'U', 'B', 'E', 0, 0, 0, 0},      // the kind folder itself
    };
    for (const auto &r : refs)
        EXPECT_EQ(Vid_LoadSavedResRef(r), -1);
    // A resource deeper than four letters is not written (its reference would name another).
    const int32_t deep = Load(RES_ANIM, {0, 0, 0, 0, 0});
    ASSERT_GT(deep, 0);
    uint8_t out[12 * 4] = {};
    int32_t count = 0;
    EXPECT_EQ(Vid_WriteResRefs(Vid_GetKindTree(Vid_GetKindRow(RES_ANIM)), out, nullptr, &count), -1);
    EXPECT_EQ(count, 0);
}
