#include "core/streamlib.h"

#include "core/disc.h"
#include "platform/cd.h"

#include <cstring>

namespace {

enum
{
    MAX_SLOTS = 8,
};

struct SLOT
{
    int32_t bBusy;
    STREAMHEADER tHeader;
    uint8_t *pData; // STREAM_FRAME_BYTES in the ring
};

uint8_t *s_pRing;
int32_t s_iSlotCount;
SLOT s_aSlots[MAX_SLOTS];
int32_t s_iFirstFrame = 1;
int32_t s_iLastFrame = -1;
int32_t s_iLastNumber;
int32_t s_iNextSector = -1;
int32_t s_bReadPending;
int32_t s_iBadFrames;
// The sectors of the read in progress.
alignas(4) uint8_t s_abSectors[int{STREAM_FRAME_SECTORS} * int{DISC_SECTOR_SIZE}];

uint16_t U16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

SLOT *FreeSlot()
{
    for (int32_t i = 0; i < s_iSlotCount; i++) {
        if (!s_aSlots[i].bBusy)
            return &s_aSlots[i];
    }
    return nullptr;
}

bool IssueRead()
{
    uint8_t msf[4] = {};
    if (s_iNextSector < 0 || Sys_MsfFromSector(s_iNextSector, msf) != 0)
        return false;
    if (!Plat_CdCommand(PLAT_CD_CMD_SETLOC, msf, nullptr))
        return false;
    if (!Plat_CdReadSectors(STREAM_FRAME_SECTORS, s_abSectors, STREAM_READ_MODE))
        return false;
    s_bReadPending = 1;
    return true;
}

// The six sectors read must be one frame: same magic, kind, frame number and sizes, indices in
// order, and a picture that lies inside the frame's data.
bool CheckFrame(STREAMHEADER *out)
{
    const uint8_t *h0 = s_abSectors;
    const uint16_t kind = U16(h0 + 2);
    const uint32_t number = U32(h0 + 8), bytes = U32(h0 + 12);
    for (int32_t i = 0; i < STREAM_FRAME_SECTORS; i++) {
        const uint8_t *h = s_abSectors + i * DISC_SECTOR_SIZE;
        if (U16(h) != STREAM_SECTOR_MAGIC || U16(h + 2) != kind || U16(h + 4) != i ||
            U16(h + 6) != STREAM_FRAME_SECTORS || U32(h + 8) != number || U32(h + 12) != bytes ||
            std::memcmp(h + 16, h0 + 16, 4) != 0)
            return false;
    }
    if (number == 0 || number > 0x7FFFFFFFu || bytes < 12 || bytes > STREAM_FRAME_BYTES)
        return false;
    out->uKind = kind;
    out->uSectors = STREAM_FRAME_SECTORS;
    out->uFrameNumber = number;
    out->uFrameBytes = bytes;
    out->uWidth = U16(h0 + 16);
    out->uHeight = U16(h0 + 18);
    return true;
}

void JoinFrame(uint8_t *dst)
{
    for (int32_t i = 0; i < STREAM_FRAME_SECTORS; i++)
        std::memcpy(dst + i * STREAM_SECTOR_DATA, s_abSectors + i * DISC_SECTOR_SIZE + STREAM_SECTOR_HEADER,
                    STREAM_SECTOR_DATA);
}

} // namespace

void Sys_StreamLibSetRing(void *ring, int32_t sectors)
{
    Sys_StreamLibClear();
    s_pRing = static_cast<uint8_t *>(ring);
    s_iSlotCount = 0;
    if (!ring || sectors <= 0)
        return;
    const int64_t bytes = int64_t{sectors} * DISC_SECTOR_SIZE;
    s_iSlotCount = static_cast<int32_t>(bytes / STREAM_FRAME_BYTES);
    if (s_iSlotCount > MAX_SLOTS)
        s_iSlotCount = MAX_SLOTS;
    for (int32_t i = 0; i < s_iSlotCount; i++)
        s_aSlots[i].pData = s_pRing + static_cast<size_t>(i) * STREAM_FRAME_BYTES;
}

void Sys_StreamLibSetup(int32_t, int32_t firstFrame, int32_t lastFrame, void (*)(), void (*)())
{
    s_iFirstFrame = firstFrame;
    s_iLastFrame = lastFrame;
}

void Sys_StreamLibClear()
{
    for (SLOT &s : s_aSlots) {
        s.bBusy = 0;
        s.tHeader = STREAMHEADER{};
    }
    s_bReadPending = 0;
    s_iNextSector = -1;
    s_iLastNumber = 0;
}

int32_t Sys_StreamLibStartRead(int32_t sector)
{
    s_bReadPending = 0;
    s_iNextSector = sector;
    if (s_iSlotCount == 0 || !IssueRead()) {
        s_iNextSector = -1;
        return 0;
    }
    return 1;
}

void Sys_StreamLibStopRead()
{
    s_bReadPending = 0;
    s_iNextSector = -1;
}

int32_t Sys_StreamLibNext(uint32_t **buffer, STREAMHEADER **header)
{
    if (!buffer || !header || !s_bReadPending)
        return 1;
    SLOT *slot = FreeSlot();
    if (!slot)
        return 1; // the ring is full: the sectors wait in the drive's buffer
    uint8_t result[8] = {};
    const int32_t left = Plat_CdReadSync(1, result);
    if (left > 0)
        return 1;
    s_bReadPending = 0;
    if (left < 0) {
        // Read error: the caller sees no frames and goes back to its start.
        s_iNextSector = -1;
        return 1;
    }
    STREAMHEADER h{};
    const bool good = CheckFrame(&h);
    s_iNextSector += STREAM_FRAME_SECTORS;
    if (!good)
        ++s_iBadFrames;
    const bool wanted = good && static_cast<int64_t>(h.uFrameNumber) >= s_iFirstFrame &&
                        (s_iLastFrame < 0 || static_cast<int64_t>(h.uFrameNumber) <= s_iLastFrame);
    if (wanted) {
        JoinFrame(slot->pData);
        slot->tHeader = h;
        slot->bBusy = 1;
        s_iLastNumber = static_cast<int32_t>(h.uFrameNumber);
    }
    // Keep the drive reading while the frame is used.
    if (!IssueRead())
        s_iNextSector = -1;
    if (!wanted)
        return 1;
    *buffer = reinterpret_cast<uint32_t *>(slot->pData);
    *header = &slot->tHeader;
    return 0;
}

int32_t Sys_StreamLibFrameNumber()
{
    return s_iLastNumber;
}

int32_t Sys_ReleaseBuffer(void *buffer)
{
    for (int32_t i = 0; i < s_iSlotCount; i++) {
        if (s_aSlots[i].bBusy && s_aSlots[i].pData == buffer) {
            s_aSlots[i].bBusy = 0;
            return 0;
        }
    }
    return -1;
}

int32_t Sys_StreamLibNextSector()
{
    return s_iNextSector;
}

int32_t Sys_StreamLibBadFrames()
{
    return s_iBadFrames;
}
