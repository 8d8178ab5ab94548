// Numbered default names of riffs and samples, and the boot tables of the archive.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/archive.h"
#include "render/fonts.h"
#include "sequencer/channels.h"
#include "sequencer/songmodel.h"
#include "ui/msgbox.h"

uint16_t g_uNameCounter;
uint16_t g_uSampleNameCounter;
uint8_t g_abDefaultRiffs[SEQ_DEFAULT_RIFFS_SIZE];
uint8_t g_abDefaultEffects[SEQ_DEFAULT_EFFECTS_SIZE];

namespace {

SEQTEXTMEASURE s_pfnMeasure;

// Names are measured with the interface's main font, whatever font is current.
int32_t MeasureWithMainFont(const char *text)
{
    FONT *saved = g_pFont;
    g_pFont = &g_tFontMain;
    const int32_t width = Gfx_GetTextWidth(text);
    g_pFont = saved;
    return width;
}

const char *Prefix(int32_t textId, const char *fallback)
{
    const char *text = g_apszText[textId];
    return text && *text ? text : fallback;
}

} // namespace

void Seq_SetTextMeasurer(SEQTEXTMEASURE fn)
{
    s_pfnMeasure = fn;
}

int32_t Seq_MeasureText(const char *text)
{
    return s_pfnMeasure ? s_pfnMeasure(text) : MeasureWithMainFont(text);
}

int32_t Seq_StripNumberSuffix(char *text)
{
    const int32_t length = (int32_t)strlen(text);
    if (length < 4)
        return length;
    int32_t number = 0;
    for (int32_t i = length - 4; i < length; i++) {
        if (!isdigit((unsigned char)text[i]))
            return length;
        number = number * 10 + (text[i] - '0');
    }
    if (number == 0)
        return length;
    text[length - 4] = 0;
    return length - 4;
}

int32_t Seq_MakeDefaultName(char *buffer, int32_t kind)
{
    if (!buffer)
        return 0;
    // Riff names hold 16 bytes, sample names 20; every write stays inside them.
    if (kind == 0 || kind == 4) {
        g_uNameCounter++;
        return snprintf(buffer, 16, "%s%.4d", Prefix(kind == 0 ? 229 : 228, "Riff"), g_uNameCounter);
    }
    if (kind == 3) {
        g_uSampleNameCounter++;
        return snprintf(buffer, 20, "%s%.4d", Prefix(512, "Sample"), g_uSampleNameCounter);
    }
    buffer[15] = 0;
    if (g_uNameCounter > 9998)
        g_uNameCounter = 0;
    g_uNameCounter++;
    char number[8];
    snprintf(number, sizeof(number), "%.4d", g_uNameCounter);
    int32_t length = Seq_StripNumberSuffix(buffer);
    const int32_t numberWidth = Seq_MeasureText(number);
    while (length > 0 && (length + 4 > 14 || Seq_MeasureText(buffer) + numberWidth >= 136))
        buffer[--length] = 0;
    std::memcpy(buffer + length, number, 5);
    return length + 4;
}

void Seq_LoadBootTables()
{
    Sys_WadLoadFileInto(g_abDefaultRiffs, "/BOOT/DEFRIF", 0, sizeof(g_abDefaultRiffs));
    Sys_WadLoadFileInto(g_abDefaultEffects, "/BOOT/EFFREAL", 0, sizeof(g_abDefaultEffects));
    Seq_LoadEffectPresets();
}

uint8_t Seq_DefaultRiffValue(uint8_t key1, uint8_t key2)
{
    for (int32_t i = 0; i < SEQ_DEFRIF_RECORDS; i++)
        if (g_abDefaultRiffs[3 * i] == key1 && g_abDefaultRiffs[3 * i + 1] == key2)
            return g_abDefaultRiffs[3 * i + 2];
    return 0;
}
