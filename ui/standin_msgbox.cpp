// Stand-in until the interface's message boxes are built.
#include "ui/msgbox.h"

#include "core/padbind.h"

#include <cstdio>


MSGBOX *g_pPadRemovedBox;
const char *g_apszText[700];

static MSGBOX s_box;

MSGBOX *Ui_StandinMessageBox()
{
    return &s_box;
}

MSGBOX *Ui_OpenMessageBox(const MSGBOXREQUEST *req)
{
    if (!req)
        return nullptr;
    s_box = MSGBOX{};
    s_box.ucFlags = req->ucFlags;
    s_box.ucButtonCount = req->ucButtonCount;
    s_box.asButtonText[0] = req->asButtonText[0];
    s_box.asButtonText[1] = req->asButtonText[1];
    s_box.pfnAnswer = req->pfnAnswer;
    const char *text = req->pszText ? req->pszText : "";
    if (req->ucFlags & MSGBOX_COPY_TEXT)
    {
        std::snprintf(s_box.szText, sizeof s_box.szText, "%s", text);
        text = s_box.szText;
    }
    s_box.pszText = text;
    s_box.sSavedScreen = int16_t(g_iScreen);
    g_iNextScreen = 17;
    return &s_box;
}
