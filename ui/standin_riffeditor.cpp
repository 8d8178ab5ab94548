// STAND-INS (see standin_riffeditor.h).
#include "ui/standin_riffeditor.h"

#include "app/calllog.h"
#include "app/timers.h"
#include "render/prims2d.h"
#include "ui/handlers.h"

#include <algorithm>

#define STANDIN __attribute__((weak))

namespace {

struct VALUEREQUEST
{
    void *target = nullptr;
    int32_t width = 0;
    uint32_t min = 0, max = 0;
    int32_t title = -1;
    void (*done)() = nullptr;
};
VALUEREQUEST s_request;

} // namespace

STANDIN void Ui_OpenNoteValueEditor(void *target, int32_t width, uint32_t min, uint32_t max, int32_t title,
                                    void (*done)())
{
    Sys_CallLog("Ui_OpenNoteValueEditor");
    s_request = VALUEREQUEST{target, width, min, max, title, done};
}

STANDIN bool Ui_StandinValueEditorSet(uint32_t value)
{
    if (!s_request.target)
        return false;
    const uint32_t v = std::clamp(value, s_request.min, s_request.max);
    switch (s_request.width) {
    case 0: *static_cast<uint8_t *>(s_request.target) = uint8_t(std::min<uint32_t>(v, 255)); break;
    case 1: *static_cast<uint16_t *>(s_request.target) = uint16_t(std::min<uint32_t>(v, 65535)); break;
    default: *static_cast<uint32_t *>(s_request.target) = v; break;
    }
    void (*done)() = s_request.done;
    s_request = VALUEREQUEST{};
    if (done)
        done();
    return true;
}

STANDIN int32_t Ui_StandinValueEditorTitle()
{
    return s_request.target ? s_request.title : -1;
}

// The curve as straight lines between its points; a list holds (x, y) pairs of 0..255.
STANDIN void Ed_DrawNoteCurve(const uint16_t *values, int32_t count, int32_t x, int32_t y, int32_t w, int32_t h)
{
    const auto px = [&](uint16_t v) { return x + (v >> 8) * (w - 1) / 255; };
    const auto py = [&](uint16_t v) { return y + h - 1 - (v & 0xFF) * (h - 1) / 255; };
    for (int32_t i = 1; i < count && i < 64; i++)
        Gfx_AddLine(px(values[i - 1]), py(values[i - 1]), px(values[i]), py(values[i]), 0, 128, 64);
    Gfx_AddTile(x, y, w, h, 16, 22, 20);
}

STANDIN void Ed_OpenCurveEditor(int32_t)
{
    Ui_RefuseUnbuilt("Ed_OpenCurveEditor");
}

// The quit question: until the requesters are built the request quits at once, as before.
STANDIN void Ui_AskQuit()
{
    Sys_CallLog("Ui_AskQuit");
    Sys_RequestQuit();
}

STANDIN void Ui_OpenRiffPalettePopup()
{
    Sys_CallLog("Ui_OpenRiffPalettePopup");
}

STANDIN void Ui_RebuildChannelLinks() {}

STANDIN void Ui_ChannelLinkAction()
{
    Ui_RefuseUnbuilt("Ui_ChannelLinkAction");
}

STANDIN void Ui_OpenNoteEffectPopup()
{
    Ui_RefuseUnbuilt("Ui_OpenNoteEffectPopup");
}

STANDIN int32_t Ui_NoteEffectNumber(uint8_t)
{
    return 0;
}
