#include "video/triggers.h"

#include <atomic>

#include "core/console_memory.h"
#include "video/chase.h"
#include "video/clips.h"
#include "core/padbind.h"
#include "sequencer/songmodel.h"
#include "editors/topbar.h"
#include "ui/gridstate.h"

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

namespace {

// Trigger index 6 + i follows this bit of the pad's button word.
constexpr uint16_t kPadTriggerBits[7] = {0x4000, 0x2000, 0x1000, 0x8000, 0x0400, 0x0100, 0x0800};

bool Pressed(const PADBUFFER *pad, uint16_t bit)
{
    // Buttons are active low; a missing pad presses nothing.
    return pad && pad->status == 0 && !(pad->buttons & bit);
}

} // namespace

void Vid_PadTriggers(uintptr_t)
{
    const PADBUFFER *pad1 = Sys_PadBuffer(1), *pad2 = Sys_PadBuffer(2);
    for (int32_t i = 0; i < 7; i++) {
        if (Pressed(pad1, kPadTriggerBits[i])) {
            Vid_SetTrigger(1, 6 + i, 255);
            Vid_SetTrigger(2, 6 + i, 255);
        }
        if (Pressed(pad2, kPadTriggerBits[i])) {
            Vid_SetTrigger(1, 6 + i, 0);
            Vid_SetTrigger(2, 6 + i, 255);
        }
    }
    if (pad1 && pad1->status == 0 && (pad1->type >> 4) == 7)
        for (int32_t i = 0; i < 4; i++) {
            // Indices 13..16 take buffer bytes 7, 6, 5, 4 (data bytes 3..0).
            const int32_t axis = pad1->data[3 - i];
            Vid_SetTrigger(1, 13 + i, axis);
            Vid_SetTrigger(2, 13 + i, axis);
        }
}

void Vid_ShowScreenPrompt()
{
    switch (g_iScreen) {
    case 0:
        if (g_ucGridKind == 3)
            Ed_SetPromptText(g_ucGridPasteMode == 1 ? 44 : 45);
        break;
    case 2: Ed_SetPromptText(20); break;
    case 3: Ed_SetPromptText(21); break;
    case 7:
        if (g_ucScreenSubState < 4)
            Ed_SetPromptText(31);
        else if (g_ucScreenSubState == 4)
            Ed_SetPromptText(542);
        else if (g_ucScreenSubState == 5)
            Ed_SetPromptText(541);
        break;
    case 8: Ed_SetPromptText(33); break;
    case 12: Ed_SetPromptText(42); break;
    default: break;
    }
}
