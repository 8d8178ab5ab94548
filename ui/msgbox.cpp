#include "ui/msgbox.h"

#include "app/timers.h"
#include "audio/capture.h"
#include "audio/cdaudio.h"
#include "core/console_memory.h"
#include "core/file.h"
#include "editors/jukebox.h"
#include "editors/filescreen.h"
#include "jam/netobjects.h"
#include "video/render.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/instruments.h"
#include "ui/busybox.h"
#include "ui/mouse.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/textfield.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

MSGBOX g_aMsgBoxes[MSGBOX_SLOTS];
MSGBOX *g_pCurrentMsgBox;
MSGBOX *g_pPadRemovedBox;
MSGBOX *g_pFormatResultBox;
int32_t g_bModalBoxOpen;

void Ui_ReturnToPopup(uint8_t button);
void Ui_LeaveToGrid(uint8_t button);

namespace {

constexpr int32_t kIconImages[9] = {292, 292, 658, 618, 475, 716, 250, 260, 262};
constexpr int32_t kDefaultWidth = 220;
constexpr int32_t kLineHeight = 12;
constexpr int32_t kTextX = 52;
constexpr int32_t kFirstLineY = 8;
constexpr int32_t kButtonHeight = 12;
constexpr int32_t kCoolingFrames = 3;
// Buttons are never narrower than this word in the button font.
constexpr const char *kButtonReference = "MMMMMMMM";
constexpr int kWordMax = 79;

int32_t TextWidth(const char *text)
{
    FONT *saved = g_pFont;
    g_pFont = &g_tFontMain;
    const int32_t w = Gfx_GetTextWidth(text);
    g_pFont = saved;
    return w;
}

int32_t ButtonTextWidth(int16_t id)
{
    return TextWidth(Ui_Text(id));
}

MSGBOX *FindOpenBox()
{
    for (MSGBOX &b : g_aMsgBoxes)
        if (b.pWindow)
            return &b;
    return nullptr;
}

MSGBOX *BoxOfWindow(const void *user)
{
    for (MSGBOX &b : g_aMsgBoxes)
        if (&b == user)
            return &b;
    return nullptr;
}

struct DrawLines
{
    int32_t y;
};

void DrawLine(const char *start, int length, void *user)
{
    auto *d = static_cast<DrawLines *>(user);
    char line[MSGBOX_TEXT_COPY];
    const int n = std::min(length, int(sizeof line) - 1);
    std::memcpy(line, start, size_t(n));
    line[n] = 0;
    Gfx_DrawText(line, kTextX, d->y, g_pOrderingTable);
    d->y += kLineHeight;
}

void CountLine(const char *, int, void *)
{
}

void Ui_DrawMessageBox(void *user)
{
    MSGBOX *box = BoxOfWindow(user);
    if (!box || !box->pWindow)
        return;
    FONT *savedFont = g_pFont;
    const uint32_t savedColour = g_uiTextColour;
    g_pFont = &g_tFontMain;
    g_uiTextColour = 0x808080;
    g_iViewRedrawCount = 3;
    // An open box is activity: the idle demo must not start over a question.
    g_iAttractLastActivity = g_iFrameCount.load();
    DrawLines lines{kFirstLineY};
    Ui_MsgBoxWrap(box->pszText ? box->pszText : "", box->width - 56, DrawLine, &lines);
    char progress[64];
    int32_t fill = 0;
    const int32_t barWidth = box->width - 70;
    if (Ui_MsgBoxProgress(box, progress, sizeof progress, barWidth, &fill)) {
        const int32_t last = std::max(lines.y - kLineHeight, kFirstLineY); // y of the last text line
        const int32_t centre = box->width / 2 + ((box->ucFlags & MSGBOX_JAM_COUNTDOWN) ? 16 : 0);
        Gfx_DrawText(progress, centre - TextWidth(progress) / 2, last + 16, g_pOrderingTable);
        // Linked after the text, so drawn under it.
        if (fill > 0)
            Gfx_AddTile(50, last + 15, fill, 13, 64, 0, 0);
        Gfx_AddBevelBox(49, last + 14, box->width - 69, 14);
    }
    if (const IMAGEREC *icon = Gfx_GetImage(box->iIconImage))
        Gfx_AddImageSprite(icon, 11, 9, 128, 128, 128);
    const int32_t y = box->height - kButtonHeight - 5;
    for (int i = 0; i < box->ucButtonCount; i++) {
        const char *label = Ui_Text(box->asButtonText[i]);
        // The chosen button blinks between two greens over twelve frames.
        uint8_t g = 128, rb = 128;
        if (i == box->ucChosen) {
            g = (g_iFrameCount.load() % 12) < 6 ? 144 : 116;
            rb = 0;
        }
        g_uiTextColour = uint32_t(rb) | uint32_t(g) << 8 | uint32_t(rb) << 16;
        Gfx_DrawText(label, box->asButtonX[i] + (box->sButtonWidth - TextWidth(label)) / 2, y, g_pOrderingTable);
        const int32_t x0 = box->asButtonX[i], x1 = x0 + box->sButtonWidth, y0 = y - 1, y1 = y0 + kButtonHeight;
        Gfx_AddLine(x0, y0, x1, y0, rb, g, rb);
        Gfx_AddLine(x0, y1, x1, y1, rb, g, rb);
        Gfx_AddLine(x0, y0, x0, y1, rb, g, rb);
        Gfx_AddLine(x1, y0, x1, y1 + 1, rb, g, rb);
    }
    g_uiTextColour = savedColour;
    g_pFont = savedFont;
}

void Answer(const MSGBOX &box, uint8_t button)
{
    if (box.pfnUserAnswer && box.uUserValue != 0)
        box.pfnUserAnswer(button, box.uUserValue);
    else if (box.pfnAnswer)
        box.pfnAnswer(button);
}

// In mouse mode the pointer follows the chosen button.
void PointAtChosen(const MSGBOX *box)
{
    if (!(g_ucMouseButtons & MOUSE_MODE) || !box->pWindow)
        return;
    const int32_t bx = box->asButtonX[box->ucChosen];
    const int32_t by = box->height - kButtonHeight - 5 - 1;
    g_sMouseX = int16_t(box->pWindow->x + bx + box->sButtonWidth - 4);
    g_sMouseY = int16_t(box->pWindow->y + by + kButtonHeight - 4);
}

int32_t Scale(int32_t full, int64_t part, int64_t whole)
{
    if (whole <= 0 || part <= 0)
        return 0;
    return int32_t(std::min<int64_t>(full * part / whole, full));
}

} // namespace

bool Ui_MsgBoxProgress(const MSGBOX *box, char *text, int size, int32_t barWidth, int32_t *fill)
{
    if (!box || !text || size <= 0)
        return false;
    *fill = 0;
    if (box->ucFlags & MSGBOX_RECORD_TIME) {
        const int32_t perSecond = 22050 << std::clamp(g_iCdSampleRateCode, 0, 2);
        std::snprintf(text, size_t(size), "%d Seconds", int(g_iRecordedBytes.load() / perSecond));
        return true;
    }
    if (box->ucFlags & MSGBOX_MIXDOWN_PERCENT) {
        const int64_t end = int64_t(std::max(g_iMixdownEnd, 0)) + 1;
        const int64_t position = std::min<int64_t>(g_uMixdownProgressRow, end);
        std::snprintf(text, size_t(size), "%d %s", int(position * 100 / end), Ui_Text(602));
        *fill = Scale(barWidth, position, end);
        return true;
    }
    if (box->ucFlags & MSGBOX_JAM_COUNTDOWN) {
        const uint32_t now = Sys_GetMilliseconds();
        const int64_t left = int64_t(int32_t(g_uiJamSyncTime - now)) / 1000 + 1;
        if (int32_t(g_uiJamSyncTime - now) < 0)
            std::snprintf(text, size_t(size), "%s", Ui_Text(674));
        else
            std::snprintf(text, size_t(size), "%d %s", int(left), Ui_Text(665));
        *fill = Scale(barWidth, int64_t(int32_t(now - g_uiJamStartTime)),
                      int64_t(int32_t(g_uiJamSyncTime - g_uiJamStartTime)));
        return true;
    }
    return false;
}

int Ui_MsgBoxWrap(const char *text, int32_t width, void (*line)(const char *start, int length, void *user),
                  void *user)
{
    if (!text)
        return 0;
    int count = 0;
    const char *p = text;
    while (*p) {
        // Take whole words while the line still fits; a word alone wider than the line is cut.
        const char *start = p;
        const char *end = p;
        const char *scan = p;
        char buf[MSGBOX_TEXT_COPY];
        while (*scan && *scan != '\n') {
            const char *wordEnd = scan;
            while (*wordEnd && *wordEnd != ' ' && *wordEnd != '\n')
                wordEnd++;
            const int len = int(std::min<ptrdiff_t>(wordEnd - start, ptrdiff_t(sizeof buf) - 1));
            std::memcpy(buf, start, size_t(len));
            buf[len] = 0;
            if (TextWidth(buf) > width || wordEnd - start > ptrdiff_t(sizeof buf) - 1) {
                if (end == start) {
                    // The first word does not fit: as many characters as do (at least one).
                    const char *c = start + 1;
                    while (c < wordEnd && c - start < kWordMax) {
                        const int n = int(c + 1 - start);
                        std::memcpy(buf, start, size_t(n));
                        buf[n] = 0;
                        if (TextWidth(buf) > width)
                            break;
                        c++;
                    }
                    end = c;
                }
                break;
            }
            end = wordEnd;
            scan = wordEnd;
            while (*scan == ' ')
                scan++;
            if (!*scan || *scan == '\n')
                break;
        }
        if (end == start && *start == '\n')
            end = start;
        line(start, int(end - start), user);
        count++;
        p = end;
        while (*p == ' ')
            p++;
        if (*p == '\n')
            p++;
    }
    return count;
}

MSGBOX *Ui_OpenMessageBox(const MSGBOXREQUEST *req)
{
    if (!req)
        return nullptr;
    MSGBOX *box = nullptr;
    for (MSGBOX &b : g_aMsgBoxes)
        if (!b.pWindow && (!b.ucClosedOnce || int64_t(b.iCloseFrame) + kCoolingFrames < int64_t(g_iFrameCount.load()))) {
            box = &b;
            break;
        }
    if (!box)
        return nullptr;
    const int32_t closed = box->iCloseFrame;
    const uint8_t closedOnce = box->ucClosedOnce;
    *box = MSGBOX{};
    box->iCloseFrame = closed;
    box->ucClosedOnce = closedOnce;
    box->ucFlags = req->ucFlags;
    box->ucButtonCount = std::min<uint8_t>(req->ucButtonCount, 2);
    box->asButtonText[0] = req->asButtonText[0];
    box->asButtonText[1] = req->asButtonText[1];
    box->pfnAnswer = req->pfnAnswer;
    box->pfnUserAnswer = req->pfnUserAnswer;
    box->uUserValue = req->uUserValue;
    box->iIconImage = kIconImages[req->ucIcon < 9 ? req->ucIcon : 0];
    const char *text = req->pszText ? req->pszText : "";
    if (req->ucFlags & MSGBOX_COPY_TEXT) {
        std::snprintf(box->szText, sizeof box->szText, "%s", text);
        text = box->szText;
    }
    box->pszText = text;

    // Long button labels widen the box, checked after each button.
    int32_t width = req->width ? req->width : kDefaultWidth;
    int32_t total = 0;
    for (int i = 0; i < box->ucButtonCount; i++) {
        total += ButtonTextWidth(box->asButtonText[i]) + 6;
        if (total > 140)
            width += total - 115;
    }
    box->width = uint16_t(width);
    const int lines = Ui_MsgBoxWrap(text, width - 56, CountLine, nullptr);
    box->lineCount = uint16_t(lines);
    // Buttons take a row of their own below the text, so a long text never runs under them (with
    // up to two lines this is the plain three-line box).
    // A progress line with its bar takes two rows under the text, again so nothing overlaps.
    const int rows = lines + (box->ucButtonCount ? 1 : 0) + ((box->ucFlags & MSGBOX_PROGRESS) ? 2 : 0);
    box->height = uint16_t(std::max(rows, 3) * kLineHeight + 15);
    int32_t buttonWidth = TextWidth(kButtonReference);
    for (int i = 0; i < box->ucButtonCount; i++)
        buttonWidth = std::max(buttonWidth, ButtonTextWidth(box->asButtonText[i]) + 6);
    box->sButtonWidth = int16_t(buttonWidth);
    if (box->ucButtonCount == 1)
        box->asButtonX[0] = int16_t(width / 2 - buttonWidth / 2);
    else if (box->ucButtonCount == 2) {
        box->asButtonX[0] = int16_t(width / 3 - buttonWidth / 2);
        box->asButtonX[1] = int16_t(2 * width / 3 - buttonWidth / 2);
    }

    WINDOWDESC desc{};
    desc.w = uint16_t(width);
    desc.h = box->height;
    desc.x = req->x ? req->x : uint16_t(std::max(0, (g_iScreenWidth - width) / 2));
    desc.y = req->y ? req->y : uint16_t(std::max(0, (g_iScreenHeight - box->height) / 2 - 40));
    desc.style = 1;
    desc.draw = Ui_DrawMessageBox;
    desc.user = box;
    WINDOW *window = Ui_OpenWindow(&desc);
    if (!window)
        return nullptr;
    box->pWindow = window;
    for (int i = 0; i < box->ucButtonCount; i++) {
        WIDGET &b = box->aButtonWidgets[i];
        b = WIDGET{};
        b.kind = WIDGET_MSGBOX_BUTTON;
        b.x = uint16_t(box->asButtonX[i]);
        b.y = uint16_t(box->height - kButtonHeight - 5 - 1);
        b.w = uint16_t(box->sButtonWidth);
        b.h = kButtonHeight;
        b.press = Ui_MsgBoxButtonClick;
        Ui_AttachWidget(window, &b);
    }
    box->pSavedFocus = Ui_GetFocus();
    Ui_SetFocus(window);
    box->sSavedScreen = int16_t(g_iScreen);
    g_iNextScreen = SCREEN_MSGBOX;
    g_bModalBoxOpen = 1;
    g_pCurrentMsgBox = box;
    return box;
}

void Ui_CloseMessageBox(MSGBOX *box)
{
    // A second close (a status box's owner closing what was already answered) changes nothing.
    if (!box || !box->pWindow)
        return;
    Ui_CloseWindow(box->pWindow);
    box->pWindow = nullptr;
    box->iCloseFrame = g_iFrameCount.load();
    box->ucClosedOnce = 1;
    if (box == g_pPadRemovedBox)
        g_pPadRemovedBox = nullptr;
    if (g_bJamWindowOpen) {
        g_bModalBoxOpen = FindOpenBox() != nullptr;
        if (g_pCurrentMsgBox == box)
            g_pCurrentMsgBox = FindOpenBox();
        Answer(*box, box->ucChosen);
        return;
    }
    if (MSGBOX *other = FindOpenBox()) {
        // The older box takes over; this one's answer is dropped, as the box order demands.
        std::fprintf(stderr, "message box: answer dropped while another box is open\n");
        g_pCurrentMsgBox = other;
        Ui_SetFocus(other->pWindow);
        return;
    }
    g_bModalBoxOpen = 0;
    g_pCurrentMsgBox = nullptr;
    g_iNextScreen = box->sSavedScreen;
    Ui_SetFocus(box->pSavedFocus);
    Answer(*box, box->ucChosen);
}

void Ui_MsgBoxButtonClick(WIDGET *button)
{
    for (MSGBOX &b : g_aMsgBoxes)
        for (int i = 0; i < b.ucButtonCount && b.pWindow; i++)
            if (button == &b.aButtonWidgets[i]) {
                b.ucChosen = uint8_t(i);
                Ui_RunPadSlot(14);
                return;
            }
}

void Ui_MessageBoxAccept()
{
    MSGBOX *box = g_pCurrentMsgBox;
    if (!box || !box->pWindow || box->ucButtonCount == 0)
        return;
    Seq_PlayInterfaceSound(1);
    Ui_CloseMessageBox(box);
}

void Ui_MessageBoxRight()
{
    MSGBOX *box = g_pCurrentMsgBox;
    if (!box || !box->pWindow || box->ucButtonCount < 2)
        return;
    Seq_PlayInterfaceSound(2);
    box->ucChosen = uint8_t((box->ucChosen + 1) % box->ucButtonCount);
    PointAtChosen(box);
}

void Ui_MessageBoxLeft()
{
    MSGBOX *box = g_pCurrentMsgBox;
    if (!box || !box->pWindow || box->ucButtonCount < 2)
        return;
    Seq_PlayInterfaceSound(2);
    box->ucChosen = uint8_t((box->ucChosen + box->ucButtonCount - 1) % box->ucButtonCount);
    PointAtChosen(box);
}

MSGBOX *Ui_ShowOperationResult(int32_t code, int32_t cardSlot)
{
    MSGBOXREQUEST req{};
    req.ucButtonCount = 1;
    req.asButtonText[0] = 114;
    const int slot = cardSlot ? 1 : 0;
    switch (code) {
    case 22:
        req.pszText = Ui_Text(564 + slot);
        req.pfnAnswer = Ui_FormatResultClosed;
        break;
    case 23:
        req.pszText = Ui_Text(566 + slot);
        req.pfnAnswer = Ui_FormatResultClosed;
        break;
    case 10: {
        req.pszText = Ui_Text(310);
        const int32_t op = g_tBusyBox.code; // the operation that reported it
        req.pfnAnswer = (op == 13 || op == 14) ? Ui_ReturnToPopup : Ui_LeaveToGrid;
        break;
    }
    case 20:
    case 21:
        req.pszText = Ui_Text(348);
        // 21 comes from an operation run out of a pop-up: the answer goes back to it.
        req.pfnAnswer = code == 21 ? Ui_ReturnToPopup : Ui_LeaveToGrid;
        break;
    default:
        return nullptr;
    }
    MSGBOX *box = Ui_OpenMessageBox(&req);
    if (code == 22 || code == 23)
        g_pFormatResultBox = box;
    return box;
}

void Ui_FormatResultClosed(uint8_t)
{
    g_pFormatResultBox = nullptr;
    Ed_FileBrowserReturn();
}

void Ui_ReturnToPopup(uint8_t)
{
    g_iNextScreen = 9;
    if (g_pCurrentPopup && !g_pCurrentPopup->free && g_pCurrentPopup->window)
        Ui_SetFocus(g_pCurrentPopup->window);
}

void Ui_ResetMessageBoxes()
{
    for (MSGBOX &b : g_aMsgBoxes) {
        if (b.pWindow)
            Ui_CloseWindow(b.pWindow);
        b = MSGBOX{};
    }
    g_pCurrentMsgBox = nullptr;
    g_pPadRemovedBox = nullptr;
    g_pFormatResultBox = nullptr;
    g_bModalBoxOpen = 0;
}

void Ui_KeepMessageBoxTexts()
{
    for (MSGBOX &box : g_aMsgBoxes) {
        if (!box.pszText || box.pszText == box.szText)
            continue;
        std::snprintf(box.szText, sizeof box.szText, "%s", box.pszText);
        box.pszText = box.szText;
    }
}
