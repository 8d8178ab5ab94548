#include "video/chase_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "video/chase.h"
#include "video/chase_modifiers.h"
#include "video/chasetypes.h"
#include "video/interp.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/vidobject.h"

char g_szTextChaseWord[TEXT_CHARS + 1] = "ABC xyz 123";
char g_szTextChaseEdit[TEXT_CHARS + 1] = "ABC xyz 123";

namespace {

enum
{
    XCH_WORD,
    XCH_FONT,
    XCH_FIRST, // 14 character channels
};

const CHASECHANNEL kTextChannels[16] = {
    {0, 0, 1, 0, 7, nullptr, nullptr}, // "Word"
    {0, 0, 5, 0, 2, nullptr, nullptr}, // "Font"
    {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr},
    {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr},
    {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr},
    {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr},
    {0, 0, 70, 16, 8, nullptr, nullptr}, {0, 0, 70, 16, 8, nullptr, nullptr},
};

void ReadValues(int32_t *values)
{
    std::memcpy(g_szTextChaseEdit, g_szTextChaseWord, sizeof g_szTextChaseEdit);
    g_szTextChaseEdit[TEXT_CHARS] = 0;
    for (int32_t i = 0; i < TEXT_CHARS; i++) {
        const int32_t v = values[XCH_FIRST + i];
        if (v >= 1) {
            uint16_t path[8];
            int32_t depth = 0;
            if (g_VidRes.indexPath(v, path, &depth) == 0 && depth >= 2) {
                g_szTextChaseEdit[i] = Vid_TextCodeChar(path[depth - 1]);
                values[XCH_FONT] = path[depth - 2];
            }
        } else if (v == TEXT_SPACE_VALUE) {
            g_szTextChaseEdit[i] = ' ';
        } else if (v == TEXT_END_VALUE) {
            g_szTextChaseEdit[i] = 0;
        }
    }
}

int32_t TextRead(CHASE *, int32_t, int32_t *values, int32_t)
{
    ReadValues(values);
    return 0;
}

void ReleaseLetters(const int32_t *values)
{
    for (int32_t i = 0; i < TEXT_CHARS; i++)
        if (values[XCH_FIRST + i] > 0)
            g_VidRes.releaseRef(values[XCH_FIRST + i]);
}

int32_t TextApply(CHASE *, int32_t, int32_t *values, uint8_t *states)
{
    if (!states)
        std::memcpy(g_szTextChaseWord, g_szTextChaseEdit, sizeof g_szTextChaseWord);
    else if (states[XCH_WORD] != KEYSTATE_SET && states[XCH_FONT] != KEYSTATE_SET)
        return 1;
    g_szTextChaseEdit[TEXT_CHARS] = 0;
    const int32_t n = static_cast<int32_t>(std::strlen(g_szTextChaseEdit));
    const int32_t font = values[XCH_FONT];
    int32_t built[TEXT_CHARS];
    for (int32_t i = 0; i < TEXT_CHARS; i++) {
        int32_t v = TEXT_END_VALUE;
        if (i < n) {
            const char c = g_szTextChaseEdit[i];
            if (c == ' ') {
                v = TEXT_SPACE_VALUE;
            } else {
                const int32_t code = Vid_TextCharCode(c);
                int32_t id = -1;
                const uint16_t path[2] = {static_cast<uint16_t>(font), static_cast<uint16_t>(code)};
                // A character no font has a model for refuses the word; the letters loaded so far
                // go back.
                if (code < 0 || font < 0 || font > 5 || !g_VidRes.load(RES_TEXT, path, 2, &id) || id < 1) {
                    for (int32_t k = 0; k < i; k++)
                        if (built[k] > 0)
                            g_VidRes.releaseRef(built[k]);
                    return 0;
                }
                g_VidRes.addRef(id);
                v = id;
            }
        }
        built[i] = v;
    }
    for (int32_t i = 0; i < TEXT_CHARS; i++) {
        values[XCH_FIRST + i] = built[i];
        if (states)
            states[XCH_FIRST + i] = KEYSTATE_SET;
    }
    std::memcpy(g_szTextChaseWord, g_szTextChaseEdit, sizeof g_szTextChaseWord);
    return 1;
}

void TextRelease(CHASE *, const int32_t *values, uint32_t mask)
{
    if (mask & 3)
        ReleaseLetters(values);
}

void TextMark(int32_t value, int32_t channel, uint32_t *bitmap)
{
    if (channel >= XCH_FIRST && value >= 0 && bitmap)
        bitmap[value >> 5] |= 1u << (value & 31);
}

int32_t TextPack(int32_t value, int32_t channel)
{
    if (channel < XCH_FIRST)
        return value;
    if (value >= 1)
        return g_VidRes.saveNumber(value);
    return value == TEXT_SPACE_VALUE || value == TEXT_END_VALUE ? value : -1;
}

int32_t TextRemap(CHASE *, int32_t *values, const void *loadMap)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    for (int32_t i = 0; i < TEXT_CHARS; i++) {
        int32_t &v = values[XCH_FIRST + i];
        if (v == TEXT_SPACE_VALUE || v == TEXT_END_VALUE)
            continue;
        int32_t id = 0;
        if (map && map->pResIds && v >= 0 && static_cast<uint32_t>(v) < map->uResCount && map->pResIds[v] != 0xFFFF)
            id = map->pResIds[v];
        v = id;
    }
    ReadValues(values);
    return 1;
}

// The letter's extent: largest x, largest and smallest y of its vertices.
void Extent(const VIDOBJECT *letter, int32_t *maxX, int32_t *maxY, int32_t *minY)
{
    *maxX = 0;
    const RESMODEL *m = Vid_GetObjectModel(letter);
    if (!m || !m->model.vertices)
        return;
    for (uint32_t i = 0; i < m->model.vertexCount; i++) {
        const uint8_t *v = m->model.vertices + 8 * i;
        const int32_t x = static_cast<int16_t>(v[0] | v[1] << 8), y = static_cast<int16_t>(v[2] | v[3] << 8);
        *maxX = std::max(*maxX, x);
        *maxY = std::max(*maxY, y);
        *minY = std::min(*minY, y);
    }
}

void TextInterpolate(CHASE *chase, const int32_t *a, const int32_t *, const int16_t *)
{
    auto *p = reinterpret_cast<TEXTPARAMS *>(chase->pParams);
    int32_t widths[TEXT_CHARS];
    int32_t count = 0, total = 0, top = -32768, bottom = 32767;
    for (int32_t i = 0; i < TEXT_CHARS; i++) {
        const int32_t v = a[XCH_FIRST + i];
        if (v == TEXT_END_VALUE)
            break;
        // Empty slots take neither a model nor a position, so the two stay in step.
        if (v == TEXT_SPACE_VALUE) {
            p->models[count] = nullptr;
            widths[count++] = TEXT_SPACE;
            total += TEXT_SPACE;
        } else if (v >= 1) {
            auto *letter = static_cast<VIDOBJECT *>(Vid_GetResData(v));
            int32_t maxX = 0;
            if (letter)
                Extent(letter, &maxX, &top, &bottom);
            p->models[count] = letter;
            widths[count++] = maxX + TEXT_GAP;
            total += maxX + TEXT_GAP;
        }
    }
    if (top < bottom)
        top = bottom = 0;
    int32_t x = -total / 2;
    for (int32_t i = 0; i < count; i++) {
        p->instances[i] = p->models[i] ? p->models[i]->pInstance : nullptr;
        p->positions[i][0] = x;
        p->positions[i][1] = -(top + bottom) / 2; // the word's middle on the view's centre line
        p->positions[i][2] = 0;
        p->positions[i][3] = 0;
        x += widths[i];
    }
    for (int32_t i = count; i < TEXT_CHARS; i++) {
        p->models[i] = nullptr;
        p->instances[i] = nullptr;
    }
    p->count = static_cast<uint8_t>(count);
    p->width = total;
    g_iTextWidest = std::max(g_iTextWidest, total);
}

void TextRender(CHASE *chase, VIDOBJECT *object)
{
    auto *p = reinterpret_cast<TEXTPARAMS *>(chase->pParams);
    object->ppAltModels = p->instances;
    object->pInstanceOffsets = &p->positions[0][0];
    object->iInstanceCount = p->count;
    object->flags |= 0x4000u | VIDOBJ_SOLID;
    for (int32_t i = 0; i < p->count; i++)
        Vid_RaiseSceneExtent(std::max(std::abs(p->positions[i][0]) + TEXT_SPACE, std::abs(p->positions[i][1])));
}

} // namespace

CHASEDEF g_TextChaseDef = {
    10, 0, 0, CHASEKIND_PLAIN, sizeof(TEXTPARAMS), sizeof(TEXTPARAMS), 0, 16, kTextChannels, nullptr, 0,
    TextRead, TextApply, TextInterpolate, TextRelease, TextRender,
    TextMark, TextPack, TextRemap, nullptr, nullptr, 0,
};

int32_t Vid_TextCharCode(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 36;
    return -1;
}

char Vid_TextCodeChar(int32_t code)
{
    if (code >= 0 && code <= 9)
        return static_cast<char>('0' + code);
    if (code >= 10 && code <= 35)
        return static_cast<char>('A' + code - 10);
    if (code >= 36 && code <= 63)
        return static_cast<char>('a' + code - 36);
    return ' ';
}

void Vid_ResetTextChase()
{
    std::strcpy(g_szTextChaseWord, "ABC xyz 123");
    std::strcpy(g_szTextChaseEdit, "ABC xyz 123");
}
