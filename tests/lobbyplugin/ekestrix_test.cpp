// The built libekestrix.so as a lobby client sees it: loaded by path, its export list, the game
// listing, the compatibility test and the remote game dialog.
#include "lobbyplugin/ekestrix.h"
#include "ekestrix_loader.h"

#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// Defined, non-local symbols of the library's dynamic symbol table.
std::set<std::string> DynamicExports(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (f.size() < sizeof(Elf64_Ehdr))
        return names;
    Elf64_Ehdr eh;
    std::memcpy(&eh, f.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shoff + eh.e_shnum * sizeof(Elf64_Shdr) > f.size())
        return names;
    std::vector<Elf64_Shdr> sh(eh.e_shnum);
    std::memcpy(sh.data(), f.data() + eh.e_shoff, eh.e_shnum * sizeof(Elf64_Shdr));
    for (const Elf64_Shdr &s : sh) {
        if (s.sh_type != SHT_DYNSYM || s.sh_link >= sh.size() || s.sh_entsize != sizeof(Elf64_Sym))
            continue;
        const Elf64_Shdr &str = sh[s.sh_link];
        if (s.sh_offset + s.sh_size > f.size() || str.sh_offset + str.sh_size > f.size())
            return names;
        for (size_t i = 1; i < s.sh_size / sizeof(Elf64_Sym); ++i) {
            Elf64_Sym sym;
            std::memcpy(&sym, f.data() + s.sh_offset + i * sizeof sym, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || ELF64_ST_BIND(sym.st_info) == STB_LOCAL ||
                sym.st_name >= str.sh_size)
                continue;
            const char *name = reinterpret_cast<const char *>(f.data() + str.sh_offset + sym.st_name);
            names.insert(std::string(name, strnlen(name, str.sh_size - sym.st_name)));
        }
    }
    return names;
}

class EkestrixLibrary : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_lib.Load(EKESTRIX_LIBRARY)) << m_lib.Error(); }
    EkestrixLoader m_lib;
};

TEST(EkestrixExports, TheLibraryExportsExactlyTheLobbyCalls)
{
    std::set<std::string> want(std::begin(kEkestrixExports), std::end(kEkestrixExports));
    ASSERT_EQ(want.size(), 14u);
    EXPECT_EQ(DynamicExports(EKESTRIX_LIBRARY), want);

    EkestrixLoader lib;
    ASSERT_TRUE(lib.Load(EKESTRIX_LIBRARY)) << lib.Error();
    for (const char *name : kEkestrixExports)
        EXPECT_NE(lib.Symbol(name), nullptr) << name;
    EXPECT_EQ(lib.Symbol("Ekx_Launch"), nullptr) << "helpers stay inside the library";
}

TEST_F(EkestrixLibrary, ListsTheGame)
{
    EXPECT_EQ(m_lib.Init(), 0);
    EXPECT_EQ(m_lib.Version(), 256);
    EXPECT_EQ(m_lib.HasDialog(), 2);
    EXPECT_EQ(m_lib.SetId(17, -4), 0);
    EXPECT_EQ(m_lib.DecodeFieldData(1, 2, 3), 1);

    EkestrixHeader h = {0, nullptr, 0};
    EXPECT_EQ(m_lib.Header(&h), 0);
    EXPECT_EQ(h.iGame, 6);
    ASSERT_NE(h.pszName, nullptr);
    EXPECT_STREQ(h.pszName, "Tonnivelle");
    EXPECT_EQ(h.iBannerId, 109);
    EXPECT_EQ(m_lib.Header(nullptr), 0);

    const int32_t headerEx[][2] = {{-1, 0}, {0, 0}, {1, 50}, {2, 100}, {3, 150},
                                   {4, 200}, {5, 1}, {6, 0}, {1000, 0}};
    for (const auto &c : headerEx)
        EXPECT_EQ(m_lib.HeaderEx(c[0]), c[1]) << "index " << c[0];

    int32_t count = -1;
    const uint16_t *bits = nullptr;
    EXPECT_EQ(m_lib.FieldBits(&count, &bits), 0);
    EXPECT_EQ(count, 2);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits[0], 2);
    EXPECT_EQ(bits[1], 8);
    EXPECT_EQ(m_lib.FieldBits(nullptr, nullptr), 0);

    const int32_t types[][2] = {{-1, 0}, {0, 2}, {1, 5}, {2, 0}, {INT32_MIN, 0}, {INT32_MAX, 0}};
    for (const auto &c : types)
        EXPECT_EQ(m_lib.FieldType(c[0]), c[1]) << "field " << c[0];

    const char *players = m_lib.FieldName(0);
    const char *style = m_lib.FieldName(1);
    const char *below = m_lib.FieldName(-1);
    const char *above = m_lib.FieldName(2);
    EXPECT_STREQ(players, "Number of Players");
    EXPECT_STREQ(style, "Music Style");
    // Name entries are 32 bytes apart, as the lobby walks them.
    EXPECT_EQ(style - players, 32);
    ASSERT_NE(below, nullptr);
    ASSERT_NE(above, nullptr);
    EXPECT_STREQ(below, "");
    EXPECT_STREQ(above, "");
    EXPECT_NE(below, above);
    for (const char *p : {below, above})
        EXPECT_TRUE(p < players || p >= players + 64) << "an empty name points into the table";
    EXPECT_STREQ(m_lib.FieldName(INT32_MIN), "");
    EXPECT_STREQ(m_lib.FieldName(INT32_MAX), "");
}

TEST_F(EkestrixLibrary, CompatibilityFromTheFirstWord)
{
    struct Case
    {
        std::vector<unsigned char> bytes;
        int32_t flags;
    };
    const Case cases[] = {
        {{0x01, 0x00}, 2},  {{0x01, 0x01}, 6},  {{0x01, 0x05}, 14}, {{0x00, 0x06}, 8},
        {{0x02, 0x06}, 9},  {{0x00, 0x00}, 0},  {{0xFF, 0x00}, 1},  {{0xFF, 0x04}, 5},
        {{0xFF, 0xFF}, 9},  {{0x00, 0x05}, 12}, {{0x01, 0x04, 0x77}, 6},
        {{0x01}, 0},        {{}, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(m_lib.Compatible(c.bytes.data(), static_cast<int32_t>(c.bytes.size())), c.flags)
            << "bytes " << c.bytes.size();
    const unsigned char word[] = {0x01, 0x01};
    EXPECT_EQ(m_lib.Compatible(word, -1), 0);
    EXPECT_EQ(m_lib.Compatible(nullptr, 2), 0);
}

TEST_F(EkestrixLibrary, RemoteGameDialogShowsTheData)
{
    struct Case
    {
        const void *data;
        int32_t size;
        const char *caption;
        std::string text;
    };
    const char hello[5] = {'h', 'e', 'l', 'l', 'o'}; // no NUL of its own
    const char inner[] = "ab\0cd";
    const Case cases[] = {
        {hello, -1, "Nonhead string (-1 bytes):", "(no string)"},
        {nullptr, -1, "Nonhead string (-1 bytes):", "(no string)"},
        {hello, 5, "Nonhead string (5 bytes):", "hello"},
        {hello, 0, "Nonhead string (0 bytes):", ""},
        {nullptr, 0, "Nonhead string (0 bytes):", ""},
        // Null data with a size is not read: only the caption tells the size.
        {nullptr, 12, "Nonhead string (12 bytes):", "(no string)"},
        {inner, 5, "Nonhead string (5 bytes):", std::string(inner, 5)},
        {hello, INT32_MIN, "Nonhead string (-2147483648 bytes):", "(no string)"},
    };
    int parent = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        EkestrixDialog *dlg = m_lib.ViewDialog(&parent, c.data, c.size);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->pParent, &parent);
        EXPECT_STREQ(dlg->szCaption, c.caption);
        ASSERT_NE(dlg->pszText, nullptr);
        size_t len = c.size > 0 && c.data ? static_cast<size_t>(c.size) : std::strlen(dlg->pszText);
        EXPECT_EQ(std::string(dlg->pszText, len), c.text);
        EXPECT_EQ(dlg->pszText[len], '\0');
        EXPECT_EQ(m_lib.EndDialog(dlg), 0);
    }
}

TEST_F(EkestrixLibrary, ClosingWhatIsNotAnOpenDialogIsHarmless)
{
    EkestrixDialog *a = m_lib.ViewDialog(nullptr, "x", 1);
    EkestrixDialog *b = m_lib.ViewDialog(nullptr, "y", 1);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EkestrixDialog stranger = {};
    EXPECT_EQ(m_lib.EndDialog(nullptr), 0);
    EXPECT_EQ(m_lib.EndDialog(&stranger), 0);
    EXPECT_EQ(m_lib.EndDialog(a), 0);
    EXPECT_EQ(m_lib.EndDialog(a), 0); // a second close of the same dialog frees nothing twice
    EXPECT_STREQ(b->pszText, "y");
    EXPECT_EQ(m_lib.EndDialog(b), 0);
}

} // namespace
