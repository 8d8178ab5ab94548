#include "core/moviestream.h"

#include "core/consolelib.h"
#include "core/disc.h"
#include "platform/cd.h"
#include "render/texpages.h"

#include <cstdlib>
#include <cstring>

uint8_t g_abStreamStart[3];
uint8_t g_abStreamHead[3];
uint8_t g_abStreamPos[3];
int32_t g_iStreamControl;
int32_t g_iStreamRead;
uint32_t g_uStreamLoop;
int32_t g_iStreamFirstFrame = 1;
int32_t g_iStreamLastFrame;
int32_t g_bStreaming;
int32_t g_bStreamOpen;
STREAMSLOT g_astStreamSlots[STREAM_SLOT_COUNT];

IMAGEREC *g_pStreamTexture;
int32_t g_bStreamTextureInUse;
int32_t g_iStreamUsers;
uint16_t g_uStreamClut;
uint8_t *g_pStreamBuffer;
int32_t g_iStreamBufferSize;
int16_t g_asStreamMoviePos[2];
const uint16_t *g_pStreamPixels;
int32_t g_iStreamPixelWidth;
int32_t g_iStreamPixelHeight;
int32_t g_iStreamDisplayBuffer;
int32_t g_abStreamDisplayBusy[2];

namespace {

uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void ReadHead()
{
    uint8_t result[8] = {};
    if (Plat_CdCommand(PLAT_CD_CMD_GETLOC, nullptr, result))
        std::memcpy(g_abStreamHead, result, 3);
}

// The stream buffer becomes a zeroed buffer of size bytes (0: none). The stream library and the
// frame slots let go of the old one first: nothing may point into freed memory.
bool ReplaceBuffer(int32_t size)
{
    Sys_StreamLibSetRing(nullptr, 0);
    Sys_StreamResetFrames();
    g_pStreamPixels = nullptr;
    std::free(g_pStreamBuffer);
    g_pStreamBuffer = size > 0 ? static_cast<uint8_t *>(std::calloc(1, static_cast<size_t>(size))) : nullptr;
    g_iStreamBufferSize = g_pStreamBuffer ? size : 0;
    return g_pStreamBuffer || size == 0;
}

void HandRing()
{
    if (g_bStreamTextureInUse && g_pStreamBuffer)
        Sys_StreamLibSetRing(g_pStreamBuffer, g_iStreamBufferSize / 2048);
}

// Frames stored since the stream last started from its first frame or passed its last.
int32_t s_bPassHasFrames;

void RestartLibrary()
{
    Sys_StreamLibClear();
    HandRing();
    Sys_StreamLibSetup(0, g_iStreamFirstFrame, -1, nullptr, nullptr);
}

// A pass cut short (a stop, a read error, a stray head) still counts as a pass, so the frames of
// the next one are newer than those still held: frames only ever replace older ones.
void NewPass()
{
    if (s_bPassHasFrames)
        g_uStreamLoop += 0x10000;
    s_bPassHasFrames = 0;
}

} // namespace

int32_t Sys_StreamStart(const char *fileName)
{
    DISCFILE *file = Sys_DiscOpen(fileName);
    if (!file)
        return -1;
    g_uStreamLoop = 0;
    s_bPassHasFrames = 0;
    g_iStreamControl = STREAM_CONTROL_OPENED;
    g_iStreamRead = STREAM_READ_RESTART;
    Sys_StreamResetFrames();
    int32_t result = -1;
    const int32_t frames = Sys_DiscFileSize(file) / (int{STREAM_FRAME_SECTORS} * int{DISC_SECTOR_SIZE});
    uint8_t end[3];
    // The whole movie must have BCD positions, its last sector included.
    if (file->uKind == DISCFILE_DISC && frames > 0 &&
        Sys_MsfFromSector(static_cast<int>(file->uStartSector), g_abStreamStart) == 0 &&
        Sys_MsfFromSector(static_cast<int>(file->uStartSector) + frames * STREAM_FRAME_SECTORS, end) == 0) {
        g_iStreamFirstFrame = 1;
        g_iStreamLastFrame = frames;
        RestartLibrary();
        Sys_CdSeekTo(g_abStreamStart);
        g_bStreamOpen = 1;
        result = 0;
    } else {
        g_bStreamOpen = 0;
    }
    ReadHead();
    Sys_DiscClose(file);
    return result;
}

void Sys_StreamUpdate()
{
    // No movie on the disc: nothing to ask the drive.
    if (!g_bStreamOpen)
        return;
    if (g_iStreamControl == STREAM_CONTROL_STOP) {
        Sys_StreamStop();
        return;
    }
    if (g_iStreamControl == STREAM_CONTROL_START) {
        g_bStreaming = 1;
        g_iStreamRead = STREAM_READ_READING;
        Sys_CdSeekTo(g_abStreamStart);
        NewPass();
        RestartLibrary();
        Sys_StreamStartRead();
        g_iStreamControl = STREAM_CONTROL_RUNNING;
    }
    switch (g_iStreamRead) {
    case STREAM_READ_READING: {
        int32_t inside = Sys_StreamPositionInRange(g_abStreamHead[0], g_abStreamHead[1], g_abStreamHead[2]);
        Sys_DebugPrintf("Head %02x, %02x, %02x, %s\n", g_abStreamHead[0], g_abStreamHead[1], g_abStreamHead[2],
                        inside ? "OK" : "BAD");
        ReadHead();
        if (inside && !Sys_StreamReadFrame() && Sys_StreamLibNextSector() < 0)
            inside = 0; // the read failed or the drive refused the next one: start over
        if (!inside) {
            Sys_CdSeekTo(g_abStreamStart);
            g_iStreamRead = STREAM_READ_WAITING;
        }
        break;
    }
    case STREAM_READ_WAITING:
        if (Sys_StreamPollRead()) {
            g_iStreamRead = STREAM_READ_READING;
            NewPass();
            RestartLibrary();
            Sys_StreamStartRead();
        }
        break;
    case STREAM_READ_RESTART:
        Sys_CdSeekTo(g_abStreamStart);
        g_iStreamRead = STREAM_READ_WAITING;
        break;
    default:
        break;
    }
}

void Sys_StreamStop()
{
    Sys_StreamPause();
    g_iStreamControl = STREAM_CONTROL_START;
}

void Sys_StreamPause()
{
    // A drive that refuses the pause is left as it is: the stream stops reading all the same.
    for (int i = 0; i < DISC_COMMAND_TRIES; ++i) {
        if (Plat_CdCommand(PLAT_CD_CMD_PAUSE, nullptr, nullptr))
            break;
    }
    Sys_StreamLibStopRead();
    g_bStreaming = 0;
}

int32_t Sys_CdSeekTo(const uint8_t *msf)
{
    if (!msf)
        return 0;
    uint8_t pos[3];
    std::memcpy(pos, msf, 3); // msf may be the stream position itself
    bool accepted = false;
    for (int i = 0; i < DISC_COMMAND_TRIES && !accepted; ++i)
        accepted = Plat_CdCommand(PLAT_CD_CMD_SETLOC, pos, nullptr) != 0;
    if (accepted)
        ReadHead();
    std::memcpy(g_abStreamPos, pos, 3);
    return accepted ? 1 : 0;
}

void Sys_StreamStartRead()
{
    if (!Sys_StreamLibStartRead(Sys_SectorFromMsf(g_abStreamPos))) {
        Sys_CdSeekTo(g_abStreamPos);
        g_iStreamRead = STREAM_READ_WAITING;
    }
}

int32_t Sys_StreamPollRead()
{
    uint8_t result[8] = {};
    const int answer = Plat_CdSync(1, result);
    if (answer == PLAT_CD_ANSWER_DATA)
        return 1;
    if (answer == PLAT_CD_ANSWER_ERROR)
        Sys_CdSeekTo(g_abStreamPos);
    return 0;
}

int32_t Sys_StreamPositionInRange(uint8_t m, uint8_t s, uint8_t f)
{
    const uint8_t msf[3] = {m, s, f};
    const int sector = Sys_SectorFromMsf(msf);
    // Not a position at all (bad digits, second 60 or more, frame 75 or more, minute 75 or more):
    // not the drive's to judge, taken as inside.
    if (sector < 0 || m >= 0x75)
        return 1;
    const int start = Sys_SectorFromMsf(g_abStreamStart);
    const int end = start + STREAM_FRAME_SECTORS * (g_iStreamLastFrame - g_iStreamFirstFrame + 1);
    return sector >= start && sector <= end ? 1 : 0;
}

int32_t Sys_MsfAdd(const uint8_t *msf, uint8_t *outMsf, int32_t sectors)
{
    if (!msf || !outMsf)
        return -1;
    const int sector = Sys_SectorFromMsf(msf);
    if (sector < 0)
        return -1;
    const int64_t sum = int64_t{sector} + sectors;
    if (sum < 0 || sum > 0x7FFFFFFF)
        return -1;
    return Sys_MsfFromSector(static_cast<int>(sum), outMsf);
}

int32_t Sys_StreamReadFrame()
{
    uint32_t *buffer = nullptr;
    STREAMHEADER *header = nullptr;
    if (Sys_StreamLibNext(&buffer, &header) != 0)
        return 0;
    Sys_DebugPrintf("Frame %d\n", static_cast<int>(header->uFrameNumber));
    g_iStreamDisplayBuffer ^= 1;
    if (g_abStreamDisplayBusy[g_iStreamDisplayBuffer])
        g_iStreamDisplayBuffer ^= 1;
    // The time is taken before a loop is counted, so the last frame of a pass sorts before the
    // first frame of the next.
    const uint32_t time = g_uStreamLoop | header->uFrameNumber;
    s_bPassHasFrames = 1;
    if (static_cast<int64_t>(header->uFrameNumber) >= g_iStreamLastFrame) {
        g_uStreamLoop += 0x10000;
        s_bPassHasFrames = 0;
        g_iStreamRead = STREAM_READ_RESTART;
    }
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(buffer);
    const uint32_t offset = U32(bytes);
    const uint32_t width = header->uWidth / 2u, height = header->uHeight;
    const uint64_t end = 12ull + offset + 2ull * width * height;
    if (header->uKind != STREAM_KIND_PICTURE || width == 0 || height == 0 || end > header->uFrameBytes) {
        Sys_ReleaseBuffer(buffer);
        return 1;
    }
    void *data = reinterpret_cast<uint8_t *>(buffer) + 12 + offset;
    const uint16_t rect[4] = {static_cast<uint16_t>(g_asStreamMoviePos[0]), static_cast<uint16_t>(g_asStreamMoviePos[1]),
                              static_cast<uint16_t>(width), static_cast<uint16_t>(height)};
    if (Sys_StreamPutFrame(rect, data, buffer, time, STREAM_PUT_NEWEST) != 0) {
        Sys_ReleaseBuffer(buffer);
        return 1;
    }
    g_pStreamPixels = static_cast<const uint16_t *>(data);
    g_iStreamPixelWidth = static_cast<int32_t>(width);
    g_iStreamPixelHeight = static_cast<int32_t>(height);
    return 1;
}

int32_t Sys_StreamPutFrame(const uint16_t rect[4], void *data, void *buffer, uint32_t time, int32_t kind)
{
    if (kind != STREAM_PUT_NEWEST && kind != STREAM_PUT_ANY)
        return -1;
    if (kind == STREAM_PUT_NEWEST) {
        for (STREAMSLOT &s : g_astStreamSlots) {
            if (s.uState == STREAM_SLOT_USED && s.uTime < time) {
                if (s.pData == g_pStreamPixels)
                    g_pStreamPixels = nullptr;
                Sys_ReleaseBuffer(s.pRelease);
                s.uState = STREAM_SLOT_FREE;
                s.pData = s.pRelease = nullptr;
            }
        }
    }
    for (STREAMSLOT &s : g_astStreamSlots) {
        if (s.uState == STREAM_SLOT_USED)
            continue;
        for (int i = 0; i < 4; ++i)
            s.auRect[i] = rect ? rect[i] : 0;
        s.pData = data;
        s.pRelease = buffer;
        s.uTime = time;
        s.uState = STREAM_SLOT_USED;
        s.uKind = static_cast<uint16_t>(kind);
        return 0;
    }
    return -1;
}

void Sys_StreamResetFrames()
{
    for (STREAMSLOT &s : g_astStreamSlots) {
        s.uState = STREAM_SLOT_FREE;
        s.pData = nullptr;
        s.pRelease = nullptr;
    }
}

void Sys_StreamFreeFrames()
{
    for (STREAMSLOT &s : g_astStreamSlots) {
        if (s.uState == STREAM_SLOT_USED)
            Sys_ReleaseBuffer(s.pRelease);
        s.uState = STREAM_SLOT_FREE;
        s.pData = nullptr;
        s.pRelease = nullptr;
    }
    g_pStreamPixels = nullptr;
}

int32_t Sys_StreamAcquire()
{
    if (++g_iStreamUsers == 1 && !Sys_StreamCreateTexture()) {
        // Not a user after all: the next acquire tries again.
        g_iStreamUsers = 0;
        return 0;
    }
    return 1;
}

void Sys_StreamRelease()
{
    if (g_iStreamUsers <= 0)
        return;
    if (--g_iStreamUsers == 0)
        Sys_StreamFreeTexture();
}

int32_t Sys_StreamCreateTexture()
{
    IMAGEREC *rec = Gfx_AllocImageArea(STREAM_TEXTURE_WIDTH, STREAM_TEXTURE_HEIGHT, IMAGE_KIND_16BIT);
    if (!rec) {
        Sys_StreamFreeTexture();
        return 0;
    }
    // Two of the area's 8-bit columns make one 16-bit pixel.
    rec->width = static_cast<int16_t>(rec->width / 2);
    g_pStreamTexture = rec;
    g_uStreamClut = Gfx_AllocClut(nullptr, 1);
    const TEXPAGE &page = g_aTexPages[rec->page & 31];
    g_asStreamMoviePos[0] = static_cast<int16_t>(page.x + rec->x / 4);
    g_asStreamMoviePos[1] = static_cast<int16_t>(page.y + rec->v);
    rec->page = Sys_TexturePageId(2, 0, g_asStreamMoviePos[0], g_asStreamMoviePos[1]);
    g_bStreamTextureInUse = 1;
    if (!ReplaceBuffer(STREAM_RING_BYTES)) {
        Sys_StreamFreeTexture();
        return 0;
    }
    HandRing();
    return 1;
}

void Sys_StreamFreeTexture()
{
    if (g_bStreamTextureInUse) {
        Gfx_FreeImageArea(g_pStreamTexture);
        if (g_uStreamClut)
            Gfx_FreeClut(g_uStreamClut, 1);
        g_uStreamClut = 0;
        g_pStreamTexture = nullptr;
        g_bStreamTextureInUse = 0;
    }
    ReplaceBuffer(STREAM_SMALL_BYTES);
}

void Sys_StreamClearRing()
{
    if (!g_bStreaming)
        return;
    g_bStreaming = 0;
    Sys_StreamLibStopRead();
    Sys_StreamLibClear();
}

void Sys_StreamShutdown()
{
    if (g_bStreaming)
        Sys_StreamPause();
    g_iStreamUsers = 0;
    Sys_StreamFreeTexture();
    ReplaceBuffer(0);
    g_bStreamOpen = 0;
}
