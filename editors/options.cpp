#include "editors/options.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "core/padbind.h"
#include "app/settings.h"
#include "audio/capture.h"
#include "audio/midiin.h"
#include "audio/mixer.h"
#include "audio/soundout.h"
#include "editors/clippalette.h"
#include "editors/mixerpanel.h"
#include "editors/songlanes.h"
#include "editors/filescreen.h"
#include "editors/topbar.h"
#include "jam/netjam.h"
#include "render/display.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/frontend.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/help.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/samplepanel.h"
#include "ui/textfield.h"
#include "ui/valueslider.h"
#include "ui/view.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

WINDOW *g_pOptionWindow = nullptr;
OPTIONGADGET *g_pGadgetPage = nullptr;
OPTIONGADGET *g_pCurrentGadget = nullptr;
OPTIONGADGET *g_pOptionsPage = nullptr;
OPTIONGADGET g_aatOptionPages[ED_OPTION_PAGES][ED_GADGETS];
uint8_t g_ucChoiceArrow = 0;

int32_t g_iFeedbackQuality = 1;
int32_t g_iMaxEffectChannels = 24;
int32_t g_iLowestMidiNote = 12;
char g_szGfxDeviceName[ED_DEVICE_NAME] = "default";
char g_szAudioInName[ED_DEVICE_NAME] = "default";
char g_szAudioOutName[ED_DEVICE_NAME] = "default";
char g_szMidiInName[ED_DEVICE_NAME] = "default";

namespace {

TEXTFIELD *s_pCaption = nullptr;
int32_t s_iAppliedGamma = -1;
int32_t s_iAppliedFeedback = 1;
bool s_bMouseDriven = false;
// Working copies of values the sliders cannot hold directly (atomics), stored back on close.
int32_t s_iVolumeEdit = 255;
int32_t s_iMidiChannelEdit = -1;

const char *Text(int id)
{
    const char *t = Ui_Text(id);
    return t ? t : "";
}

bool IsSlider(const OPTIONGADGET *g)
{
    return g->kind == GADGET_SLIDER || g->kind == GADGET_CHOICE || g->kind == GADGET_BAR;
}

bool IsButton(const OPTIONGADGET *g)
{
    return g->kind == GADGET_BUTTON || g->kind == GADGET_SMALL_BUTTON;
}

OPTIONGADGET *Neighbour(int side)
{
    if (!g_pGadgetPage || !g_pCurrentGadget)
        return nullptr;
    const int n = g_pCurrentGadget->link[side];
    return n >= 0 && n < ED_GADGETS ? &g_pGadgetPage[n] : nullptr;
}

void DrawText(const char *text, int32_t x, int32_t y, uint32_t colour, int32_t align = GFX_TEXT_LEFT,
              FONT *font = nullptr)
{
    Gfx_DrawTextInFont(text, x, y, font ? font : &g_atUiFonts[0], colour, g_pOrderingTable, align);
}

uint32_t Grey(uint8_t level)
{
    return uint32_t(level) << 16 | uint32_t(level) << 8 | level;
}

// ---- The options' actions ----

void Refresh()
{
    Ui_GridChangedHook(g_ucGridKind);
    if (g_pGridView) {
        g_pGridView->firstRow = -1;
        Ui_RefreshView(g_pGridView);
    }
}

void Confirm(int textId)
{
    MSGBOXREQUEST r{};
    r.ucIcon = 3;
    r.pszText = Text(textId);
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    Ui_OpenMessageBox(&r);
}

void MusicCleared(bool all)
{
    if (all)
        Vid_ResetVideo();
    Seq_NewSong();
    Confirm(all ? 446 : 219);
    Ui_ResetGridCursor();
    std::snprintf(g_szSongTitle, sizeof g_szSongTitle, "%s", "TONNIVELLE file");
    std::snprintf(g_szSongAuthor, sizeof g_szSongAuthor, "%s", "Author");
    g_atPopupDescs[4].selected = g_atPopupDescs[4].first = 0;
    Refresh();
}

void Ask(int textId, MSGBOXANSWERFN yes)
{
    Seq_PlayInterfaceSound(1);
    MSGBOXREQUEST r{};
    r.ucIcon = 2;
    r.pszText = Text(textId);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 111;
    r.asButtonText[1] = 110;
    r.pfnAnswer = yes;
    Ui_OpenMessageBox(&r);
}

void ClearMusic()
{
    Ask(218, [](uint8_t button) {
        if (button == 1)
            MusicCleared(false);
    });
}

void ClearAll()
{
    Ask(445, [](uint8_t button) {
        if (button == 1)
            MusicCleared(true);
    });
}

void ClearVideo()
{
    Ask(223, [](uint8_t button) {
        if (button != 1)
            return;
        Vid_ResetVideo();
        Ui_ResetGridRows();
        Ui_ResetGridCursor();
        Confirm(224);
        Refresh();
    });
}

void Credits()
{
    Sys_CallLog("Ed_RunCredits");
    Ui_ShowCredits();
}

void DevicePopup(int kind, int width)
{
    Ui_OpenPopup(kind, nullptr, g_iScreenWidth / 4, 69, width, 306);
}

void SetGraphicsDevice() { DevicePopup(POPUP_DEVICE, 300); }
void SetResolution() { DevicePopup(POPUP_RESOLUTION, 170); }
void SetAudioIn() { DevicePopup(POPUP_AUDIO_IN, 300); }
void SetAudioOut() { DevicePopup(POPUP_AUDIO_OUT, 300); }
void SetMidiIn() { DevicePopup(POPUP_MIDI_IN, 300); }

void EditValue(void *target, int32_t minimum, int32_t maximum, int32_t title, void (*closed)() = nullptr)
{
    g_pfnValueEditorClosed = closed;
    if (!Ui_OpenValueEditor(target, SLIDER_I32, minimum, maximum, title, 0, 0, 0)) {
        g_pfnValueEditorClosed = nullptr;
        Ui_PlayRefusal();
    }
}

void SetBrightness() { EditValue(&g_iGammaLevel, 40, 255, 610); }
void SetFeedback() { EditValue(&g_iFeedbackQuality, 0, 2, 609); }
void SetVolume()
{
    s_iVolumeEdit = g_iInterfaceVolume.load();
    EditValue(&s_iVolumeEdit, 0, 255, 616, [] { g_iInterfaceVolume = s_iVolumeEdit; });
}
void SetEffectChannels() { EditValue(&g_iMaxEffectChannels, 1, 99, 617); }
void SetMidiChannel()
{
    s_iMidiChannelEdit = g_iMidiChannelFilter.load();
    EditValue(&s_iMidiChannelEdit, -1, 15, 643, [] { g_iMidiChannelFilter = s_iMidiChannelEdit; });
}
void SetLowestNote() { EditValue(&g_iLowestMidiNote, 0, 48, 641); }
void SetJamController() { EditValue(&g_iJamMidiController, 1, 16, 642); }

void OpenMixer()
{
    Ed_OpenMixerPanel();
}

void Button(OPTIONGADGET *g, int16_t text, int16_t x, int16_t y, void (*action)(), uint8_t kind = GADGET_BUTTON)
{
    *g = OPTIONGADGET{};
    g->text = text;
    g->text2 = 666;
    g->x = x;
    g->y = y;
    g->kind = kind;
    g->action = action;
    std::fill(std::begin(g->link), std::end(g->link), int8_t(-1));
}

void Links(OPTIONGADGET *g, int8_t l, int8_t r, int8_t u, int8_t d)
{
    g->link[GADGET_LEFT] = l;
    g->link[GADGET_RIGHT] = r;
    g->link[GADGET_UP] = u;
    g->link[GADGET_DOWN] = d;
}

// ---- Drawing ----

void DrawButton(const OPTIONGADGET *g, int32_t half)
{
    uint32_t colour = Grey(0x80);
    if (g->flags & GADGET_DISABLED)
        colour = Grey(0x40);
    else if (g == g_pCurrentGadget)
        colour = g_iBlinkPhase < 6 ? 0x008e00u : 0x007400u;
    DrawText(Text(g->text), g->x, g->y + 1, colour, GFX_TEXT_CENTRED);
    Gfx_AddInsetBox(g->x - half, g->y, half * 2, 12);
}

void DrawLabel(const OPTIONGADGET *g)
{
    if (!g->text)
        return;
    DrawText(Text(g->text), g->x - 3, g->y, (g->flags & GADGET_DISABLED) ? Grey(0x40) : Grey(0x80), GFX_TEXT_RIGHT);
}

void DrawBar(const OPTIONGADGET *g)
{
    char text[16];
    const int32_t v = g->widget ? g->widget->value - g->widget->shift : 0;
    if (g->flags & GADGET_SIGNED)
        std::snprintf(text, sizeof text, "%+.2d", v - g->maximum / 2);
    else
        std::snprintf(text, sizeof text, "%.3d", v);
    DrawText(Text(g->text), g->x + 1, g->y - 6, Grey(0x80), GFX_TEXT_LEFT, &g_atUiFonts[1]);
    DrawText(text, g->x + 93, g->y, Grey(0x80));
    const int32_t span = std::max(1, g->maximum - g->minimum);
    const int32_t filled = std::clamp((v - g->minimum) * 117 / span, 0, 117);
    Gfx_AddBevelBox(g->x, g->y, 117, 15);
    if (g->flags & GADGET_RED_BAR)
        Gfx_AddShadedRect(g->x, g->y, filled, 15, 0x80, 0, 0);
    else
        Gfx_AddShadedRect(g->x, g->y, filled, 15, 0, 0, 0x80);
}

void DrawArrows(const OPTIONGADGET *g)
{
    char text[16];
    const int32_t start = g->widget ? g->widget->value : g->minimum;
    DrawText(Text(g->text), g->x + 135, g->y, Grey(0x80), GFX_TEXT_CENTRED);
    std::snprintf(text, sizeof text, "%.3d", start + 1);
    DrawText(text, g->x + 18, g->y, Grey(0x80));
    std::snprintf(text, sizeof text, "%.3d", g->maximum + 1);
    DrawText(text, g->x + 252, g->y, Grey(0x80), GFX_TEXT_RIGHT);
    DrawText(Text(g->text2), g->x + 135, g->y + 9, Grey(0x80), GFX_TEXT_CENTRED);
}

struct PanelRow
{
    int label;
    const char *value; // null: N/A
};

void DrawPanel(const OPTIONGADGET *g, int number, int title, const PanelRow *rows, int count)
{
    char caption[64];
    std::snprintf(caption, sizeof caption, "%s (%d/4)", Text(title), number);
    const int32_t y = g->y;
    for (int i = 0; i < count; i++) {
        DrawText(Text(rows[i].label), 14, y + 16 + 11 * i, Grey(0x5a));
        DrawText(rows[i].value ? rows[i].value : "N/A", 334, y + 16 + 11 * i, Grey(0x80), GFX_TEXT_RIGHT);
    }
    Gfx_DrawCaptionBar(caption, 174, y, 344);
    Gfx_AddBevelBox(8, y + 13, 330, 84);
    Gfx_AddTile(8, y + 13, 330, 84, 20, 36, 44);
}

void DrawStatistics(const OPTIONGADGET *g)
{
    Ed_UpdateMemoryUsage();
    char song[16], video[16], riffs[16], samples[16], notes[16];
    std::snprintf(song, sizeof song, "%dk", int(g_iSizeMusic / 1024));
    std::snprintf(video, sizeof video, "%dk", int(g_iVideoMemoryBytes / 1024));
    std::snprintf(riffs, sizeof riffs, "%d", std::max(0, int(g_uRiffCount) - 1));
    std::snprintf(samples, sizeof samples, "%d", std::max(0, int(g_uSampleCount) - 1));
    std::snprintf(notes, sizeof notes, "%d", int(g_uNoteCount));
    const PanelRow rows[] = {{648, song}, {649, video}, {383, riffs}, {384, samples}, {385, notes}};
    DrawPanel(g, 1, 30, rows, 5);
}

void DrawVideoPanel(const OPTIONGADGET *g)
{
    char device[40], resolution[40], feedback[16], brightness[16];
    if (g_iGfxDevice < 0 || !g_bDisplayOpen)
        std::snprintf(device, sizeof device, "%s", Text(693));
    else
        Ed_ShortDeviceName(g_szGfxDeviceName, device, sizeof device);
    if (g_szResolutionText[0])
        Ed_ShortDeviceName(g_szResolutionText, resolution, sizeof resolution);
    else
        std::snprintf(resolution, sizeof resolution, "%s", Text(695));
    Ed_PanelNumber(g_iFeedbackQuality, feedback, sizeof feedback);
    Ed_PanelNumber(g_iGammaLevel, brightness, sizeof brightness);
    const PanelRow rows[] = {{607, device}, {608, resolution}, {609, feedback}, {610, brightness}};
    DrawPanel(g, 2, 626, rows, 4);
}

void DrawAudioPanel(const OPTIONGADGET *g)
{
    char in[40], out[40], volume[16], channels[16];
    Ed_ShortDeviceName(g_szAudioInName, in, sizeof in);
    Ed_ShortDeviceName(g_szAudioOutName, out, sizeof out);
    Ed_PanelNumber(g_iInterfaceVolume.load(), volume, sizeof volume);
    Ed_PanelNumber(g_iMaxEffectChannels, channels, sizeof channels);
    const PanelRow rows[] = {{613, in}, {614, out}, {616, volume}, {617, channels}};
    DrawPanel(g, 3, 625, rows, 4);
}

void DrawMidiPanel(const OPTIONGADGET *g)
{
    char in[40], channel[16], note[16], controller[16];
    Ed_ShortDeviceName(g_szMidiInName, in, sizeof in);
    Ed_PanelNumber(g_iMidiChannelFilter.load(), channel, sizeof channel);
    Ed_PanelNumber(g_iLowestMidiNote, note, sizeof note);
    Ed_PanelNumber(g_iJamMidiController, controller, sizeof controller);
    const PanelRow rows[] = {{615, in}, {643, channel}, {641, note}, {642, controller}};
    DrawPanel(g, 4, 640, rows, 4);
}

void DrawGadget(const OPTIONGADGET *g)
{
    switch (g->kind) {
    case GADGET_SLIDER: DrawLabel(g); break;
    case GADGET_BUTTON:
        if (g->text)
            DrawButton(g, 75);
        break;
    case GADGET_CHOICE:
        DrawLabel(g);
        if (g->widget)
            // Centred in the slider's number box (x + 175 for the usual 180 pixels).
            DrawText(Text(g->text2 + g->widget->value - g->widget->shift - g->minimum),
                     g->x + (g->sliderWidth ? g->sliderWidth : 180) - 5, g->y + 1, Grey(0x80), GFX_TEXT_CENTRED);
        break;
    case GADGET_BAR: DrawBar(g); break;
    case GADGET_ARROWS: DrawArrows(g); break;
    case GADGET_PANEL_STATS: DrawStatistics(g); break;
    case GADGET_PANEL_VIDEO: DrawVideoPanel(g); break;
    case GADGET_PANEL_AUDIO: DrawAudioPanel(g); break;
    case GADGET_SMALL_BUTTON:
        if (g->text && !(g->flags & GADGET_HIDDEN))
            DrawButton(g, 38);
        break;
    case GADGET_PANEL_MIDI: DrawMidiPanel(g); break;
    default: break;
    }
}

// The device names of the panels follow the chosen devices.
void ReadDeviceNames()
{
    char name[ED_DEVICE_NAME] = {};
    if (g_iGfxDevice >= 0) {
        Gfx_GetDeviceName(name, g_iGfxDevice);
        if (name[0])
            std::snprintf(g_szGfxDeviceName, sizeof g_szGfxDeviceName, "%s", name);
    }
    name[0] = 0;
    if (g_iAudioInDevice >= 0 && Snd_GetInputDeviceName(name, g_iAudioInDevice) == 0 && name[0])
        std::snprintf(g_szAudioInName, sizeof g_szAudioInName, "%s", name);
    if (g_iAudioOutDevice >= 0)
        if (const char *out = Snd_GetOutputDeviceName(g_iAudioOutDevice); out && out[0])
            std::snprintf(g_szAudioOutName, sizeof g_szAudioOutName, "%s", out);
    name[0] = 0;
    if (g_iMidiInDevice >= 0 && Snd_GetMidiInDeviceName(name, g_iMidiInDevice) == 0 && name[0])
        std::snprintf(g_szMidiInName, sizeof g_szMidiInName, "%s", name);
}

// ---- The mouse ----

bool PointerOn(const OPTIONGADGET *g)
{
    if (!g_pOptionWindow || !g->text || !IsButton(g) || (g->flags & GADGET_HIDDEN))
        return false;
    const int32_t half = g->kind == GADGET_BUTTON ? 75 : 38;
    const int32_t x = g_sMouseX - g_pOptionWindow->x, y = g_sMouseY - g_pOptionWindow->y;
    return x >= g->x - half && x < g->x + half && y >= g->y && y < g->y + 12;
}

void OptionClick(int32_t event)
{
    if (event != UI_CLICK_RELEASE || !g_pGadgetPage || g_iScreen != SCREEN_OPTIONS)
        return;
    for (int i = 0; i < ED_GADGETS; i++) {
        OPTIONGADGET *g = &g_pGadgetPage[i];
        if (!PointerOn(g))
            continue;
        Ed_GadgetUnfocus(g_pCurrentGadget);
        g_pCurrentGadget = g;
        Ed_GadgetFocus(g);
        s_bMouseDriven = true;
        Ed_GadgetAccept();
        s_bMouseDriven = false;
        return;
    }
}

void MoveTo(OPTIONGADGET *to)
{
    if (!to)
        return;
    Ed_GadgetUnfocus(g_pCurrentGadget);
    g_pCurrentGadget = to;
    Ed_GadgetFocus(to);
    Seq_PlayInterfaceSound(2);
    if ((g_ucMouseButtons & MOUSE_MODE) && g_pOptionWindow) {
        g_sMouseX = int16_t(g_pOptionWindow->x + 60 + to->x);
        g_sMouseY = int16_t(g_pOptionWindow->y + 10 + to->y);
    }
}

void ShowOptionsPage(OPTIONGADGET *page)
{
    Ed_GadgetUnfocus(g_pCurrentGadget);
    Ed_StoreGadgetValues();
    Ed_DropGadgetPage();
    if (g_pOptionWindow)
        Ui_FreeNodeList(g_pOptionWindow);
    Ui_ApplyOptionPanel();
    g_pOptionsPage = page;
    Ed_ShowGadgetPage(page, s_bMouseDriven ? -1 : 0);
}

void BuildPages()
{
    static const struct
    {
        int16_t texts[4];
        void (*actions[4])();
    } kPages[ED_OPTION_PAGES] = {
        {{201, 379, 222, 680}, {ClearMusic, ClearAll, ClearVideo, Credits}},
        {{585, 586, 612, 611}, {SetGraphicsDevice, SetResolution, SetBrightness, SetFeedback}},
        {{618, 619, 621, 622}, {SetAudioIn, SetAudioOut, SetVolume, SetEffectChannels}},
        {{620, 639, 637, 638}, {SetMidiIn, SetMidiChannel, SetLowestNote, SetJamController}},
    };
    static const uint8_t kPanels[ED_OPTION_PAGES] = {GADGET_PANEL_STATS, GADGET_PANEL_VIDEO, GADGET_PANEL_AUDIO,
                                                     GADGET_PANEL_MIDI};
    static const int16_t kX[4] = {92, 256, 92, 256}, kY[4] = {28, 28, 44, 44};
    for (int p = 0; p < ED_OPTION_PAGES; p++) {
        OPTIONGADGET *page = g_aatOptionPages[p];
        for (int i = 0; i < 4; i++)
            Button(&page[i], kPages[p].texts[i], kX[i], kY[i], kPages[p].actions[i]);
        Button(&page[4], 0, 0, 0, nullptr);
        Button(&page[5], 0, 0, 0, nullptr);
        const bool first = p == 0, last = p == ED_OPTION_PAGES - 1;
        Button(&page[6], first ? 606 : 623, first ? 298 : 58, 177, first ? Ed_OptionNextPage : Ed_OptionPrevPage,
               GADGET_SMALL_BUTTON);
        Button(&page[7], first || last ? 0 : 606, 298, 177, first || last ? nullptr : Ed_OptionNextPage,
               GADGET_SMALL_BUTTON);
        Button(&page[8], 0, 0, 76, nullptr, kPanels[p]);
    }
    // Page 1: the fourth button (Credits) is reached by the mouse only.
    OPTIONGADGET *p1 = g_aatOptionPages[0];
    Links(&p1[0], -1, 1, -1, 2);
    Links(&p1[1], 0, -1, -1, 6);
    Links(&p1[2], -1, -1, 0, 6);
    Links(&p1[3], 2, -1, 1, 6);
    Links(&p1[6], -1, -1, 2, -1);
    for (int p = 1; p <= 2; p++) {
        OPTIONGADGET *g = g_aatOptionPages[p];
        Links(&g[0], -1, 1, -1, 2);
        Links(&g[1], 0, -1, -1, 3);
        Links(&g[2], -1, 3, 0, 6);
        Links(&g[3], 2, -1, 1, 7);
        Links(&g[6], -1, 7, 2, -1);
        Links(&g[7], 6, -1, 3, -1);
    }
    // Page 3: "Change Mixer Settings", reached by the mouse.
    Button(&g_aatOptionPages[2][4], 661, 92, 60, OpenMixer);
    OPTIONGADGET *p4 = g_aatOptionPages[3];
    Links(&p4[0], -1, 1, -1, 2);
    Links(&p4[1], 0, -1, -1, 3);
    Links(&p4[2], -1, 3, 0, 6);
    // Down from the last button leads to "Prev...", never to the empty record beside it, where
    // the focus could not be seen nor leave.
    Links(&p4[3], 2, -1, 1, 6);
    Links(&p4[6], -1, -1, 2, -1);
}

} // namespace

void Ed_ShortDeviceName(const char *name, char *out, int size)
{
    if (!out || size <= 0)
        return;
    if (!name)
        name = "";
    // A name that fits in 32 characters is shown whole; a longer one is cut to 29 and "...".
    if (std::strlen(name) > 32)
        std::snprintf(out, size_t(size), "%.29s...", name);
    else
        std::snprintf(out, size_t(size), "%s", name);
}

void Ed_PanelNumber(int32_t value, char *out, int size)
{
    if (out && size > 0)
        std::snprintf(out, size_t(size), "%d", value);
}

void Ed_InitOptionPages()
{
    BuildPages();
    g_pOptionsPage = g_aatOptionPages[0];
    g_pGadgetPage = g_pCurrentGadget = nullptr;
    g_iFeedbackQuality = 1;
    g_iMaxEffectChannels = 24;
    g_iLowestMidiNote = 12;
    s_iAppliedGamma = -1;
}

bool Ed_ShowGadgetPage(OPTIONGADGET *page, int focus)
{
    g_pGadgetPage = page;
    g_pCurrentGadget = nullptr;
    if (!page || !g_pOptionWindow)
        return false;
    bool ok = true;
    for (int i = 0; i < ED_GADGETS; i++) {
        OPTIONGADGET *g = &page[i];
        g->widget = nullptr;
        if (!IsSlider(g))
            continue;
        VALUESLIDERDESC d{};
        d.x = uint16_t(g->x);
        d.y = uint16_t(g->y);
        d.w = uint16_t(g->sliderWidth ? g->sliderWidth : 180);
        d.target = g->target;
        d.targetWidth = g->width;
        d.minimum = g->minimum;
        d.maximum = g->maximum;
        g->widget = Ui_CreateValueSlider(&d, g_pOptionWindow);
        if (!g->widget) {
            ok = false;
            continue;
        }
        if (g->kind == GADGET_CHOICE)
            g->widget->hideNumber = 1;
        if (g->flags & GADGET_DISABLED)
            g->widget->head.flags |= VALUESLIDER_SKIP_ALL;
    }
    if (focus >= 0 && focus < ED_GADGETS) {
        g_pCurrentGadget = &page[focus];
        Ed_GadgetFocus(g_pCurrentGadget);
    }
    return ok;
}

void Ed_StoreGadgetValues()
{
    if (!g_pGadgetPage)
        return;
    for (int i = 0; i < ED_GADGETS; i++)
        if (g_pGadgetPage[i].widget)
            Ui_StoreSliderValue(g_pGadgetPage[i].widget);
}

void Ed_DropGadgetPage()
{
    if (!g_pGadgetPage)
        return;
    for (int i = 0; i < ED_GADGETS; i++) {
        VALUESLIDER *s = g_pGadgetPage[i].widget;
        if (!s)
            continue;
        // The slider and its bar leave the window's chain and go back to their pools.
        if (g_pOptionWindow) {
            for (WIDGET **w = &g_pOptionWindow->children; *w;) {
                if (*w == &s->head || (s->bar && *w == &s->bar->head))
                    *w = (*w)->next;
                else
                    w = &(*w)->next;
            }
        }
        if (s->bar)
            s->bar->head.flags |= WIDGET_FREE;
        s->head.flags |= WIDGET_FREE;
        g_pGadgetPage[i].widget = nullptr;
    }
}

void Ed_OpenOptionPage()
{
    Sys_CallLog("Ed_OpenOptionPage");
    if (Ui_WindowIsOpen(g_pOptionWindow)) {
        Ui_SetFocus(g_pOptionWindow);
        Ed_GadgetFocus(g_pCurrentGadget);
        return;
    }
    if (!g_pOptionsPage)
        Ed_InitOptionPages();
    WINDOWDESC d{};
    d.x = uint16_t(std::max(0, (g_iScreenWidth - ED_OPTION_W) / 2));
    d.y = uint16_t(std::max(0, (g_iScreenHeight - 182) / 2));
    d.w = ED_OPTION_W;
    d.h = ED_OPTION_H;
    d.style = 1;
    d.draw = Ed_OptionPageDraw;
    g_pOptionWindow = Ui_OpenWindow(&d);
    if (!g_pOptionWindow) {
        Ui_PlayRefusal();
        return;
    }
    Ui_SetWindowRole(UI_ROLE_OPTION, g_pOptionWindow, OptionClick);
    Ui_SetFocus(g_pOptionWindow);
    g_iNextScreen = SCREEN_OPTIONS;
    Ui_LoadSongOptions();
    g_ucOptionPageMode = 0;
    ReadDeviceNames();
    // The statistics panel shows the music size: bring it up to date once, not every frame.
    Seq_UpdateSongSizes();
    s_iAppliedGamma = g_iGammaLevel;
    Ed_ShowGadgetPage(g_pOptionsPage, 0);
    TEXTFIELDDESC td{};
    td.text = Text(624);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(ED_OPTION_W - 13);
    td.h = 14;
    td.parent = g_pOptionWindow;
    td.b = 128;
    s_pCaption = Ui_CreateTextField(&td);
    Ui_SetMenuPage(31);
}

void Ed_CloseGadgetWindow()
{
    Ed_GadgetUnfocus(g_pCurrentGadget);
    Ed_DropGadgetPage();
    if (Ui_WindowIsOpen(g_pOptionWindow))
        Ui_CloseWindow(g_pOptionWindow);
    g_pOptionWindow = nullptr;
    s_pCaption = nullptr;
    g_pGadgetPage = g_pCurrentGadget = nullptr;
}

void Ed_OptionPageCloseThenRun(void (*action)())
{
    Sys_CallLog("Ed_OptionPageCloseThenRun");
    Ed_GadgetUnfocus(g_pCurrentGadget);
    Ed_DropGadgetPage();
    WINDOW *w = g_pOptionWindow;
    g_pOptionWindow = nullptr;
    s_pCaption = nullptr;
    g_pGadgetPage = g_pCurrentGadget = nullptr;
    if (w && Ui_WindowIsOpen(w)) {
        w->onClose = action;
        Ui_CloseWindow(w);
    } else if (action) {
        action();
    }
}

void Ed_CloseOptionPage()
{
    Sys_CallLog("Ed_CloseOptionPage");
    Ed_CloseGadgetWindow();
    // Always written, changed or not.
    const struct
    {
        const char *name;
        int value;
    } kSettings[] = {{"GfxRes", g_iGfxRes},
                     {"GfxDevice", g_iGfxDevice},
                     {"AudioInDevice", g_iAudioInDevice},
                     {"AudioOutDevice", g_iAudioOutDevice},
                     {"MIDIInDevice", g_iMidiInDevice}};
    for (const auto &s : kSettings) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", s.value);
        if (Sys_SaveSetting(s.name, text) != 0)
            std::fprintf(stderr, "tnvpc: the setting %s could not be stored\n", s.name);
    }
    g_ucTopBarButton = g_ucGridKind == 1 ? 1 : 0;
    Ed_ReturnToGrid();
}

void Ed_OptionPageDraw(void *)
{
    if (g_iGammaLevel != s_iAppliedGamma) {
        s_iAppliedGamma = g_iGammaLevel;
        Gfx_SetGamma(g_iGammaLevel);
    }
    s_iAppliedFeedback = g_iFeedbackQuality;
    if (g_ucOptionPageMode == 1)
        Ed_DrawLaneDialog();
    if (!g_pGadgetPage)
        return;
    for (int i = 0; i < ED_GADGETS; i++)
        DrawGadget(&g_pGadgetPage[i]);
}

void Ed_GadgetFocus(OPTIONGADGET *g)
{
    if (!g)
        return;
    if (IsSlider(g) && g->widget && g->widget->bar) {
        g->widget->bar->pressed = SCROLLPART_THUMB;
        Ui_MarkScrollBarDirty(g->widget->bar);
    } else if (g->kind == GADGET_ARROWS) {
        g_ucChoiceArrow = 1;
    }
}

void Ed_GadgetUnfocus(OPTIONGADGET *g)
{
    if (!g)
        return;
    if (IsSlider(g) && g->widget && g->widget->bar) {
        g->widget->bar->pressed = SCROLLPART_NONE;
        Ui_MarkScrollBarDirty(g->widget->bar);
    } else if (g->kind == GADGET_ARROWS) {
        g_ucChoiceArrow = 0;
    }
}

void Ed_GadgetAcceptByMouse(OPTIONGADGET *g)
{
    if (!g)
        return;
    Ed_GadgetUnfocus(g_pCurrentGadget);
    g_pCurrentGadget = g;
    Ed_GadgetFocus(g);
    s_bMouseDriven = true;
    Ed_GadgetAccept();
    s_bMouseDriven = false;
}

void Ed_GadgetAccept()
{
    OPTIONGADGET *g = g_pCurrentGadget;
    if (!g)
        return;
    if (g->flags & GADGET_DISABLED) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    if (IsSlider(g) && g->widget && g->widget->bar) {
        switch (g->widget->bar->pressed) {
        case SCROLLPART_FIRST_ARROW: Ui_StepValueSlider(g->widget, -1); break;
        case SCROLLPART_THUMB: g_iNextScreen = SCREEN_OPTION_DRAG; break;
        case SCROLLPART_SECOND_ARROW: Ui_StepValueSlider(g->widget, 1); break;
        default: break;
        }
    } else if (IsButton(g)) {
        if (!s_bMouseDriven)
            g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
        if (g->action)
            g->action();
        return;
    } else if (g->kind == GADGET_ARROWS) {
        Ed_GadgetChoiceStep();
    }
    if (g_ucOptionPageMode == 1)
        Ed_LaneDialogSync(g);
}

void Ed_GadgetLeftKey()
{
    OPTIONGADGET *g = g_pCurrentGadget;
    if (!g)
        return;
    if (IsSlider(g) && g->widget && g->widget->bar) {
        SCROLLBAR *bar = g->widget->bar;
        if (bar->pressed > SCROLLPART_FIRST_ARROW) {
            bar->pressed--;
            Ui_MarkScrollBarDirty(bar);
        } else {
            Ed_GadgetMoveLeft();
        }
    } else if (g->kind == GADGET_ARROWS) {
        g_ucChoiceArrow = 1;
    } else {
        Ed_GadgetMoveLeft();
    }
}

void Ed_GadgetRightKey()
{
    OPTIONGADGET *g = g_pCurrentGadget;
    if (!g)
        return;
    if (IsSlider(g) && g->widget && g->widget->bar) {
        SCROLLBAR *bar = g->widget->bar;
        if (bar->pressed < SCROLLPART_SECOND_ARROW) {
            bar->pressed++;
            Ui_MarkScrollBarDirty(bar);
        } else {
            Ed_GadgetMoveRight();
        }
    } else if (g->kind == GADGET_ARROWS) {
        g_ucChoiceArrow = 2;
    } else {
        Ed_GadgetMoveRight();
    }
}

void Ed_GadgetUp() { MoveTo(Neighbour(GADGET_UP)); }
void Ed_GadgetDown() { MoveTo(Neighbour(GADGET_DOWN)); }
void Ed_GadgetMoveLeft() { MoveTo(Neighbour(GADGET_LEFT)); }
void Ed_GadgetMoveRight() { MoveTo(Neighbour(GADGET_RIGHT)); }

void Ed_GadgetChoiceStep()
{
    OPTIONGADGET *g = g_pCurrentGadget;
    if (!g || !g->widget)
        return;
    if (g_ucChoiceArrow == 1) {
        if (g->widget->value > 1)
            Ui_StepValueSlider(g->widget, -1);
    } else if (g->widget->value < 9) {
        Ui_StepValueSlider(g->widget, 1);
    }
    if (g_ucOptionPageMode == 1)
        Ed_LaneDialogSync(g);
}

void Ed_OptionNextPage()
{
    const int p = int(g_pOptionsPage - &g_aatOptionPages[0][0]) / ED_GADGETS;
    if (p >= 0 && p < ED_OPTION_PAGES - 1)
        ShowOptionsPage(g_aatOptionPages[p + 1]);
}

void Ed_OptionPrevPage()
{
    const int p = int(g_pOptionsPage - &g_aatOptionPages[0][0]) / ED_GADGETS;
    if (p > 0 && p < ED_OPTION_PAGES)
        ShowOptionsPage(g_aatOptionPages[p - 1]);
}

void Ed_OptionPageBack()
{
    Ed_GadgetUnfocus(g_pCurrentGadget);
    if (g_pOptionWindow)
        Ui_FreeNodeList(g_pOptionWindow);
    switch (g_ucOptionPageMode) {
    case 0:
        Ed_StoreGadgetValues();
        Ui_ApplyOptionPanel();
        Ed_CloseOptionPage();
        break;
    case 1:
        Ed_CloseLaneDialog();
        break;
    case 3:
        // The mix panel over the sample editor: its two values are kept and the mix runs
        // behind the busy box.
        Ed_StoreGadgetValues();
        Ed_CloseGadgetWindow();
        g_ucOptionPageMode = 0;
        g_iNextScreen = 15;
        if (Ui_WindowIsOpen(g_pSampleEditWindow))
            Ui_SetFocus(g_pSampleEditWindow);
        // Without a mix operation the box would end on no screen at all.
        if (g_atBusyOps[16].run || g_atBusyOps[16].followUp)
            Ui_OpenBusyBox(Ui_Text(676), Ui_Text(94), UI_BUSY_CENTRED, 100, 16);
        break;
    case 4:
        Ed_StoreGadgetValues();
        Ed_CloseGadgetWindow();
        g_ucOptionPageMode = 0;
        Ed_CdOptionsClosed();
        break;
    default:
        // No dialog of this kind: leave it rather than keep the pad on a page nobody owns.
        Ed_CloseGadgetWindow();
        g_ucOptionPageMode = 0;
        Ed_ReturnToGrid();
        break;
    }
}

void Ed_ReturnToGrid()
{
    if (g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow)) {
        Ui_SetFocus(g_pGridWindow);
        Ui_ReturnToEditorMenu();
        if (g_pGridView)
            Ui_RefreshView(g_pGridView);
    } else {
        // The grid closed for the pages comes back as the kind it was.
        if (g_ucGridKind == 1)
            Ed_ShowVideoGrid();
        else
            Ed_ShowSongGrid();
        Ui_ReturnToEditorMenu();
    }
}

int32_t Ed_OptionDragStep(const VALUESLIDER *s)
{
    if (!s || !s->bar)
        return 2;
    const int32_t span = int32_t(s->bar->head.w) - 32;
    return 2 * (span > 0 ? std::max(1, s->maximum / span) : 1);
}

void Ed_OptionRangeLeft()
{
    OPTIONGADGET *g = g_pCurrentGadget;
    if (!g || !g->widget)
        return;
    Ui_StepValueSlider(g->widget, -Ed_OptionDragStep(g->widget));
    if (g_ucOptionPageMode == 1)
        Ed_LaneDialogSync(g);
}

void Ed_OptionRangeRight()
{
    OPTIONGADGET *g = g_pCurrentGadget;
    if (!g || !g->widget)
        return;
    Ui_StepValueSlider(g->widget, Ed_OptionDragStep(g->widget));
    if (g_ucOptionPageMode == 1)
        Ed_LaneDialogSync(g);
}

void Ed_OptionRangeEndAdjust()
{
    g_iNextScreen = SCREEN_OPTIONS;
}

void Ed_OptionWindowClick(int32_t event)
{
    OptionClick(event);
}
