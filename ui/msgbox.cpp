#include "ui/msgbox.h"

#include "core/console_memory.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/instruments.h"
#include "ui/busybox.h"
#include "ui/textfield.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

MSGBOX g_aMsgBoxes[MSGBOX_SLOTS];
MSGBOX *g_pCurrentMsgBox;
MSGBOX *g_pPadRemovedBox;
int32_t g_bModalBoxOpen;

void Ui_FormatResultClosed(uint8_t button);
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

void DrawMessageBox(void *user)
{
    MSGBOX *box = BoxOfWindow(user);
    if (!box || !box->pWindow)
        return;
    FONT *savedFont = g_pFont;
    const uint32_t savedColour = g_uiTextColour;
    g_pFont = &g_tFontMain;
    g_uiTextColour = 0x808080;
    DrawLines lines{kFirstLineY};
    Ui_MsgBoxWrap(box->pszText ? box->pszText : "", box->width - 56, DrawLine, &lines);
    if (const IMAGEREC *icon = Gfx_GetImage(box->iIconImage))
        Gfx_AddImageSprite(icon, 11, 9, 128, 128, 128);
    const int32_t y = box->height - kButtonHeight - 5;
    for (int i = 0; i < box->ucButtonCount; i++) {
        const char *label = Ui_Text(box->asButtonText[i]);
        // The chosen button blinks between two greens over twelve frames.
        if (i == box->ucChosen)
            g_uiTextColour = (g_iFrameCount.load() % 12) < 6 ? 0x009000 : 0x007400;
        else
            g_uiTextColour = 0x808080;
        Gfx_DrawText(label, box->asButtonX[i] + (box->sButtonWidth - TextWidth(label)) / 2, y, g_pOrderingTable);
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

} // namespace

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
    const int rows = box->ucButtonCount ? lines + 1 : lines;
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
    desc.draw = DrawMessageBox;
    desc.user = box;
    WINDOW *window = Ui_OpenWindow(&desc);
    if (!window)
        return nullptr;
    box->pWindow = window;
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
}

void Ui_MessageBoxLeft()
{
    MSGBOX *box = g_pCurrentMsgBox;
    if (!box || !box->pWindow || box->ucButtonCount < 2)
        return;
    Seq_PlayInterfaceSound(2);
    box->ucChosen = uint8_t((box->ucChosen + box->ucButtonCount - 1) % box->ucButtonCount);
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
        req.pfnAnswer = Ui_LeaveToGrid;
        break;
    default:
        return nullptr;
    }
    return Ui_OpenMessageBox(&req);
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
    g_bModalBoxOpen = 0;
}
