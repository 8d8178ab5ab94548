// The user image bank: slots, ramps, loading pictures and the block stored with the song.
#include "support/bmpfixture.h"
#include "support/tempdir.h"

#include "render/bitmap.h"
#include "render/userimages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class UserImagesTest : public ::testing::Test
{
protected:
    void SetUp() override { Gfx_InitUserImages(); }
    void TearDown() override { Gfx_FreeUserImages(); }

    // An 8-bit 128 x 64 picture whose pixels and palette all carry the seed.
    std::string Picture(uint8_t seed, uint16_t bits = 8)
    {
        BMPFIXTURE f;
        f.width = 128;
        f.height = 64;
        f.bitCount = bits;
        f.tableEntries = bits == 8 ? 256 : 0;
        f.colour = [seed](int32_t i) { return static_cast<uint32_t>(seed) << 16 | static_cast<uint32_t>(i); };
        f.pixel = [seed](int32_t x, int32_t row) { return static_cast<uint32_t>((x + row + seed) & 0xFF); };
        const std::vector<uint8_t> b = MakeBmp(f);
        const std::string path = dir_.File("p" + std::to_string(seed) + "_" + std::to_string(bits) + ".bmp");
        WriteTextFile(path, std::string(b.begin(), b.end()));
        return path;
    }

    static const uint8_t *Image(int slot) { return g_pUserImages + slot * USERIMAGE_BYTES; }
    static const uint8_t *Palette(int slot) { return g_pUserPalettes + slot * USERPALETTE_BYTES; }

    static bool IsRamp(int slot)
    {
        for (int i = 0; i < USERIMAGE_BYTES; i++)
            if (Image(slot)[i] != i % 128)
                return false;
        for (int i = 0; i < 256; i++)
            for (int c = 0; c < 3; c++)
                if (Palette(slot)[3 * i + c] != i >> 3)
                    return false;
        return true;
    }

    // Slot holds the picture Picture(seed) made.
    static bool Holds(int slot, uint8_t seed)
    {
        return Image(slot)[0] == seed && Image(slot)[129] == static_cast<uint8_t>(seed + 2) &&
               Palette(slot)[0] == seed && Palette(slot)[3 * 77 + 2] == 77;
    }

    static std::vector<uint8_t> Block()
    {
        std::vector<uint8_t> b(Gfx_GetUserImagesSize() + 16, 0xCC);
        EXPECT_EQ(Gfx_WriteUserImages(b.data()), Gfx_GetUserImagesSize());
        EXPECT_EQ(b[Gfx_GetUserImagesSize()], 0xCC) << "the writer stays inside its size";
        b.resize(Gfx_GetUserImagesSize());
        return b;
    }

    TempDir dir_;
};

} // namespace

TEST_F(UserImagesTest, AFreshBankIsEmptyRampsAndWritesAnEightByteBlock)
{
    EXPECT_EQ(g_iUserImageCount, 0);
    for (int slot = 0; slot < USERIMAGE_SLOTS; slot++)
        EXPECT_TRUE(IsRamp(slot)) << slot;
    EXPECT_EQ(Gfx_GetUserImagesSize(), 8u);
    const std::vector<uint8_t> b = Block();
    EXPECT_EQ(b, (std::vector<uint8_t>{'U', 'S', 'E', 'R', 0, 0, 0, 0}));
}

// Pictures go into the next free slot; the block holds each one's image and then its palette.
TEST_F(UserImagesTest, LoadedPicturesAreWrittenInSlotOrderAndReadBack)
{
    EXPECT_EQ(Gfx_LoadUserImage(Picture(10).c_str()), 0);
    EXPECT_EQ(Gfx_LoadUserImage(Picture(20).c_str()), 1);
    EXPECT_EQ(g_iUserImageCount, 2);
    EXPECT_EQ(Gfx_GetUserImagesSize(), 8u + 2 * 8960u);
    const std::vector<uint8_t> b = Block();
    ASSERT_EQ(b.size(), 8u + 2 * 8960u);
    EXPECT_EQ(std::memcmp(b.data(), "USER\x02\x00\x00\x00", 8), 0);
    EXPECT_EQ(std::memcmp(&b[8], Image(0), 8192), 0);
    EXPECT_EQ(std::memcmp(&b[8 + 8192], Palette(0), 768), 0);
    EXPECT_EQ(std::memcmp(&b[8 + 8960], Image(1), 8192), 0);
    EXPECT_EQ(std::memcmp(&b[8 + 8960 + 8192], Palette(1), 768), 0);
    EXPECT_EQ(b[8 + 8960], 20);     // first pixel of the second picture
    EXPECT_EQ(b[8 + 8960 + 8192], 20); // red of its first colour

    Gfx_ResetUserImages();
    EXPECT_EQ(g_iUserImageCount, 0);
    EXPECT_TRUE(IsRamp(0));
    ASSERT_EQ(Gfx_ReadUserImages(b.data(), b.size()), 0);
    EXPECT_EQ(g_iUserImageCount, 2);
    EXPECT_TRUE(Holds(0, 10));
    EXPECT_TRUE(Holds(1, 20));
    EXPECT_EQ(Block(), b);
}

TEST_F(UserImagesTest, ReadingABlockReplacesTheWholeBank)
{
    for (uint8_t i = 0; i < 5; i++)
        ASSERT_EQ(Gfx_LoadUserImage(Picture(static_cast<uint8_t>(30 + i)).c_str()), i);
    // A block of three other pictures.
    std::vector<uint8_t> three(8 + 3 * 8960, 0);
    std::memcpy(three.data(), "USER\x03\x00\x00\x00", 8);
    for (int i = 0; i < 3; i++)
        std::memset(&three[8 + i * 8960], 100 + i, 8960);
    ASSERT_EQ(Gfx_ReadUserImages(three.data(), three.size()), 0);
    EXPECT_EQ(g_iUserImageCount, 3);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(Image(i)[8191], 100 + i);
        EXPECT_EQ(Palette(i)[767], 100 + i);
    }
    for (int slot = 3; slot < USERIMAGE_SLOTS; slot++)
        EXPECT_TRUE(IsRamp(slot)) << slot;

    // An empty block empties it.
    const uint8_t empty[8] = {'U', 'S', 'E', 'R', 0, 0, 0, 0};
    ASSERT_EQ(Gfx_ReadUserImages(empty, sizeof empty), 0);
    EXPECT_EQ(g_iUserImageCount, 0);
    for (int slot = 0; slot < USERIMAGE_SLOTS; slot++)
        EXPECT_TRUE(IsRamp(slot)) << slot;

    // A full bank round-trips too; the next load is refused.
    std::vector<uint8_t> full(8 + 16 * 8960, 7);
    std::memcpy(full.data(), "USER\x10\x00\x00\x00", 8);
    ASSERT_EQ(Gfx_ReadUserImages(full.data(), full.size()), 0);
    EXPECT_EQ(g_iUserImageCount, 16);
    EXPECT_EQ(Gfx_LoadUserImage(Picture(1).c_str()), -1);
    EXPECT_EQ(Block(), full);
}

TEST_F(UserImagesTest, SixteenLoadsFillTheBankAndTheSeventeenthIsRefused)
{
    const std::string path = Picture(5);
    for (int i = 0; i < 16; i++)
        ASSERT_EQ(Gfx_LoadUserImage(path.c_str()), i);
    EXPECT_EQ(Gfx_LoadUserImage(path.c_str()), -1);
    EXPECT_EQ(g_iUserImageCount, 16);
    EXPECT_EQ(Gfx_GetUserImagesSize(), 8u + 16 * 8960u);
}

// A refused file neither counts nor touches the slot it would have filled.
TEST_F(UserImagesTest, RefusedPicturesLeaveTheNextSlotAlone)
{
    ASSERT_EQ(Gfx_LoadUserImage(Picture(9).c_str()), 0);
    std::vector<uint8_t> cut = MakeBmp(BMPFIXTURE{});
    cut.resize(30);
    const std::string broken = dir_.File("broken.bmp");
    WriteTextFile(broken, std::string(cut.begin(), cut.end()));
    for (const std::string &path : {Picture(3, 24), Picture(3, 4), dir_.File("missing.bmp"), broken}) {
        EXPECT_EQ(Gfx_LoadUserImage(path.c_str()), -1) << path;
        EXPECT_EQ(g_iUserImageCount, 1);
        EXPECT_TRUE(IsRamp(1)) << path;
    }
    EXPECT_EQ(Gfx_LoadUserImage(Picture(11).c_str()), 1);
}

// A damaged or foreign block is refused whole: the bank keeps its pictures.
TEST_F(UserImagesTest, BrokenBlocksAreRefusedAndTheBankStays)
{
    ASSERT_EQ(Gfx_LoadUserImage(Picture(40).c_str()), 0);
    ASSERT_EQ(Gfx_LoadUserImage(Picture(41).c_str()), 1);
    const std::vector<uint8_t> before = Block();

    struct Case
    {
        const char *what;
        std::vector<uint8_t> block;
        size_t size;
    };
    auto header = [](const char *tag, uint32_t count, size_t total) {
        std::vector<uint8_t> b(total < 8 ? 8 : total, 0);
        std::memcpy(b.data(), tag, 4);
        for (int i = 0; i < 4; i++)
            b[4 + i] = static_cast<uint8_t>(count >> (8 * i));
        return b;
    };
    const Case cases[] = {
        {"lower-case tag", header("user", 0, 8), 8},
        {"other tag", header("USEX", 0, 8), 8},
        {"tag only", header("USER", 0, 8), 4},
        {"nothing", header("USER", 0, 8), 0},
        {"count 17", header("USER", 17, 8 + 17 * 8960), 8 + 17 * 8960},
        {"count 2^32 - 1", header("USER", 0xFFFFFFFF, 8), 8},
        {"count past the data", header("USER", 2, 8 + 2 * 8960), 8 + 2 * 8960 - 1},
        {"count with no data", header("USER", 1, 8), 8},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Gfx_ReadUserImages(c.block.data(), c.size), -1) << c.what;
        EXPECT_EQ(Block(), before) << c.what;
    }
    EXPECT_EQ(Gfx_ReadUserImages(nullptr, 100), -1);
    EXPECT_EQ(Block(), before);
}

// Before start-up has made the bank, or after shutdown freed it, nothing is touched.
TEST(UserImagesLifetime, ABankThatIsNotThereRefusesEverything)
{
    Gfx_FreeUserImages();
    Gfx_FreeUserImages();
    EXPECT_EQ(Gfx_LoadUserImage("anything.bmp"), -1);
    const uint8_t empty[8] = {'U', 'S', 'E', 'R', 0, 0, 0, 0};
    EXPECT_EQ(Gfx_ReadUserImages(empty, sizeof empty), -1);
    Gfx_ResetUserImages();
    EXPECT_EQ(Gfx_GetUserImagesSize(), 8u);
    uint8_t out[8] = {};
    EXPECT_EQ(Gfx_WriteUserImages(out), 8u);
    EXPECT_EQ(std::memcmp(out, empty, 8), 0);
    // Made twice (a second start-up in one process), the buffers are reused, not leaked.
    Gfx_InitUserImages();
    uint8_t *images = g_pUserImages;
    Gfx_InitUserImages();
    EXPECT_EQ(g_pUserImages, images);
    Gfx_FreeUserImages();
}
