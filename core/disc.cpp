#include "core/disc.h"

#include "core/file.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/event.h"
#include "platform/clock.h"
#include "sequencer/instruments.h"
#include "ui/msgbox.h"

#include <cstdlib>
#include <cstring>

DISCFILE g_aDiscFiles[DISC_MAX_FILES];
int g_bDiscLayerOn;
int g_bDiscDataDisc;
// Raised by a disc change seen while waiting on the drive's lid; the song loader reads it.
int g_bDiscChanged;

namespace {

enum
{
    POLL_MS = 10,
    // Polls of a drive status that means neither "lid open" nor "changed".
    STATUS_POLLS = 10,
    // The console's read mode for data sectors.
    READ_MODE_DATA = 0x80,
};

alignas(4) uint8_t s_abSectorCache[DISC_SECTOR_SIZE];
int s_iCachedSector = -1;
int s_bHostReady;

uint8_t ToBcd(int v)
{
    return static_cast<uint8_t>(((v / 10) << 4) | (v % 10));
}

int FromBcd(uint8_t b)
{
    if ((b >> 4) > 9 || (b & 15) > 9)
        return -1;
    return (b >> 4) * 10 + (b & 15);
}

bool ValidHandle(const DISCFILE *handle)
{
    return handle >= g_aDiscFiles && handle < g_aDiscFiles + DISC_MAX_FILES && handle->uKind != DISCFILE_FREE;
}

DISCFILE *FreeSlot()
{
    for (DISCFILE &f : g_aDiscFiles) {
        if (f.uKind == DISCFILE_FREE)
            return &f;
    }
    return nullptr;
}

void ClearSlot(DISCFILE *slot)
{
    std::memset(static_cast<void *>(slot), 0, sizeof(DISCFILE));
}

bool LidOpen()
{
    return (Plat_CdStatus() & PLAT_CD_STATUS_LID_OPEN) != 0;
}

// An error from the drive with its lid open takes the whole layer off.
bool SyncLidShut()
{
    uint8_t result[8] = {};
    if (Plat_CdSync(0, result) == PLAT_CD_ANSWER_ERROR && LidOpen()) {
        g_bDiscLayerOn = 0;
        return false;
    }
    return true;
}

int StatusByte()
{
    uint8_t result[8] = {};
    Plat_CdCommand(PLAT_CD_CMD_GETSTATUS, nullptr, result);
    return result[0];
}

bool TimedOut(uint32_t startMs)
{
    return Plat_Milliseconds() - startMs >= DISC_WAIT_MS;
}

// The disc's own spelling: no leading '_', rooted, an extension dot, version ";1", capitals.
int MakeDiscName(const char *name, char *out, size_t outSize)
{
    if (*name == '_')
        ++name;
    int n = std::snprintf(out, outSize, "%s%s%s;1", name[0] == '\\' ? "" : "\\", name,
                          std::strchr(name, '.') ? "" : ".");
    if (n < 0 || static_cast<size_t>(n) >= outSize)
        return -1;
    for (char *p = out; *p; ++p) {
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
    return 0;
}

int ReadHost(void *buffer, uint64_t want, DISCFILE *handle)
{
    long pos = Sys_SeekFile(handle->pHostFile, 0, 1);
    if (pos < 0)
        return 0;
    uint64_t left = static_cast<uint64_t>(pos) < handle->uHostSize ? handle->uHostSize - static_cast<uint64_t>(pos) : 0;
    if (want > left)
        want = left;
    int got = Sys_ReadFile(handle->pHostFile, buffer, static_cast<int>(want));
    return got < 0 ? 0 : got;
}

// Reads one sector into the cache; false on failure.
bool ReadIntoCache(int sector)
{
    return Sys_DiscReadSectors(sector, 1, s_abSectorCache) != 0;
}

int ReadDisc(uint8_t *dst, uint64_t want, DISCFILE *handle)
{
    const uint32_t size = handle->stDisc.uSize;
    const uint32_t pos = handle->uPosition;
    if (pos > size)
        want = 0;
    else if (pos + want > size)
        want = size - pos;
    uint64_t done = 0;
    int sector = static_cast<int>(handle->uStartSector + pos / DISC_SECTOR_SIZE);
    uint32_t offset = pos % DISC_SECTOR_SIZE;
    if (want > 0 && offset != 0) {
        if (!ReadIntoCache(sector))
            return 0;
        uint64_t n = DISC_SECTOR_SIZE - offset;
        if (n > want)
            n = want;
        std::memcpy(dst, s_abSectorCache + offset, n);
        done += n;
        ++sector;
    }
    uint64_t whole = (want - done) / DISC_SECTOR_SIZE;
    if (whole > 0) {
        if ((reinterpret_cast<uintptr_t>(dst + done) & 3) == 0) {
            if (!Sys_DiscReadSectors(sector, static_cast<int>(whole), dst + done))
                return 0;
        } else {
            for (uint64_t i = 0; i < whole; ++i) {
                if (!ReadIntoCache(sector + static_cast<int>(i)))
                    return 0;
                std::memcpy(dst + done + i * DISC_SECTOR_SIZE, s_abSectorCache, DISC_SECTOR_SIZE);
            }
        }
        done += whole * DISC_SECTOR_SIZE;
        sector += static_cast<int>(whole);
    }
    if (want > done) {
        if (!ReadIntoCache(sector))
            return 0;
        std::memcpy(dst + done, s_abSectorCache, want - done);
        done = want;
    }
    handle->uPosition = pos + static_cast<uint32_t>(done);
    return static_cast<int>(done);
}

} // namespace

void Sys_DiscInitHostFiles()
{
    // The console's file-system start has nothing to do on a host: host files are plain files.
    s_bHostReady = 1;
}

void Sys_DiscInit()
{
    g_bDiscDataDisc = 0;
    Plat_CdInit();
    if (Plat_CdCheckStatus(0) == PLAT_CD_ANSWER_DATA) {
        Plat_CdIdentifyDisc();
        g_bDiscDataDisc = 1;
    }
    Sys_DiscInitHostFiles();
    for (DISCFILE &f : g_aDiscFiles)
        ClearSlot(&f);
    s_iCachedSector = -1;
    g_bDiscLayerOn = 1;
}

void Sys_DiscShutdown()
{
    for (DISCFILE &f : g_aDiscFiles) {
        if (f.uKind != DISCFILE_FREE)
            Sys_DiscClose(&f);
    }
}

DISCFILE *Sys_DiscOpen(const char *name)
{
    if (!g_bDiscLayerOn || !name)
        return nullptr;
    if (FILE *file = Sys_OpenFileRead(name)) {
        DISCFILE *slot = FreeSlot();
        long size = slot ? Sys_SeekFile(file, 0, 2) : -1;
        if (!slot || size < 0 || size > 0x7fffffffL || Sys_SeekFile(file, 0, 0) != 0) {
            if (!slot)
                std::snprintf(g_szErrorText, sizeof(g_szErrorText),
                              "Couldn't Load File (%s). Too many open files!", name);
            Sys_CloseFile(file);
            return nullptr;
        }
        ClearSlot(slot);
        slot->uKind = DISCFILE_HOST;
        slot->uHostSize = static_cast<uint32_t>(size);
        slot->pHostFile = file;
        return slot;
    }
    if (!g_bDiscDataDisc)
        return nullptr;
    char discName[64];
    DISCFILE *slot = FreeSlot();
    if (!slot || MakeDiscName(name, discName, sizeof(discName)) != 0)
        return nullptr;
    ClearSlot(slot);
    bool found = false;
    for (int i = 0; i < 5 && !found; ++i)
        found = Plat_CdFindFile(&slot->stDisc, discName) != 0;
    int start = found ? Sys_SectorFromMsf(slot->stDisc.abPosition) : -1;
    if (start < 0 || slot->stDisc.uSize > 0x7fffffffu) {
        ClearSlot(slot);
        return nullptr;
    }
    slot->uStartSector = static_cast<uint32_t>(start);
    slot->uKind = DISCFILE_DISC;
    return slot;
}

int Sys_DiscFileSize(DISCFILE *handle)
{
    if (!g_bDiscLayerOn || !ValidHandle(handle))
        return -1;
    if (handle->uKind == DISCFILE_DISC)
        return static_cast<int>(handle->stDisc.uSize);
    long here = Sys_SeekFile(handle->pHostFile, 0, 1);
    long size = Sys_SeekFile(handle->pHostFile, 0, 2);
    if (here < 0 || size < 0 || Sys_SeekFile(handle->pHostFile, here, 0) < 0)
        return -1;
    return static_cast<int>(size);
}

int Sys_DiscRead(void *buffer, int size, int count, DISCFILE *handle)
{
    if (!g_bDiscLayerOn || !ValidHandle(handle) || !buffer || size <= 0 || count <= 0)
        return 0;
    uint64_t want = static_cast<uint64_t>(size) * static_cast<uint64_t>(count);
    if (handle->uKind == DISCFILE_HOST)
        return ReadHost(buffer, want, handle);
    return ReadDisc(static_cast<uint8_t *>(buffer), want, handle);
}

int Sys_DiscSeek(DISCFILE *handle, int offset, int whence)
{
    if (!g_bDiscLayerOn)
        return 0;
    if (!ValidHandle(handle) || whence < 0 || whence > 2)
        return -1;
    if (handle->uKind == DISCFILE_HOST) {
        long pos = Sys_SeekFile(handle->pHostFile, offset, whence);
        return pos > 0x7fffffffL ? -1 : static_cast<int>(pos);
    }
    int64_t pos = whence == 0   ? offset
                  : whence == 1 ? int64_t{handle->uPosition} + offset
                                : int64_t{handle->stDisc.uSize} - offset;
    if (pos < 0 || pos > 0x7fffffff)
        return -1;
    handle->uPosition = static_cast<uint32_t>(pos);
    return static_cast<int>(pos);
}

void Sys_DiscClose(DISCFILE *handle)
{
    // Closed even with the layer off: a host file must not outlive its slot.
    if (!ValidHandle(handle))
        return;
    if (handle->uKind == DISCFILE_HOST)
        Sys_CloseFile(handle->pHostFile);
    ClearSlot(handle);
}

void *Sys_DiscLoadFile(int /*region*/, const char *name)
{
    DISCFILE *handle = Sys_DiscOpen(name);
    if (!handle)
        return nullptr;
    int size = Sys_DiscFileSize(handle);
    void *buffer = size > 0 ? std::malloc(static_cast<size_t>(size)) : nullptr;
    if (buffer && Sys_DiscRead(buffer, size, 1, handle) != size) {
        std::free(buffer);
        buffer = nullptr;
    }
    Sys_DiscClose(handle);
    return buffer;
}

int Sys_DiscReadSectors(int sector, int count, void *buffer)
{
    if (!g_bDiscLayerOn || sector < 0 || count <= 0 || !buffer)
        return 0;
    const bool intoCache = buffer == s_abSectorCache;
    if (intoCache && count == 1 && sector == s_iCachedSector)
        return 1;
    uint8_t msf[4] = {};
    if (Sys_MsfFromSector(sector, msf) != 0)
        return 0;
    // The cache is about to be overwritten: forget what it held until the read succeeds.
    if (intoCache)
        s_iCachedSector = -1;
    if (!SyncLidShut())
        return 0;
    bool accepted = false;
    for (int i = 0; i < DISC_COMMAND_TRIES && !accepted; ++i) {
        accepted = Plat_CdCommand(PLAT_CD_CMD_SEEKDATA, msf, nullptr) != 0;
        if (!accepted && LidOpen()) {
            g_bDiscLayerOn = 0;
            return 0;
        }
    }
    if (!accepted || !SyncLidShut())
        return 0;
    accepted = false;
    for (int i = 0; i < DISC_COMMAND_TRIES && !accepted; ++i) {
        accepted = Plat_CdReadSectors(count, buffer, READ_MODE_DATA) != 0;
        if (!accepted && LidOpen()) {
            g_bDiscLayerOn = 0;
            return 0;
        }
    }
    if (!accepted)
        return 0;
    const uint32_t start = Plat_Milliseconds();
    for (;;) {
        uint8_t result[8] = {};
        int left = Plat_CdReadSync(1, result);
        if (left == 0)
            break;
        if (left < 0) {
            // A failed read is a failure whatever the lid says.
            if (LidOpen())
                g_bDiscLayerOn = 0;
            return 0;
        }
        if (TimedOut(start))
            return 0;
        Plat_SleepMs(1);
    }
    if (intoCache)
        s_iCachedSector = sector;
    return 1;
}

int Sys_MsfFromSector(int sector, uint8_t *outMsf)
{
    // Two BCD digits of minutes: 100 minutes is beyond any position.
    if (!outMsf || sector < 0 || sector >= 100 * 4500)
        return -1;
    outMsf[0] = ToBcd(sector / 4500);
    outMsf[1] = ToBcd((sector / 75) % 60);
    outMsf[2] = ToBcd(sector % 75);
    return 0;
}

int Sys_SectorFromMsf(const uint8_t *msf)
{
    if (!msf)
        return -1;
    int m = FromBcd(msf[0]), s = FromBcd(msf[1]), f = FromBcd(msf[2]);
    if (m < 0 || s < 0 || f < 0 || s >= 60 || f >= 75)
        return -1;
    return m * 4500 + s * 75 + f;
}

MSGBOX *Sys_ShowOutOfMemoryBox(void (*callback)(uint8_t button))
{
    constexpr int kTextOkay = 114, kTextOutOfMemory = 348;
    MSGBOXREQUEST req{};
    const char *text = g_apszText[kTextOutOfMemory];
    req.pszText = text ? text : "Out of memory. Unable to complete this operation.";
    req.ucButtonCount = 1;
    req.asButtonText[0] = kTextOkay;
    req.pfnAnswer = callback;
    MSGBOX *box = Ui_OpenMessageBox(&req);
    Seq_PlayInterfaceSound(3);
    return box;
}

int Sys_CdStop()
{
    return Plat_CdCommand(PLAT_CD_CMD_STOP, nullptr, nullptr);
}

int Sys_CdPause()
{
    return Plat_CdCommand(PLAT_CD_CMD_PAUSE, nullptr, nullptr);
}

void Sys_CdStopDrive()
{
    const uint8_t mode[4] = {0, 0, 0, 0};
    Plat_CdCommand(PLAT_CD_CMD_SETMODE, mode, nullptr);
    Plat_CdCommand(PLAT_CD_CMD_STOP, nullptr, nullptr);
}

int Sys_CdWaitLid()
{
    const uint32_t start = Plat_Milliseconds();
    int status = StatusByte();
    for (int polls = 0;; ++polls) {
        status = Plat_CdStatus();
        if (status & PLAT_CD_STATUS_LID_OPEN) {
            Sys_WadClose();
            while ((status & PLAT_CD_STATUS_LID_OPEN) && !TimedOut(start)) {
                Plat_SleepMs(POLL_MS);
                StatusByte();
                status = Plat_CdStatus();
            }
            return status;
        }
        if (status == 1 || status == 4) {
            g_bLoadAborted = 1;
            g_bDiscChanged = 1;
            return status;
        }
        if (polls >= STATUS_POLLS || TimedOut(start))
            return status;
        Plat_SleepMs(POLL_MS);
        StatusByte();
    }
}

int Sys_DiscChange(int mode)
{
    const uint32_t start = Plat_Milliseconds();
    int errors = 0;
    int discType = 0;
    for (;;) {
        while (StatusByte() & PLAT_CD_STATUS_LID_OPEN) {
            if (TimedOut(start)) {
                g_iDiscError = 3;
                return 0;
            }
            Plat_SleepMs(POLL_MS);
        }
        int answer = Plat_CdCheckStatus(0);
        if (answer == PLAT_CD_ANSWER_ERROR) {
            if (++errors >= 2) {
                g_iDiscError = 3;
                return 0;
            }
            Plat_CdCommand(PLAT_CD_CMD_STANDBY, nullptr, nullptr);
            continue;
        }
        if (answer == PLAT_CD_ANSWER_RETRY) {
            if (TimedOut(start)) {
                g_iDiscError = 3;
                return 0;
            }
            Plat_SleepMs(POLL_MS);
            continue;
        }
        const uint8_t cdMode[4] = {0, 0, 0, 0};
        Plat_CdCommand(PLAT_CD_CMD_SETMODE, cdMode, nullptr);
        Plat_CdCommand(PLAT_CD_CMD_STANDBY, nullptr, nullptr);
        if (Plat_CdCheckStatus(0) != PLAT_CD_ANSWER_DATA || Plat_CdCheckReady(0) == -1)
            return 0;
        if (mode == 2) {
            discType = PLAT_CD_ANSWER_DATA;
            break;
        }
        int id = Plat_CdIdentifyDisc();
        if (id == PLAT_CD_ANSWER_NONE) {
            g_iDiscError = 3;
            return 0;
        }
        if (id == PLAT_CD_ANSWER_RETRY) {
            if (TimedOut(start)) {
                g_iDiscError = 3;
                return 0;
            }
            Plat_SleepMs(POLL_MS);
            continue;
        }
        discType = id;
        break;
    }
    if (mode != 1)
        return 1;
    if (discType != PLAT_CD_ANSWER_DATA) {
        g_iDiscError = 4;
        return 0;
    }
    Sys_WadClose();
    if (!Sys_WadOpen("demowad.WAD", "demowad.IND", 3)) {
        g_iDiscError = 5;
        return 0;
    }
    return 1;
}

int Sys_CountLinks(uint32_t link)
{
    // A chain can be at most one link per arena word long; a longer walk is a loop.
    constexpr int kMaxLinks = static_cast<int>(CONSOLE_ARENA_BYTES / 4);
    int count = 0;
    for (uint32_t next = Sys_ArenaReadWord(link); next != CONSOLE_LINK_END; next = Sys_ArenaReadWord(next)) {
        if (++count > kMaxLinks)
            return -1;
    }
    return count;
}

void Sys_FrameCallback()
{
    g_uTimerTicks.fetch_add(1);
    Sys_EventDispatch(0x10009, 0);
}
