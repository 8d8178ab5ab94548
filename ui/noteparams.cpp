#include "ui/noteparams.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "editors/curveeditor.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/padslot.h"
#include "ui/riffeditor.h"
#include "ui/popup.h"
#include "ui/valueslider.h"
#include "ui/noteeffects.h"
#include "ui/popupkinds.h"
#include "ui/amchannels.h"
#include "ui/view.h"

#include <algorithm>
#include <cstdio>

uint8_t g_ucNoteGadget = 0;
uint8_t g_ucRepeatStep = 0;
uint8_t g_ucRepeatStepKept = 0;
uint8_t g_ucNotePanelFlags = 0;
uint8_t g_ucPanelHighlight = 128, g_ucPanelHighlightTarget = 128;

namespace {

constexpr int32_t kMoveDelay = 6;
constexpr int32_t kBarWidth = 24; // the level bars' full width
constexpr uint8_t kRepeatSixSteps = NOTE_FLAG_HITS6, kRepeatSecondMode = NOTE_FLAG_HITS8;

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r | g << 8 | b << 16;
}

void Text(const char *text, int32_t x, int32_t y, FONT *font, uint32_t colour, bool centred = false)
{
    Gfx_DrawTextInFont(text, x, y, font, colour, g_pOrderingTable, centred ? GFX_TEXT_CENTRED : GFX_TEXT_LEFT);
}

// A byte fade: up by step when below, then down by step when (now) above.
void StepByteToward(uint8_t *value, uint8_t target, uint8_t step)
{
    if (*value < target)
        *value = uint8_t(*value + step);
    if (*value > target)
        *value = uint8_t(*value - step);
}

bool NoteSelected()
{
    return g_ucSelectedNoteValue != 0x42 && g_tSelectedNote.ucState != 255;
}

int32_t PanelX(const NOTEGADGET &g)
{
    return UI_NOTE_PANEL_X + g.x;
}
int32_t PanelY(const NOTEGADGET &g)
{
    return UI_NOTE_PANEL_Y + g.y;
}

bool LinkedChannel()
{
    return Ed_IsLinkedChannel(g_ucCurrentChannel) != 0;
}

void PointerOnGadget()
{
    if (!(g_ucMouseButtons & MOUSE_MODE) || !g_pGridWindow)
        return;
    const NOTEGADGET &g = g_atNoteGadgets[g_ucNoteGadget];
    g_sMouseX = int16_t(g_pGridWindow->x + 272 + g.left);
    g_sMouseY = int16_t(g_pGridWindow->y + 39 + g.top);
}

void MoveGadget(int32_t direction)
{
    if (g_iRepeatDelay)
        return;
    const uint8_t next = g_atNoteGadgets[g_ucNoteGadget].neighbour[direction];
    if (next == UI_NO_GADGET)
        return;
    g_ucNoteGadget = next;
    g_iRepeatDelay = kMoveDelay;
    PointerOnGadget();
}

void LevelBar(const NOTEGADGET &g, uint8_t value)
{
    const int32_t w = value * kBarWidth / 255;
    if (w > 0)
        Gfx_AddTile(PanelX(g), PanelY(g) + 2, w, 5, 0, 110, 40);
    Gfx_AddTile(PanelX(g), PanelY(g) + 2, kBarWidth, 5, 20, 30, 24);
}

// ---- Gadget draws ----

void DrawMuting()
{
    const NOTEGADGET &g = g_atNoteGadgets[0];
    Text((g_tSelectedNote.ucFlags & NOTE_FLAG_MUTED) ? "M" : "-", PanelX(g) + 4, PanelY(g), &g_atUiFonts[0],
         (g_tSelectedNote.ucFlags & NOTE_FLAG_MUTED) ? Rgb(128, 40, 40) : Rgb(64, 64, 64));
}
void DrawBend()
{
    const NOTEGADGET &g = g_atNoteGadgets[1];
    Text((g_tSelectedNote.ucFlags & NOTE_FLAG_GLIDE) ? "B" : "-", PanelX(g) + 4, PanelY(g), &g_atUiFonts[0],
         (g_tSelectedNote.ucFlags & NOTE_FLAG_GLIDE) ? Rgb(40, 128, 40) : Rgb(64, 64, 64));
}
// The AM indicator: image 468 on an AM channel, image 432 while the note has its modifier.
void DrawLink()
{
    const NOTEGADGET &g = g_atNoteGadgets[2];
    const bool amChannel = LinkedChannel(), joined = (g_tSelectedNote.ucFlags & NOTE_FLAG_JOINED) != 0;
    const int32_t image = amChannel ? 468 : joined ? 432 : 0;
    if (const IMAGEREC *im = image ? Gfx_GetImage(image) : nullptr) {
        Gfx_AddImageSprite(im, g.left + (amChannel ? 253 : 252), g.top + (amChannel ? 26 : 25), 128, 128, 128);
        return;
    }
    Text(amChannel || joined ? "AM" : "-", PanelX(g), PanelY(g) - 3, &g_atUiFonts[0], Rgb(100, 100, 128));
}
void DrawVolume()
{
    LevelBar(g_atNoteGadgets[3], g_tSelectedNote.ucLevel);
}
void DrawVibratoDepth()
{
    LevelBar(g_atNoteGadgets[5], g_tSelectedNote.ucSetting5);
}
void DrawVibratoSpeed()
{
    const NOTEGADGET &g = g_atNoteGadgets[6];
    const int32_t w = g_tSelectedNote.ucSetting4 * kBarWidth / 255;
    const int32_t x = UI_NOTE_PANEL_X + 45;
    if (w > 0)
        Gfx_AddTile(x, PanelY(g) + 2, w, 5, 0, 110, 40);
    Gfx_AddTile(x, PanelY(g) + 2, kBarWidth, 5, 20, 30, 24);
}
void DrawSampleStart()
{
    const NOTEGADGET &g = g_atNoteGadgets[7];
    // An empty instrument has no length: no marker rather than a division by zero.
    const uint64_t length = g_tSelectedNote.uSampleEndLimit;
    Gfx_AddTile(PanelX(g), UI_NOTE_PANEL_Y + 72, 40, 2, 40, 40, 48);
    if (length == 0)
        return;
    const int32_t at = int32_t(uint64_t(g_tSelectedNote.uSampleStart) * 39 / length);
    Gfx_AddTile(PanelX(g) + std::clamp(at, 0, 39), UI_NOTE_PANEL_Y + 68, 2, 8, 128, 128, 0);
}
void DrawEffect()
{
    const NOTEGADGET &g = g_atNoteGadgets[8];
    if (LinkedChannel()) {
        Text("--", PanelX(g), PanelY(g), &g_atUiFonts[1], Rgb(64, 64, 64), true);
        return;
    }
    const char *name = Ui_Text(152 + Ui_NoteEffectNumber(g_tSelectedNote.ucSetting1));
    Text(name ? name : "", PanelX(g), PanelY(g), &g_atUiFonts[1], Rgb(128, 128, 128), true);
}
void DrawVolumeCurve()
{
    const NOTEGADGET &g = g_atNoteGadgets[9];
    Ed_DrawNoteCurve(g_tSelectedNoteCopy.auValuesA, g_tSelectedNoteCopy.ucCountA, PanelX(g), PanelY(g), 66, 14);
}
void DrawPanCurve()
{
    const NOTEGADGET &g = g_atNoteGadgets[10];
    Ed_DrawNoteCurve(g_tSelectedNoteCopy.auValuesB, g_tSelectedNoteCopy.ucCountB, PanelX(g), PanelY(g), 66, 14);
}
void DrawPitchCurve()
{
    const NOTEGADGET &g = g_atNoteGadgets[11];
    Ed_DrawNoteCurve(g_tSelectedNoteCopy.auValuesC, g_tSelectedNoteCopy.ucCountC, PanelX(g), UI_NOTE_PANEL_Y + 122,
                     66, 13);
}

void DrawRepeatRow()
{
    const NOTEGADGET &g = g_atNoteGadgets[4];
    const int32_t x = PanelX(g), y = PanelY(g);
    const bool six = g_tSelectedNote.ucFlags & kRepeatSixSteps;
    const int32_t steps = six ? 6 : 8;
    if (g_iScreen == 16 && g_ucRepeatStep == 8)
        Gfx_AddOutlineBox(x + 5, y - 17 + 17, x + 35, y - 17 + 25);
    for (int32_t s = 0; s < steps; s++) {
        const uint8_t bit = uint8_t(0x80 >> s);
        const int32_t cx = x + s * 5;
        if (g_iScreen == 16 && g_ucRepeatStep == s)
            Gfx_AddOutlineBox(cx - 1, y - 1, cx + 4, y + 6);
        if (g_tSelectedNote.ucSetting3 & bit)
            Gfx_AddTile(cx, y, 4, 6, 128, 64, 0);
        else if (g_tSelectedNote.ucSetting2 & bit)
            Gfx_AddTile(cx, y, 4, 6, 0, 128, 0);
        else
            Gfx_AddTile(cx, y + 4, 4, 2, 48, 48, 48);
    }
    if (six)
        Text("6", x + 36, y - 2, &g_atUiFonts[1], Rgb(128, 128, 0));
}

// ---- Gadget actions ----

void ToggleFlag(uint8_t bit)
{
    g_tSelectedNote.ucFlags ^= bit;
    Ui_WriteSelectedNote();
}
void ActMuting()
{
    ToggleFlag(NOTE_FLAG_MUTED);
}
void ActBend()
{
    ToggleFlag(NOTE_FLAG_GLIDE);
}

// The value editor writes into the panel's note; the note goes back into the riff once it closes.
void NoteValueEditorClosed()
{
    g_pfnValueEditorClosed = nullptr;
    Ui_WriteSelectedNote();
}

void EditNoteValue(void *target, uint8_t width, uint32_t maximum, int32_t title)
{
    const int32_t top = int32_t(std::min<uint32_t>(maximum, uint32_t(INT32_MAX)));
    if (Ui_OpenValueEditor(target, width, 0, top, title, 0, 0, 0))
        g_pfnValueEditorClosed = NoteValueEditorClosed;
    else
        Ui_PlayRefusal();
}

void ActVolume()
{
    EditNoteValue(&g_tSelectedNote.ucLevel, SLIDER_U8, 255, 200);
}
void ActRepeat()
{
    g_iNextScreen = 16;
}
void ActVibratoDepth()
{
    EditNoteValue(&g_tSelectedNote.ucSetting5, SLIDER_U8, 255, 64);
}
void ActVibratoSpeed()
{
    EditNoteValue(&g_tSelectedNote.ucSetting4, SLIDER_U8, 255, 65);
}
void ActSampleStart()
{
    EditNoteValue(&g_tSelectedNote.uSampleStart, SLIDER_I32, g_tSelectedNote.uSampleEndLimit, 66);
}
void ActEffect()
{
    if (LinkedChannel()) {
        Ui_PlayRefusal();
        return;
    }
    Ui_OpenNoteEffectPopup();
}
void ActVolumeCurve()
{
    Ed_OpenCurveEditor(1);
}
void ActPanCurve()
{
    Ed_OpenCurveEditor(3);
}
void ActPitchCurve()
{
    Ed_OpenCurveEditor(2);
}

} // namespace

const NOTEGADGET g_atNoteGadgets[UI_NOTE_GADGETS] = {
    {59, -1, -1, 29, 19, {66, 1, 66, 3}, 7, 3, DrawMuting, ActMuting},
    {60, 29, -1, 58, 19, {0, 2, 66, 3}, 35, 3, DrawBend, ActBend},
    {61, 58, -1, 87, 19, {1, 66, 66, 4}, 63, 6, DrawLink, Ui_ChannelLinkAction},
    {62, -1, 19, 43, 39, {66, 4, 0, 5}, 17, 25, DrawVolume, ActVolume},
    {63, 43, 19, 87, 39, {3, 66, 2, 6}, 45, 29, DrawRepeatRow, ActRepeat},
    {64, -1, 39, 43, 59, {66, 6, 3, 7}, 17, 45, DrawVibratoDepth, ActVibratoDepth},
    {65, 43, 39, 87, 59, {5, 66, 4, 8}, 61, 45, DrawVibratoSpeed, ActVibratoSpeed},
    {66, -1, 59, 43, 79, {66, 8, 5, 9}, 2, 68, DrawSampleStart, ActSampleStart},
    {67, 43, 59, 87, 79, {7, 66, 6, 9}, 66, 68, DrawEffect, ActEffect},
    {68, -1, 79, 87, 99, {66, 66, 7, 10}, 18, 82, DrawVolumeCurve, ActVolumeCurve},
    {69, -1, 99, 87, 119, {66, 66, 9, 11}, 18, 102, DrawPanCurve, ActPanCurve},
    {70, -1, 119, 87, 138, {66, 66, 10, 66}, 18, 122, DrawPitchCurve, ActPitchCurve},
};

void Ui_DrawNotePanel()
{
    StepByteToward(&g_ucPanelHighlight, g_ucPanelHighlightTarget, 16);
    const int32_t px = UI_NOTE_PANEL_X, py = UI_NOTE_PANEL_Y;
    if (NoteSelected()) {
        for (int32_t i = 0; i < UI_NOTE_GADGETS; i++) {
            const NOTEGADGET &g = g_atNoteGadgets[i];
            if (g.draw)
                g.draw();
            const bool focused = g_iScreen == 14 && i == g_ucNoteGadget;
            if (focused) {
                g_ucPanelHighlightTarget = g_iBlinkPhase < 6 ? 192 : 128;
                Gfx_AddOutlineBox(px + g.left + 1, py + g.top + 1, px + g.right - 1, py + g.bottom - 1);
                const char *prompt = Ui_Text(g.text);
                if (prompt)
                    g_pszPointerPrompt = prompt;
            }
        }
    }
    // The panel: one plate per gadget, lit while it is the focused one.
    for (int32_t i = 0; i < UI_NOTE_GADGETS; i++) {
        const NOTEGADGET &g = g_atNoteGadgets[i];
        const bool focused = g_iScreen == 14 && i == g_ucNoteGadget;
        const uint8_t lit = focused ? uint8_t(g_ucPanelHighlight / 4) : 24;
        Gfx_AddTile(px + g.left + 2, py + g.top + 2, g.right - g.left - 3, g.bottom - g.top - 3, lit, uint8_t(lit + 4),
                    uint8_t(lit + 10));
    }
    Gfx_AddTile(px, py, 88, 140, 10, 12, 16);
}

// ---- Channel mutes ----

void Ui_OpenChannelMutes()
{
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    g_ucChannelCount = uint8_t(r ? r->ucTracks : 1);
    g_ucCurrentChannel = uint8_t(std::min<int32_t>(g_ucCurrentChannel, g_ucChannelCount - 1));
    g_iNextScreen = 13;
}

void Ui_ChannelMuteLeft()
{
    if (g_ucCurrentChannel > 0)
        g_ucCurrentChannel--;
}

void Ui_ChannelMuteRight()
{
    if (g_ucCurrentChannel + 1 < g_ucChannelCount)
        g_ucCurrentChannel++;
}

void Ui_ChannelMuteToggle()
{
    if (g_ucCurrentChannel < SEQ_MAX_TRACKS)
        g_aucChannelEnabled[g_ucCurrentChannel] = g_aucChannelEnabled[g_ucCurrentChannel] ? 0 : 1;
    Ui_ClearCellBuffer();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ui_GadgetScreenBack()
{
    Ui_ReturnToEditorMenu();
}

// ---- Note parameters ----

void Ui_OpenNoteParams()
{
    Sys_CallLog("Ui_OpenNoteParams");
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (!NoteSelected())
        return;
    if (!r || r->ucType == 66 || g_cGridPendingColumns || g_cGridPendingRows ||
        (g_pGridView && (g_pGridView->columnStep || g_pGridView->rowStep))) {
        Ui_PlayRefusal();
        Ui_ReturnToEditorMenu();
        return;
    }
    g_iNextScreen = 14;
    g_ucNotePanelFlags &= uint8_t(~1u);
    PointerOnGadget();
}

void Ui_NoteGadgetLeft()
{
    MoveGadget(0);
}
void Ui_NoteGadgetRight()
{
    MoveGadget(1);
}
void Ui_NoteGadgetUp()
{
    MoveGadget(2);
}
void Ui_NoteGadgetDown()
{
    MoveGadget(3);
}

void Ui_NoteGadgetAction()
{
    if (!NoteSelected() || g_ucNoteGadget >= UI_NOTE_GADGETS)
        return;
    if (g_atNoteGadgets[g_ucNoteGadget].action)
        g_atNoteGadgets[g_ucNoteGadget].action();
}

void Ui_WriteSelectedNote()
{
    if (!NoteSelected())
        return;
    Seq_WriteNote(g_sSelectedStep, g_ucCurrentChannel, &g_tSelectedNote);
    Seq_CloseUndoStep();
    Ui_ClearCellBuffer();
    Ui_ReselectNote();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

namespace {

// The first note starting in the marked columns: on the current channel if it has one there,
// else on the lowest enabled channel that has.
bool FirstAreaNote(int32_t *step, int32_t *channel)
{
    const int32_t first = std::min(g_asGridMark[0], g_asGridMark[2]);
    const int32_t last = std::max(g_asGridMark[0], g_asGridMark[2]);
    for (int pass = 0; pass < 2; pass++)
        for (int32_t ch = 0; ch < g_ucChannelCount; ch++) {
            if ((pass == 0) != (ch == g_ucCurrentChannel) || !g_aucChannelEnabled[ch])
                continue;
            for (int32_t s = std::max(0, first); s <= last; s++)
                if (Seq_FindNoteStart(s, ch, nullptr) == s) {
                    *step = s;
                    *channel = ch;
                    return true;
                }
        }
    return false;
}

} // namespace

void Ui_AreaNoteParams()
{
    Sys_CallLog("Ui_AreaNoteParams");
    int32_t step = 0, channel = 0;
    if (!FirstAreaNote(&step, &channel)) {
        Ui_PlayRefusal();
        return;
    }
    // The panel shows the area's first note; leaving it gives every note of the area its settings.
    g_ucCurrentChannel = uint8_t(channel);
    int32_t semitone = 0;
    Seq_GetNoteAt(step, channel, nullptr, &semitone, nullptr, nullptr);
    Ui_SelectNoteCell(step, 11 - semitone);
    Ui_LoadSelectedNote(g_sSelectedStep, g_sSelectedRow);
    g_ucNotePanelFlags |= 1;
    g_iNextScreen = 14;
}

void Ui_ApplyNoteParamsToArea()
{
    Sys_CallLog("Ui_ApplyNoteParamsToArea");
    if (g_tSelectedNote.ucState == 255)
        return;
    const NOTEPARAMS edited = g_tSelectedNote;
    const int32_t first = std::max<int32_t>(0, std::min(g_asGridMark[0], g_asGridMark[2]));
    const int32_t last = std::max(g_asGridMark[0], g_asGridMark[2]);
    const uint8_t quiet = g_bNoAudition;
    g_bNoAudition = 1;
    for (int32_t s = first; s <= last; s++)
        for (int32_t ch = 0; ch < g_ucChannelCount; ch++) {
            if (!g_aucChannelEnabled[ch] || Seq_FindNoteStart(s, ch, nullptr) != s)
                continue;
            NOTEPARAMS p = edited; // written back into, so each note gets a fresh copy
            Seq_WriteNote(s, ch, &p);
        }
    g_bNoAudition = quiet;
    Seq_CloseUndoStep();
    Ui_ClearCellBuffer();
    Ui_ReselectNote();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ui_NoteParamBack()
{
    Sys_CallLog("Ui_NoteParamBack");
    Seq_DiscardRedo();
    if (g_ucNotePanelFlags & 1) {
        g_ucNotePanelFlags &= uint8_t(~1u);
        Ui_ApplyNoteParamsToArea();
    }
    Seq_CloseUndoStep();
    Ui_ReturnToEditorMenu();
}

// ---- Repeat pattern ----

void Ui_RepeatStepLeft()
{
    if (g_iRepeatDelay || g_ucRepeatStep == 8 || g_ucRepeatStep == 0)
        return;
    g_ucRepeatStep--;
    g_iRepeatDelay = kMoveDelay;
}

void Ui_RepeatStepRight()
{
    if (g_iRepeatDelay || g_ucRepeatStep >= 7)
        return;
    g_ucRepeatStep++;
    g_iRepeatDelay = kMoveDelay;
}

void Ui_RepeatModeBox()
{
    if (g_ucRepeatStep == 8)
        return;
    g_ucRepeatStepKept = g_ucRepeatStep;
    g_ucRepeatStep = 8;
}

void Ui_RepeatStepRow()
{
    if (g_ucRepeatStep == 8)
        g_ucRepeatStep = std::min<uint8_t>(g_ucRepeatStepKept, 7);
}

void Ui_RepeatStepToggle()
{
    if (!NoteSelected())
        return;
    NOTEPARAMS &n = g_tSelectedNote;
    if (g_ucRepeatStep == 8) {
        n.ucFlags ^= uint8_t(kRepeatSixSteps | kRepeatSecondMode);
    } else {
        if ((n.ucFlags & kRepeatSixSteps) && g_ucRepeatStep >= 6) {
            Ui_PlayRefusal();
            return;
        }
        const uint8_t bit = uint8_t(0x80 >> g_ucRepeatStep);
        if (n.ucSetting3 & bit) {
            n.ucSetting2 &= uint8_t(~bit);
            n.ucSetting3 &= uint8_t(~bit);
        } else if (n.ucSetting2 & bit) {
            n.ucSetting3 |= bit;
        } else {
            n.ucSetting2 |= bit;
        }
    }
    Ui_WriteSelectedNote();
}

void Ui_GadgetPanelBack()
{
    g_iNextScreen = 14;
}
