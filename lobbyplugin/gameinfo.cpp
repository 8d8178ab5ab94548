#include "lobbyplugin/gameinfo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

const char g_szEkxGameName[] = "Tonnivelle";

const char g_aszEkxFieldNames[EKESTRIX_FIELD_COUNT][EKESTRIX_FIELD_NAME_SIZE] = {
    "Number of Players",
    "Music Style",
};
const int32_t g_aiEkxFieldTypes[EKESTRIX_FIELD_COUNT] = {2, 5};
const uint16_t g_awEkxFieldBits[EKESTRIX_FIELD_COUNT] = {2, 8};

namespace {

// Two different empty texts, so the lobby can tell "below the table" from "past it".
const char s_szNoFieldBelow[EKESTRIX_FIELD_NAME_SIZE] = "";
const char s_szNoFieldAbove[EKESTRIX_FIELD_NAME_SIZE] = "";

const char s_szNoString[] = "(no string)";

// Open dialogs: a short singly linked list through a side record, as the lobby shows few.
struct OPENDIALOG
{
    EkestrixDialog *pDialog;
    OPENDIALOG *pNext;
};
std::mutex s_dialogLock;
OPENDIALOG *s_pOpenDialogs;

} // namespace

int32_t Ekx_HeaderEx(int32_t index)
{
    switch (index) {
    case 1:
        return 50;
    case 2:
        return 100;
    case 3:
        return 150;
    case 4:
        return 200;
    case 5:
        return 1;
    default:
        return 0;
    }
}

int32_t Ekx_FieldType(int32_t field)
{
    if (field < 0 || field >= EKESTRIX_FIELD_COUNT)
        return 0;
    return g_aiEkxFieldTypes[field];
}

const char *Ekx_FieldName(int32_t field)
{
    if (field < 0)
        return s_szNoFieldBelow;
    if (field >= EKESTRIX_FIELD_COUNT)
        return s_szNoFieldAbove;
    return g_aszEkxFieldNames[field];
}

int32_t Ekx_Compatibility(const void *data, int32_t size)
{
    if (!data || size < 2)
        return 0;
    const unsigned char *p = static_cast<const unsigned char *>(data);
    unsigned low = p[0];
    unsigned high = p[1];
    int32_t flags = low == 0 ? 0 : (low == 1 ? 2 : 1);
    if (high == 0)
        return flags;
    if (high <= 4)
        return flags | 4;
    if (high == 5)
        return flags | 12;
    return flags | 8;
}

EkestrixDialog *Ekx_DialogOpen(void *parent, const void *data, int32_t size)
{
    EkestrixDialog *dlg = static_cast<EkestrixDialog *>(std::calloc(1, sizeof(EkestrixDialog)));
    OPENDIALOG *link = static_cast<OPENDIALOG *>(std::calloc(1, sizeof(OPENDIALOG)));
    if (!dlg || !link) {
        std::free(dlg);
        std::free(link);
        return nullptr;
    }
    dlg->pParent = parent;
    std::snprintf(dlg->szCaption, sizeof dlg->szCaption, "Nonhead string (%d bytes):", size);

    // The text is always our own allocation, so closing frees it the same way whatever it holds.
    char *text = nullptr;
    if (size >= 0 && (data || size == 0)) {
        text = static_cast<char *>(std::malloc(static_cast<size_t>(size) + 1));
        if (text) {
            if (size > 0)
                std::memcpy(text, data, static_cast<size_t>(size));
            text[size] = '\0';
        }
    }
    if (!text) {
        text = static_cast<char *>(std::malloc(sizeof s_szNoString));
        if (!text) {
            std::free(dlg);
            std::free(link);
            return nullptr;
        }
        std::memcpy(text, s_szNoString, sizeof s_szNoString);
    }
    dlg->pszText = text;

    std::lock_guard<std::mutex> hold(s_dialogLock);
    link->pDialog = dlg;
    link->pNext = s_pOpenDialogs;
    s_pOpenDialogs = link;
    return dlg;
}

int Ekx_DialogClose(EkestrixDialog *dialog)
{
    if (!dialog)
        return -1;
    OPENDIALOG *found = nullptr;
    {
        std::lock_guard<std::mutex> hold(s_dialogLock);
        for (OPENDIALOG **pp = &s_pOpenDialogs; *pp; pp = &(*pp)->pNext)
            if ((*pp)->pDialog == dialog) {
                found = *pp;
                *pp = found->pNext;
                break;
            }
    }
    if (!found)
        return -1;
    std::free(dialog->pszText);
    std::free(dialog);
    std::free(found);
    return 0;
}
