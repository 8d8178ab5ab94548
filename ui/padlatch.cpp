// The pad latch of the widget frame: ports 1 and 2, plain pads and multitaps, into one working
// pad whose buttons the screen's bindings are dispatched against.
#include "core/console_memory.h"
#include "core/padbind.h"
#include "ui/mouse.h"
#include "ui/widgets.h"

#include <cstring>

namespace {

// Controller kinds: the high nibble of a port's type byte.
enum
{
    PAD_KIND_MOUSE = 1,
    PAD_KIND_ANALOGUE_JOG = 2,
    PAD_KIND_DIGITAL = 4,
    PAD_KIND_ANALOGUE = 7,
    PAD_KIND_MULTITAP = 8,
};
// A multitap holds four sub-pads of 8 bytes from byte 2 of its buffer: status, type, buttons
// (active low), then a mouse's x and y movement.
constexpr int kSubPads = 4;
constexpr int kSubPadBytes = 8;

PADBUFFER s_work;
uint16_t s_prevButtons = 0xFFFF;

void MouseMode(int8_t dx, int8_t dy)
{
    g_ucMouseButtons |= 0x80;
    (void)dx;
    (void)dy; // the mouse layer takes movement from the poll
}

void MergeMultitap(const PADBUFFER &port)
{
    const uint8_t *raw = reinterpret_cast<const uint8_t *>(&port) + 2;
    for (int k = 0; k < kSubPads; k++) {
        const uint8_t *sub = raw + k * kSubPadBytes;
        if (sub[0] == 0xFF)
            continue;
        const int kind = sub[1] >> 4;
        uint16_t buttons;
        std::memcpy(&buttons, sub + 2, 2);
        if (kind == PAD_KIND_DIGITAL || kind == PAD_KIND_ANALOGUE_JOG || kind == PAD_KIND_ANALOGUE) {
            s_work.buttons &= buttons;
            s_work.status = 0;
        } else if (kind == PAD_KIND_MOUSE) {
            MouseMode(int8_t(sub[4]), int8_t(sub[5]));
        }
    }
}

} // namespace

uint16_t g_wPadPressed = 0;
uint16_t g_wPadReleased = 0;

void Ui_LatchPads()
{
    std::memset(&s_work, 0, sizeof s_work);
    s_work.status = 0xFF;
    s_work.buttons = 0xFFFF;
    if (const PADBUFFER *p1 = Sys_PadBuffer(1)) {
        const int kind = p1->type >> 4;
        if (p1->status == 0xFF) {
            s_work.buttons = 0xFFFF;
        } else if (kind == PAD_KIND_MULTITAP) {
            MergeMultitap(*p1);
        } else if (kind == PAD_KIND_DIGITAL || kind == PAD_KIND_ANALOGUE) {
            s_work = *p1;
        } else if (kind == PAD_KIND_MOUSE) {
            MouseMode(int8_t(p1->data[0]), int8_t(p1->data[1]));
        }
    }
    if (const PADBUFFER *p2 = Sys_PadBuffer(2)) {
        const int kind = p2->type >> 4;
        if (p2->status != 0xFF) {
            if (kind == PAD_KIND_MULTITAP) {
                MergeMultitap(*p2);
            } else if (kind == PAD_KIND_DIGITAL || kind == PAD_KIND_ANALOGUE) {
                s_work.buttons &= p2->buttons;
                s_work.status = 0;
            } else if (kind == PAD_KIND_MOUSE) {
                MouseMode(0, 0);
            }
        }
    }
    const uint16_t cur = s_work.buttons;
    g_wPadPressed = (cur ^ s_prevButtons) & s_prevButtons;
    g_wPadReleased = (cur ^ s_prevButtons) & ~s_prevButtons;
    s_prevButtons = cur;
    g_wPadWorkButtons = cur;
    if (s_work.status == 0xFF) {
        Sys_PadCheckRemoved();
        return;
    }
    if (g_ucPadMissingCount) {
        g_ucPadMissingCount--;
        return;
    }
    Sys_PadDispatch();
}
