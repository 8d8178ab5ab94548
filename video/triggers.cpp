#include "video/triggers.h"

#include <atomic>

#include "core/console_memory.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/standin_seqcalls.h"

namespace {

std::atomic<uint64_t> g_aTriggerBanks[VID_TRIGGER_BANKS][VID_TRIGGER_ENTRIES];

uint64_t Pack(int32_t value, uint32_t stamp)
{
    return static_cast<uint64_t>(stamp) << 32 | static_cast<uint16_t>(value);
}

bool InRange(int32_t bank, int32_t index)
{
    return bank >= 0 && bank < VID_TRIGGER_BANKS && index >= 0 && index < VID_TRIGGER_ENTRIES;
}

} // namespace

int Vid_SetTrigger(int32_t bank, int32_t index, int32_t value)
{
    if (InRange(bank, index))
        g_aTriggerBanks[bank][index].store(Pack(value, static_cast<uint32_t>(g_iFrameCount.load())),
                                           std::memory_order_release);
    return 0;
}

void Vid_GetTrigger(int32_t bank, int32_t index, int16_t *value, uint32_t *stamp)
{
    uint64_t w = 0;
    if (InRange(bank, index))
        w = g_aTriggerBanks[bank][index].load(std::memory_order_acquire);
    if (value)
        *value = static_cast<int16_t>(w & 0xFFFF);
    if (stamp)
        *stamp = static_cast<uint32_t>(w >> 32);
}

void Vid_ClearTriggers()
{
    for (auto &bank : g_aTriggerBanks)
        for (auto &e : bank)
            e.store(0);
}

void Vid_DecayNoteTriggers()
{
    for (int32_t i = 1; i < VID_TRIGGER_ENTRIES; i++) {
        std::atomic<uint64_t> &e = g_aTriggerBanks[0][i];
        uint64_t old = e.load(std::memory_order_acquire);
        for (;;) {
            const int16_t v = static_cast<int16_t>(old & 0xFFFF);
            if (v <= 0)
                break;
            const int32_t nv = v > 20 ? v - 20 : 0;
            // A note the mix thread writes between the load and the swap makes the swap fail; the
            // decay is then taken from the new note, never written over it.
            if (e.compare_exchange_weak(old, Pack(nv, static_cast<uint32_t>(g_iFrameCount.load())),
                                        std::memory_order_acq_rel))
                break;
        }
    }
}

void Vid_AssignChaseChannels(VIDCLIP *const *clips, int32_t position)
{
    constexpr int32_t kColumns = 99;
    bool used[kColumns] = {};
    int32_t count = 0, column = -1;
    if (position >= 0 && position < 1000)
        for (int32_t c = 0; c < kColumns; c++)
            if (g_aSongGrid[position][c]) {
                used[c] = true;
                if (column < 0)
                    column = c;
                count++;
            }
    if (!clips)
        return;
    for (int32_t lane = 0; lane < 7; lane++) {
        if (!clips[lane])
            continue;
        for (VIDCLIPENTRY *e = clips[lane]->pFirst; e; e = e->pNext) {
            CHASE *chase = e->pChase;
            if (!chase || chase->ucTrigA != 1)
                continue;
            // Column 98 gives source 100: the banks hold every index a source byte can name.
            chase->ucWorkTrigA = static_cast<uint8_t>(column >= 0 ? column + 2 : 0);
            if (count > 1) {
                int32_t next = column;
                do
                    next = next == kColumns - 1 ? 0 : next + 1;
                while (next != column && !used[next]);
                column = next;
            }
        }
    }
}
