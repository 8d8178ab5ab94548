#include "core/idpool.h"
#include "sequencer/songmodel.h"
#include "support/wadfixture.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

PACKDIR Dir(const std::string &name, std::vector<PACKFILE> files = {}, std::vector<PACKDIR> dirs = {},
            const std::string &title = "")
{
    PACKDIR d;
    d.name = name;
    d.title = title;
    d.files = std::move(files);
    d.dirs = std::move(dirs);
    return d;
}

// Root children, in order: AUTO 0, B 1, BOOT 2, CHASES 3, DIRNAME8 4, JAMTEM 5, N 6, PERF 7, R 8,
// X 9. N and PERF (and N/SUB2, PERF/P) own blocks; the leaves live in their parents' blocks.
PACKDIR Studio()
{
    PACKDIR root;
    root.title = "Studio";
    root.dirs = {
        Dir("AUTO", {File("DEMO1", "demo")}),
        Dir("B", {File("TARGET", "b", "Shown B")}),
        Dir("BOOT", {File("DEFRIF", "riffs"), File("EFFREAL", "effects")}),
        Dir("CHASES"),
        Dir("DIRNAME8", {File("X", "x")}),
        Dir("JAMTEM"),
        Dir("N", {File("INST1", std::string(3000, 'i'), "Piano")},
            {Dir("SUB",
                 {File("ABCDEFGH", "eight"), File("ABCDEFXY", "tilde"), File("EMPTY", ""), File("Mixed", "case")},
                 {}, "Sub title"),
             Dir("SUB2", {File("S2", "s2")}, {Dir("DEEP", {File("D1", "deep")})})}),
        Dir("PERF", {}, {Dir("P", {}, {Dir("Q", {File("ONE", "1"), File("TWO", "22")})})}),
        Dir("R", {File("RIFF1", "riff")}),
        Dir("X", {File("FILLER", std::string(70 * 2048, 'f')), File("TARGET", "t", "Shown X")}),
    };
    return root;
}

std::string Text(const void *p, size_t n)
{
    return std::string((const char *)p, n);
}

std::string Row(const uint8_t *rows, int k)
{
    return std::string((const char *)rows + k * 32);
}

class Archive : public WadTest
{
public:
    int Open() { return Sys_WadOpen("demowad.WAD", "demowad.IND", 3); }
    int PackOpen(const PACKDIR &root, const PACKOPTIONS &options = PACKOPTIONS{})
    {
        PackAndWrite(root, options);
        return Open();
    }
};

TEST_F(Archive, OpensAndResolvesTheFixedDirectories)
{
    std::memset(g_abDefaultRiffs, 0, 16);
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    EXPECT_EQ(g_iDiscError, 0);
    EXPECT_EQ(g_iWadDirAuto, 0);
    EXPECT_EQ(g_iWadDirChases, 3);
    EXPECT_EQ(g_iWadDirJamTem, 5);
    EXPECT_EQ(g_iWadDirN, 6);
    EXPECT_EQ(g_iWadDirPerf, 7);
    EXPECT_EQ(g_iWadDirR, 8);
    for (int d : {g_iWadDirM1Ins, g_iWadDirM1Path, g_iWadDirM1MapTex, g_iWadDirM1Back, g_iWadDirM1Mod,
                  g_iWadDirM1Part, g_iWadDirM1Mov})
        EXPECT_EQ(d, -1);
    ASSERT_NE(g_pCurrentDisc, nullptr);
    EXPECT_STREQ(g_pCurrentDisc->szName, "TONNIVELLE");
    EXPECT_EQ(g_pCurrentDisc->uNumber, 0);
    // Without the video engine's resource folders no kind row is set up.
    const std::vector<uint8_t> zeros(WAD_DISC_DATA, 0);
    EXPECT_EQ(std::memcmp(g_pCurrentDisc->abDiscData, zeros.data(), zeros.size()), 0);
    // The boot loads ran after the open.
    EXPECT_EQ(Text(g_abDefaultRiffs, 5), "riffs");
    EXPECT_EQ(Text(g_abDefaultEffects, 7), "effects");
}

TEST_F(Archive, OptionalDirectoriesComeAllOrNone)
{
    const char *const names[] = {"M1BACK", "M1INS", "M1MAPTEX", "M1MOD", "M1MOV", "M1PART", "M1PATH"};
    for (int missing = -1; missing < 7; missing++)
    {
        PACKDIR root = Studio();
        for (int i = 0; i < 7; i++)
            if (i != missing)
                root.dirs.push_back(Dir(names[i]));
        ASSERT_EQ(PackOpen(root), 1) << g_szWadErrorText;
        int got[] = {g_iWadDirM1Back, g_iWadDirM1Ins, g_iWadDirM1MapTex, g_iWadDirM1Mod,
                     g_iWadDirM1Mov,  g_iWadDirM1Part, g_iWadDirM1Path};
        for (int i = 0; i < 7; i++)
            EXPECT_EQ(got[i], missing < 0 ? 10 + i : -1) << "missing " << missing << " key " << names[i];
    }
}

TEST_F(Archive, EveryPackedFileReadsBackByTextAndByIndex)
{
    PACKDIR root = Studio();
    ASSERT_EQ(PackOpen(root), 1) << g_szWadErrorText;
    int files = 0;
    std::function<void(const PACKDIR &, const std::string &, std::vector<uint16_t>)> walk;
    walk = [&](const PACKDIR &d, const std::string &text, std::vector<uint16_t> idx) {
        SCOPED_TRACE(text);
        std::string dirText = text.empty() ? "/" : text;
        uint16_t got[WAD_MAX_DEPTH + 1] = {};
        ASSERT_EQ(Sys_WadDirPathToIndices(dirText.c_str(), got), (int)idx.size());
        EXPECT_TRUE(std::equal(idx.begin(), idx.end(), got));

        // Listings by text and by index give the same companion rows.
        int32_t byText = -1, byIndex = -1;
        uint8_t *rows = Sys_WadListDir(dirText.c_str(), &byText);
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(Row(rows, 0), d.title.empty() ? (d.name.empty() ? "ROOT" : d.name) : d.title);
        std::vector<std::string> shown;
        for (int k = 0; k < byText; k++)
            shown.push_back(Row(rows, k + 1));
        ASSERT_NE(Sys_WadListDirByIndex(idx.data(), (int)idx.size(), &byIndex), nullptr);
        EXPECT_EQ(byText, (int)d.files.size());
        EXPECT_EQ(byIndex, byText);
        for (int k = 0; k < byIndex; k++)
        {
            const PACKFILE &f = d.files[(size_t)k];
            EXPECT_EQ(Row(g_pWadListing, k + 1), shown[(size_t)k]);
            EXPECT_EQ(shown[(size_t)k], f.shown.empty() ? f.name : f.shown);
            EXPECT_EQ(g_abWadEntryEmpty[k], f.data.empty() ? 1 : 0);
        }
        EXPECT_EQ(Sys_WadFileCountAt(idx.data(), (int)idx.size()), (int)d.files.size());
        EXPECT_EQ(Sys_WadCountAt(idx.data(), (int)idx.size()), d.dirs.empty() ? -1 : (int)d.dirs.size());
        char name[8] = {};
        EXPECT_EQ(Sys_WadNodeNameAt(idx.data(), (int)idx.size(), name, 8), (int)d.dirs.size());
        EXPECT_EQ(std::string(name, strnlen(name, 8)), d.name);

        for (size_t k = 0; k < d.files.size(); k++)
        {
            const PACKFILE &f = d.files[k];
            std::string path = text + "/" + f.name;
            SCOPED_TRACE(path);
            files++;
            ASSERT_EQ(Sys_WadPathToIndices(path.c_str(), got), (int)idx.size() + 1);
            EXPECT_TRUE(std::equal(idx.begin(), idx.end(), got));
            EXPECT_EQ(got[idx.size()], k + 1); // entry index: the header entry is 0

            void *whole = Sys_WadLoadFile(0, path.c_str());
            ASSERT_NE(whole, nullptr);
            EXPECT_EQ(std::vector<uint8_t>((uint8_t *)whole, (uint8_t *)whole + f.data.size()), f.data);
            std::free(whole);

            std::vector<uint16_t> file = idx;
            file.push_back((uint16_t)k); // file number
            char entryName[8] = {};
            uint32_t size = 0;
            void *byIdx = Sys_WadLoadEntryAlloc(0, file.data(), (int)file.size(), entryName, &size);
            ASSERT_NE(byIdx, nullptr);
            EXPECT_EQ(size, f.data.size());
            EXPECT_EQ(std::string(entryName, strnlen(entryName, 8)), f.name);
            EXPECT_EQ(std::vector<uint8_t>((uint8_t *)byIdx, (uint8_t *)byIdx + size), f.data);
            std::free(byIdx);
        }
        for (size_t c = 0; c < d.dirs.size(); c++)
        {
            std::vector<uint16_t> sub = idx;
            sub.push_back((uint16_t)c);
            walk(d.dirs[c], text + "/" + d.dirs[c].name, sub);
        }
    };
    walk(root, "", {});
    EXPECT_EQ(files, 17);
}

TEST_F(Archive, NameMatching)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    struct DIRCASE
    {
        const char *path;
        int result;
    };
    const DIRCASE dirs[] = {
        {"/n/sub", 0},        {"/N/SUB/", 0},      {"/DIRNAME8XYZ", 0}, {"/dirname8", 0},
        {"/DIRNAME", 1},      {"/NOPE", 1},        {"/R/DEEPER", 1},    {"/N/SUB/DEEPER", 1},
        {"/", 0},             {"", 0},
    };
    for (const DIRCASE &c : dirs)
        EXPECT_EQ(Sys_WadChangeDir(c.path), c.result) << c.path;

    ASSERT_EQ(Sys_WadChangeDir("/N/SUB"), 0);
    struct ENTRYCASE
    {
        const char *name;
        const char *found; // null: none
    };
    const ENTRYCASE entries[] = {
        {"ABCDEFGH", "ABCDEFGH"}, {"ABCDEF~1", "ABCDEFGH"}, {"ABCDEFX~2", "ABCDEFXY"},
        {"Mixed", "Mixed"},       {"MIXED", nullptr},       {"mixed", nullptr},
        {"~1", nullptr},          {"NOPE~1", nullptr},      {"EMPTY", "EMPTY"},
    };
    for (const ENTRYCASE &c : entries)
    {
        WADENTRY *e = Sys_WadFindEntry(c.name);
        std::string got = e ? std::string(e->szName, strnlen(e->szName, 8)) : "(none)";
        EXPECT_EQ(got, c.found ? c.found : "(none)") << c.name;
    }
}

TEST_F(Archive, CallersPathTextIsNeverWritten)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    // String literals live in read-only memory: a write through them would fault.
    EXPECT_EQ(Sys_WadChangeDir("/N/SUB2/DEEP"), 0);
    void *p = Sys_WadLoadFile(0, "/N/SUB/ABCDEFGH");
    EXPECT_NE(p, nullptr);
    std::free(p);
    std::string path = "/PERF/P/Q/TWO";
    const std::string before = path;
    uint16_t idx[WAD_MAX_DEPTH + 1];
    EXPECT_EQ(Sys_WadPathToIndices(path.c_str(), idx), 4);
    EXPECT_EQ(Sys_WadDirPathToIndices(path.c_str(), idx), -1);
    int32_t count = 0;
    EXPECT_NE(Sys_WadListDir("/PERF/P/Q", &count), nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(path, before);
}

TEST_F(Archive, LoadsIntoACallersBufferCheckItsSize)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    uint8_t buf[16];
    auto reset = [&] { std::memset(buf, '#', sizeof(buf)); };

    reset(); // exactly the file's size: nothing written past it
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "/N/SUB/ABCDEFGH", 0, 5), buf);
    EXPECT_EQ(Text(buf, 6), "eight#");

    reset(); // too small: refused, untouched
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "/N/SUB/ABCDEFGH", 0, 4), nullptr);
    EXPECT_EQ(Text(buf, 6), "######");
    EXPECT_NE(std::strstr(g_szWadErrorText, "ABCDEFGH"), nullptr);

    reset(); // the first bytes only
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "/N/SUB/ABCDEFGH", 3, 3), buf);
    EXPECT_EQ(Text(buf, 4), "eig#");

    reset(); // more asked than the entry holds: the entry only
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "/N/SUB/ABCDEFGH", 100, sizeof(buf)), buf);
    EXPECT_EQ(Text(buf, 6), "eight#");

    reset(); // missing
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "/N/SUB/NOPE", 0, sizeof(buf)), nullptr);
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "/NOPE/ABCDEFGH", 0, sizeof(buf)), nullptr);

    // A null buffer only changes directory.
    EXPECT_EQ(Sys_WadLoadFileInto(nullptr, "/R/RIFF1", 0, 0), nullptr);
    EXPECT_EQ(g_nWadEntries, 2);
    // Without '/', the current directory.
    reset();
    EXPECT_EQ(Sys_WadLoadFileInto(buf, "RIFF1", 0, sizeof(buf)), buf);
    EXPECT_EQ(Text(buf, 5), "riff#");

    const uint16_t sub[] = {6, 0, 1}; // N/SUB, file 1 = ABCDEFXY
    reset();
    EXPECT_EQ(Sys_WadLoadEntryByIndex(buf, sub, 3, 0, 5), buf);
    EXPECT_EQ(Text(buf, 6), "tilde#");
    reset();
    EXPECT_EQ(Sys_WadLoadEntryByIndex(buf, sub, 3, 0, 2), nullptr);
    EXPECT_EQ(Text(buf, 1), "#");
    const uint16_t past[] = {6, 0, 4};
    EXPECT_EQ(Sys_WadLoadEntryByIndex(buf, past, 3, 0, sizeof(buf)), nullptr);
    uint32_t size = 99;
    EXPECT_EQ(Sys_WadLoadEntryAlloc(0, past, 3, nullptr, &size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST_F(Archive, OversizedBootFileLeavesTheBufferAlone)
{
    PACKDIR root = Studio();
    root.dirs[2].files[0].data.assign(SEQ_DEFAULT_RIFFS_SIZE + 1, 'r');
    std::memcpy(g_abDefaultRiffs, "before", 6);
    ASSERT_EQ(PackOpen(root), 1) << g_szWadErrorText;
    EXPECT_EQ(Text(g_abDefaultRiffs, 6), "before");
    EXPECT_EQ(Text(g_abDefaultEffects, 7), "effects");
}

TEST_F(Archive, CountsNamesAndEntriesAreBounded)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    struct CASE
    {
        std::vector<uint16_t> path;
        int count, files;
    };
    const CASE cases[] = {
        {{}, 10, 0},       {{6}, 2, 1},        {{8}, -1, 1},     {{6, 0}, -1, 4},
        {{6, 1, 0}, -1, 1}, {{7, 0}, 1, 0},    {{42}, -1, -1},   {{8, 0}, -1, -1},
        {{6, 5}, -1, -1},   {{3}, -1, 0},
    };
    for (const CASE &c : cases)
    {
        EXPECT_EQ(Sys_WadCountAt(c.path.data(), (int)c.path.size()), c.count) << c.path.size();
        EXPECT_EQ(Sys_WadFileCountAt(c.path.data(), (int)c.path.size()), c.files) << c.path.size();
    }
    char name[8];
    std::memset(name, '#', 8);
    const uint16_t d8[] = {4};
    EXPECT_EQ(Sys_WadNodeNameAt(d8, 1, name, 8), 0);
    EXPECT_EQ(Text(name, 8), "DIRNAME8");
    std::memset(name, '#', 8);
    EXPECT_EQ(Sys_WadNodeNameAt(d8, 1, name, 3), 0);
    EXPECT_EQ(Text(name, 4), "DIR#");
    const uint16_t bad[] = {10};
    EXPECT_EQ(Sys_WadNodeNameAt(bad, 1, name, 8), -1);
    EXPECT_EQ(Sys_WadGotoIndexPath(bad, 1), nullptr);
    EXPECT_EQ(Sys_WadGotoIndexPath(bad, WAD_MAX_DEPTH + 1), nullptr);
    EXPECT_EQ(Sys_WadGotoIndexPath(bad, -1), nullptr);

    int32_t count = -1;
    ASSERT_NE(Sys_WadListDir("/R", &count), nullptr);
    EXPECT_EQ(count, 1);
    ASSERT_NE(Sys_WadEntryAt(0), nullptr);
    EXPECT_EQ(Text(Sys_WadEntryAt(1)->szName, 5), "RIFF1");
    EXPECT_EQ(Sys_WadEntryAt(2), nullptr);
    EXPECT_EQ(Sys_WadEntryAt(-1), nullptr);

    // Callers may pass no count.
    const uint16_t sub[] = {6, 0};
    EXPECT_NE(Sys_WadListDirByIndex(sub, 2, nullptr), nullptr);
    EXPECT_EQ(g_nWadEntries, 5);
    EXPECT_EQ(Sys_WadListDir("/NOPE", &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(Archive, ResetCacheForgetsTheLoadedBlock)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    // The root's block is at sector 0; N's block replaces it in the listing area.
    ASSERT_EQ(Sys_WadChangeDir("/N/SUB"), 0);
    Sys_WadResetCache();
    EXPECT_EQ(Sys_WadEntryAt(0), nullptr);
    EXPECT_EQ(Sys_WadFindEntry("ABCDEFGH"), nullptr);
    // R's entries are in the root's block: it must be read again, not taken as loaded.
    uint8_t buf[8] = {};
    ASSERT_EQ(Sys_WadLoadFileInto(buf, "/R/RIFF1", 0, sizeof(buf)), buf);
    EXPECT_EQ(Text(buf, 4), "riff");
}

TEST_F(Archive, CachedPathsNeedNoRead)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    const uint16_t sub[] = {6, 0};
    WADNODE *node = Sys_WadGotoIndexPath(sub, 2);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(Sys_WadChangeDir("/N/SUB2"), 0);
    // With the data file gone, cached paths still answer and everything else fails cleanly.
    std::filesystem::resize_file(Path("WADS/demowad.WAD"), 0);
    EXPECT_EQ(Sys_WadChangeDir("/N/SUB2"), 0);
    const uint16_t sub2[] = {6, 1};
    EXPECT_NE(Sys_WadGotoIndexPath(sub2, 2), nullptr);
    EXPECT_NE(Sys_WadFindEntry("S2"), nullptr);
    const uint16_t perf[] = {7};
    EXPECT_EQ(Sys_WadGotoIndexPath(perf, 1), nullptr);
    EXPECT_EQ(Sys_WadLoadFile(0, "/N/INST1"), nullptr);
    int32_t count = -1;
    EXPECT_EQ(Sys_WadListDirByIndex(sub, 2, &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(Archive, ReopeningReusesAKnownDiscRecord)
{
    PACKOPTIONS three;
    three.discName = "THREE";
    three.discNumber = 3;
    PACKOPTIONS four = three;
    four.discName = "FOUR";
    four.discNumber = 4;
    ASSERT_EQ(PackOpen(Studio(), three), 1);
    DISKNAMES *first = g_pCurrentDisc;
    ASSERT_EQ(PackOpen(Studio(), four), 1);
    EXPECT_NE(g_pCurrentDisc, first);
    EXPECT_STREQ(g_pCurrentDisc->szName, "FOUR");
    ASSERT_EQ(PackOpen(Studio(), three), 1);
    EXPECT_EQ(g_pCurrentDisc, first);
    EXPECT_EQ(Sys_PoolHighestId(g_pDiscPool), 1);
}

TEST_F(Archive, CompanionPathFromTheSectorBytes)
{
    std::vector<uint8_t> index, data;
    Pack(Studio(), index, data);
    // X/TARGET's entry (the second "TARGET" in the root's block) gets sector 'B' = 66, so its
    // companion path with n = 2 is "/B/TARGET".
    const uint8_t pattern[8] = {'T', 'A', 'R', 'G', 'E', 'T', 0, 0};
    auto at = std::search(data.begin(), data.end(), pattern, pattern + 8);
    at = std::search(at + 1, data.end(), pattern, pattern + 8);
    ASSERT_NE(at, data.end());
    at[8] = 'B';
    at[9] = at[10] = at[11] = 0;
    WriteArchive(index, data);
    ASSERT_EQ(Open(), 1) << g_szWadErrorText;

    uint16_t x[WAD_MAX_DEPTH + 1], b[WAD_MAX_DEPTH + 1], out[WAD_MAX_DEPTH + 1];
    ASSERT_EQ(Sys_WadPathToIndices("/X/TARGET", x), 2);
    ASSERT_EQ(Sys_WadPathToIndices("/B/TARGET", b), 2);
    EXPECT_EQ(Sys_WadResolveCompanionPath(x, 2, out, 2), 1);
    EXPECT_EQ(out[0], b[0]);
    EXPECT_EQ(out[1], b[1]);
    EXPECT_EQ(Sys_WadResolveCompanionPath(x, 2, out, 20), 0);
    const uint16_t past[] = {9, 7};
    EXPECT_EQ(Sys_WadResolveCompanionPath(past, 2, out, 2), 0);
}

TEST_F(Archive, EntryDiscPosition)
{
    ASSERT_EQ(PackOpen(Studio()), 1) << g_szWadErrorText;
    ASSERT_EQ(Sys_WadChangeDir("/PERF/P/Q"), 0);
    uint32_t sector = Sys_WadFindEntry("TWO")->uSector;
    uint8_t msf[3] = {};
    EXPECT_EQ(Sys_WadEntryDiscPosition(g_iWadDirPerf, 1, 1, 2, msf), 2);
    uint8_t want[3];
    Sys_MsfFromSector((int)sector, want);
    EXPECT_EQ(std::memcmp(msf, want, 3), 0);
    EXPECT_EQ(Sys_WadEntryDiscPosition(g_iWadDirPerf, 1, 1, 99, msf), 3 * 32); // the header entry
    EXPECT_EQ(Sys_WadEntryDiscPosition(g_iWadDirN, 1, 1, 0, msf), -1); // N holds no (2, 0, 0)
    EXPECT_EQ(Sys_WadEntryDiscPosition(g_iWadDirPerf, 0, 1, 0, msf), -1);
}

void ExpectNothingOpen()
{
    EXPECT_EQ(g_pWadIndex, nullptr);
    for (int d : {g_iWadDirN, g_iWadDirR, g_iWadDirPerf, g_iWadDirChases, g_iWadDirJamTem, g_iWadDirAuto,
                  g_iWadDirM1Ins, g_iWadDirM1Mov})
        EXPECT_EQ(d, -1);
    const uint16_t first[] = {0};
    int32_t count = -1;
    EXPECT_EQ(Sys_WadListDirByIndex(first, 1, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Sys_WadCountAt(first, 0), -1);
    EXPECT_EQ(Sys_WadFileCountAt(first, 1), -1);
    char name[8];
    EXPECT_EQ(Sys_WadNodeNameAt(first, 1, name, 8), -1);
    EXPECT_EQ(Sys_WadChangeDir("/N"), 1);
    EXPECT_EQ(Sys_WadLoadFile(0, "/BOOT/DEFRIF"), nullptr);
    uint16_t idx[WAD_MAX_DEPTH + 1];
    EXPECT_EQ(Sys_WadPathToIndices("/BOOT/DEFRIF", idx), -1);
    EXPECT_EQ(Sys_WadEntryAt(0), nullptr);
    uint32_t size = 5;
    EXPECT_EQ(Sys_WadLoadEntryAlloc(0, first, 1, nullptr, &size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST_F(Archive, MissingFilesFailWithACode)
{
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(g_iDiscError, 2);
    EXPECT_NE(std::strstr(g_szWadErrorText, "demowad.IND"), nullptr);
    ExpectNothingOpen();

    // An index without its data file is no archive either.
    std::vector<uint8_t> index, data;
    Pack(Studio(), index, data);
    WriteArchive(index, data);
    std::filesystem::remove(Path("WADS/demowad.WAD"));
    EXPECT_EQ(Open(), 0);
    EXPECT_EQ(g_iDiscError, 2);
    EXPECT_NE(std::strstr(g_szWadErrorText, "demowad.WAD"), nullptr);
    ExpectNothingOpen();

    // A required directory missing.
    PACKDIR root = Studio();
    root.dirs.erase(root.dirs.begin()); // AUTO
    EXPECT_EQ(PackOpen(root), 0);
    EXPECT_EQ(g_iDiscError, 2);
    EXPECT_NE(std::strstr(g_szWadErrorText, "/AUTO"), nullptr);
    ExpectNothingOpen();
}

TEST_F(Archive, SecondBaseFolder)
{
    std::vector<uint8_t> index, data;
    Pack(Studio(), index, data);
    WriteArchive(index, data, "BRAKEN/WADS");
    EXPECT_EQ(Open(), 1) << g_szWadErrorText;
    EXPECT_EQ(g_iWadDirN, 6);
}

void Set16(std::vector<uint8_t> &v, size_t at, uint16_t x)
{
    v[at] = (uint8_t)x;
    v[at + 1] = (uint8_t)(x >> 8);
}

void Set32(std::vector<uint8_t> &v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; i++)
        v[at + i] = (uint8_t)(x >> (8 * i));
}

TEST_F(Archive, BrokenArchivesAreRefused)
{
    // Nodes: 0 root, 1-10 its children (N = 7), 11-12 N's, 13 P, 14 DEEP, 15 Q. The root's block
    // is at data sector 0: count word, then records (header entry first).
    using FIX = std::function<void(std::vector<uint8_t> &, std::vector<uint8_t> &)>;
    auto node = [](int i) { return (size_t)(48 + 16 * i); };
    struct CASE
    {
        const char *what;
        FIX fix;
    };
    const CASE cases[] = {
        {"empty index", [](auto &ind, auto &) { ind.clear(); }},
        {"index cut inside its header", [](auto &ind, auto &) { ind.resize(40); }},
        {"index cut inside the room", [](auto &ind, auto &) { ind.resize(ind.size() - 20); }},
        {"no top-level node", [](auto &ind, auto &) { Set16(ind, 34, 0); }},
        {"top-level count past the nodes", [](auto &ind, auto &) { Set16(ind, 34, 0xFFFF); }},
        {"listing area past the end", [](auto &ind, auto &) { Set32(ind, 36, (uint32_t)ind.size() + 100); }},
        {"listing area inside the header", [](auto &ind, auto &) { Set32(ind, 36, 10); }},
        {"huge listing buffer", [](auto &ind, auto &) { Set32(ind, 40, 0xFFFFFFFF); }},
        {"children past the nodes", [&](auto &ind, auto &) { Set16(ind, node(0) + 10, 0xFFFF); }},
        {"first child before the start", [&](auto &ind, auto &) { Set16(ind, node(7) + 8, (uint16_t)-100); }},
        {"looping nodes", [&](auto &ind, auto &) { Set16(ind, node(7) + 8, (uint16_t)-7); }},
        {"node is its own child", [&](auto &ind, auto &) { Set16(ind, node(7) + 8, 0); }},
        {"block past the data", [&](auto &ind, auto &) { Set32(ind, node(7) + 12, 0x7FFFF | 3u << 19); }},
        {"block larger than the room", [&](auto &ind, auto &) { Set32(ind, node(0) + 12, 0x1FFFu << 19); }},
        {"owner with no records", [&](auto &ind, auto &) { Set32(ind, node(0) + 12, 0); }},
        {"entries past the owner's block", [&](auto &ind, auto &) { Set32(ind, node(1) + 12, 500 | 2u << 19); }},
        {"data file cut", [](auto &, auto &dat) { dat.resize(2048); }},
        {"block count zero", [](auto &, auto &dat) { Set32(dat, 0, 0); }},
        {"block count past its records", [](auto &, auto &dat) { Set32(dat, 0, 200); }},
    };
    std::vector<uint8_t> goodIndex, goodData;
    Pack(Studio(), goodIndex, goodData);
    for (const CASE &c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> index = goodIndex, data = goodData;
        c.fix(index, data);
        WriteArchive(index, data);
        g_szWadErrorText[0] = 0;
        EXPECT_EQ(Open(), 0);
        EXPECT_EQ(g_iDiscError, 2);
        EXPECT_GT(std::strlen(g_szWadErrorText), 0u);
        ExpectNothingOpen();
    }
    // And the untouched pair still opens.
    WriteArchive(goodIndex, goodData);
    EXPECT_EQ(Open(), 1) << g_szWadErrorText;
}

// Record number of the entry named name in the root's block (data sector 0).
int RecordNamed(const std::vector<uint8_t> &data, const char *name)
{
    for (int i = 0; 4 + 16 * (i + 1) <= 2048; i++)
        if (std::strncmp((const char *)data.data() + 4 + 16 * i, name, 8) == 0)
            return i;
    return -1;
}

// An entry or a name list that reaches past the data file, or past the listing buffer, refuses
// that entry or listing alone: the archive opens and everything else reads.
TEST_F(Archive, OneBadEntryRefusesOnlyItself)
{
    std::vector<uint8_t> goodIndex, goodData;
    Pack(Studio(), goodIndex, goodData);
    int demo = RecordNamed(goodData, "DEMO1");
    ASSERT_GT(demo, 0);
    auto record = [](int i) { return (size_t)(4 + 16 * i); };
    struct CASE
    {
        const char *what;
        size_t at;
        uint32_t value;
        const char *refusedFile; // null: a listing is refused
        const char *refusedList;
    };
    const CASE cases[] = {
        {"entry sector past the data", record(demo) + 8, 0x7FFFFFFF, "/AUTO/DEMO1", nullptr},
        {"entry size past the data", record(demo) + 12, 0xFFFFFFF0, "/AUTO/DEMO1", nullptr},
        {"name list larger than the listing buffer", record(0) + 12, 5000, nullptr, "/"},
        {"name list past the data", record(0) + 8, 0x7FFFFFFF, nullptr, "/"},
    };
    for (const CASE &c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> data = goodData;
        Set32(data, c.at, c.value);
        WriteArchive(goodIndex, data);
        ASSERT_EQ(Open(), 1) << g_szWadErrorText;
        EXPECT_EQ(g_iWadDirN, 6);
        int32_t count = -1;
        if (c.refusedFile)
        {
            EXPECT_EQ(Sys_WadLoadFile(0, c.refusedFile), nullptr);
            uint8_t buf[4096];
            EXPECT_EQ(Sys_WadLoadFileInto(buf, c.refusedFile, 0, sizeof(buf)), nullptr);
            EXPECT_NE(Sys_WadListDir("/AUTO", &count), nullptr);
            EXPECT_EQ(count, 1);
        }
        if (c.refusedList)
        {
            EXPECT_EQ(Sys_WadListDir(c.refusedList, &count), nullptr);
            EXPECT_EQ(count, 0);
        }
        void *b = Sys_WadLoadFile(0, "/B/TARGET");
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(Text(b, 1), "b");
        std::free(b);
        void *riffs = Sys_WadLoadFile(0, "/BOOT/DEFRIF");
        ASSERT_NE(riffs, nullptr);
        EXPECT_EQ(Text(riffs, 5), "riffs");
        std::free(riffs);
        EXPECT_NE(Sys_WadListDir("/N/SUB", &count), nullptr);
        EXPECT_EQ(count, 4);
    }
}

// The top-level list may hold the root and then the root's children (its header count covers
// them, and text paths without a leading '/' start in it). Such a list opens, and both ways of
// naming a directory reach the same one, with the same index path.
TEST_F(Archive, TopLevelListHoldingTheRootsChildrenOpens)
{
    std::vector<uint8_t> index, data;
    Pack(Studio(), index, data);
    Set16(index, 34, 11); // the root, then nodes 1-10: its children
    WriteArchive(index, data);
    ASSERT_EQ(Open(), 1) << g_szWadErrorText;
    EXPECT_EQ(g_iWadDirN, 6);
    EXPECT_EQ(g_iWadDirAuto, 0);
    uint16_t a[WAD_MAX_DEPTH], b[WAD_MAX_DEPTH];
    ASSERT_EQ(Sys_WadDirPathToIndices("N/SUB", a), 2);
    ASSERT_EQ(Sys_WadDirPathToIndices("/N/SUB", b), 2);
    EXPECT_EQ(a[0], 6);
    EXPECT_EQ(a[1], b[1]);
    int32_t count = -1;
    ASSERT_NE(Sys_WadListDir("N/SUB", &count), nullptr);
    EXPECT_EQ(count, 4);
    void *p = Sys_WadLoadFile(0, "N/SUB/ABCDEFGH");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Text(p, 5), "eight");
    std::free(p);
    // The index path cached by the text walk is N/SUB's, not the one of the root's seventh child.
    const uint16_t perfP[] = {7, 0};
    ASSERT_NE(Sys_WadGotoIndexPath(perfP, 2), nullptr);
    EXPECT_EQ(Sys_WadCountAt(perfP, 2), 1); // P holds Q
    EXPECT_EQ(Sys_WadListDir("AUTO", &count), Sys_WadListDir("/AUTO", &count));
    EXPECT_EQ(count, 1);
    p = Sys_WadLoadFile(0, "AUTO/DEMO1");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Text(p, 4), "demo");
    std::free(p);
}

// Top-level directories with entries but no owning directory above them list from the block
// that is loaded, never past it; real owners below them read as usual.
TEST_F(Archive, EntriesWithoutAnOwnerAboveOpen)
{
    std::vector<uint8_t> index, data;
    Pack(Studio(), index, data);
    Set16(index, 48 + 10, 10); // the root keeps its ten children but owns no block
    WriteArchive(index, data);
    ASSERT_EQ(Open(), 1) << g_szWadErrorText;
    EXPECT_EQ(g_iWadDirN, 6);
    int32_t count = -1;
    ASSERT_NE(Sys_WadListDir("/N", &count), nullptr);
    EXPECT_EQ(count, 1);
    void *p = Sys_WadLoadFile(0, "/N/INST1");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Text(p, 3), "iii");
    std::free(p);
    for (const char *dir : {"/AUTO", "/B", "/BOOT", "/X", "/R"})
    {
        SCOPED_TRACE(dir);
        ASSERT_EQ(Sys_WadChangeDir(dir), 0);
        EXPECT_LE(g_nWadEntries, 3);
        for (int i = 0; i < g_nWadEntries; i++)
            EXPECT_NE(Sys_WadEntryAt(i), nullptr);
        Sys_WadListDir(dir, &count);
    }
}

} // namespace
