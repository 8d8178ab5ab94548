// The player block and event codecs, the packed words and the per-player lists.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "jam/jamdata.h"
#include "tests/jam/jamtesthelp.h"

namespace {

// Every field of JamDistinctPlayer() at its offset, little-endian.
const char *const kGoldenPlayer =
    "01010101 02020201 03030301 04040401 05050501 06060601 07070701 08080801 09090901 0a0a0a01 0b0b0b01 0c0c0c01 "
    "0d0d0d01 0e0e0e01 0f0f0f01 10101001 11111101 12121201 13131301 14141401 15151501 16161601 17171701 18181801 "
    "19191901 1a1a1a01 1b1b1b01 1c1c1c01 1d1d1d01 1e1e1e01 1f1f1f01 20202001 21212101 22222201 23232301 24242401 "
    "25252501 26262601 27272701 28282801 29292901 2a2a2a01 2b2b2b01 2c2c2c01 2d2d2d01 2e2e2e01 2f2f2f01 30303001 "
    "31313101 32323201 33333301 34343401 35353501 36363601 37373701 38383801 39393901 3a3a3a01 3b3b3b01 3c3c3c01 "
    "3d3d3d01 3e3e3e01 3f3f3f01 40404001 41414101 42424201 bdbcbcfe bcbbbbfe bbbabafe bab9b9fe b9b8b8fe b8b7b7fe "
    "b7b6b6fe b6b5b5fe b5b4b4fe b4b3b3fe b3b2b2fe b2b1b1fe b1b0b0fe b0afaffe afaeaefe aeadadfe 53535301 54545401 "
    "55555501 56565601 57575701 58585801 59595901 5a5a5a01 5b5b5b01 5c5c5c01 5d5d5d01 5e5e5e01 5f5f5f01 60606001 "
    "61616101 62626201 9d9c9cfe 9c9b9bfe 9b9a9afe 9a9999fe 999898fe 989797fe 979696fe 969595fe 959494fe 949393fe "
    "939292fe 929191fe 6f6f6f01 70707001 71717101 72727201 73737301 74747401 75757501 76767601 77777701 78787801 "
    "79797901 7a7a7a01 7b7b7b01 7c7c7c01 7d7d7d01 7e7e7e01 7f7f7f01 80808001 81818101 82828201 83838301 84848401 "
    "85858501 86868601 5aa5f08f 87878701 88888801 e0e1e2e3 e4e5e6e7 e8e9eaeb ecedeeef 89898901 8a8a8a01 8b8b8b01 "
    "8c8c8c01 8d8d8d01 8e8e8e01 8f8f8f01 90909001 91919101 92929201 93939301 94949401 95959501 96969601 97979701 "
    "98989801 676666fe 666565fe 656464fe 646363fe 636262fe 626161fe 616060fe 605f5ffe 5f5e5efe 5e5d5dfe 5d5c5cfe "
    "5c5b5bfe 5b5a5afe 5a5959fe 595858fe 585757fe f9ffffff";

TEST(JamPlayerBlock, GoldenBytesAndRoundTrip)
{
    const JAMPLAYER p = JamDistinctPlayer();
    uint8_t b[JAM_PLAYER_BYTES];
    std::memset(b, 0xCC, sizeof b);
    Jam_EncodePlayer(p, b);
    EXPECT_EQ(JamHex(b, sizeof b), kGoldenPlayer);

    JAMPLAYER back{};
    Jam_DecodePlayer(b, &back);
    EXPECT_TRUE(back == p);
}

// Writing one field changes exactly its bytes at its offset.
TEST(JamPlayerBlock, EachFieldAtItsOffset)
{
    struct Case
    {
        const char *field;
        size_t offset, size;
        std::function<void(JAMPLAYER &)> set;
    };
    const Case cases[] = {
        {"riff key 11", 44, 4, [](JAMPLAYER &p) { p.auRiffKey[11] = 0x180000F; }},
        {"riff latch 0", 48, 4, [](JAMPLAYER &p) { p.auRiffLatch[0] = 1; }},
        {"pad 8", 128, 4, [](JAMPLAYER &p) { p.auPad[8] = 3; }},
        {"pad latch 0", 132, 4, [](JAMPLAYER &p) { p.auPadLatch[0] = 1; }},
        {"keyboard 0 held", 168, 4, [](JAMPLAYER &p) { p.aKeyboard[0].uHeld = 0x1FFFF; }},
        {"keyboard 0 octave", 176, 4, [](JAMPLAYER &p) { p.aKeyboard[0].uOctave = 5; }},
        {"keyboard 1 slot word", 196, 4, [](JAMPLAYER &p) { p.aKeyboard[1].uSlotWord = 0xA00003; }},
        {"level 0", 200, 4, [](JAMPLAYER &p) { p.auLevel[0] = 128; }},
        {"pitch 15", 324, 4, [](JAMPLAYER &p) { p.aiPitch[15] = -256; }},
        {"pan 2", 336, 4, [](JAMPLAYER &p) { p.auPan[2] = 255; }},
        {"riff pitch 0", 392, 4, [](JAMPLAYER &p) { p.aiRiffPitch[0] = 512; }},
        {"riff previous pitch 11", 484, 4, [](JAMPLAYER &p) { p.aiRiffPrevPitch[11] = -1; }},
        {"riff volume 0", 488, 4, [](JAMPLAYER &p) { p.auRiffVolume[0] = 300; }},
        {"part mask", 536, 2, [](JAMPLAYER &p) { p.uPartMask = 0x8004; }},
        {"riff mask", 538, 2, [](JAMPLAYER &p) { p.uRiffMask = 0x0FFF; }},
        {"controller", 540, 4, [](JAMPLAYER &p) { p.uController = 3; }},
        {"bend range", 544, 4, [](JAMPLAYER &p) { p.uBendRange = 12; }},
        {"reserved byte 15", 563, 1, [](JAMPLAYER &p) { p.abReserved[15] = 9; }},
        {"routing 0", 564, 4, [](JAMPLAYER &p) { p.auPluginRouting[0] = 0x00030001; }},
        {"reserved word 15", 688, 4, [](JAMPLAYER &p) { p.aiReserved[15] = -1; }},
        {"plug-in slot", 692, 4, [](JAMPLAYER &p) { p.iPluginSlot = -1; }},
    };
    uint8_t zero[JAM_PLAYER_BYTES];
    Jam_EncodePlayer(JAMPLAYER{}, zero);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        JAMPLAYER p{};
        c.set(p);
        uint8_t b[JAM_PLAYER_BYTES];
        Jam_EncodePlayer(p, b);
        for (size_t i = 0; i < JAM_PLAYER_BYTES; ++i) {
            if (i >= c.offset && i < c.offset + c.size)
                continue;
            ASSERT_EQ(b[i], zero[i]) << "byte " << i;
        }
        EXPECT_NE(std::memcmp(b + c.offset, zero + c.offset, c.size), 0);
        JAMPLAYER back{};
        Jam_DecodePlayer(b, &back);
        EXPECT_TRUE(back == p);
    }
}

TEST(JamEventRecord, GoldenBytesLinksIgnored)
{
    const JAMEVENT ev{0x01020304, -1, 0xA0B0C0D0};
    uint8_t b[JAM_EVENT_BYTES];
    std::memset(b, 0xCC, sizeof b);
    Jam_EncodeEvent(ev, b);
    EXPECT_EQ(JamHex(b, sizeof b), "00000000 00000000 00000000 04030201 ffffffff d0c0b0a0");
    // A reader ignores the link words and the unused word.
    std::memset(b, 0x77, 12);
    JAMEVENT back{};
    Jam_DecodeEvent(b, &back);
    EXPECT_EQ(back, ev);
}

TEST(JamPackedWords, SlotWordsAndLibraryKeys)
{
    EXPECT_EQ(Jam_PackListEntry(2, 7), 0xC00007u);
    EXPECT_EQ(Jam_KeyWord(Jam_PackListEntry(2, 7), 0), 0x180000Eu);
    EXPECT_EQ(Jam_KeyWord(Jam_PackListEntry(2, 7), 1), 0x180000Fu);
    EXPECT_EQ(Jam_PackListEntry(1, 3), 0xA00003u);
    EXPECT_EQ(Jam_PackListEntry(0, 0x1FFFFF), 0x9FFFFFu);
    EXPECT_TRUE(Jam_IsListEntry(0xC00007));
    EXPECT_EQ(Jam_ListEntryPlayer(Jam_SlotWordOf(0x180000F)), 2);
    EXPECT_EQ(Jam_ListEntryNumber(Jam_SlotWordOf(0x180000F)), 7u);

    const uint32_t keys[][3] = {{0, 0, 0}, {1, 2, 3}, {255, 255, 255}, {128, 0, 7}};
    for (const auto &k : keys) {
        const uint32_t w = Jam_PackLibraryKey(k[0], k[1], k[2]);
        // Archive index a stays below 128 so that bit 23 tells the two kinds of word apart.
        EXPECT_EQ(Jam_IsListEntry(w), k[0] >= 128);
        uint32_t a, b, c;
        Jam_UnpackLibraryKey(w, &a, &b, &c);
        EXPECT_EQ(a, k[0]);
        EXPECT_EQ(b, k[1]);
        EXPECT_EQ(c, k[2]);
    }
    EXPECT_EQ(Jam_PackLibraryKey(1, 2, 3), 0x010203u);

    // The packed values that travel fit the 24 bits a command keeps.
    EXPECT_EQ(Jam_PackController(0x7FF, 200), 0x7FFC8u);
    EXPECT_EQ(Jam_PackPluginLoad(3, 15), 0xF03u);
    EXPECT_EQ(Jam_PackXY(-1, 300), 0x2CFFu);
    EXPECT_EQ(Jam_PackKeyboardData(0x3FFFF, 5), 0xBFFFFu);

    EXPECT_EQ(Jam_RiffVolumeLevel(300), 255);
    EXPECT_EQ(Jam_RiffVolumeLevel(256), 255);
    EXPECT_EQ(Jam_RiffVolumeLevel(128), 128);
    EXPECT_EQ(Jam_RiffVolumeLevel(0), 0);
    EXPECT_EQ(Jam_BasePitchOfKind(1), 36);
    EXPECT_EQ(Jam_BasePitchOfKind(2), 48);
    EXPECT_EQ(Jam_BasePitchOfKind(3), 60);
    EXPECT_EQ(Jam_BasePitchOfKind(0), 0);
}

class JamLists : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(Jam_AllocPlayerLists(), 0); }
    void TearDown() override { Jam_FreePlayerLists(); }
};

TEST_F(JamLists, AppendStopsAtTheBound)
{
    for (int i = 0; i < JAM_MAX_RIFF_IDS; ++i)
        ASSERT_EQ(Jam_AppendRiffId(3, (uint16_t)(i + 1)), 0);
    EXPECT_EQ(Jam_AppendRiffId(3, 9999), -1);
    EXPECT_EQ(g_aiJamRiffIdCount[3], JAM_MAX_RIFF_IDS);
    EXPECT_EQ(Jam_RiffListEntry(3, JAM_MAX_RIFF_IDS), JAM_MAX_RIFF_IDS);

    for (int i = 0; i < JAM_MAX_INSTRUMENT_IDS; ++i)
        ASSERT_EQ(Jam_AppendInstrumentId(0, (uint16_t)(i % 200 + 1)), 0);
    EXPECT_EQ(Jam_AppendInstrumentId(0, 5), -1);
    EXPECT_EQ(g_aiJamInstrumentIdCount[0], JAM_MAX_INSTRUMENT_IDS);

    // Players outside the lists are refused, not written.
    EXPECT_EQ(Jam_AppendRiffId(4, 1), -1);
    EXPECT_EQ(Jam_AppendRiffId(-1, 1), -1);
    EXPECT_EQ(Jam_AppendInstrumentId(5, 1), -1);
}

TEST_F(JamLists, EntriesCountFromOneAndAreChecked)
{
    Jam_AppendRiffId(1, 40);
    Jam_AppendRiffId(1, 41);
    EXPECT_EQ(Jam_RiffListEntry(1, 1), 40);
    EXPECT_EQ(Jam_RiffListEntry(1, 2), 41);
    EXPECT_EQ(Jam_RiffListEntry(1, 0), 0);
    EXPECT_EQ(Jam_RiffListEntry(1, 3), 0);
    EXPECT_EQ(Jam_RiffListEntry(2, 1), 0);
    EXPECT_EQ(Jam_RiffListEntry(7, 1), 0);
    EXPECT_EQ(Jam_InstrumentListEntry(4, 1), 0);
    EXPECT_EQ(Jam_InstrumentListEntry(-3, 1), 0);
}

TEST_F(JamLists, OwnInstrumentsAreKeptApartFromTheSlots)
{
    // Whatever slot the server gives later, this program's own list is list 4.
    Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, 12);
    Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, 30);
    Jam_AppendInstrumentId(2, 30);
    EXPECT_EQ(Jam_FindOwnInstrument(30), 2);
    EXPECT_EQ(Jam_FindOwnInstrument(12), 1);
    EXPECT_EQ(Jam_FindOwnInstrument(99), -1);
    EXPECT_EQ(Jam_ListOwner(2, 2), JAM_LOCAL_PLAYER);
    EXPECT_EQ(Jam_ListOwner(1, 2), 1);
    EXPECT_EQ(Jam_InstrumentListEntry(Jam_ListOwner(3, 3), 2), 30);
}

TEST(JamListsFreed, NothingIsReadOrWrittenWithoutLists)
{
    Jam_FreePlayerLists();
    EXPECT_EQ(Jam_AppendRiffId(0, 1), -1);
    EXPECT_EQ(Jam_AppendInstrumentId(4, 1), -1);
    EXPECT_EQ(Jam_RiffListEntry(0, 1), 0);
    EXPECT_EQ(Jam_FindOwnInstrument(1), -1);
}

} // namespace
