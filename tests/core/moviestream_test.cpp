// Movies streamed over the CD commands, against a drive in memory that holds a movie: frames come
// in order into the stream texture and loop at the end, the drive is kept inside the movie, and
// every command a drive refuses is given up after a bounded number of tries.
#include "core/disc.h"
#include "core/moviestream.h"
#include "core/streamlib.h"
#include "platform/clock.h"
#include "render/texpages.h"
#include "scratch_dir.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kMovieStart = 300;
constexpr int kFrames = 5;
constexpr int kPicW = 64, kPicH = 64; // 16-bit pixels
const char *const kMovieName = "\\MOVIE\\CLIP.STR;1";

struct FAKEDRIVE
{
    std::vector<uint8_t> image;
    int position = 0;
    int setlocs = 0;
    int pauses = 0;
    int reads = 0;
    int commands = 0;
    bool refuseSetloc = false;
    bool refusePause = false;
    bool refuseReads = false;
    int syncAnswer = PLAT_CD_ANSWER_DATA;
    int readSyncAnswer = 0;
    int busyPolls = 0; // polls that answer "not yet" before a read is done
};

FAKEDRIVE *s_drive;

const PLATCDOPS s_driveOps = {
    [] { return 0; },
    [](int) { return int{PLAT_CD_ANSWER_DATA}; },
    [] { return int{PLAT_CD_ANSWER_DATA}; },
    [](int) { return 0; },
    [](PLATCDFILE *record, const char *name) {
        if (std::strcmp(name, kMovieName) != 0)
            return 0;
        Sys_MsfFromSector(kMovieStart, record->abPosition);
        record->abPosition[3] = 0;
        record->uSize = kFrames * STREAM_FRAME_SECTORS * DISC_SECTOR_SIZE;
        return 1;
    },
    [](int command, const uint8_t *param, uint8_t *result) {
        ++s_drive->commands;
        switch (command) {
        case PLAT_CD_CMD_SETLOC:
        case PLAT_CD_CMD_SEEKDATA:
            ++s_drive->setlocs;
            if (s_drive->refuseSetloc)
                return 0;
            s_drive->position = Sys_SectorFromMsf(param);
            return 1;
        case PLAT_CD_CMD_PAUSE:
            ++s_drive->pauses;
            return s_drive->refusePause ? 0 : 1;
        case PLAT_CD_CMD_GETLOC:
            if (result)
                Sys_MsfFromSector(s_drive->position, result);
            return 1;
        case PLAT_CD_CMD_GETSTATUS:
            if (result)
                result[0] = 0;
            return 1;
        default:
            return 1;
        }
    },
    [](int, uint8_t *) { return s_drive->syncAnswer; },
    [] { return 0; },
    [](int count, void *buffer, int) {
        if (s_drive->refuseReads)
            return 0;
        ++s_drive->reads;
        const size_t from = static_cast<size_t>(s_drive->position) * DISC_SECTOR_SIZE;
        const size_t n = static_cast<size_t>(count) * DISC_SECTOR_SIZE;
        if (s_drive->position < 0 || from + n > s_drive->image.size())
            return 0;
        std::memcpy(buffer, s_drive->image.data() + from, n);
        s_drive->position += count;
        return 1;
    },
    [](int, uint8_t *) {
        if (s_drive->busyPolls > 0) {
            --s_drive->busyPolls;
            return 1;
        }
        return s_drive->readSyncAnswer;
    },
};

void Put16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t Pixel(int frame, int i)
{
    return static_cast<uint16_t>(frame * 1000 + i % 997);
}

// The frame's data: picture offset 4 (so the picture starts 16 bytes in), then the picture.
void WriteFrame(std::vector<uint8_t> &image, int sector, int frame, uint16_t kind = STREAM_KIND_PICTURE)
{
    std::vector<uint8_t> data(STREAM_FRAME_BYTES, 0);
    const uint32_t offset = 4;
    Put32(data.data(), offset);
    for (int i = 0; i < kPicW * kPicH; i++)
        Put16(data.data() + 12 + offset + 2 * i, Pixel(frame, i));
    const uint32_t bytes = 12 + offset + 2 * kPicW * kPicH;
    for (int s = 0; s < STREAM_FRAME_SECTORS; s++) {
        uint8_t *h = image.data() + static_cast<size_t>(sector + s) * DISC_SECTOR_SIZE;
        std::memset(h, 0, STREAM_SECTOR_HEADER);
        Put16(h, STREAM_SECTOR_MAGIC);
        Put16(h + 2, kind);
        Put16(h + 4, static_cast<uint32_t>(s));
        Put16(h + 6, STREAM_FRAME_SECTORS);
        Put32(h + 8, static_cast<uint32_t>(frame));
        Put32(h + 12, bytes);
        Put16(h + 16, 2 * kPicW);
        Put16(h + 18, kPicH);
        std::memcpy(h + STREAM_SECTOR_HEADER, data.data() + s * STREAM_SECTOR_DATA, STREAM_SECTOR_DATA);
    }
}

// Frame number shown by the stream texture, 0 when none.
int ShownFrame()
{
    if (!g_pStreamPixels)
        return 0;
    const int frame = g_pStreamPixels[0] / 1000;
    for (int i = 0; i < kPicW * kPicH; i++)
        if (g_pStreamPixels[i] != Pixel(frame, i))
            return -1;
    return frame;
}

} // namespace

class MovieStream : public ScratchDir
{
protected:
    FAKEDRIVE m_drive;

    void SetUp() override
    {
        ScratchDir::SetUp();
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        m_drive.image.assign(static_cast<size_t>(kMovieStart + kFrames * STREAM_FRAME_SECTORS + 12) * DISC_SECTOR_SIZE, 0);
        for (int f = 1; f <= kFrames; f++)
            WriteFrame(m_drive.image, kMovieStart + (f - 1) * STREAM_FRAME_SECTORS, f);
        s_drive = &m_drive;
        Plat_CdSetOps(&s_driveOps);
        Sys_DiscInit();
        Gfx_InitTexturePages();
        Sys_StreamShutdown();
        g_iStreamControl = STREAM_CONTROL_START;
        g_iStreamRead = 0;
    }

    void TearDown() override
    {
        Sys_StreamShutdown();
        for (IMAGEREC &r : g_astImageRecords)
            Gfx_FreeImageArea(&r);
        Sys_DiscShutdown();
        Plat_CdSetOps(nullptr);
        s_drive = nullptr;
        ScratchDir::TearDown();
    }

    // Time of the frame on show (loop count | frame number), or 0 when none.
    static uint32_t ShownTime()
    {
        for (const STREAMSLOT &s : g_astStreamSlots)
            if (s.uState == STREAM_SLOT_USED && g_pStreamPixels && s.pData == g_pStreamPixels)
                return s.uTime;
        return 0;
    }

    // Runs updates until the texture shows another frame (or a bound is reached); the frame, or 0.
    int NextShown(int maxUpdates = 20)
    {
        const uint32_t before = ShownTime();
        for (int i = 0; i < maxUpdates; i++) {
            Sys_StreamUpdate();
            if (g_pStreamPixels && ShownTime() != before)
                return ShownFrame();
        }
        return 0;
    }

    int UsedSlots() const
    {
        int n = 0;
        for (const STREAMSLOT &s : g_astStreamSlots)
            n += s.uState == STREAM_SLOT_USED;
        return n;
    }
};

TEST(MoviePositions, AddingSectorsCarriesAcrossSecondsAndMinutes)
{
    struct Case
    {
        uint8_t m, s, f;
        int sectors;
        int result;
        uint8_t wm, ws, wf;
    };
    const Case cases[] = {
        {0x00, 0x00, 0x70, 6, 0, 0x00, 0x01, 0x01},  {0x00, 0x59, 0x74, 1, 0, 0x01, 0x00, 0x00},
        {0x01, 0x00, 0x00, -1, 0, 0x00, 0x59, 0x74}, {0x09, 0x59, 0x70, 30, 0, 0x10, 0x00, 0x25},
        {0x00, 0x00, 0x00, 4500 * 99, 0, 0x99, 0x00, 0x00}, {0x99, 0x59, 0x74, 1, -1, 0, 0, 0},
        {0x00, 0x00, 0x00, -1, -1, 0, 0, 0},        {0x00, 0x60, 0x00, 1, -1, 0, 0, 0},
        {0x00, 0x00, 0x75, 0, -1, 0, 0, 0},         {0x0A, 0x00, 0x00, 0, -1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int{c.m} << ":" << int{c.s} << ":" << int{c.f} << " + " << std::dec
                                        << c.sectors);
        const uint8_t msf[3] = {c.m, c.s, c.f};
        uint8_t out[3] = {};
        ASSERT_EQ(Sys_MsfAdd(msf, out, c.sectors), c.result);
        if (c.result == 0) {
            EXPECT_EQ(out[0], c.wm);
            EXPECT_EQ(out[1], c.ws);
            EXPECT_EQ(out[2], c.wf);
        }
    }
}

TEST(MoviePositions, TheRangeRunsFromTheStartToSixSectorsAFrameLater)
{
    // Start 00:04:00 (sector 300), frames 1..5: the range ends 30 sectors later, at 00:04:30.
    Sys_MsfFromSector(kMovieStart, g_abStreamStart);
    g_iStreamFirstFrame = 1;
    g_iStreamLastFrame = kFrames;
    struct Case
    {
        uint8_t m, s, f;
        int inside;
    };
    const Case cases[] = {
        {0x00, 0x03, 0x74, 0}, {0x00, 0x04, 0x00, 1}, {0x00, 0x04, 0x15, 1}, {0x00, 0x04, 0x30, 1},
        {0x00, 0x04, 0x31, 0}, {0x01, 0x00, 0x00, 0}, {0x00, 0x00, 0x00, 0},
        // Not positions at all: taken as inside.
        {0x75, 0x00, 0x00, 1}, {0x00, 0x60, 0x00, 1}, {0x00, 0x04, 0x75, 1}, {0x00, 0x0F, 0x00, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int{c.m} << ":" << int{c.s} << ":" << int{c.f});
        EXPECT_EQ(Sys_StreamPositionInRange(c.m, c.s, c.f), c.inside);
    }
}

TEST(MovieFrames, NewestFramesReleaseOlderOnesAndAnyFrameTakesTheFirstFreeSlot)
{
    Sys_StreamResetFrames();
    static int buffers[8];
    const uint16_t rect[4] = {1, 2, 3, 4};
    ASSERT_EQ(Sys_StreamPutFrame(rect, &buffers[0], &buffers[0], 5, STREAM_PUT_ANY), 0);
    ASSERT_EQ(Sys_StreamPutFrame(rect, &buffers[1], &buffers[1], 9, STREAM_PUT_ANY), 0);
    ASSERT_EQ(Sys_StreamPutFrame(rect, &buffers[2], &buffers[2], 3, STREAM_PUT_ANY), 0);
    EXPECT_EQ(g_astStreamSlots[2].pData, &buffers[2]);
    EXPECT_EQ(g_astStreamSlots[2].auRect[3], 4);
    // Time 6 frees the frames of times 5 and 3, keeps 9, and lands in the first free slot.
    ASSERT_EQ(Sys_StreamPutFrame(rect, &buffers[3], &buffers[3], 6, STREAM_PUT_NEWEST), 0);
    EXPECT_EQ(g_astStreamSlots[0].uState, STREAM_SLOT_USED);
    EXPECT_EQ(g_astStreamSlots[0].uTime, 6u);
    EXPECT_EQ(g_astStreamSlots[0].uKind, STREAM_PUT_NEWEST);
    EXPECT_EQ(g_astStreamSlots[1].uTime, 9u);
    EXPECT_EQ(g_astStreamSlots[2].uState, STREAM_SLOT_FREE);
    EXPECT_EQ(Sys_StreamPutFrame(rect, nullptr, nullptr, 1, 7), -1);
    // All 40 taken: nothing more is stored.
    for (int i = 0; i < STREAM_SLOT_COUNT - 2; i++)
        ASSERT_EQ(Sys_StreamPutFrame(rect, &buffers[4], &buffers[4], 10, STREAM_PUT_ANY), 0);
    EXPECT_EQ(Sys_StreamPutFrame(rect, &buffers[5], &buffers[5], 10, STREAM_PUT_ANY), -1);
    Sys_StreamResetFrames();
    for (const STREAMSLOT &s : g_astStreamSlots) {
        EXPECT_EQ(s.uState, STREAM_SLOT_FREE);
        EXPECT_EQ(s.pRelease, nullptr);
    }
}

TEST_F(MovieStream, UsersShareOneTextureThatTheLastOneFrees)
{
    const int32_t blocks = g_iFreeTextureBlocks;
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    ASSERT_NE(g_pStreamTexture, nullptr);
    IMAGEREC *tex = g_pStreamTexture;
    EXPECT_EQ(g_bStreamTextureInUse, 1);
    EXPECT_EQ(tex->width, STREAM_TEXTURE_WIDTH / 2);
    EXPECT_EQ(tex->height, STREAM_TEXTURE_HEIGHT);
    EXPECT_EQ(tex->page & 31, ((g_asStreamMoviePos[1] / 256) * 16) + g_asStreamMoviePos[0] / 64);
    EXPECT_EQ(tex->page >> 7, 2); // 16-bit
    EXPECT_EQ(g_iStreamBufferSize, STREAM_RING_BYTES);
    EXPECT_LT(g_iFreeTextureBlocks, blocks);
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    EXPECT_EQ(g_pStreamTexture, tex);
    EXPECT_EQ(g_iStreamUsers, 2);
    Sys_StreamRelease();
    EXPECT_EQ(g_bStreamTextureInUse, 1);
    Sys_StreamRelease();
    EXPECT_EQ(g_bStreamTextureInUse, 0);
    EXPECT_EQ(g_pStreamTexture, nullptr);
    EXPECT_EQ(g_iStreamBufferSize, STREAM_SMALL_BYTES);
    EXPECT_EQ(g_iFreeTextureBlocks, blocks);
    Sys_StreamRelease(); // one too many: nothing happens
    EXPECT_EQ(g_iStreamUsers, 0);

    // No room in texture memory: no stream, and no user counted.
    for (TEXPAGE &p : g_aTexPages)
        p.freeMask = 0;
    EXPECT_EQ(Sys_StreamAcquire(), 0);
    EXPECT_EQ(g_iStreamUsers, 0);
    EXPECT_EQ(g_bStreamTextureInUse, 0);
}

TEST_F(MovieStream, FramesArriveInOrderAndTheMovieLoops)
{
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    ASSERT_EQ(Sys_StreamStart("movie\\clip.str"), 0);
    EXPECT_EQ(Sys_SectorFromMsf(g_abStreamStart), kMovieStart);
    EXPECT_EQ(g_iStreamLastFrame, kFrames);
    for (int pass = 0; pass < 3; pass++) {
        for (int f = 1; f <= kFrames; f++) {
            ASSERT_EQ(NextShown(), f) << "pass " << pass;
            EXPECT_EQ(g_iStreamPixelWidth, kPicW);
            EXPECT_EQ(g_iStreamPixelHeight, kPicH);
            // Only the frame on show is held.
            EXPECT_EQ(UsedSlots(), 1);
        }
        EXPECT_EQ(g_uStreamLoop, static_cast<uint32_t>(pass + 1) * 0x10000u);
    }
    EXPECT_EQ(Sys_StreamLibBadFrames(), 0);
    // The drive never read outside the movie.
    EXPECT_LE(m_drive.position, kMovieStart + kFrames * STREAM_FRAME_SECTORS + STREAM_FRAME_SECTORS);

    // Frames reset: nothing is held, and the stream goes on.
    Sys_StreamResetFrames();
    EXPECT_EQ(UsedSlots(), 0);
    EXPECT_GT(NextShown(), 0);
    // Frames freed: their ring buffers go back too, and nothing shows until the next frame.
    Sys_StreamFreeFrames();
    EXPECT_EQ(UsedSlots(), 0);
    EXPECT_EQ(g_pStreamPixels, nullptr);
    for (int i = 0; i < 3 * kFrames; i++)
        ASSERT_GT(NextShown(), 0);
}

TEST_F(MovieStream, SlowReadsAndBrokenFramesDoNotStopTheMovie)
{
    // Frame 3's second sector belongs to another frame; frame 4 is not a picture.
    Put32(m_drive.image.data() + static_cast<size_t>(kMovieStart + 2 * STREAM_FRAME_SECTORS + 1) * DISC_SECTOR_SIZE + 8, 9);
    WriteFrame(m_drive.image, kMovieStart + 3 * STREAM_FRAME_SECTORS, 4, 7);
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    ASSERT_EQ(Sys_StreamStart("movie\\clip.str"), 0);
    ASSERT_EQ(NextShown(), 1);
    m_drive.busyPolls = 5;
    ASSERT_EQ(NextShown(), 2);
    ASSERT_EQ(NextShown(), 5);
    EXPECT_EQ(Sys_StreamLibBadFrames(), 1);
    ASSERT_EQ(NextShown(), 1);
}

TEST_F(MovieStream, StopPausesTheDriveAndARefusingDriveIsGivenUp)
{
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    ASSERT_EQ(Sys_StreamStart("movie\\clip.str"), 0);
    ASSERT_EQ(NextShown(), 1);
    Sys_StreamStop();
    EXPECT_EQ(m_drive.pauses, 1);
    EXPECT_EQ(g_bStreaming, 0);
    EXPECT_EQ(g_iStreamControl, STREAM_CONTROL_START);
    // The next update starts the movie over from its first frame.
    ASSERT_EQ(NextShown(), 1);
    EXPECT_EQ(g_iStreamControl, STREAM_CONTROL_RUNNING);

    // A drive that refuses pause and seek: each is tried a bounded number of times.
    m_drive.refusePause = true;
    m_drive.pauses = 0;
    g_iStreamControl = STREAM_CONTROL_STOP;
    Sys_StreamUpdate();
    EXPECT_EQ(m_drive.pauses, DISC_COMMAND_TRIES);
    EXPECT_EQ(g_bStreaming, 0);
    m_drive.refuseSetloc = true;
    m_drive.setlocs = 0;
    const uint8_t msf[3] = {0x00, 0x04, 0x00};
    EXPECT_EQ(Sys_CdSeekTo(msf), 0);
    EXPECT_EQ(m_drive.setlocs, DISC_COMMAND_TRIES);
    // Updating against it costs a bounded number of commands a frame, and shows nothing new.
    const uint16_t *shown = g_pStreamPixels;
    for (int i = 0; i < 50; i++) {
        m_drive.commands = 0;
        Sys_StreamUpdate();
        EXPECT_LE(m_drive.commands, 4 * DISC_COMMAND_TRIES);
    }
    EXPECT_EQ(g_pStreamPixels, shown);
    // Once the drive answers again, the movie comes back.
    m_drive.refuseSetloc = false;
    EXPECT_GT(NextShown(), 0);
}

TEST_F(MovieStream, ReadErrorsAndAStrayHeadGoBackToTheStart)
{
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    ASSERT_EQ(Sys_StreamStart("movie\\clip.str"), 0);
    ASSERT_EQ(NextShown(), 1);
    ASSERT_EQ(NextShown(), 2);
    // The drive wanders off: the next update sees the head outside and seeks back to the start.
    m_drive.position = 5000;
    Sys_StreamUpdate(); // reads the head back
    Sys_StreamUpdate();
    EXPECT_EQ(g_iStreamRead, STREAM_READ_WAITING);
    EXPECT_EQ(m_drive.position, kMovieStart);
    ASSERT_EQ(NextShown(), 1);

    // A read that fails, or a drive that refuses the next read, sends the stream round through
    // the start too.
    ASSERT_EQ(NextShown(), 2);
    m_drive.readSyncAnswer = -1;
    Sys_StreamUpdate();
    m_drive.readSyncAnswer = 0;
    ASSERT_EQ(NextShown(), 1);
    m_drive.refuseReads = true;
    Sys_StreamUpdate();
    Sys_StreamUpdate();
    m_drive.refuseReads = false;
    ASSERT_EQ(NextShown(), 1);

    // Sync reporting an error while waiting for the drive seeks back again.
    m_drive.syncAnswer = PLAT_CD_ANSWER_ERROR;
    m_drive.position = 7;
    g_iStreamRead = STREAM_READ_WAITING;
    m_drive.setlocs = 0;
    Sys_StreamUpdate();
    EXPECT_EQ(g_iStreamRead, STREAM_READ_WAITING);
    EXPECT_EQ(m_drive.setlocs, 1);
    m_drive.syncAnswer = PLAT_CD_ANSWER_DATA;
    ASSERT_EQ(NextShown(), 1);
}

TEST_F(MovieStream, RestartsPartWayThroughNeverFillTheRing)
{
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    ASSERT_EQ(Sys_StreamStart("movie\\clip.str"), 0);
    // Stopped after 4, 3, 2, ... frames: each start shows frame 1 again and holds one frame.
    for (int round = 0; round < 12; round++) {
        const int frames = 4 - round % 4;
        for (int f = 1; f <= frames; f++)
            ASSERT_EQ(NextShown(), f) << "round " << round;
        EXPECT_EQ(UsedSlots(), 1);
        Sys_StreamStop();
    }
}

TEST_F(MovieStream, WithoutTheMovieOnADiscNothingIsAskedOfTheDrive)
{
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    EXPECT_EQ(Sys_StreamStart("movie\\other.str"), -1);
    // A movie in the data folder is a host file: not streamed.
    std::filesystem::create_directories(m_dir + "/movie");
    std::ofstream(m_dir + "/movie/clip.str") << std::string(int{STREAM_FRAME_SECTORS} * int{DISC_SECTOR_SIZE}, 'x');
    EXPECT_EQ(Sys_StreamStart("movie\\clip.str"), -1);
    m_drive.commands = 0;
    for (int i = 0; i < 10; i++)
        Sys_StreamUpdate();
    EXPECT_EQ(m_drive.commands, 0);
    EXPECT_EQ(g_pStreamPixels, nullptr);

    // A machine with no drive at all refuses everything.
    Plat_CdSetOps(nullptr);
    Sys_DiscInit();
    EXPECT_EQ(Sys_StreamStart("movie\\none.str"), -1);
    Sys_StreamPause();
    EXPECT_EQ(g_bStreaming, 0);
}

TEST_F(MovieStream, TheRingIsOnlyHandedOverWhileTheTextureHoldsIt)
{
    // Started before any user: the small buffer is never given to the library as a ring.
    ASSERT_EQ(Sys_StreamStart("movie\\clip.str"), 0);
    for (int i = 0; i < 10; i++)
        Sys_StreamUpdate();
    EXPECT_EQ(g_pStreamPixels, nullptr);
    // A user arrives: frames come.
    ASSERT_EQ(Sys_StreamAcquire(), 1);
    EXPECT_GT(NextShown(), 0);
    // The last user leaves while a frame is shown: nothing points into the freed ring.
    Sys_StreamRelease();
    EXPECT_EQ(g_pStreamPixels, nullptr);
    EXPECT_EQ(UsedSlots(), 0);
    for (int i = 0; i < 10; i++)
        Sys_StreamUpdate();
    EXPECT_EQ(g_pStreamPixels, nullptr);
}
