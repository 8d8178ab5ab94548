// Video clips: entries, references, naming, copies, identical clips, purge, and playback order.
#include "video_fixture.h"

#include "sequencer/songmodel.h"

#include <algorithm>
#include <cstring>
#include <random>

using namespace vidtest;

TEST_F(VideoTest, ClipEntriesCountFromOne)
{
    VIDCLIP *clip = Vid_NewClip();
    ASSERT_NE(nullptr, clip);
    EXPECT_STREQ("clip0001", clip->szName);
    EXPECT_EQ(nullptr, Vid_GetClipEntry(clip, 1));
    EXPECT_EQ(-1, Vid_GetClipChaseType(clip));
    CHASE *a = NewChase(objType), *x = NewChase(modType), *y = NewChase(modType);
    ASSERT_EQ(clip, Vid_AppendClipEntry(clip, a));
    EXPECT_EQ(g_objDef.uLabel, clip->uLabel);
    Vid_AppendClipEntry(clip, x);
    Vid_AppendClipEntry(clip, x);
    EXPECT_EQ(a, Vid_GetClipEntryChase(clip, 0));
    EXPECT_EQ(a, Vid_GetClipEntryChase(clip, 1));
    EXPECT_EQ(x, Vid_GetClipEntryChase(clip, 3));
    EXPECT_EQ(nullptr, Vid_GetClipEntryChase(clip, 4));
    EXPECT_EQ(2u, x->uRefCount);
    EXPECT_EQ(objType, Vid_GetClipChaseType(clip));

    // (A, X, X) minus X twice leaves (A), and X goes with its last holder.
    const int32_t xId = Vid_ChaseId(x);
    Vid_RemoveChaseFromClip(clip, x);
    EXPECT_EQ(1, clip->sEntryCount);
    EXPECT_EQ(a, Vid_GetClipEntryChase(clip, 1));
    EXPECT_EQ(nullptr, Vid_GetChase(xId));

    // Inserting after an entry, after a chase, at the head.
    EXPECT_EQ(clip, Vid_InsertClipEntry(clip, y, 1));
    EXPECT_EQ(nullptr, Vid_InsertClipEntry(clip, y, 5));
    CHASE *z = NewChase(modType);
    EXPECT_EQ(clip, Vid_InsertClipEntryAfterChase(clip, z, a));
    EXPECT_EQ(nullptr, Vid_InsertClipEntryAfterChase(clip, z, NewChase(modType)));
    EXPECT_EQ(z, Vid_GetClipEntryChase(clip, 2));
    EXPECT_EQ(y, Vid_GetClipEntryChase(clip, 3));
    CHASE *cam = NewChase(camType);
    Vid_InsertClipEntry(clip, cam, 0);
    EXPECT_EQ(g_camDef.uLabel, clip->uLabel);
    EXPECT_EQ(4, clip->sEntryCount);
    Vid_RemoveClipEntry(clip, 2);
    EXPECT_EQ(z, Vid_GetClipEntryChase(clip, 2));
    Vid_RemoveClipEntry(clip, 9);
    EXPECT_EQ(3, clip->sEntryCount);
}

TEST_F(VideoTest, ClipReferencesDestroyAtZero)
{
    VIDCLIP *clip = NewClip(objType, {modType});
    CHASE *first = Vid_GetClipEntryChase(clip, 1);
    Vid_AddChaseRef(first); // kept by the test
    Vid_AddClipRefs(clip, 3);
    EXPECT_EQ(1, g_iClipCount);
    Vid_AddClipRefs(clip, -3);
    EXPECT_EQ(0, g_iClipCount);
    EXPECT_EQ(-1, g_iClipHighestId);
    EXPECT_EQ(1u, first->uRefCount);

    VIDCLIP *c2 = NewClip(objType);
    Vid_AddClipRef(c2);
    g_pPreviewClip = c2;
    Vid_ReleaseClip(c2);
    EXPECT_EQ(nullptr, g_pPreviewClip); // a destroyed clip is never left behind in a holder
}

TEST_F(VideoTest, CopySharedClipNames)
{
    struct
    {
        const char *name;
        const char *copy;
    } cases[] = {
        {"clip0007", "clip0051"},
        {"abcdefg", "abcdefg0051"},
        {"abcdefghij", "abcdefg0051"},
        {"ab", "ab0051"}, // shorter than four: the digits follow the name
        {"x12345678", "x12340051"},
        {"abcdefghijk", "abcdefg0051"},
    };
    for (const auto &k : cases) {
        VIDCLIP *clip = NewClip(objType, {modType});
        std::strncpy(clip->szName, k.name, sizeof clip->szName - 1);
        Vid_AddClipRefs(clip, 2);
        g_iClipNameCounter = 50;
        VIDCLIP *copy = Vid_CopySharedClip(clip);
        ASSERT_NE(nullptr, copy);
        EXPECT_STREQ(k.copy, copy->szName) << k.name;
        EXPECT_EQ(2, copy->sEntryCount);
        EXPECT_NE(Vid_GetClipEntryChase(clip, 1), Vid_GetClipEntryChase(copy, 1));
        EXPECT_EQ(clip->uLabel, copy->uLabel);
        EXPECT_EQ(52, g_iClipNameCounter); // one number for the new clip, one for its name
    }
    // Held once: the clip itself.
    VIDCLIP *once = NewClip(objType);
    Vid_AddClipRef(once);
    EXPECT_EQ(once, Vid_CopySharedClip(once));
}

TEST_F(VideoTest, IdenticalListedAndNamedClips)
{
    CHASE *a = NewChase(objType), *b = NewChase(modType);
    VIDCLIP *c0 = Vid_NewClip(), *c1 = Vid_NewClip(), *c2 = Vid_NewClip();
    for (VIDCLIP *c : {c0, c1, c2})
        Vid_AppendClipEntry(c, a);
    Vid_AppendClipEntry(c1, b);
    Vid_AppendClipEntry(c2, b);
    EXPECT_EQ(c0, Vid_FindIdenticalClip(c0));
    EXPECT_EQ(c1, Vid_FindIdenticalClip(c2));
    EXPECT_EQ(c1, Vid_FindIdenticalClip(c1));

    c1->uFlags |= CLIPFLAG_UNLISTED;
    EXPECT_EQ(c0, Vid_GetListedClip(0));
    EXPECT_EQ(c2, Vid_GetListedClip(1));
    EXPECT_EQ(nullptr, Vid_GetListedClip(2));
    EXPECT_EQ(1, Vid_ClipNameExists("clip0003", 8));
    EXPECT_EQ(0, Vid_ClipNameExists("clip0002", 8)); // not listed
    EXPECT_EQ(1, Vid_ClipNameExists("clip", 4));

    std::strcpy(g_szClipNamePrefix, "vid");
    Vid_RenumberClipNames();
    EXPECT_STREQ("vid0000", c0->szName);
    EXPECT_STREQ("vid0002", c2->szName);
    std::strcpy(g_szClipNamePrefix, "clip");
}

TEST_F(VideoTest, PurgeCountsItsHolders)
{
    VIDCLIP *unused = NewClip(objType);
    VIDCLIP *preview = Vid_AddClipRef(NewClip(objType));
    g_pPreviewClip = preview;
    VIDCLIP *menu = Vid_AddClipRef(NewClip(objType));
    menu->uOffset |= CLIPOFFSET_MENUHELD;
    VIDCLIP *used = NewClip(objType);
    Vid_PlaceClipAt(0, 4, used);
    VIDCLIP *both = Vid_AddClipRef(Vid_AddClipRef(NewClip(objType)));
    g_pPreviewClip = both;
    g_pClipMenuClip = both;
    Vid_ReleaseClip(preview); // preview no longer held by the pointer
    (void)unused;
    EXPECT_EQ(3, Vid_PurgeUnusedClips()); // unused, menu, both
    EXPECT_EQ(nullptr, g_pPreviewClip);
    EXPECT_EQ(nullptr, g_pClipMenuClip);
    EXPECT_EQ(1, g_iClipCount);
    EXPECT_EQ(used, Vid_GetLaneClipAt(0, 4));
}

TEST_F(VideoTest, PlayClipOrderPaletteLastAndLanesFiveFirst)
{
    VIDCLIP *object = NewClip(objType, {paletteType, modType});
    VIDCLIP *effect = NewClip(dveType);
    Vid_SetClipChaseFlag(object);
    Vid_SetClipChaseFlag(effect);
    Vid_SetLanePlayingClip(object, 2);
    Vid_SetLanePlayingClip(effect, 5);
    Vid_SetLanePlayingClip(effect, 6); // lane 6 never plays
    g_iFrameCount++;
    g_log.clear();
    Vid_PlayLanes(1);
    std::vector<std::string> renders;
    for (const std::string &s : g_log)
        if (s.rfind("render", 0) == 0)
            renders.push_back(s);
    EXPECT_EQ((std::vector<std::string>{"render 15 5", "render 1 2", "render 3 2", "render 13 2"}), renders);
    Vid_ClearClipChaseFlag(object);
    EXPECT_EQ(0u, Vid_GetClipEntryChase(object, 2)->uFlags & CHASEFLAG_ANIMATE);
    Vid_ClearLanePlayingClips();
    EXPECT_EQ(nullptr, g_apLanePlayingClip[2]);
}

TEST_F(VideoTest, PlayClipPublishesItsBlock)
{
    VIDCLIP *clip = NewClip(objType);
    Vid_PlaceClipRun(0, 10, 6, clip);
    ASSERT_EQ(clip, Vid_GetLaneClipAt(0, 13));
    Vid_PlayClip(clip, 1, 0);
    EXPECT_EQ(6, g_uPlayBlockLength);
    EXPECT_EQ(3, g_uPlayBlockOffset);
}

TEST_F(VideoTest, FullClipPoolRefusesCleanly)
{
    std::vector<VIDCLIP *> made;
    while (VIDCLIP *c = Vid_NewClip())
        made.push_back(c);
    EXPECT_EQ(160u, made.size());
    EXPECT_EQ(160, g_iClipCount);
    Vid_DestroyClip(made[5]);
    EXPECT_NE(nullptr, Vid_NewClip());
}

TEST_F(VideoTest, NoteFollowingChasesTakeTheRowsColumns)
{
    VIDCLIP *a = NewClip(objType, {modType, modType});
    VIDCLIP *b = NewClip(camType);
    for (VIDCLIP *c : {a, b})
        for (VIDCLIPENTRY *e = c->pFirst; e; e = e->pNext)
            e->pChase->ucTrigA = 1;
    Vid_GetClipEntryChase(a, 2)->ucTrigA = 0; // follows something else: left alone
    Vid_GetClipEntryChase(a, 2)->ucWorkTrigA = 77;
    VIDCLIP *lanes[7] = {a, nullptr, nullptr, nullptr, b, nullptr, nullptr};
    struct
    {
        std::vector<int> columns;
        int expect[3]; // sources of a1, a3, b1
    } cases[] = {
        {{3, 7}, {5, 9, 5}},
        {{7}, {9, 9, 9}},
        {{}, {0, 0, 0}},
        {{98, 0, 50}, {2, 52, 100}},
    };
    for (const auto &k : cases) {
        std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
        for (int c : k.columns)
            g_aSongGrid[12][c] = 5;
        Vid_AssignChaseChannels(lanes, 12);
        EXPECT_EQ(k.expect[0], Vid_GetClipEntryChase(a, 1)->ucWorkTrigA);
        EXPECT_EQ(k.expect[1], Vid_GetClipEntryChase(a, 3)->ucWorkTrigA);
        EXPECT_EQ(k.expect[2], Vid_GetClipEntryChase(b, 1)->ucWorkTrigA);
        EXPECT_EQ(77, Vid_GetClipEntryChase(a, 2)->ucWorkTrigA);
    }
    std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
    Vid_AssignChaseChannels(lanes, 5000); // outside the song: no notes
    EXPECT_EQ(0, Vid_GetClipEntryChase(a, 1)->ucWorkTrigA);
}

TEST_F(VideoTest, RandomEntryEditsMatchAList)
{
    // A clip's chain against a plain list, and each chase's references against its count there.
    std::vector<CHASE *> pool;
    for (int i = 0; i < 6; i++)
        pool.push_back(Vid_AddChaseRef(NewChase(i ? modType : objType))); // held by the test
    VIDCLIP *clip = Vid_AddClipRef(Vid_NewClip());
    std::vector<CHASE *> list;
    std::mt19937 rng(5);
    auto R = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int step = 0; step < 2000; step++) {
        CHASE *c = pool[static_cast<size_t>(R(0, 5))];
        const int n = static_cast<int>(list.size());
        switch (R(0, 4)) {
        case 0:
            ASSERT_EQ(clip, Vid_AppendClipEntry(clip, c));
            list.push_back(c);
            break;
        case 1: {
            const int at = R(-1, n + 1);
            VIDCLIP *r = Vid_InsertClipEntry(clip, c, at);
            if (at > n) {
                ASSERT_EQ(nullptr, r);
            } else {
                ASSERT_EQ(clip, r);
                list.insert(list.begin() + std::max(at, 0), c);
            }
            break;
        }
        case 2: {
            CHASE *after = pool[static_cast<size_t>(R(0, 5))];
            auto it = std::find(list.begin(), list.end(), after);
            VIDCLIP *r = Vid_InsertClipEntryAfterChase(clip, c, after);
            ASSERT_EQ(it == list.end() ? nullptr : clip, r);
            if (it != list.end())
                list.insert(it + 1, c);
            break;
        }
        case 3: {
            const int at = R(0, n + 1);
            Vid_RemoveClipEntry(clip, at);
            if (n && at <= n)
                list.erase(list.begin() + std::max(at, 1) - 1);
            break;
        }
        default:
            Vid_RemoveChaseFromClip(clip, c);
            std::erase(list, c);
        }
        ASSERT_EQ(static_cast<int>(list.size()), clip->sEntryCount) << step;
        for (size_t i = 0; i < list.size(); i++)
            ASSERT_EQ(list[i], Vid_GetClipEntryChase(clip, static_cast<int32_t>(i + 1))) << step;
        ASSERT_EQ(nullptr, Vid_GetClipEntry(clip, static_cast<int32_t>(list.size()) + 1));
        for (CHASE *p : pool)
            ASSERT_EQ(1 + std::count(list.begin(), list.end(), p), p->uRefCount) << step;
    }
    Vid_ReleaseClip(clip);
    for (CHASE *p : pool)
        EXPECT_EQ(1u, p->uRefCount);
}
