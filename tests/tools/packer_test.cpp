#include "support/wadfixture.h"

#include <cstring>

namespace {

// Little-endian byte builder for the expected files.
struct LE
{
    std::vector<uint8_t> b;
    LE &u16(uint16_t v)
    {
        b.push_back((uint8_t)v);
        b.push_back((uint8_t)(v >> 8));
        return *this;
    }
    LE &u32(uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            b.push_back((uint8_t)(v >> (8 * i)));
        return *this;
    }
    LE &name(const char *s, size_t width)
    {
        size_t n = std::strlen(s);
        for (size_t i = 0; i < width; i++)
            b.push_back(i < n ? (uint8_t)s[i] : 0);
        return *this;
    }
    LE &zeros(size_t n)
    {
        b.insert(b.end(), n, 0);
        return *this;
    }
    LE &entry(const char *n, uint32_t sector, uint32_t size) { return name(n, 8).u32(sector).u32(size); }
    LE &node(const char *n, int16_t first, uint16_t info, uint32_t word)
    {
        return name(n, 8).u16((uint16_t)first).u16(info).u32(word);
    }
};

// root -> A (leaf: file F) and D (subdirectory E, a leaf with file G).
PACKDIR GoldenTree()
{
    PACKDIR root;
    root.title = "Top";
    PACKDIR a;
    a.name = "A";
    a.files.push_back(File("F", "xyz", "Eff"));
    PACKDIR d;
    d.name = "D";
    PACKDIR e;
    e.name = "E";
    e.files.push_back(File("G", "hi"));
    d.dirs.push_back(e);
    root.dirs.push_back(a);
    root.dirs.push_back(d);
    return root;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t> &v, size_t at, size_t n)
{
    return std::vector<uint8_t>(v.begin() + (long)at, v.begin() + (long)(at + n));
}

TEST(Packer, GoldenIndexAndBlocks)
{
    std::vector<uint8_t> index, data;
    std::string err;
    PACKOPTIONS options;
    options.discName = "DISC";
    options.discNumber = 7;
    ASSERT_TRUE(Pack_Build(GoldenTree(), options, index, data, err)) << err;

    // Nodes: 0 root (owns sector 0, 3 records), 1 A (records 1-2 of the root's block), 2 D (owns
    // sector 4, 3 records), 3 E (records 1-2 of D's block). Listing area at 48 + 4 * 16 + 4.
    LE want;
    want.name("DISC", 32).u16(7).u16(1).u32(116).u32(64).u32(0);
    want.node("", 1, 0x8002, 0 | 3u << 19);
    want.node("A", 0, 0, 1 | 2u << 19);
    want.node("D", 1, 0x8001, 4 | 3u << 19);
    want.node("E", 0, 0, 1 | 2u << 19);
    want.zeros(4 + 3 * 16); // count word and room for the largest block
    EXPECT_EQ(index, want.b);

    ASSERT_EQ(data.size(), 8u * 2048);
    LE rootBlock;
    rootBlock.u32(1).entry("", 1, 32).entry("", 2, 64).entry("F", 3, 3);
    EXPECT_EQ(Slice(data, 0, rootBlock.b.size()), rootBlock.b);
    LE dBlock;
    dBlock.u32(1).entry("", 5, 32).entry("", 6, 64).entry("G", 7, 2);
    EXPECT_EQ(Slice(data, 4 * 2048, dBlock.b.size()), dBlock.b);

    LE rootRows, aRows;
    rootRows.name("Top", 32);
    aRows.name("A", 32).name("Eff", 32);
    EXPECT_EQ(Slice(data, 1 * 2048, 32), rootRows.b);
    EXPECT_EQ(Slice(data, 2 * 2048, 64), aRows.b);
    EXPECT_EQ(Slice(data, 3 * 2048, 3), Bytes("xyz"));
    EXPECT_EQ(Slice(data, 7 * 2048, 2), Bytes("hi"));
}

TEST(Packer, RefusesNamesTheArchiveCannotHold)
{
    struct CASE
    {
        const char *what;
        PACKDIR root;
    };
    auto withFile = [](const std::string &name) {
        PACKDIR r;
        r.files.push_back(File(name, "x"));
        return r;
    };
    auto withDirs = [](const std::string &a, const std::string &b) {
        PACKDIR r;
        PACKDIR x, y;
        x.name = a;
        y.name = b;
        r.dirs = {x, y};
        return r;
    };
    PACKDIR twice;
    twice.files = {File("SAME", "1"), File("SAME", "2")};
    std::vector<CASE> cases = {
        {"nine characters", withFile("ABCDEFGHI")},
        {"empty name", withFile("")},
        {"space", withFile("A B")},
        {"backslash", withFile("A\\B")},
        {"same file twice", twice},
        {"dirs differing in case", withDirs("Boot", "BOOT")},
        {"long dir", withDirs("LONGNAME9", "X")},
    };
    for (const CASE &c : cases)
    {
        std::vector<uint8_t> index, data;
        std::string err;
        EXPECT_FALSE(Pack_Build(c.root, PACKOPTIONS{}, index, data, err)) << c.what;
        EXPECT_FALSE(err.empty()) << c.what;
    }
}

TEST(Packer, FullLeafGetsItsOwnBlock)
{
    // Two leaves of 5000 files each cannot share the parent's block of at most 8191 records.
    PACKDIR root;
    for (const char *n : {"P", "Q"})
    {
        PACKDIR d;
        d.name = n;
        for (int i = 0; i < 5000; i++)
            d.files.push_back(File("F" + std::to_string(i), ""));
        root.dirs.push_back(d);
    }
    std::vector<uint8_t> index, data;
    std::string err;
    ASSERT_TRUE(Pack_Build(root, PACKOPTIONS{}, index, data, err)) << err;
    uint16_t infoP = (uint16_t)(index[48 + 16 + 10] | index[48 + 16 + 11] << 8);
    uint16_t infoQ = (uint16_t)(index[48 + 32 + 10] | index[48 + 32 + 11] << 8);
    EXPECT_EQ(infoP & 0x8000, 0);
    EXPECT_EQ(infoQ & 0x8000, 0x8000);
    char why[200];
    EXPECT_EQ(Sys_WadCheckIndex(index.data(), index.size(), data.size(), why, sizeof(why)), 0) << why;
}

class PackerDisk : public WadTest
{
};

TEST_F(PackerDisk, ReadsFolderTreeWithNames)
{
    namespace fs = std::filesystem;
    fs::create_directories(Path("src/B/C"));
    std::ofstream(Path("src/B/ONE")) << "1";
    std::ofstream(Path("src/B/TWO")) << "22";
    std::ofstream(Path("src/B/_names.txt")) << "# shown names\n= Bee folder\nTWO = Second\n";
    std::ofstream(Path("src/A")) << "top";
    PACKDIR root;
    std::string err;
    ASSERT_TRUE(Pack_ReadTree(Path("src"), root, err)) << err;
    ASSERT_EQ(root.files.size(), 1u);
    ASSERT_EQ(root.dirs.size(), 1u);
    const PACKDIR &b = root.dirs[0];
    EXPECT_EQ(b.title, "Bee folder");
    ASSERT_EQ(b.files.size(), 2u);
    EXPECT_EQ(b.files[0].name, "ONE");
    EXPECT_EQ(b.files[0].shown, "");
    EXPECT_EQ(b.files[1].shown, "Second");
    EXPECT_EQ(b.files[1].data, Bytes("22"));
    ASSERT_EQ(b.dirs.size(), 1u);
    EXPECT_EQ(b.dirs[0].name, "C");
}

TEST_F(PackerDisk, RefusesBadFolderTrees)
{
    namespace fs = std::filesystem;
    struct CASE
    {
        const char *file;
        const char *text;
    };
    const CASE cases[] = {
        {"TOOLONGNAME", "x"},
        {"_names.txt", "MISSING = Not here\n"},
        {"_names.txt", "no equals sign\n"},
    };
    int n = 0;
    for (const CASE &c : cases)
    {
        std::string folder = Path("bad" + std::to_string(n++));
        fs::create_directories(folder);
        std::ofstream(folder + "/" + c.file) << c.text;
        PACKDIR root;
        std::string err;
        EXPECT_FALSE(Pack_ReadTree(folder, root, err)) << c.file << ": " << c.text;
        EXPECT_FALSE(err.empty());
    }
    PACKDIR root;
    std::string err;
    EXPECT_FALSE(Pack_ReadTree(Path("nowhere"), root, err));
}

} // namespace
