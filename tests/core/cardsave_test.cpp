#include "core/cardsave.h"
#include "app/settings.h"
#include "core/console_memory.h"
#include "core/event.h"
#include "core/random.h"
#include "core/savetitle.h"
#include "core/standin_browser.h"

#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
std::vector<int> g_done;
void Done(int32_t ok)
{
    g_done.push_back(ok);
}

std::string Bytes(const void *p, size_t n)
{
    return std::string(static_cast<const char *>(p), n);
}

// A header as the writer lays it out, built byte by byte.
std::string GoldenHeader(const std::vector<uint16_t> &numericCodes, uint8_t type = 0x11, uint8_t blocks = 1)
{
    std::string h(SAVEHEADER_BYTES, '\0');
    h[0] = 'S';
    h[1] = 'C';
    h[2] = static_cast<char>(type);
    h[3] = static_cast<char>(blocks);
    for (size_t i = 0; i < numericCodes.size(); i++) {
        h[4 + 2 * i] = static_cast<char>(numericCodes[i] >> 8);
        h[5 + 2 * i] = static_cast<char>(numericCodes[i] & 0xFF);
    }
    std::memcpy(&h[96], g_apSaveIconPalette[0], 32);
    std::memcpy(&h[128], g_apSaveIconImage[0], 128);
    return h;
}

class CardSave : public ScratchDir
{
public:
    void SetUp() override
    {
        ScratchDir::SetUp();
        Sys_InitSaveIcons();
        Sys_EventInit();
        ASSERT_EQ(Sys_EventCreateClass(1, 11), 0);
        Sys_CardClearRequests(0);
        for (int card = 1; card <= 3; card++)
            Sys_CardResetState(card);
        std::memset(g_aucCardPresent, 0, sizeof g_aucCardPresent);
        g_iCardMode = 1;
        g_pCardState = &g_aCardState[0];
        std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s/", m_dir.c_str());
        g_done.clear();
    }
    void TearDown() override
    {
        g_szBrowserDir[0] = 0;
        Sys_EventInit();
        Sys_CardClearRequests(0);
        ScratchDir::TearDown();
    }

    // Card 1 present, usable, with a save in slot.
    void CardOneWithSave(int slot, const char *name, uint32_t size)
    {
        g_aCardState[0].uUsable = 1;
        g_aCardState[0].uPresence = 1;
        std::snprintf(g_aCardState[0].aszFile[slot], CARD_NAME_BYTES, "%s", name);
        std::snprintf(g_aCardState[0].aszTitle[slot], CARD_TITLE_BYTES, "T");
        g_aCardState[0].auSize[slot] = size;
        g_aCardState[0].aucBlocks[slot] = 2;
    }
};

} // namespace

TEST_F(CardSave, HeaderGoldenBytes)
{
    Sys_BuildSaveHeader("Ab 1~", 1, 0);
    EXPECT_EQ(Bytes(&g_tSaveHeader, SAVEHEADER_BYTES),
              GoldenHeader({0x8260, 0x8282, 0x8140, 0x8250, 0x8150}));

    // Cut at 32 characters; a character without a code ends the title there.
    const std::string longTitle(40, 'x');
    Sys_BuildSaveHeader(longTitle.c_str(), 3, 0);
    EXPECT_EQ(Bytes(&g_tSaveHeader, SAVEHEADER_BYTES), GoldenHeader(std::vector<uint16_t>(32, 0x8298), 0x11, 3));
    Sys_BuildSaveHeader("ab\tcd", 1, 0);
    EXPECT_EQ(Bytes(&g_tSaveHeader, SAVEHEADER_BYTES), GoldenHeader({0x8281, 0x8282}));
    Sys_BuildSaveHeader("caf\xE9", 1, 0);
    EXPECT_EQ(Bytes(&g_tSaveHeader, SAVEHEADER_BYTES), GoldenHeader({0x8283, 0x8281, 0x8286}));

    // An icon number without tables leaves palette and image empty.
    Sys_BuildSaveHeader(nullptr, 1, 7);
    std::string empty(SAVEHEADER_BYTES, '\0');
    empty[0] = 'S';
    empty[1] = 'C';
    empty[2] = 0x11;
    empty[3] = 1;
    EXPECT_EQ(Bytes(&g_tSaveHeader, SAVEHEADER_BYTES), empty);
}

TEST_F(CardSave, HostSaveRoundTrip)
{
    std::string data;
    for (int i = 0; i < 3000; i++)
        data += static_cast<char>(i * 7);
    ASSERT_EQ(Sys_CardWriteSaveFile(data.data(), static_cast<int32_t>(data.size()), "My Song", 0, Done), 0);
    EXPECT_EQ(g_done, std::vector<int>{1});

    const std::string file = Read("My Song.tnv");
    ASSERT_EQ(file.size(), data.size() + 516);
    EXPECT_EQ(file.substr(0, 4), "TVPC");
    EXPECT_EQ(file.substr(4, 512), GoldenHeader({0x826C, 0x8299, 0x8140, 0x8272, 0x828F, 0x828E, 0x8287}));
    EXPECT_EQ(file.substr(516), data);
    EXPECT_EQ(CountEntries(), 1u); // no temporary file left behind

    std::vector<uint8_t> back(4000, 0xEE);
    SAVEHEADER header;
    EXPECT_EQ(Sys_ReadSaveFile(Path("My Song.tnv").c_str(), &header, back.data(), back.size()), 3000);
    EXPECT_EQ(Bytes(back.data(), 3000), data);
    EXPECT_EQ(back[3000], 0xEE);
    char title[CARD_TITLE_BYTES];
    EXPECT_EQ(Sys_DecodeSaveTitle(header.title, title), 0);
    EXPECT_STREQ(title, "My Song");

    // Readers take the file without the tag too; the data then starts at 512.
    Write("untagged.tnv", file.substr(4));
    EXPECT_EQ(Sys_ReadSaveFile(Path("untagged.tnv").c_str(), nullptr, back.data(), back.size()), 3000);
    EXPECT_EQ(Bytes(back.data(), 3000), data);

    // Saving again replaces the old file; an empty save is a header alone.
    ASSERT_EQ(Sys_CardWriteSaveFile(nullptr, 0, "My Song", 0, Done), 0);
    EXPECT_EQ(Read("My Song.tnv").size(), 516u);
    EXPECT_EQ(Sys_ReadSaveFile(Path("My Song.tnv").c_str(), nullptr, nullptr, 0), 0);
}

TEST_F(CardSave, BeforeTheBrowserOpensAFolderSavesGoToTheUsersFolder)
{
    char saved[sizeof g_szBaseDir];
    std::memcpy(saved, g_szBaseDir, sizeof saved);
    g_szBrowserDir[0] = 0;
    std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s\\Tonnivelle\\", m_dir.c_str());
    EXPECT_EQ(Sys_CardWriteSaveFile("abc", 3, "first", 0, Done), 0);
    std::memcpy(g_szBaseDir, saved, sizeof saved);
    EXPECT_EQ(g_done, std::vector<int>{1});
    EXPECT_EQ(Read("Tonnivelle/first.tnv").size(), 519u);

    // A browser folder without a separator gets one.
    std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s\\Tonnivelle", m_dir.c_str());
    EXPECT_EQ(Sys_CardWriteSaveFile("abcd", 4, "second", 0, Done), 0);
    EXPECT_EQ(Read("Tonnivelle/second.tnv").size(), 520u);
}

TEST_F(CardSave, FailedSaveSaysSoAndKeepsTheOldFile)
{
    Write("Keep.tnv", "the old song");
    chmod(m_dir.c_str(), 0555);
    int32_t result = 0;
    AsUnprivileged([&] { result = Sys_CardWriteSaveFile("new!", 4, "Keep", 0, Done); });
    chmod(m_dir.c_str(), 0755);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(g_done, std::vector<int>{0});
    EXPECT_EQ(Read("Keep.tnv"), "the old song");
    EXPECT_EQ(CountEntries(), 1u);
    EXPECT_NE(std::string(g_szErrorText).find("Keep.tnv"), std::string::npos);

    // A folder that is not there.
    g_done.clear();
    std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s/gone/", m_dir.c_str());
    EXPECT_EQ(Sys_CardWriteSaveFile("x", 1, "Keep", 0, Done), -1);
    EXPECT_EQ(g_done, std::vector<int>{0});
    // No callback given: still refused, nothing called.
    EXPECT_EQ(Sys_CardWriteSaveFile("x", 1, "Keep", 0, nullptr), -1);
}

TEST_F(CardSave, NamesThatAreNotOneFileAreRefused)
{
    const std::string tooLong(CARD_NAME_BYTES, 'n');
    const char *names[] = {nullptr, "", "a/b", "..\\up", "sub\\name", "line\nbreak", "bell\a", tooLong.c_str()};
    for (const char *name : names) {
        SCOPED_TRACE(name ? name : "(null)");
        g_done.clear();
        EXPECT_EQ(Sys_CardWriteSaveFile("x", 1, name, 0, Done), -1);
        EXPECT_EQ(g_done, std::vector<int>{0});
    }
    // Bad sizes.
    g_done.clear();
    EXPECT_EQ(Sys_CardWriteSaveFile("x", -1, "ok", 0, Done), -1);
    EXPECT_EQ(Sys_CardWriteSaveFile(nullptr, 5, "ok", 0, Done), -1);
    EXPECT_EQ(g_done, (std::vector<int>{0, 0}));
    EXPECT_EQ(CountEntries(), 0u);
    // Dots alone are a plain name once ".tnv" is added.
    EXPECT_EQ(Sys_CardWriteSaveFile("x", 1, "..", 0, Done), 0);
    EXPECT_EQ(Read("...tnv").size(), 517u);
}

TEST_F(CardSave, BrokenSaveFilesAreRefused)
{
    Sys_BuildSaveHeader("ok", 1, 0);
    const std::string header = Bytes(&g_tSaveHeader, SAVEHEADER_BYTES);
    auto with = [&](size_t at, char value) {
        std::string h = header;
        h[at] = value;
        return h;
    };
    struct Case
    {
        const char *what;
        std::string file;
        size_t capacity;
    };
    const Case cases[] = {
        {"empty", "", 64},
        {"tag only", "TVPC", 64},
        {"short header", "TVPC" + header.substr(0, 300), 64},
        {"untagged short", header.substr(0, 511), 64},
        {"bad magic", "TVPC" + with(1, 'D') + "data", 64},
        {"lower case magic", with(0, 's') + "data", 64},
        {"type 0x10", "TVPC" + with(2, 0x10) + "data", 64},
        {"type 0x14", "TVPC" + with(2, 0x14) + "data", 64},
        {"no blocks", "TVPC" + with(3, 0) + "data", 64},
        {"16 blocks", "TVPC" + with(3, 16) + "data", 64},
        {"255 blocks", "TVPC" + with(3, static_cast<char>(255)) + "data", 64},
        {"bad tag, bad header", "TVPX" + header, 64},
        {"data larger than the buffer", "TVPC" + header + std::string(65, 'd'), 64},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Write("broken.tnv", c.file);
        std::vector<uint8_t> buffer(c.capacity, 0xEE);
        g_szErrorText[0] = 0;
        EXPECT_EQ(Sys_ReadSaveFile(Path("broken.tnv").c_str(), nullptr, buffer.data(), buffer.size()), -1);
        EXPECT_EQ(buffer, std::vector<uint8_t>(c.capacity, 0xEE));
        EXPECT_NE(g_szErrorText[0], 0);
        // Only the oversized file has a header worth reading.
        const bool tooLarge = &c == &cases[std::size(cases) - 1];
        EXPECT_EQ(Sys_LocateSaveData(reinterpret_cast<const uint8_t *>(c.file.data()), c.file.size()),
                  tooLarge ? SAVEFILE_DATA_OFFSET : -1);
    }
    // The blocks the header may claim, and the types it may have.
    for (int blocks : {1, 15})
        EXPECT_EQ(Sys_CheckSaveHeader(reinterpret_cast<const uint8_t *>(with(3, static_cast<char>(blocks)).data()), 512), 0);
    for (int type : {0x11, 0x12, 0x13})
        EXPECT_EQ(Sys_CheckSaveHeader(reinterpret_cast<const uint8_t *>(with(2, static_cast<char>(type)).data()), 512), 0);
    // A folder and a missing file.
    EXPECT_EQ(Sys_ReadSaveFile(m_dir.c_str(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(Sys_ReadSaveFile(Path("none.tnv").c_str(), nullptr, nullptr, 0), -1);
    EXPECT_EQ(Sys_ReadSaveFile(nullptr, nullptr, nullptr, 0), -1);
}

TEST_F(CardSave, RingHoldsThirtyAndRefusesTheThirtyFirst)
{
    for (int i = 0; i < CARD_RING_SIZE; i++) {
        CARDREQUEST r{};
        r.iKind = CARDREQ_CHANGED;
        r.iCard = 1;
        r.iSlot = i;
        ASSERT_EQ(Sys_CardQueueRequest(&r), CARD_OK);
    }
    CARDREQUEST extra{};
    extra.iKind = CARDREQ_CHANGED;
    extra.iCard = 2;
    extra.iSlot = 99;
    EXPECT_EQ(Sys_CardQueueRequest(&extra), CARD_ERR_QUEUEFULL);
    EXPECT_EQ(Sys_CardWaitingRequests(), CARD_RING_SIZE);
    // First in, first out, and the 31st is nowhere.
    for (int i = 0; i < CARD_RING_SIZE; i++) {
        CARDREQUEST *r = Sys_CardNextRequest();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->iSlot, i);
    }
    EXPECT_EQ(Sys_CardNextRequest(), nullptr);
    // The indexes wrap.
    for (int i = 0; i < 45; i++) {
        extra.iSlot = i;
        ASSERT_EQ(Sys_CardQueueRequest(&extra), CARD_OK);
        ASSERT_EQ(Sys_CardNextRequest()->iSlot, i);
    }
}

TEST_F(CardSave, ClearingOneCardLeavesTheOtherToRunInOrder)
{
    // Start part-way round the ring so cancelled entries sit on both sides of the wrap.
    CARDREQUEST filler{};
    for (int i = 0; i < 25; i++) {
        Sys_CardQueueRequest(&filler);
        Sys_CardNextRequest();
    }
    const int cards[] = {1, 2, 2, 1, 2, 1, 1, 2};
    for (int i = 0; i < 8; i++) {
        CARDREQUEST r{};
        r.iKind = CARDREQ_FILEOP;
        r.iCard = cards[i];
        r.iSlot = i;
        ASSERT_EQ(Sys_CardQueueRequest(&r), CARD_OK);
    }
    Sys_CardClearRequests(2);
    EXPECT_EQ(Sys_CardWaitingRequests(), 8);
    g_bCardActive = 1;
    std::vector<int> started;
    for (int frame = 0; frame < 10; frame++) {
        const CARDREQUEST *before = Sys_CardCurrentRequest();
        const int lastSlot = before ? before->iSlot : -1;
        Sys_CardFrameHook(0); // one request a frame at most
        const CARDREQUEST *now = Sys_CardCurrentRequest();
        if (now && now->iSlot != lastSlot)
            started.push_back(now->iSlot);
    }
    g_bCardActive = 0;
    EXPECT_EQ(started, (std::vector<int>{0, 3, 5, 6}));
    EXPECT_EQ(Sys_CardWaitingRequests(), 0);
}

TEST_F(CardSave, FrameHookRunsOnlyWhileActiveAndSwitchedOn)
{
    CARDREQUEST r{};
    r.iKind = CARDREQ_CHANGED;
    r.iCard = 1;
    Sys_CardQueueRequest(&r);
    g_bCardActive = 0;
    Sys_CardFrameHook(0);
    EXPECT_EQ(Sys_CardWaitingRequests(), 1);
    g_bCardActive = 1;
    g_bCardServiceOn = 0;
    Sys_CardFrameHook(0);
    EXPECT_EQ(Sys_CardWaitingRequests(), 1);
    g_bCardServiceOn = 1;
    Sys_CardFrameHook(0);
    EXPECT_EQ(Sys_CardWaitingRequests(), 0);
    g_bCardActive = 0;
}

TEST_F(CardSave, RandomNamesNeverRepeatASlotsName)
{
    char first[CARD_RANDOM_NAME_BYTES];
    Sys_SeedRand(1234);
    Sys_CardRandomName(&g_aCardState[0], first);
    ASSERT_EQ(std::strlen(first), 19u);
    EXPECT_EQ(std::string(first).substr(0, 12), "BESLES-99417");
    for (int i = 12; i < 19; i++)
        EXPECT_TRUE(first[i] >= 'A' && first[i] <= 'Z');

    // Every slot used, one of them by the name the generator draws first.
    CARDSTATE &s = g_aCardState[0];
    for (int i = 0; i < CARD_SLOTS; i++) {
        std::snprintf(s.aszFile[i], CARD_NAME_BYTES, "SAVE%d", i);
        std::snprintf(s.aszTitle[i], CARD_TITLE_BYTES, "T");
    }
    std::snprintf(s.aszFile[17], CARD_NAME_BYTES, "%s", first);
    char name[CARD_RANDOM_NAME_BYTES];
    Sys_SeedRand(1234);
    EXPECT_EQ(Sys_CardRandomName(&s, name), -1);
    EXPECT_STRNE(name, first);
    EXPECT_EQ(std::strlen(name), 19u);

    // The last free slot wins: an empty name or an empty title.
    s.aszFile[5][0] = 0;
    s.aszTitle[30][0] = 0;
    EXPECT_EQ(Sys_CardRandomName(&s, name), 30);
    s.aszTitle[30][0] = 'T';
    EXPECT_EQ(Sys_CardRandomName(&s, name), 5);
}

TEST_F(CardSave, AbsentCardsAnswerWithTheirCodes)
{
    CARDSTATE *s = Sys_CardSetup();
    EXPECT_EQ(s, &g_aCardState[0]);
    EXPECT_EQ(g_bCardActive, 1);
    // No card answers the probe on this machine.
    for (const CARDSTATE &c : g_aCardState)
        EXPECT_EQ(c.uPresence, 0);
    EXPECT_EQ(g_aucCardPresent[0], 0);
    EXPECT_EQ(g_aucCardPresent[1], 0);

    uint8_t buffer[16];
    struct Case
    {
        const char *what;
        uint16_t usable, presence;
        const char *file;
        uint32_t size;
        int32_t slot;
        int32_t load, del;
    };
    const Case cases[] = {
        {"not usable", 0, 1, "F", 4096, 0, CARD_ERR_UNUSABLE, CARD_ERR_UNUSABLE},
        {"not present", 1, 2, "F", 4096, 0, CARD_ERR_ABSENT, CARD_ERR_ABSENT},
        {"empty slot", 1, 1, "", 4096, 0, CARD_ERR_EMPTYSLOT, CARD_ERR_EMPTYSLOT},
        {"slot out of range", 1, 1, "F", 4096, CARD_SLOTS, CARD_ERR_EMPTYSLOT, CARD_ERR_EMPTYSLOT},
        {"negative slot", 1, 1, "F", 4096, -1, CARD_ERR_EMPTYSLOT, CARD_ERR_EMPTYSLOT},
        {"smaller than a header", 1, 1, "F", 100, 0, CARD_ERR_EMPTYSLOT, CARD_OK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Sys_CardResetState(1);
        Sys_CardClearRequests(0);
        g_aCardState[0].uUsable = c.usable;
        g_aCardState[0].uPresence = c.presence;
        std::snprintf(g_aCardState[0].aszFile[0], CARD_NAME_BYTES, "%s", c.file);
        g_aCardState[0].auSize[0] = c.size;
        g_done.clear();
        EXPECT_EQ(Sys_CardLoadSave(buffer, c.slot, Done, 2), c.load);
        EXPECT_EQ(g_done, std::vector<int>{0}); // a waiting caller hears of the refusal
        EXPECT_EQ(Sys_CardDeleteSave(c.slot, 0), c.del);
    }
    // The archive card is read-only.
    Sys_CardSelect(3);
    EXPECT_EQ(Sys_CardDeleteSave(0, 0), CARD_ERR_READONLY);
    Sys_CardSelect(1);
    Sys_CardShutdown();
    EXPECT_EQ(g_bCardActive, 0);
    EXPECT_EQ(Sys_CardWaitingRequests(), 0);
}

TEST_F(CardSave, LoadAndDeleteQueueTheirRequests)
{
    const std::string longName(63, 'L');
    CardOneWithSave(4, longName.c_str(), 8192 + 512);
    uint8_t buffer[16];
    ASSERT_EQ(Sys_CardLoadSave(buffer, 4, Done, 2), CARD_OK);
    EXPECT_TRUE(g_done.empty());
    CARDREQUEST *r = Sys_CardNextRequest();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->iKind, CARDREQ_READ);
    EXPECT_EQ(r->iCard, 1);
    EXPECT_EQ(r->iSlot, 4);
    EXPECT_EQ(r->pBuffer, buffer);
    EXPECT_EQ(r->uOffset, 512u);
    EXPECT_EQ(r->uSize, 8192u);
    EXPECT_EQ(r->pfnDone, &Done);
    EXPECT_EQ(std::string(r->szName), longName.substr(0, CARD_REQUEST_NAME_BYTES - 1)); // bounded

    g_iCardBlockCounter = 10;
    ASSERT_EQ(Sys_CardDeleteSave(4, 2), CARD_OK);
    EXPECT_EQ(g_iCardBlockCounter, 8);
    EXPECT_EQ(g_aCardState[0].aszTitle[4][0], 0);
    // Running the delete gives the blocks back.
    Sys_CardService(-1);
    ASSERT_NE(Sys_CardCurrentRequest(), nullptr);
    EXPECT_EQ(Sys_CardCurrentRequest()->iKind, CARDREQ_DELETE);
    EXPECT_EQ(g_iCardBlockCounter, 10);
    r = Sys_CardNextRequest();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->iKind, CARDREQ_CHANGED);
    EXPECT_EQ(Sys_CardNextRequest(), nullptr);
}

TEST_F(CardSave, FailingRequestIsRetriedTenTimesThenDropped)
{
    CardOneWithSave(0, "A", 1024);
    uint8_t buffer[512];
    ASSERT_EQ(Sys_CardLoadSave(buffer, 0, Done, 2), CARD_OK);
    CARDREQUEST other{};
    other.iKind = CARDREQ_CHANGED;
    other.iCard = 1;
    Sys_CardQueueRequest(&other);
    Sys_CardService(-1);
    ASSERT_NE(Sys_CardCurrentRequest(), nullptr);
    EXPECT_EQ(g_aucCardPresent[0], CARD_BUSY);
    for (int i = 0; i < CARD_RETRY_LIMIT - 1; i++)
        Sys_CardRequestResult(2);
    EXPECT_TRUE(g_done.empty());
    Sys_CardRequestResult(2);
    EXPECT_EQ(g_done, std::vector<int>{0});
    EXPECT_EQ(g_aucCardPresent[0], 3);
    // The card's other request was dropped.
    Sys_CardService(-1);
    EXPECT_EQ(Sys_CardCurrentRequest(), nullptr);

    // A result that is no failure to retry gives up at once.
    g_done.clear();
    ASSERT_EQ(Sys_CardLoadSave(buffer, 0, Done, 2), CARD_OK);
    Sys_CardService(-1);
    Sys_CardRequestResult(4);
    EXPECT_EQ(g_done, std::vector<int>{0});

    // A success reports at once.
    g_done.clear();
    ASSERT_EQ(Sys_CardLoadSave(buffer, 0, Done, 2), CARD_OK);
    Sys_CardService(-1);
    Sys_CardRequestResult(0);
    EXPECT_EQ(g_done, std::vector<int>{1});
}

namespace
{
std::vector<uintptr_t> g_events;
void OnEvent(uintptr_t arg)
{
    g_events.push_back(arg);
}
CARDICONEVENT g_lastIcon;
void OnIcon(uintptr_t arg)
{
    g_lastIcon = *reinterpret_cast<const CARDICONEVENT *>(arg);
}
void ArchiveRead(uintptr_t arg)
{
    const CARDREADREQUEST *r = reinterpret_cast<const CARDREADREQUEST *>(arg);
    std::memcpy(r->pBuffer, "song", 4);
    EXPECT_EQ(r->iSlot, 2);
    EXPECT_EQ(r->pState, &g_aCardState[2]);
    r->pfnDone(1);
}
} // namespace

TEST_F(CardSave, ArchiveCardIsServedThroughItsEvents)
{
    g_events.clear();
    ASSERT_EQ(Sys_EventAddHandler(CARD_EV_SELECT, OnEvent), 0);
    // The folder chosen on the archive card comes back when the card is chosen again, at most 255.
    Sys_CardSelect(3);
    EXPECT_EQ(g_events, std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(&g_aCardState[2])});
    EXPECT_EQ(g_pCardState, &g_aCardState[2]);
    g_uCardDevice = 7;
    Sys_CardSelect(1);
    EXPECT_EQ(g_uCardDevice, 256u);
    Sys_CardSelect(2);
    EXPECT_EQ(g_uCardDevice, 257u);
    EXPECT_EQ(g_iCardMode, 2);
    Sys_CardSelect(3);
    EXPECT_EQ(g_uCardDevice, 7u);
    g_uCardDevice = 300;
    Sys_CardSelect(1);
    Sys_CardSelect(3);
    EXPECT_EQ(g_uCardDevice, 255u);
    g_uCardDevice = 9;
    Sys_CardSelect(3); // chosen again: the folder stays
    EXPECT_EQ(g_uCardDevice, 9u);
    Sys_CardSelect(0); // no such card: nothing changes
    Sys_CardSelect(4);
    EXPECT_EQ(g_iCardMode, 3);

    // Without a read handler the caller hears of the failure instead of waiting forever.
    char buffer[8] = {};
    EXPECT_EQ(Sys_CardLoadSave(buffer, 2, Done, 2), CARD_ERR_EMPTYSLOT);
    EXPECT_EQ(g_done, std::vector<int>{0});
    ASSERT_EQ(Sys_EventAddHandler(CARD_EV_READ, ArchiveRead), 0);
    g_done.clear();
    EXPECT_EQ(Sys_CardLoadSave(buffer, 2, Done, 2), CARD_OK);
    EXPECT_EQ(g_done, std::vector<int>{1});
    EXPECT_EQ(std::string(buffer, 4), "song");
    Sys_CardSelect(1);
}

TEST_F(CardSave, SaveIconFillsTheSlotFromAValidHeader)
{
    g_events.clear();
    ASSERT_EQ(Sys_EventAddHandler(CARD_EV_ICON, OnEvent), 0);
    Sys_BuildSaveHeader("Demo 1", 1, 0);
    std::vector<uint8_t> buf(CARD_ICON_HEADER_BYTES, 0);
    std::memcpy(buf.data(), &g_tSaveHeader, SAVEHEADER_BYTES);

    struct Case
    {
        const char *what;
        size_t at;
        uint8_t value;
        bool used;
    };
    const Case cases[] = {
        {"type 0x11", 2, 0x11, true}, {"type 0x12", 2, 0x12, true}, {"type 0x13", 2, 0x13, true},
        {"type 0x10", 2, 0x10, false}, {"type 0x14", 2, 0x14, false}, {"magic", 0, 'X', false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Sys_CardResetState(3);
        std::vector<uint8_t> h = buf;
        h[c.at] = c.value;
        CARDICONREQUEST r{3, 9, h.data(), static_cast<uint32_t>(h.size()), 0};
        Sys_CardLoadSaveIcon(&r);
        const CARDSTATE &s = g_aCardState[2];
        EXPECT_EQ(s.apIcon[9] != nullptr, c.used);
        EXPECT_EQ(std::string(s.aszTitle[9]), c.used ? "Demo 1" : "");
        if (c.used) {
            EXPECT_EQ(0, std::memcmp(s.apIcon[9]->palette, g_apSaveIconPalette[0], 32));
            EXPECT_EQ(0, std::memcmp(s.apIcon[9]->image, g_apSaveIconImage[0], 128));
        }
    }
    EXPECT_TRUE(g_events.empty());

    // A short buffer is refused whole.
    Sys_CardResetState(3);
    CARDICONREQUEST shortReq{3, 1, buf.data(), 300, 0};
    Sys_CardLoadSaveIcon(&shortReq);
    EXPECT_EQ(g_aCardState[2].apIcon[1], nullptr);

    // Flags: 2 marks the card usable, 8 announces the icon with what follows the header.
    ASSERT_EQ(Sys_EventAddHandler(CARD_EV_ICON, OnIcon), 0);
    CARDICONREQUEST r{3, 0, buf.data(), static_cast<uint32_t>(buf.size()), 2 | 8};
    Sys_CardLoadSaveIcon(&r);
    EXPECT_EQ(g_aCardState[2].uUsable & 1, 1);
    EXPECT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_lastIcon.pAfterHeader, buf.data() + 512);
    EXPECT_EQ(g_lastIcon.uBytes, 128u);
    EXPECT_EQ(g_lastIcon.pState, &g_aCardState[2]);
    EXPECT_EQ(g_lastIcon.iSlot, 0);
    // Card 1 usable marks bit value 2 in card 2's word.
    CARDICONREQUEST one{1, 0, buf.data(), static_cast<uint32_t>(buf.size()), 2};
    Sys_CardLoadSaveIcon(&one);
    EXPECT_EQ(g_aCardState[0].uUsable, 1);
    EXPECT_EQ(g_aCardState[1].uUsable, 2);
}

TEST_F(CardSave, SaveTitlesPlainCodedAndRaw)
{
    struct Case
    {
        const char *what;
        std::vector<uint8_t> title; // stored bytes
        std::string text;
        bool raw;
    };
    std::vector<uint8_t> plain = {'H', 'i', ' ', 't', 'h', 'e', 'r', 'e'};
    std::vector<uint8_t> coded = {0x82, 0x67, 0x82, 0x89, 0x81, 0x6D, 0x81, 0x51, 0x82, 0x50};
    std::vector<uint8_t> tilde = {0x82, 0x67, 0x81, 0x50};
    std::vector<uint8_t> kanji = {0x88, 0x9F, 0x82, 0x60};
    std::vector<uint8_t> full64(64, 'x');
    const Case cases[] = {
        {"plain text", plain, "Hi there", false},
        {"coded", coded, "Hi(-1", false},
        {"plain text filling the field", full64, std::string(63, 'x'), false},
        {"tilde has no way back", tilde, "", true},
        {"kanji", kanji, "", true},
    };
    for (int slot : {3, 40}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.what) + " slot " + std::to_string(slot));
            Sys_BuildSaveHeader("", 1, 0);
            SAVEHEADER h = g_tSaveHeader;
            std::memcpy(h.title, c.title.data(), c.title.size());
            Sys_CardResetState(2);
            CARDICONREQUEST r{2, slot, reinterpret_cast<const uint8_t *>(&h), SAVEHEADER_BYTES, 0};
            Sys_CardLoadSaveIcon(&r);
            const CARDSTATE &s = g_aCardState[1];
            EXPECT_EQ(((s.uRawTitles >> slot) & 1) != 0, c.raw);
            if (!c.raw) {
                EXPECT_EQ(std::string(s.aszTitle[slot]), c.text);
            } else {
                // The codes themselves, in numeric order, zero after the title.
                uint16_t codes[TITLE_CODES];
                std::memcpy(codes, s.aszTitle[slot], sizeof codes);
                EXPECT_EQ(codes[0], (c.title[0] << 8) | c.title[1]);
                EXPECT_EQ(codes[1], (c.title[2] << 8) | c.title[3]);
                EXPECT_EQ(codes[2], 0);
            }
        }
    }
    // "_" comes back as '-' and "[" as '('.
    EXPECT_EQ(Sys_TitleCodeToAscii(Sys_AsciiToTitleCode('_')), '-');
}

TEST_F(CardSave, FinishedRequestsUpdateTheirCard)
{
    g_events.clear();
    ASSERT_EQ(Sys_EventAddHandler(CARD_EV_FINISHED, OnEvent), 0);
    struct Case
    {
        int result;
        int opState;
        uint8_t present;
        uint16_t presence;
        int waiting;
    };
    const Case cases[] = {
        {1, 1, CARD_REMOVED, 0, 0},
        {2, 2, CARD_BUSY, 2, 1},
        {3, -2, CARD_REMOVED, 2, 0},
        {4, -4, 252, 2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.result);
        Sys_CardClearRequests(0);
        for (CARDSTATE &s : g_aCardState)
            s.uPresence = 2;
        CARDREQUEST r{};
        r.iKind = CARDREQ_PROBE;
        r.iCard = 2;
        Sys_CardQueueRequest(&r);
        Sys_CardService(-1);
        g_events.clear();
        Sys_CardFinishRequest(c.result);
        EXPECT_EQ(g_events.size(), 1u);
        EXPECT_EQ(g_aCardState[1].iOpState, c.opState);
        EXPECT_EQ(g_aucCardPresent[1], c.present);
        for (const CARDSTATE &s : g_aCardState)
            EXPECT_EQ(s.uPresence, c.presence);
        EXPECT_EQ(Sys_CardWaitingRequests(), c.waiting);
    }
}

TEST_F(CardSave, LeavingTheCardOverlayDropsTheQueue)
{
    CARDREQUEST r{};
    r.iKind = CARDREQ_CHANGED;
    r.iCard = 1;
    Sys_CardQueueRequest(&r);
    Sys_CardOverlayEnter();
    EXPECT_EQ(g_bCardOverlay, 1);
    EXPECT_EQ(Sys_CardWaitingRequests(), 1); // no card changed
    Sys_CardOverlayLeave();
    EXPECT_EQ(g_bCardOverlay, 0);
    EXPECT_EQ(Sys_CardWaitingRequests(), 0);
}
