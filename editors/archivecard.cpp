// Card 3 of the save lists: the prepared songs of the archive's "/PERF" folders shown as if they
// were saves on a card. Listing and reading are served at once by the two event handlers.
#include "editors/filescreen.h"

#include "core/archive.h"
#include "core/cardsave.h"
#include "core/event.h"

#include <algorithm>
#include <cstring>
#include <vector>

int32_t g_iArchiveFolder = 0;
int32_t g_iArchiveFolderCount = 0;

namespace {

constexpr int kMaxSaves = 15;
uint8_t s_abHeader[CARD_ICON_HEADER_BYTES];

// The index path of "/PERF" and the depth of its folders.
int PerfPath(uint16_t *path)
{
    return Sys_WadDirPathToIndices("/PERF", path);
}

// Colours of the slots' icons when their header has none.
const uint8_t kSlotColours[kMaxSaves][3] = {
    {200, 80, 80},  {80, 200, 80},  {80, 80, 200},  {200, 200, 80}, {80, 200, 200},
    {200, 80, 200}, {220, 140, 60}, {60, 140, 220}, {140, 220, 60}, {220, 60, 140},
    {140, 60, 220}, {60, 220, 140}, {180, 180, 180}, {120, 160, 200}, {200, 160, 120},
};

} // namespace

void Ed_ArchiveCardList(uintptr_t arg)
{
    CARDSTATE *state = reinterpret_cast<CARDSTATE *>(arg);
    Sys_CardResetState(3);
    uint16_t path[8] = {};
    const int depth = PerfPath(path);
    g_iArchiveFolderCount = depth > 0 ? std::max(Sys_WadCountAt(path, depth), 0) : 0;
    g_iArchiveFolder = std::clamp(g_iArchiveFolder, 0, std::max(g_iArchiveFolderCount - 1, 0));
    if (!state || depth <= 0 || depth > 5 || g_iArchiveFolderCount == 0)
        return;
    path[depth] = uint16_t(g_iArchiveFolder);
    const int files = std::min(std::max(Sys_WadFileCountAt(path, depth + 1), 0), kMaxSaves);
    for (int i = 0; i < files; i++) {
        path[depth + 1] = uint16_t(i);
        uint32_t size = 0;
        char name[9] = {};
        void *whole = Sys_WadLoadEntryAlloc(0, path, depth + 2, name, &size);
        std::free(whole);
        state->auSize[i] = size;
        state->aucBlocks[i] = uint8_t(std::min<uint32_t>((size + CARD_BLOCK_BYTES - 1) / CARD_BLOCK_BYTES, 255));
        state->auState[i] = 3;
        std::memcpy(state->aucColour[i], kSlotColours[i], 3);
        std::memset(s_abHeader, 0, sizeof s_abHeader);
        if (Sys_WadLoadEntryByIndex(s_abHeader, path, depth + 2, int(sizeof s_abHeader), sizeof s_abHeader)) {
            CARDICONREQUEST r{};
            r.iCard = 3;
            r.iSlot = i;
            r.pHeader = s_abHeader;
            r.uBytes = std::min<uint32_t>(size, sizeof s_abHeader);
            r.uFlags = 2;
            Sys_CardLoadSaveIcon(&r);
        }
    }
    if (state->pPresent)
        state->pPresent[2] = CARD_PRESENT;
}

void Ed_ArchiveCardRead(uintptr_t arg)
{
    CARDREADREQUEST *request = reinterpret_cast<CARDREADREQUEST *>(arg);
    if (!request)
        return;
    bool ok = false;
    uint16_t path[8] = {};
    const int depth = PerfPath(path);
    if (depth > 0 && depth <= 5 && request->pBuffer && request->iSlot >= 0 && request->iSlot < kMaxSaves) {
        path[depth] = uint16_t(std::max(g_iArchiveFolder, 0));
        path[depth + 1] = uint16_t(request->iSlot);
        uint32_t size = 0;
        char name[9] = {};
        uint8_t *whole = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, depth + 2, name, &size));
        // A save shorter than its header holds no data: refused, never read backwards.
        if (whole && size >= SAVEHEADER_BYTES) {
            std::memcpy(s_abHeader, whole, SAVEHEADER_BYTES);
            std::memcpy(request->pBuffer, whole + SAVEHEADER_BYTES, size - SAVEHEADER_BYTES);
            ok = true;
        }
        std::free(whole);
    }
    // A failed read says so: the caller must not load a buffer that was never filled.
    if (request->pfnDone)
        request->pfnDone(ok ? 1 : 0);
}

int32_t Ed_ArchiveCardSelect(int32_t n)
{
    const int32_t clamped = std::clamp(n, 0, std::max(g_iArchiveFolderCount, 0));
    if (clamped != g_iArchiveFolder) {
        g_iArchiveFolder = clamped;
        Ed_ArchiveCardList(reinterpret_cast<uintptr_t>(&g_aCardState[2]));
    }
    return clamped;
}

void Ed_RegisterArchiveCard()
{
    if (Sys_EventCountHandlers(CARD_EV_SELECT) <= 0)
        Sys_EventAddHandler(CARD_EV_SELECT, Ed_ArchiveCardList);
    if (Sys_EventCountHandlers(CARD_EV_READ) <= 0)
        Sys_EventAddHandler(CARD_EV_READ, Ed_ArchiveCardRead);
}

void Ed_UnregisterArchiveCard()
{
    Sys_EventRemoveHandler(CARD_EV_SELECT, Ed_ArchiveCardList);
    Sys_EventRemoveHandler(CARD_EV_READ, Ed_ArchiveCardRead);
}
