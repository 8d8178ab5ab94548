#include "core/disc.h"
#include "core/archive.h"
#include "platform/clock.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "ui/msgbox.h"
#include "ui/widgets.h"
#include "scratch_dir.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A data disc in memory behind the CD command interface.
struct FAKEDISC
{
    std::vector<uint8_t> image;
    std::map<std::string, std::pair<int, uint32_t>> files; // disc name -> start sector, size
    std::vector<std::string> searched;
    int seekSector = -1;
    int readCommands = 0;
    int seekTries = 0;
    int status = 0;
    int checkStatus = PLAT_CD_ANSWER_DATA;
    int identify = PLAT_CD_ANSWER_DATA;
    int readSync = 0;
    bool refuseSeeks = false;
    int lidOpenAfterReads = -1;
};

FAKEDISC *s_disc;

uint8_t ImageByte(size_t offset)
{
    return static_cast<uint8_t>((offset * 31 + offset / 2048) & 0xFF);
}

const PLATCDOPS s_fakeOps = {
    [] { return 0; },
    [](int) { return s_disc->checkStatus; },
    [] { return s_disc->identify; },
    [](int) { return 0; },
    [](PLATCDFILE *record, const char *name) {
        s_disc->searched.push_back(name);
        auto it = s_disc->files.find(name);
        if (it == s_disc->files.end())
            return 0;
        Sys_MsfFromSector(it->second.first, record->abPosition);
        record->abPosition[3] = 0;
        record->uSize = it->second.second;
        return 1;
    },
    [](int command, const uint8_t *param, uint8_t *result) {
        if (command == PLAT_CD_CMD_GETSTATUS && result)
            result[0] = static_cast<uint8_t>(s_disc->status);
        if (command == PLAT_CD_CMD_SEEKDATA) {
            ++s_disc->seekTries;
            if (s_disc->refuseSeeks)
                return 0;
            s_disc->seekSector = Sys_SectorFromMsf(param);
        }
        return 1;
    },
    [](int, uint8_t *) { return (s_disc->status & PLAT_CD_STATUS_LID_OPEN) ? 5 : 0; },
    [] { return s_disc->status; },
    [](int count, void *buffer, int) {
        if (s_disc->lidOpenAfterReads == s_disc->readCommands) {
            s_disc->status = PLAT_CD_STATUS_LID_OPEN;
            return 0;
        }
        ++s_disc->readCommands;
        size_t from = static_cast<size_t>(s_disc->seekSector) * DISC_SECTOR_SIZE;
        size_t n = static_cast<size_t>(count) * DISC_SECTOR_SIZE;
        if (from + n > s_disc->image.size())
            return 0;
        std::memcpy(buffer, s_disc->image.data() + from, n);
        return 1;
    },
    [](int, uint8_t *) { return s_disc->readSync; },
};

} // namespace

class DiscLayer : public ScratchDir
{
protected:
    FAKEDISC m_disc;

    void SetUp() override
    {
        ScratchDir::SetUp();
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        m_disc.image.resize(40 * DISC_SECTOR_SIZE);
        for (size_t i = 0; i < m_disc.image.size(); ++i)
            m_disc.image[i] = ImageByte(i);
        m_disc.files["\\DATA\\BIG.BIN;1"] = {10, 5000 + 3 * DISC_SECTOR_SIZE};
        m_disc.files["\\FONTS\\ABC.;1"] = {2, 100};
        s_disc = &m_disc;
        Plat_CdSetOps(&s_fakeOps);
        Sys_DiscInit();
        g_iDiscError = 0;
    }

    void TearDown() override
    {
        Sys_DiscShutdown();
        Plat_CdSetOps(nullptr);
        s_disc = nullptr;
        ScratchDir::TearDown();
    }

    // The bytes of the disc file BIG.BIN from pos.
    std::vector<uint8_t> Expected(size_t pos, size_t len) const
    {
        std::vector<uint8_t> out(len);
        for (size_t i = 0; i < len; ++i)
            out[i] = ImageByte(10 * DISC_SECTOR_SIZE + pos + i);
        return out;
    }
};

TEST(DiscPositions, SectorsAndBcdMinuteSecondFrame)
{
    struct Case
    {
        int sector;
        uint8_t m, s, f;
    };
    const Case cases[] = {
        {0, 0x00, 0x00, 0x00},    {74, 0x00, 0x00, 0x74},   {75, 0x00, 0x01, 0x00},
        {149, 0x00, 0x01, 0x74},  {4499, 0x00, 0x59, 0x74}, {4500, 0x01, 0x00, 0x00},
        {16, 0x00, 0x00, 0x16},   {123456, 0x27, 0x26, 0x06}, {449999, 0x99, 0x59, 0x74},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sector);
        uint8_t msf[3] = {0xAA, 0xAA, 0xAA};
        ASSERT_EQ(Sys_MsfFromSector(c.sector, msf), 0);
        EXPECT_EQ(msf[0], c.m);
        EXPECT_EQ(msf[1], c.s);
        EXPECT_EQ(msf[2], c.f);
        EXPECT_EQ(Sys_SectorFromMsf(msf), c.sector);
    }
    uint8_t msf[3];
    EXPECT_EQ(Sys_MsfFromSector(450000, msf), -1);
    EXPECT_EQ(Sys_MsfFromSector(-1, msf), -1);
    const uint8_t bad[][3] = {{0x0A, 0, 0}, {0, 0x60, 0}, {0, 0, 0x75}, {0, 0x5F, 0}};
    for (const auto &b : bad)
        EXPECT_EQ(Sys_SectorFromMsf(b), -1);
}

TEST_F(DiscLayer, NamesAreSearchedInTheDiscSpelling)
{
    const struct
    {
        const char *name;
        const char *disc;
    } cases[] = {
        {"_fonts\\abc", "\\FONTS\\ABC.;1"},
        {"\\X.BIN", "\\X.BIN;1"},
        {"data\\Song.tnv", "\\DATA\\SONG.TNV;1"},
    };
    for (const auto &c : cases) {
        m_disc.searched.clear();
        DISCFILE *f = Sys_DiscOpen(c.name);
        ASSERT_FALSE(m_disc.searched.empty());
        EXPECT_EQ(m_disc.searched[0], c.disc);
        if (f) {
            EXPECT_EQ(f->uKind, (uint32_t)DISCFILE_DISC);
            Sys_DiscClose(f);
        } else {
            EXPECT_EQ(m_disc.searched.size(), 5u); // not found after five searches
        }
    }
}

TEST_F(DiscLayer, ReadsAcrossSectorEdgesReturnExactlyTheBytes)
{
    struct Case
    {
        size_t pos, len;
        size_t dstOffset; // 1 puts the destination off 4-byte alignment
    };
    const Case cases[] = {
        {100, 3000, 0},  {2048, 4096, 0}, {0, 2 * 2048 + 5, 0}, {2047, 2, 0}, {10, 5, 0},
        {100, 5000, 1},  {0, 4096, 2},    {3000, 2048, 0},
    };
    DISCFILE *f = Sys_DiscOpen("data\\big.bin");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Sys_DiscFileSize(f), 5000 + 3 * DISC_SECTOR_SIZE);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.pos << "+" << c.len << " at " << c.dstOffset);
        std::vector<uint8_t> buf(c.len + 8, 0xCC);
        ASSERT_EQ(Sys_DiscSeek(f, static_cast<int>(c.pos), 0), static_cast<int>(c.pos));
        ASSERT_EQ(Sys_DiscRead(buf.data() + c.dstOffset, static_cast<int>(c.len), 1, f), static_cast<int>(c.len));
        EXPECT_EQ(std::vector<uint8_t>(buf.begin() + c.dstOffset, buf.begin() + c.dstOffset + c.len),
                  Expected(c.pos, c.len));
        EXPECT_EQ(buf[c.dstOffset + c.len], 0xCC); // nothing past the end of the request
        EXPECT_EQ(f->uPosition, c.pos + c.len);
    }
}

TEST_F(DiscLayer, TheSectorCacheServesARereadWithoutTheDrive)
{
    DISCFILE *f = Sys_DiscOpen("data\\big.bin");
    ASSERT_NE(f, nullptr);
    uint8_t buf[64];
    Sys_DiscSeek(f, 100, 0);
    ASSERT_EQ(Sys_DiscRead(buf, 50, 1, f), 50);
    const int reads = m_disc.readCommands;
    ASSERT_EQ(Sys_DiscRead(buf, 50, 1, f), 50);
    EXPECT_EQ(m_disc.readCommands, reads);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 50), Expected(150, 50));
}

TEST_F(DiscLayer, ReadsStopAtTheEndOfTheFile)
{
    DISCFILE *f = Sys_DiscOpen("data\\big.bin");
    ASSERT_NE(f, nullptr);
    const int size = Sys_DiscFileSize(f);
    std::vector<uint8_t> buf(200, 0xCC);
    Sys_DiscSeek(f, size - 10, 0);
    EXPECT_EQ(Sys_DiscRead(buf.data(), 10, 10, f), 10);
    EXPECT_EQ(buf[10], 0xCC);
    EXPECT_EQ(Sys_DiscSeek(f, 6000 + size, 0), 6000 + size);
    EXPECT_EQ(Sys_DiscRead(buf.data(), 100, 1, f), 0);
    EXPECT_EQ(Sys_DiscSeek(f, 10, 2), size - 10); // from the end
    EXPECT_EQ(Sys_DiscSeek(f, -1, 0), -1);
    EXPECT_EQ(Sys_DiscRead(buf.data(), -1, 1, f), 0);
}

TEST_F(DiscLayer, FailingDrivesFailReadsAndNeverHang)
{
    DISCFILE *f = Sys_DiscOpen("data\\big.bin");
    ASSERT_NE(f, nullptr);
    uint8_t buf[4096];

    m_disc.refuseSeeks = true; // a drive that refuses every seek: a bounded number of tries
    EXPECT_EQ(Sys_DiscRead(buf, 4096, 1, f), 0);
    EXPECT_EQ(m_disc.seekTries, DISC_COMMAND_TRIES);
    EXPECT_EQ(f->uPosition, 0u);
    m_disc.refuseSeeks = false;

    m_disc.readSync = 1; // sectors that never arrive: the wait ends
    EXPECT_EQ(Sys_DiscRead(buf, 4096, 1, f), 0);
    m_disc.readSync = -1; // a read error is a failure even with the lid shut
    EXPECT_EQ(Sys_DiscRead(buf, 4096, 1, f), 0);
    EXPECT_EQ(g_bDiscLayerOn, 1);
    m_disc.readSync = 0;
    EXPECT_EQ(Sys_DiscRead(buf, 4096, 1, f), 4096);

    // The lid opening during a read takes the layer off.
    m_disc.lidOpenAfterReads = m_disc.readCommands;
    Sys_DiscSeek(f, 0, 0);
    EXPECT_EQ(Sys_DiscRead(buf, 100, 1, f), 0);
    EXPECT_EQ(g_bDiscLayerOn, 0);
    EXPECT_EQ(Sys_DiscOpen("data\\big.bin"), nullptr);
    EXPECT_EQ(Sys_DiscFileSize(f), -1);
}

TEST_F(DiscLayer, HostFilesComeFirstAndPassThrough)
{
    // An archive-like data file on the host, read sector by sector.
    std::string wad(3 * DISC_SECTOR_SIZE, 0);
    for (size_t i = 0; i < wad.size(); ++i)
        wad[i] = static_cast<char>(i / DISC_SECTOR_SIZE + 'a');
    Write("WADS/demowad.WAD", wad);
    DISCFILE *f = Sys_DiscOpen("wads\\DEMOWAD.wad");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->uKind, (uint32_t)DISCFILE_HOST);
    EXPECT_TRUE(m_disc.searched.empty());
    EXPECT_EQ(Sys_DiscFileSize(f), 3 * DISC_SECTOR_SIZE);
    std::vector<char> sector(DISC_SECTOR_SIZE);
    EXPECT_EQ(Sys_DiscSeek(f, 2 * DISC_SECTOR_SIZE, 0), 2 * DISC_SECTOR_SIZE);
    EXPECT_EQ(Sys_DiscRead(sector.data(), DISC_SECTOR_SIZE, 1, f), DISC_SECTOR_SIZE);
    EXPECT_EQ(std::string(sector.begin(), sector.end()), std::string(DISC_SECTOR_SIZE, 'c'));
    EXPECT_EQ(Sys_DiscSeek(f, DISC_SECTOR_SIZE * 3 - 4, 0), DISC_SECTOR_SIZE * 3 - 4);
    EXPECT_EQ(Sys_DiscRead(sector.data(), DISC_SECTOR_SIZE, 1, f), 4); // clamped at the end
    Sys_DiscClose(f);
    EXPECT_EQ(f->uKind, (uint32_t)DISCFILE_FREE);
    Sys_DiscClose(f); // twice is harmless
}

TEST_F(DiscLayer, AllSlotsBusyRefusesWithoutLeakingTheHostFile)
{
    Write("a.bin", "a");
    auto openFds = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    };
    for (int i = 0; i < DISC_MAX_FILES; ++i)
        ASSERT_NE(Sys_DiscOpen("a.bin"), nullptr);
    const auto fds = openFds();
    EXPECT_EQ(Sys_DiscOpen("a.bin"), nullptr);
    EXPECT_EQ(openFds(), fds);
    EXPECT_EQ(Sys_DiscOpen("_fonts\\abc"), nullptr);
}

TEST_F(DiscLayer, WholeFileLoads)
{
    Write("five.bin", "12345");
    Write("empty.bin", "");
    char *p = static_cast<char *>(Sys_DiscLoadFile(0, "five.bin"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 5), "12345");
    std::free(p);
    EXPECT_EQ(Sys_DiscLoadFile(0, "empty.bin"), nullptr);
    EXPECT_EQ(Sys_DiscLoadFile(0, "nothing.bin"), nullptr);
    uint8_t *q = static_cast<uint8_t *>(Sys_DiscLoadFile(0, "_fonts\\abc"));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q[0], ImageByte(2 * DISC_SECTOR_SIZE));
    std::free(q);
    for (const DISCFILE &f : g_aDiscFiles)
        EXPECT_EQ(f.uKind, (uint32_t)DISCFILE_FREE);
}

TEST_F(DiscLayer, DiscChangeReportsWhatIsWrong)
{
    m_disc.identify = 1; // an audio disc
    EXPECT_EQ(Sys_DiscChange(1), 0);
    EXPECT_EQ(g_iDiscError, 4);

    m_disc.identify = PLAT_CD_ANSWER_DATA;
    EXPECT_EQ(Sys_DiscChange(2), 1);

    m_disc.identify = PLAT_CD_ANSWER_NONE;
    EXPECT_EQ(Sys_DiscChange(1), 0);
    EXPECT_EQ(g_iDiscError, 3);

    // A drive that always says "try again", or a lid left open: bounded, then no disc.
    g_iDiscError = 0;
    m_disc.identify = PLAT_CD_ANSWER_RETRY;
    EXPECT_EQ(Sys_DiscChange(1), 0);
    EXPECT_EQ(g_iDiscError, 3);
    g_iDiscError = 0;
    m_disc.status = PLAT_CD_STATUS_LID_OPEN;
    EXPECT_EQ(Sys_DiscChange(2), 0);
    EXPECT_EQ(g_iDiscError, 3);
    EXPECT_EQ(Sys_CdWaitLid(), PLAT_CD_STATUS_LID_OPEN);

    m_disc.status = 1; // the drive saw a change
    g_bLoadAborted = g_bDiscChanged = 0;
    EXPECT_EQ(Sys_CdWaitLid(), 1);
    EXPECT_EQ(g_bLoadAborted, 1);
    EXPECT_EQ(g_bDiscChanged, 1);

    // Two status errors in a row: no disc.
    m_disc.status = 0;
    m_disc.checkStatus = PLAT_CD_ANSWER_ERROR;
    EXPECT_EQ(Sys_DiscChange(2), 0);
    EXPECT_EQ(g_iDiscError, 3);
}

TEST(DiscNoDrive, WithoutADriveOnlyHostFilesOpenAndNothingWaits)
{
    Plat_CdSetOps(nullptr);
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    Sys_DiscInit();
    EXPECT_EQ(g_bDiscDataDisc, 0);
    EXPECT_EQ(Sys_DiscOpen("no-such-file.bin"), nullptr);
    g_iDiscError = 0;
    EXPECT_EQ(Sys_DiscChange(1), 0);
    EXPECT_EQ(g_iDiscError, 0);
    EXPECT_EQ(Sys_CdWaitLid(), 0);
    EXPECT_LT(Plat_Milliseconds(), (uint32_t)DISC_WAIT_MS);
    uint8_t buf[DISC_SECTOR_SIZE];
    EXPECT_EQ(Sys_DiscReadSectors(0, 1, buf), 0);
}

namespace {

uint8_t s_answered = 0xFF;

void Answered(uint8_t button)
{
    s_answered = button;
}

} // namespace

// One "Okay" button, the out-of-memory text (the language's, else the English one), the answer
// going to the caller, and the refusal sound.
TEST(OutOfMemoryBox, OneOkayButtonTheTextAndTheBadSound)
{
    for (const char *language : {static_cast<const char *>(nullptr), "Kein Speicher mehr."}) {
        g_apszText[348] = language;
        Ui_InitWidgetPools();
        Ui_ResetMessageBoxes();
        g_iInterfaceVoiceOn = 0;
        g_stInterfaceVoice.pSlot = nullptr;
        MSGBOX *box = Sys_ShowOutOfMemoryBox(Answered);
        ASSERT_NE(box, nullptr);
        EXPECT_STREQ(box->pszText, language ? language : "Out of memory. Unable to complete this operation.");
        EXPECT_EQ(box->ucButtonCount, 1);
        EXPECT_EQ(box->asButtonText[0], 114);
        EXPECT_EQ(g_iInterfaceVoiceOn, 1);
        EXPECT_EQ(g_stInterfaceVoice.pSlot, &g_astInterfaceSounds[3]) << "the bad sound";
        s_answered = 0xFF;
        ASSERT_NE(box->pfnAnswer, nullptr);
        box->pfnAnswer(0);
        EXPECT_EQ(s_answered, 0);
    }
    g_apszText[348] = nullptr;
    // No callback is fine too.
    Ui_ResetMessageBoxes();
    EXPECT_EQ(Sys_ShowOutOfMemoryBox(nullptr)->pfnAnswer, nullptr);
}
