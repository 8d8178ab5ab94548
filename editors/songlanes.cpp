#include "editors/songlanes.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "editors/options.h"
#include "render/display.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/songmodel.h"
#include "ui/clickmaps.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/gridworld.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/textfield.h"
#include "ui/valueslider.h"
#include "ui/view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

LANEDIALOG g_tLaneDialog = {};
KEYDIALOG g_tKeyDialog = {};
OPTIONGADGET g_atBarRangePage[9];
OPTIONGADGET g_atReverbPage[9];

namespace {

struct LANE
{
    int32_t kind;
    int32_t colour; // entry of the grid's cell colours
    int32_t caption;
};
// Rows 99 to 102.
constexpr LANE kLanes[ED_LANE_ROWS] = {
    {LIST_VOLUME, 24, 250}, {LIST_EFFECT, 26, 251}, {LIST_TEMPO, 25, 252}, {LIST_KEY, 27, 388}};
// Single-track riff pieces of the song grid: first, middle, last, alone.
constexpr int32_t kPieces = 940 + 3 * 4;
constexpr size_t kCellPacket = UI_SPRITE_BYTES;

TEXTFIELD *s_pCaption = nullptr;

const char *Text(int id)
{
    const char *t = Ui_Text(id);
    return t ? t : "";
}

const IMAGEREC *Image(int32_t n)
{
    return g_pImageTable && n >= 0 && n < g_iImageCount ? &g_pImageTable[n] : nullptr;
}

bool EntryAt(int32_t kind, int32_t position, TRACKQUERY *q)
{
    *q = TRACKQUERY{};
    q->iRow = int16_t(position);
    return position >= 0 && Seq_GetTrackEntryAt(q, kind) != 0;
}

// The first position of the entry that holds `position`, or -1.
int32_t EntryFirst(int32_t kind, int32_t position)
{
    TRACKQUERY q;
    if (!EntryAt(kind, position, &q))
        return -1;
    return position - q.uRowsIn;
}

const TRACKENTRY *EntryAtOrBefore(int32_t kind, int32_t position)
{
    TRACKENTRY **head = Seq_ListHead(kind);
    const TRACKENTRY *found = nullptr;
    for (const TRACKENTRY *e = head ? *head : nullptr; e; e = e->pNext)
        if (Seq_EntryRow(e) <= position)
            found = e;
    return found;
}

void Cell(uint8_t *packet, int32_t lane, int32_t column, int32_t x, int32_t y)
{
    TRACKQUERY q;
    // The second packet of rows 100 to 102 stays empty.
    if (lane >= 1 && g_pGridView && g_pGridView->packetsPerCell == 2)
        std::memset(packet + kCellPacket, 0, kCellPacket);
    if (!EntryAt(kLanes[lane].kind, column, &q)) {
        const int32_t n = ED_LANE_CELL_IMAGES + 2 * lane + ((column & 3) == 0 ? 0 : 1);
        Gfx_SetSpritePacket(packet, Image(n), x, y, 128, 128, 128);
        return;
    }
    const int32_t part = q.uLength <= 1 ? 3 : q.uRowsIn == 0 ? 0 : q.uRowsIn + 1 >= q.uLength ? 2 : 1;
    Ui_SetGridCellPacket(packet, kPieces + part, kLanes[lane].colour, x, y);
}

void GridBack()
{
    Ui_ReturnToEditorMenu();
    if (g_pGridWindow)
        Ui_SetFocus(g_pGridWindow);
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void OutOfMemory()
{
    MSGBOXREQUEST r{};
    r.pszText = Text(348);
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    Ui_OpenMessageBox(&r);
}

void Slider(OPTIONGADGET *g, int16_t text, int16_t x, int16_t y, int16_t w, void *target, uint8_t width,
            int32_t minimum, int32_t maximum, uint8_t kind = GADGET_SLIDER)
{
    *g = OPTIONGADGET{};
    g->text = text;
    g->text2 = 666;
    g->x = x;
    g->y = y;
    g->kind = kind;
    g->width = width;
    g->minimum = minimum;
    g->maximum = maximum;
    g->target = target;
    g->sliderWidth = w;
    std::fill(std::begin(g->link), std::end(g->link), int8_t(-1));
}

void Link(OPTIONGADGET *g, int8_t l, int8_t r, int8_t u, int8_t d)
{
    g->link[GADGET_LEFT] = l;
    g->link[GADGET_RIGHT] = r;
    g->link[GADGET_UP] = u;
    g->link[GADGET_DOWN] = d;
}

void BuildBarRangePage(int32_t minimum, int32_t maximum)
{
    LANEDIALOG &d = g_tLaneDialog;
    for (OPTIONGADGET &g : g_atBarRangePage)
        Slider(&g, 0, 0, 0, 0, nullptr, 0, 0, 0, GADGET_NONE);
    Slider(&g_atBarRangePage[0], 258, 62, 48, 104, &d.start, SLIDER_I16, minimum, maximum);
    Slider(&g_atBarRangePage[1], 259, 62, 64, 104, &d.end, SLIDER_I16, minimum, maximum);
    Slider(&g_atBarRangePage[2], 260, 62, 80, 104, &d.both, SLIDER_I16, minimum, maximum);
    Link(&g_atBarRangePage[0], -1, -1, -1, 1);
    Link(&g_atBarRangePage[1], -1, -1, 0, 2);
    Link(&g_atBarRangePage[2], -1, -1, 1, -1);
}

bool EchoType(int type)
{
    return type == 7 || type == 8;
}

void SetDisabled(OPTIONGADGET *g, bool disabled)
{
    if (disabled)
        g->flags |= GADGET_DISABLED;
    else
        g->flags &= ~uint32_t(GADGET_DISABLED);
    if (g->widget) {
        if (disabled)
            g->widget->head.flags |= VALUESLIDER_SKIP_ALL;
        else
            g->widget->head.flags &= ~uint32_t(VALUESLIDER_SKIP_ALL);
        if (g->widget->bar)
            Ui_MarkScrollBarDirty(g->widget->bar);
    }
}

void BuildReverbPage()
{
    LANEDIALOG &d = g_tLaneDialog;
    for (OPTIONGADGET &g : g_atReverbPage)
        Slider(&g, 0, 0, 0, 0, nullptr, 0, 0, 0, GADGET_NONE);
    Slider(&g_atReverbPage[0], 261, 90, 48, 160, &d.type, SLIDER_U8, 1, 9, GADGET_CHOICE);
    g_atReverbPage[0].text2 = 206;
    Slider(&g_atReverbPage[1], 215, 70, 64, 104, &d.start, SLIDER_I16, 0, 100);
    Slider(&g_atReverbPage[2], 0, 176, 64, 104, &d.end, SLIDER_I16, 0, 100);
    Slider(&g_atReverbPage[3], 216, 70, 80, 104, &d.both, SLIDER_I16, 1, 100);
    Slider(&g_atReverbPage[4], 0, 176, 80, 104, &d.second, SLIDER_I16, 1, 100);
    Slider(&g_atReverbPage[5], 217, 70, 96, 104, &d.feedbackStart, SLIDER_I16, 0, 100);
    Slider(&g_atReverbPage[6], 0, 176, 96, 104, &d.feedbackEnd, SLIDER_I16, 0, 100);
    Link(&g_atReverbPage[0], -1, -1, -1, 1);
    Link(&g_atReverbPage[1], -1, 2, 0, 3);
    Link(&g_atReverbPage[2], 1, -1, 0, 4);
    Link(&g_atReverbPage[3], -1, 4, 1, 5);
    Link(&g_atReverbPage[4], 3, -1, 2, 6);
    Link(&g_atReverbPage[5], -1, 6, 3, -1);
    Link(&g_atReverbPage[6], 5, -1, 4, -1);
    for (int i = 3; i <= 6; i++)
        SetDisabled(&g_atReverbPage[i], !EchoType(d.type));
}

void SetSlider(OPTIONGADGET *g, int32_t value)
{
    if (g && g->widget)
        Ui_StepValueSlider(g->widget, int64_t(value) + g->widget->shift - g->widget->value);
}

int32_t SliderValue(const OPTIONGADGET *g)
{
    return g && g->widget ? g->widget->value - g->widget->shift : 0;
}

bool OpenDialogWindow(int32_t x, int32_t w, int32_t h, int32_t title, OPTIONGADGET *page)
{
    if (Ui_WindowIsOpen(g_pOptionWindow))
        return false;
    WINDOWDESC wd{};
    wd.x = uint16_t(std::max(0, x));
    wd.y = 80;
    wd.w = uint16_t(w);
    wd.h = uint16_t(h);
    wd.style = 1;
    wd.draw = Ed_OptionPageDraw;
    WINDOW *win = Ui_OpenWindow(&wd);
    if (!win)
        return false;
    g_pOptionWindow = win;
    g_tLaneDialog.window = win;
    g_ucOptionPageMode = 1;
    if (!Ed_ShowGadgetPage(page, 0)) {
        Ed_DropGadgetPage();
        Ui_CloseWindow(win);
        g_pOptionWindow = g_tLaneDialog.window = nullptr;
        g_pGadgetPage = g_pCurrentGadget = nullptr;
        g_ucOptionPageMode = 0;
        return false;
    }
    TEXTFIELDDESC td{};
    td.text = Text(title);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(w - 13);
    td.h = 14;
    td.parent = win;
    td.b = 128;
    s_pCaption = Ui_CreateTextField(&td);
    Ui_SetWindowRole(UI_ROLE_BAR_RANGE, win, nullptr);
    Ui_SetFocus(win);
    g_iNextScreen = SCREEN_OPTIONS;
    Ui_SetMenuPage(31);
    return true;
}

} // namespace

int32_t Ed_LaneListKind(int32_t row)
{
    return row >= ED_LANE_FIRST_ROW && row < ED_LANE_FIRST_ROW + ED_LANE_ROWS ? kLanes[row - ED_LANE_FIRST_ROW].kind
                                                                              : 0;
}

const char *Ed_LaneCaption(int32_t column, int32_t row)
{
    const int32_t kind = Ed_LaneListKind(row);
    TRACKQUERY q;
    if (!kind || !EntryAt(kind, column, &q))
        return "";
    return Text(kLanes[row - ED_LANE_FIRST_ROW].caption);
}

void Ed_SongLanesFrame()
{
    if (g_tLaneDialog.guard)
        g_tLaneDialog.guard--;
    if (g_tKeyDialog.delay)
        g_tKeyDialog.delay--;
}

void Ed_SongEditEntryAtCursor()
{
    Sys_CallLog("Ed_SongEditEntryAtCursor");
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    const int32_t kind = Ed_LaneListKind(row);
    if (g_tLaneDialog.guard || g_ucGridKind != 2 || !kind || column < 0 || column >= int32_t(g_uSongRowCount))
        return;
    if (kind == LIST_KEY) {
        Ed_OpenSlotDialog(1, column, 0);
        return;
    }
    TRACKQUERY q;
    if (!EntryAt(kind, column, &q)) {
        Ui_BeginRangeMark(column, row);
        return;
    }
    // The whole entry, not only from the cursor on.
    LANEDIALOG &d = g_tLaneDialog;
    d.first = int16_t(column - q.uRowsIn);
    d.last = int16_t(d.first + q.uLength - 1);
    TRACKQUERY a, b;
    EntryAt(kind, d.first, &a);
    EntryAt(kind, d.last, &b);
    d.start = int16_t(a.uStart);
    d.end = int16_t(b.uEnd);
    d.both = d.start;
    if (kind == LIST_EFFECT) {
        d.type = uint8_t(std::clamp<int>(q.ucType, 1, 9));
        d.both = int16_t(q.uAStart);
        d.second = int16_t(q.uAEnd);
        d.feedbackStart = int16_t(q.uBStart);
        d.feedbackEnd = int16_t(q.uBEnd);
        Ed_OpenReverbDialog();
        return;
    }
    Ed_OpenBarRangeDialog(kind == LIST_TEMPO ? LANEDIALOG_BPM : LANEDIALOG_VOLUME);
}

void Ed_SongCutEntryAtCursor()
{
    Sys_CallLog("Ed_SongCutEntryAtCursor");
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    const int32_t kind = Ed_LaneListKind(row);
    if (g_tLaneDialog.guard || !kind)
        return;
    // An entry is removed by its first position; the one at position 0 always stays.
    const int32_t first = EntryFirst(kind, column);
    if (first < 0)
        return;
    if (first == 0) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    Seq_SetTrackEntry(first, 1, 0xFFFF, 0, 0, 0, 0, 0, 0, kind);
    if (kind == LIST_TEMPO)
        Seq_ComputeSongTime(9999);
    Ui_GridChangedHook(g_ucGridKind);
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

// ---- Screen 39 ----

void Ed_SongRangeShrink()
{
    if (g_asGridMark[2] > g_asGridMark[0])
        g_asGridMark[2]--;
}

void Ed_SongRangeGrow()
{
    const int32_t kind = Ed_LaneListKind(g_asGridMark[1]);
    const int32_t next = g_asGridMark[2] + 1;
    // Not onto another entry's start, not past the song, and no longer than one entry holds.
    if (!kind || next >= int32_t(g_uSongRowCount) || next - g_asGridMark[0] + 1 > ED_LANE_MAX_RUN ||
        EntryFirst(kind, next) == next) {
        if (g_wPadPressed)
            Seq_PlayInterfaceSound(3);
        return;
    }
    g_asGridMark[2] = int16_t(next);
}

void Ed_SongRangeAccept()
{
    if (g_tLaneDialog.guard)
        return;
    const int32_t kind = Ed_LaneListKind(g_asGridMark[1]);
    if (!kind || kind == LIST_KEY) {
        Ui_CancelRangeMark();
        return;
    }
    if (g_asGridMark[2] < g_asGridMark[0])
        std::swap(g_asGridMark[0], g_asGridMark[2]);
    LANEDIALOG &d = g_tLaneDialog;
    d.first = g_asGridMark[0];
    d.last = g_asGridMark[2];
    const TRACKENTRY *e = EntryAtOrBefore(kind, d.last);
    d.start = int16_t(e ? e->uStart : (kind == LIST_TEMPO ? 120 : kind == LIST_VOLUME ? 100 : 0));
    d.end = int16_t(e ? e->uEnd : d.start);
    d.both = d.start;
    if (kind == LIST_EFFECT) {
        TRACKQUERY q;
        const bool have = e && EntryAt(kind, Seq_EntryRow(e), &q);
        d.type = uint8_t(have ? std::clamp<int>(q.ucType, 1, 9) : 1);
        d.both = int16_t(have ? q.uAStart : 1);
        d.second = int16_t(have ? q.uAEnd : 1);
        d.feedbackStart = int16_t(have ? q.uBStart : 0);
        d.feedbackEnd = int16_t(have ? q.uBEnd : 0);
        if (!EchoType(d.type)) {
            d.both = d.second = 1;
            d.feedbackStart = d.feedbackEnd = 0;
        }
        g_ucGridMarkStyle = 0;
        Ed_OpenReverbDialog();
        return;
    }
    g_ucGridMarkStyle = 0;
    Ed_OpenBarRangeDialog(kind == LIST_TEMPO ? LANEDIALOG_BPM : LANEDIALOG_VOLUME);
}

void Ed_SongRangeBack()
{
    Ui_CancelRangeMark();
}

// ---- The bar range and reverb dialogs ----

bool Ed_OpenBarRangeDialog(uint8_t mode)
{
    Sys_CallLog("Ed_OpenBarRangeDialog");
    LANEDIALOG &d = g_tLaneDialog;
    d.mode = mode;
    const int32_t minimum = mode == LANEDIALOG_BPM ? SEQ_TEMPO_MIN : 0;
    const int32_t maximum = mode == LANEDIALOG_BPM ? 999 : 100;
    d.start = int16_t(std::clamp<int32_t>(d.start, minimum, maximum));
    d.end = int16_t(std::clamp<int32_t>(d.end, minimum, maximum));
    d.both = d.start;
    BuildBarRangePage(minimum, maximum);
    if (!OpenDialogWindow(g_iScreenWidth / 2 - 86, 172, 111, mode == LANEDIALOG_BPM ? 657 : 655, g_atBarRangePage)) {
        Ui_PlayRefusal();
        GridBack();
        return false;
    }
    return true;
}

bool Ed_OpenReverbDialog()
{
    Sys_CallLog("Ed_OpenReverbDialog");
    LANEDIALOG &d = g_tLaneDialog;
    d.mode = LANEDIALOG_REVERB;
    d.type = uint8_t(std::clamp<int>(d.type, 1, 9));
    d.start = int16_t(std::clamp<int32_t>(d.start, 0, 100));
    d.end = int16_t(std::clamp<int32_t>(d.end, 0, 100));
    d.both = int16_t(std::clamp<int32_t>(d.both, 1, 100));
    d.second = int16_t(std::clamp<int32_t>(d.second, 1, 100));
    d.feedbackStart = int16_t(std::clamp<int32_t>(d.feedbackStart, 0, 100));
    d.feedbackEnd = int16_t(std::clamp<int32_t>(d.feedbackEnd, 0, 100));
    BuildReverbPage();
    if (!OpenDialogWindow(g_iScreenWidth / 2 - 141, 283, 111, 656, g_atReverbPage)) {
        Ui_PlayRefusal();
        GridBack();
        return false;
    }
    return true;
}

void Ed_LaneDialogSync(OPTIONGADGET *changed)
{
    if (!changed)
        return;
    if (changed == &g_atBarRangePage[2]) {
        const int32_t v = SliderValue(changed);
        SetSlider(&g_atBarRangePage[0], v);
        SetSlider(&g_atBarRangePage[1], v);
    } else if (changed == &g_atReverbPage[0]) {
        const bool echo = EchoType(SliderValue(changed));
        for (int i = 3; i <= 6; i++)
            SetDisabled(&g_atReverbPage[i], !echo);
    }
}

void Ed_StepReverbType(int32_t step)
{
    OPTIONGADGET *g = &g_atReverbPage[0];
    if (g_tLaneDialog.mode != LANEDIALOG_REVERB || !g->widget)
        return;
    const int32_t type = SliderValue(g);
    const int32_t next = Ui_StepBarCount(type, step);
    if (next == type)
        return;
    SetSlider(g, next);
    Ed_LaneDialogSync(g);
}

int32_t Ed_ApplyLaneDialog()
{
    LANEDIALOG &d = g_tLaneDialog;
    const int32_t first = d.first, length = d.last - d.first + 1;
    if (length < 1 || length > ED_LANE_MAX_RUN)
        return -1;
    switch (d.mode) {
    case LANEDIALOG_BPM: {
        const int32_t r = Seq_SetTrackEntry(first, length, d.start, d.end, 0, 0, 0, 0, 0, LIST_TEMPO);
        Seq_ComputeSongTime(9999);
        return r < 0 ? -1 : 0;
    }
    case LANEDIALOG_VOLUME:
        return Seq_SetTrackEntry(first, length, d.start, d.end, 0, 0, 0, 0, 0, LIST_VOLUME) < 0 ? -1 : 0;
    case LANEDIALOG_REVERB:
        if (!EchoType(d.type)) {
            d.both = d.second = 1;
            d.feedbackStart = d.feedbackEnd = 0;
        }
        return Seq_SetTrackEntry(first, length, d.start, d.end, d.type, d.both, d.second, d.feedbackStart,
                                 d.feedbackEnd, LIST_EFFECT) < 0
                   ? -1
                   : 0;
    case LANEDIALOG_RIFF:
    case LANEDIALOG_POPUP_RIFF:
        // The riff the dialog was opened for: the editor's riff may be another one.
        if (!Seq_GetRiff(d.riff))
            return -1;
        Seq_SetRiffLevels(d.riff, d.start, d.end);
        return 0;
    default: return -1;
    }
}

void Ed_CloseLaneDialog()
{
    Sys_CallLog("Ed_CloseLaneDialog");
    Ed_StoreGadgetValues();
    const int32_t r = Ed_ApplyLaneDialog();
    Ed_DropGadgetPage();
    if (Ui_WindowIsOpen(g_pOptionWindow))
        Ui_CloseWindow(g_pOptionWindow);
    g_pOptionWindow = g_tLaneDialog.window = nullptr;
    s_pCaption = nullptr;
    g_pGadgetPage = g_pCurrentGadget = nullptr;
    g_ucOptionPageMode = 0;
    g_tLaneDialog.guard = 3;
    if (g_tLaneDialog.mode == LANEDIALOG_POPUP_RIFF)
        g_iNextScreen = 9;
    else
        GridBack();
    if (r < 0)
        OutOfMemory();
}

void Ed_DrawLaneDialog()
{
    const LANEDIALOG &d = g_tLaneDialog;
    char text[16];
    const uint32_t grey = 0x808080;
    // The small font: the bar numbers and the values stand 8 pixels apart.
    std::snprintf(text, sizeof text, "%.3d", d.first + 1);
    Gfx_DrawTextInFont(text, 33, 26, &g_atUiFonts[1], grey, g_pOrderingTable);
    std::snprintf(text, sizeof text, "%.3d", d.last + 1);
    Gfx_DrawTextInFont(text, 140, 26, &g_atUiFonts[1], grey, g_pOrderingTable);
    const OPTIONGADGET *page = d.mode == LANEDIALOG_REVERB ? g_atReverbPage : g_atBarRangePage;
    const int first = d.mode == LANEDIALOG_REVERB ? 1 : 0;
    std::snprintf(text, sizeof text, "%d", SliderValue(&page[first]));
    Gfx_DrawTextInFont(text, 38, 34, &g_atUiFonts[1], 0xffffff, g_pOrderingTable);
    std::snprintf(text, sizeof text, "%d", SliderValue(&page[first + 1]));
    Gfx_DrawTextInFont(text, 134, 34, &g_atUiFonts[1], 0x8c5c24, g_pOrderingTable);
}

// ---- The transpose key dialog ----

namespace {

const char *const kKeyNames[ED_KEY_SLOTS] = {"-", "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
const int16_t kScaleTexts[3] = {205, 168, 169};

// The content has no key pictures: the keys are drawn as their names, the chosen one lit.
void DrawKeyDialog(void *)
{
    const KEYDIALOG &k = g_tKeyDialog;
    const bool focused = Ui_IsUpdatingWindowFocused();
    for (int i = 0; i < ED_KEY_SLOTS; i++) {
        const bool chosen = i == k.slot;
        uint32_t colour = 0x808080;
        if (chosen)
            colour = focused && (g_ucPulse & 16) ? 0x00e000 : 0x00a000;
        Gfx_DrawTextInFont(kKeyNames[i], 6 + 16 * i + 8, 26, &g_atUiFonts[1], colour, g_pOrderingTable,
                           GFX_TEXT_CENTRED);
        if (chosen)
            Gfx_AddInsetBox(6 + 16 * i, 23, 16, 14);
    }
    const int16_t scale = kScaleTexts[std::min<int>(k.scale, 2)];
    Gfx_DrawTextInFont(Text(scale), 110, 44, &g_atUiFonts[0], k.slot == ED_KEY_SLOTS ? 0x00c000 : 0x808080,
                       g_pOrderingTable, GFX_TEXT_CENTRED);
    if (k.slot == ED_KEY_SLOTS)
        Gfx_AddInsetBox(70, 42, 80, 14);
}

void CloseKeyDialog()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (Ui_WindowIsOpen(k.window))
        Ui_CloseWindow(k.window);
    k.window = nullptr;
    g_tLaneDialog.guard = 3;
    if (k.target & 2)
        g_iNextScreen = 9;
    else
        GridBack();
}

} // namespace

bool Ed_OpenSlotDialog(uint8_t target, int32_t position, int32_t riff)
{
    Sys_CallLog("Ed_OpenSlotDialog");
    KEYDIALOG &k = g_tKeyDialog;
    if (Ui_WindowIsOpen(k.window))
        return false;
    k = KEYDIALOG{};
    k.target = target;
    k.position = int16_t(position);
    k.riff = riff;
    if (target & 1) {
        TRACKQUERY q;
        if (EntryAt(LIST_KEY, position, &q)) {
            k.slot = uint8_t(std::min<int>(q.uStart, 12));
            k.scale = uint8_t(std::min<int>(q.uEnd, 2));
        }
    } else if (const RIFFENTRY *r = Seq_GetRiff(riff)) {
        k.slot = uint8_t(std::min<int>(r->uKey & 0x3FFF, 12));
        k.scale = uint8_t(std::min<int>(r->uKey >> 14, 2));
    }
    k.keptSlot = k.slot;
    WINDOWDESC wd{};
    wd.x = uint16_t(std::max(0, g_iScreenWidth / 2 - 110));
    wd.y = 100;
    wd.w = 221;
    wd.h = 62;
    wd.style = 1;
    wd.draw = DrawKeyDialog;
    k.window = Ui_OpenWindow(&wd);
    if (!k.window) {
        Ui_PlayRefusal();
        return false;
    }
    TEXTFIELDDESC td{};
    td.text = Text(398);
    td.x = 6;
    td.y = 7;
    td.w = 221 - 13;
    td.h = 14;
    td.parent = k.window;
    td.b = 128;
    Ui_CreateTextField(&td);
    Ui_SetWindowRole(UI_ROLE_SLOT_DIALOG, k.window, nullptr);
    Ui_SetFocus(k.window);
    g_iNextScreen = SCREEN_KEY_DIALOG;
    Ui_SetMenuPage(31);
    return true;
}

void Ed_SlotDialogLeft()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (k.delay || k.slot == ED_KEY_SLOTS || k.slot == 0)
        return;
    k.slot--;
    k.delay = 3;
    Seq_PlayInterfaceSound(2);
}

void Ed_SlotDialogRight()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (k.delay || k.slot >= ED_KEY_SLOTS - 1)
        return;
    k.slot++;
    k.delay = 3;
    Seq_PlayInterfaceSound(2);
}

void Ed_SlotDialogDown()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (k.slot == ED_KEY_SLOTS)
        return;
    k.keptSlot = k.slot;
    k.slot = ED_KEY_SLOTS;
}

void Ed_SlotDialogUp()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (k.slot == ED_KEY_SLOTS)
        k.slot = k.keptSlot;
}

void Ed_SlotDialogAccept()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (k.slot == ED_KEY_SLOTS) {
        k.scale = uint8_t((k.scale + 1) % 3);
        return;
    }
    if (k.target & 1) {
        if (Seq_SetTrackEntry(k.position, 1, k.slot, k.scale, 0, 0, 0, 0, 0, LIST_KEY) < 0) {
            CloseKeyDialog();
            OutOfMemory();
            return;
        }
    } else if (Seq_GetRiff(k.riff)) {
        Seq_SetRiffKey(k.riff, k.slot, k.scale);
    }
    CloseKeyDialog();
}

void Ed_SlotDialogClose()
{
    CloseKeyDialog();
}

// ---- Cells ----

void Ed_DrawSongCellKind100(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 0, column, x, y);
}
void Ed_DrawSongCellKind101(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 1, column, x, y);
}
void Ed_DrawSongCellKind99(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 2, column, x, y);
}
void Ed_DrawSongCellKind102(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 3, column, x, y);
}

// ---- Values over the lanes ----

namespace {

// The screen place of a grid cell; false when the cell is out of view.
bool CellPlace(const VIEWWIDGET *v, int32_t column, int32_t row, int32_t *x, int32_t *y)
{
    const int32_t k = column - (v->firstColumn + 1), j = row - (v->firstRow + 1);
    if (k < 0 || k >= int32_t(v->ringColumns) - 2 || j < 0 || j >= int32_t(v->ringRows) - 2)
        return false;
    *x = v->head.x + k * v->cellWidth + v->columnOffset;
    *y = v->head.y + j * v->cellHeight + v->rowOffset;
    return *x >= v->head.x && *x + v->cellWidth <= v->head.x + v->head.w;
}

uint32_t Rgb(int r, int g, int b)
{
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

void Number(const char *format, int32_t value, int32_t x, int32_t y, uint32_t colour)
{
    char text[12];
    std::snprintf(text, sizeof text, format, value);
    Gfx_DrawTextInFont(text, x, y, &g_atUiFonts[1], colour, g_pOrderingTable);
}

} // namespace

void Ed_DrawSongRowMarkers()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind != 2 || v->cellWidth < 8)
        return;
    // Volume and tempo: the start value over an entry's first column, the end value over its
    // last; reverb: the depth in every column of an entry.
    struct Marked
    {
        int32_t row, kind;
        uint32_t endColour;
    };
    const Marked kMarked[] = {{ED_LANE_FIRST_ROW, LIST_VOLUME, Rgb(36, 92, 140)},
                              {ED_LANE_FIRST_ROW + 2, LIST_TEMPO, Rgb(0, 147, 108)}};
    const uint32_t white = Rgb(128, 128, 128);
    const int32_t last = std::min<int32_t>(v->firstColumn + v->ringColumns - 2, int32_t(g_uSongRowCount) - 1);
    for (int32_t column = std::max(0, v->firstColumn + 1); column <= last; column++) {
        int32_t x, y;
        TRACKQUERY q;
        for (const Marked &m : kMarked) {
            if (!CellPlace(v, column, m.row, &x, &y) || !EntryAt(m.kind, column, &q))
                continue;
            if (q.uRowsIn == 0)
                Number("%.3d", q.uStart, x + 1, y + 1, white);
            if (q.uRowsIn + 1 >= q.uLength)
                Number("%.3d", q.uEnd, x + v->cellWidth - 16, y + v->cellHeight - 8, m.endColour);
        }
        if (CellPlace(v, column, ED_LANE_FIRST_ROW + 1, &x, &y) && EntryAt(LIST_EFFECT, column, &q))
            Number("%.2d", std::min<int32_t>(q.uStart, 99), x + v->cellWidth / 2 - 5, y + 1, Rgb(128, 112, 48));
    }
}

void Ui_MarkBlockRange()
{
    Sys_CallLog("Ui_MarkBlockRange");
    VIEWWIDGET *v = g_pGridView;
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    const int32_t kind = Ed_LaneListKind(row);
    TRACKQUERY q;
    if (!v || g_ucGridKind != 2 || g_tLaneDialog.guard || !kind || kind == LIST_KEY || !EntryAt(kind, column, &q)) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    Ui_SaveGridView();
    const int32_t first = column - q.uRowsIn, end = first + q.uLength - 1;
    g_asGridMark[0] = int16_t(first);
    g_asGridMark[2] = int16_t(end);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
    // The cursor goes onto the run's last column; past 17 columns in, the view follows.
    int32_t x = end - (v->firstColumn + 1);
    if (x > 17) {
        g_cGridPendingColumns = int8_t(x - 17);
        x = 17;
    }
    g_sGridCursorX = int16_t(std::max(0, x));
    g_cGridGlideStepX = g_cGridGlideOffsetX = 0;
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 3;
    g_iNextScreen = SCREEN_LANE_RANGE;
}
