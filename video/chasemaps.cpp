#include "video/chasemaps.h"

#include <cstring>
#include <initializer_list>

#include "core/disc.h"
#include "core/moviestream.h"
#include "render/texpages.h"
#include "video/chase.h"
#include "video/chaselist.h"
#include "video/chaseres.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/interp.h"
#include "editors/chaseeditor.h"
#include "video/render.h"
#include "video/vidobject.h"

char g_szBackFamily[128] = "back wotsir";
char g_szTextureFamily[128] = "Texture wotsit";
char g_szMovieFamily[128] = "mov fam";
char g_szMovieName[128] = "mov Name";

namespace {

enum
{
    TCH_FAMILY,
    TCH_ITEM,
    TCH_MOVING,
    TCH_U,
    TCH_V,
    TCH_MAPPING,
    TCH_ENTERED, // Texture: the Moving value the offsets were entered under
    MCH_START = 6,
    MCH_END,
    MCH_SECTORLO,
    MCH_SECTORHI,
};

constexpr uint32_t VIDOBJ_NORMALISED = 0x10;
constexpr uint32_t VIDOBJ_MAPPED = 0x100; // render word bit 0x01; mappings take 0x200, 0x400, 0x800

} // namespace

CHASECHANNEL g_aBackgroundChannels[2] = {
    {0, 0, 4, 16, 1, nullptr, g_szBackFamily}, // "Family"
    {1, 1, 1, 0, 2, nullptr, nullptr},         // "Item"
};

CHASECHANNEL g_aTextureChannels[7] = {
    {0, 0, 3, 16, 1, nullptr, g_szTextureFamily}, // "Family"
    {1, 1, 5, 0, 2, nullptr, nullptr},            // "Texture ID"
    {0, 0, 1, 1, 3, nullptr, nullptr},            // "Moving"
    {0, 0, 63, 6, 2, nullptr, nullptr},           // "U Offset"
    {0, 0, 63, 6, 2, nullptr, nullptr},           // "V Offset"
    {1, 0, 2, 2, 4, nullptr, nullptr},            // "Mapping"
    {2, 0, 2, 2, 8, nullptr, nullptr},            // the Moving value the offsets were entered under
};

CHASECHANNEL g_aMovieChannels[10] = {
    {0, 0, 1, 16, 1, nullptr, g_szMovieFamily}, // "Movie" (family)
    {1, 1, 1, 0, 1, nullptr, g_szMovieName},    // "Movie" (item)
    {0, 0, 1, 1, 3, nullptr, nullptr},          // "Moving"
    {0, 0, 63, 6, 2, nullptr, nullptr},         // "U Offset"
    {0, 0, 63, 6, 2, nullptr, nullptr},         // "V Offset"
    {1, 0, 2, 2, 4, nullptr, nullptr},          // "Mapping"
    {1, 1, 600, 10, 3, nullptr, nullptr},       // "Start"
    {600, 1, 600, 10, 3, nullptr, nullptr},     // "End"
    {0, -32768, 32767, 16, 8, nullptr, nullptr}, // first sector, low half
    {0, -32768, 32767, 16, 8, nullptr, nullptr}, // first sector, high half
};

int32_t Vid_WrapTextureOffset(int32_t t)
{
    while (t > 128)
        t -= 64;
    while (t < 0)
        t += 64;
    return t;
}

namespace {

CHASELISTLIMITS s_back = {VIDRES_BACK, g_szBackFamily, nullptr, -1, -1, 0};
CHASELISTLIMITS s_texture = {VIDRES_MAPTEX, g_szTextureFamily, nullptr, -1, -1, 0};
CHASELISTLIMITS s_movie = {VIDRES_MOVIE, g_szMovieFamily, g_szMovieName, -1, -1, 0};

int16_t Clamp16(int32_t v, int32_t lo, int32_t hi)
{
    return static_cast<int16_t>(v < lo ? lo : (v > hi ? hi : v));
}

uint32_t VertexCount(const VIDOBJECT *model)
{
    const MODELINSTANCE *inst = model ? model->pInstance : nullptr;
    if (!inst || !inst->model)
        return 0;
    const uint16_t *c = inst->model->counts;
    if (c[0] || c[1] || c[2] || c[3])
        return 3u * (c[0] + c[2]) + 4u * (c[1] + c[3]);
    return 3u * (c[4] + c[6]) + 4u * (c[5] + c[7]);
}

// ---- Background ----

int32_t BackRead(CHASE *, int32_t, int32_t *v, int32_t)
{
    Vid_ReadFamilyItem(v, g_aBackgroundChannels);
    return 0;
}

int32_t BackApply(CHASE *, int32_t, int32_t *v, uint8_t *s)
{
    if (s && s[TCH_FAMILY] != KEYSTATE_SET && s[TCH_ITEM] != KEYSTATE_SET)
        return 1;
    if (s)
        s[TCH_FAMILY] = s[TCH_ITEM] = KEYSTATE_SET;
    if (Vid_ChaseEditorOpen())
        Vid_FamilyItemLimits(&s_back, g_aBackgroundChannels, v, s);
    return Vid_LoadFamilyItem(VIDRES_BACK, v) ? 1 : 0;
}

void ListRelease(CHASE *, const int32_t *v, uint32_t mask)
{
    if ((mask & 3) && v[0] > 0)
        g_VidRes.releaseRef(v[0]);
}

void BackInterpolate(CHASE *chase, const int32_t *a, const int32_t *, const int16_t *)
{
    auto *p = reinterpret_cast<BACKPARAMS *>(chase->pParams);
    p->pModel = a[0] > 0 ? static_cast<VIDOBJECT *>(g_VidChaseRes.data(a[0])) : nullptr;
}

void BackRender(CHASE *chase, VIDOBJECT *o)
{
    const auto *p = reinterpret_cast<const BACKPARAMS *>(chase->pParams);
    if (!p->pModel)
        return;
    o->flags |= p->pModel->flags | VIDOBJ_SOLID | VIDOBJ_NORMALISED;
    o->pInstance = p->pModel->pInstance;
    o->pInstanceOffsets = nullptr;
    o->iInstanceCount = 0;
    o->uIndexCount = VertexCount(p->pModel);
    if (p->pModel->pImage || p->pModel->texture) {
        o->pImage = p->pModel->pImage;
        o->texture = p->pModel->texture;
    }
}

int32_t BackRemap(CHASE *, int32_t *v, const void *loadMap)
{
    const int32_t id = Vid_MapSavedRes(loadMap, v[0]);
    if (id < 0) {
        v[0] = 0;
        v[1] = 1;
        return 1;
    }
    v[0] = id;
    Vid_ReadFamilyItem(v, g_aBackgroundChannels);
    return 1;
}

void BackPreview(CHASE *, const int32_t *values)
{
    if (!Vid_ChaseEditorOpen())
        return;
    int32_t v[2] = {values[0], values[1]};
    Vid_FamilyItemLimits(&s_back, g_aBackgroundChannels, v, nullptr);
}

// ---- Texture and Movie ----

// The offsets are shown -32..31 while the type's Moving default is 1.
void SetOffsetRanges(CHASECHANNEL *ch, int32_t moving)
{
    ch[TCH_MOVING].sDefault = static_cast<int16_t>(moving);
    for (int32_t c : {TCH_U, TCH_V}) {
        ch[c].sMin = static_cast<int16_t>(moving ? -32 : 0);
        ch[c].sMax = static_cast<int16_t>(moving ? 31 : 63);
    }
}

void ReadOffsets(const CHASECHANNEL *ch, int32_t *v)
{
    if (ch[TCH_MOVING].sDefault == 1) {
        v[TCH_U] -= 32;
        v[TCH_V] -= 32;
    }
}

int32_t TextureRead(CHASE *, int32_t, int32_t *v, int32_t)
{
    Vid_ReadFamilyItem(v, g_aTextureChannels);
    ReadOffsets(g_aTextureChannels, v);
    return 0;
}

int32_t MovieRead(CHASE *, int32_t, int32_t *v, int32_t)
{
    Vid_ReadFamilyItem(v, g_aMovieChannels);
    ReadOffsets(g_aMovieChannels, v);
    return 0;
}

// Moving and the offsets, after the resource part of apply.
void ApplyOffsets(CHASECHANNEL *ch, int32_t *v, uint8_t *s, bool texture)
{
    if (s[TCH_MOVING] == KEYSTATE_SET) {
        SetOffsetRanges(ch, v[TCH_MOVING]);
        if (texture && v[TCH_MOVING] != v[TCH_ENTERED]) {
            v[TCH_U] = v[TCH_V] = 0;
            v[TCH_ENTERED] = v[TCH_MOVING];
            s[TCH_U] = s[TCH_V] = s[TCH_ENTERED] = KEYSTATE_SET;
        }
    }
    if (ch[TCH_MOVING].sDefault == 1) {
        if (s[TCH_U] == KEYSTATE_SET)
            v[TCH_U] += 32;
        if (s[TCH_V] == KEYSTATE_SET)
            v[TCH_V] += 32;
    }
}

int32_t TextureApply(CHASE *, int32_t, int32_t *v, uint8_t *s)
{
    if (s[TCH_FAMILY] == KEYSTATE_SET || s[TCH_ITEM] == KEYSTATE_SET) {
        s[TCH_FAMILY] = s[TCH_ITEM] = KEYSTATE_SET;
        if (Vid_ChaseEditorOpen())
            Vid_FamilyItemLimits(&s_texture, g_aTextureChannels, v, s);
        if (!Vid_LoadFamilyItem(VIDRES_MAPTEX, v))
            return 0;
    }
    ApplyOffsets(g_aTextureChannels, v, s, true);
    return 1;
}

// Finds the movie's first sector on the disc once and keeps it in the record.
bool LocateMovie(VIDMOVIEREC *rec)
{
    if (static_cast<int32_t>(rec->uDisc) != g_VidChaseRes.currentDisc() || rec->uSector != VIDMOVIE_UNLOCATED)
        return true;
    DISCFILE *file = rec->pszFile ? Sys_DiscOpen(rec->pszFile) : nullptr;
    if (!file)
        return false;
    uint8_t header[32];
    Sys_DiscRead(header, 1, sizeof header, file);
    rec->uSector = file->uStartSector;
    Sys_DiscClose(file);
    return true;
}

int32_t MovieApply(CHASE *, int32_t, int32_t *v, uint8_t *s)
{
    CHASECHANNEL *ch = g_aMovieChannels;
    if (s[TCH_FAMILY] == KEYSTATE_SET || s[TCH_ITEM] == KEYSTATE_SET) {
        s[TCH_FAMILY] = s[TCH_ITEM] = KEYSTATE_SET;
        if (Vid_ChaseEditorOpen() && g_iChaseEditPage < 2)
            Vid_FamilyItemLimits(&s_movie, ch, v, s);
        if (!Vid_LoadFamilyItem(VIDRES_MOVIE, v))
            return 0;
        const int32_t id = v[TCH_FAMILY];
        VIDMOVIEREC *rec = g_VidChaseRes.movie(g_VidChaseRes.data(id));
        if (!rec || !Sys_StreamAcquire()) {
            g_VidRes.releaseRef(id);
            v[TCH_FAMILY] = 0;
            return 0;
        }
        if (!LocateMovie(rec)) {
            Sys_StreamRelease();
            g_VidRes.releaseRef(id);
            v[TCH_FAMILY] = 0;
            return 0;
        }
        v[MCH_SECTORLO] = static_cast<int16_t>(rec->uSector & 0xFFFF);
        v[MCH_SECTORHI] = static_cast<int16_t>(rec->uSector >> 16);
        const int16_t first = rec->sFirstFrame, last = rec->sLastFrame < first ? first : rec->sLastFrame;
        for (int32_t c : {MCH_START, MCH_END}) {
            ch[c].sMin = first;
            ch[c].sMax = last;
            ch[c].sDefault = Clamp16(ch[c].sDefault, first, last);
        }
        v[MCH_START] = first;
        v[MCH_END] = last;
        s[MCH_SECTORLO] = s[MCH_SECTORHI] = s[MCH_START] = s[MCH_END] = KEYSTATE_SET;
    }
    ApplyOffsets(ch, v, s, false);
    for (int32_t c : {MCH_START, MCH_END})
        if (s[c] == KEYSTATE_SET)
            v[c] = Clamp16(v[c], ch[c].sMin, ch[c].sMax);
    return 1;
}

void MovieRelease(CHASE *chase, const int32_t *v, uint32_t mask)
{
    ListRelease(chase, v, mask);
    if ((mask & 1) && v[0] > 0)
        Sys_StreamRelease();
}

// The offsets of both texture types: moving speeds or fixed offsets, wrapped.
void Offsets(TEXTUREPARAMS *p, const int32_t *a, const int32_t *b, const int16_t *w)
{
    if (a[TCH_MOVING] == 1) {
        p->iStepU = Vid_MovingStep(Vid_Blend((a[TCH_U] - 32) * 64, (b[TCH_U] - 32) * 64, w[TCH_U]));
        p->iStepV = Vid_MovingStep(Vid_Blend((a[TCH_V] - 32) * 64, (b[TCH_V] - 32) * 64, w[TCH_V]));
        p->iAccU += p->iStepU;
        p->iAccV += p->iStepV;
        // The accumulators follow the wrapped offsets so that a long scroll never overflows.
        const int32_t u = Vid_WrapTextureOffset(p->iAccU >> 8), v = Vid_WrapTextureOffset(p->iAccV >> 8);
        p->iAccU += (u - (p->iAccU >> 8)) * 256;
        p->iAccV += (v - (p->iAccV >> 8)) * 256;
        p->sU = static_cast<int16_t>(u);
        p->sV = static_cast<int16_t>(v);
    } else {
        p->iStepU = p->iStepV = 0;
        p->sU = static_cast<int16_t>(Vid_WrapTextureOffset(Vid_Blend(a[TCH_U], b[TCH_U], w[TCH_U])));
        p->sV = static_cast<int16_t>(Vid_WrapTextureOffset(Vid_Blend(a[TCH_V], b[TCH_V], w[TCH_V])));
    }
    p->ucMapping = static_cast<uint8_t>(a[TCH_MAPPING]);
}

void TextureInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<TEXTUREPARAMS *>(chase->pParams);
    Offsets(p, a, b, w);
    p->pImage = a[0] > 0 ? static_cast<IMAGEREC *>(g_VidChaseRes.data(a[0])) : nullptr;
    p->uPage = p->pImage ? p->pImage->page : 0;
}

void MovieInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<TEXTUREPARAMS *>(chase->pParams);
    Offsets(p, a, b, w);
    const int32_t start = Vid_Blend(a[MCH_START], b[MCH_START], w[MCH_START]);
    const int32_t end = Vid_Blend(a[MCH_END], b[MCH_END], w[MCH_END]);
    p->pImage = g_pStreamTexture;
    p->uPage = g_pStreamTexture ? g_pStreamTexture->page : 0;
    g_bStreamTextureInUse = g_pStreamTexture != nullptr;
    // Both halves are kept as 16-bit values: the low one reads back signed.
    const uint32_t first = (static_cast<uint32_t>(a[MCH_SECTORLO]) & 0xFFFF) |
                           (static_cast<uint32_t>(a[MCH_SECTORHI]) & 0xFFFF) << 16;
    const VIDMOVIEREC *rec = a[0] > 0 ? g_VidChaseRes.movie(g_VidChaseRes.data(a[0])) : nullptr;
    if (!rec || static_cast<int32_t>(rec->uDisc) != g_VidChaseRes.currentDisc() || g_bMovieFetched)
        return;
    uint8_t msf[3];
    if (Sys_MsfFromSector(static_cast<int>(first + static_cast<uint32_t>(start - 1) * 6), msf) == 0) {
        if (std::memcmp(msf, g_abStreamStart, 3) == 0 && g_bStreaming) {
            g_iStreamLastFrame = end;
            Sys_StreamUpdate();
        } else {
            std::memcpy(g_abStreamStart, msf, 3);
            g_iStreamRead = STREAM_READ_RESTART;
            g_iStreamFirstFrame = start;
            g_iStreamLastFrame = end;
        }
    }
    g_bMovieFetched = 1;
}

void TextureRender(CHASE *chase, VIDOBJECT *o)
{
    const auto *p = reinterpret_cast<const TEXTUREPARAMS *>(chase->pParams);
    if (!p->pImage)
        return;
    o->pImage = p->pImage;
    o->texture = p->pImage->texture;
    o->sScrollU = p->sU;
    o->sScrollV = p->sV;
    o->flags |= VIDOBJ_MAPPED | (VIDOBJ_MAPPED << 1 << (p->ucMapping > 2 ? 2 : p->ucMapping));
}

void MovieRender(CHASE *chase, VIDOBJECT *o)
{
    if (g_pStreamPixels)
        TextureRender(chase, o);
}

void ConvertOldOffsets(int32_t *v, const void *loadMap)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    if (!map || map->uVersion >= 15 || v[TCH_MOVING] != 1)
        return;
    for (int32_t c : {TCH_U, TCH_V})
        v[c] = Clamp16((v[c] - 32) * 4 + 32, 0, 63);
}

int32_t TextureRemap(CHASE *chase, int32_t *v, const void *loadMap)
{
    const int32_t id = Vid_MapSavedRes(loadMap, v[0]);
    v[0] = id < 0 ? 0 : id;
    ConvertOldOffsets(v, loadMap);
    SetOffsetRanges(g_aTextureChannels, v[TCH_MOVING] == 1);
    TextureRead(chase, 0, v, 7);
    return 1;
}

int32_t MovieRemap(CHASE *chase, int32_t *v, const void *loadMap)
{
    const int32_t id = Vid_MapSavedRes(loadMap, v[0]);
    v[0] = id < 0 ? 0 : id;
    ConvertOldOffsets(v, loadMap);
    MovieRead(chase, 0, v, 10);
    return 1;
}

// A texture cannot map onto a particle system.
int32_t TextureMix(CHASE *, VIDCLIP *clip, int32_t)
{
    if (clip && clip->sEntryCount > 0 && clip->pFirst && clip->pFirst->pChase && clip->pFirst->pChase->pDef &&
        clip->pFirst->pChase->pDef->uStoredId == 9)
        return 0;
    return 1;
}

void TexturePreview(CHASE *, const int32_t *values)
{
    if (!Vid_ChaseEditorOpen())
        return;
    int32_t v[2] = {values[0], values[1]};
    Vid_FamilyItemLimits(&s_texture, g_aTextureChannels, v, nullptr);
}

void MoviePreview(CHASE *, const int32_t *values)
{
    if (!Vid_ChaseEditorOpen())
        return;
    int32_t v[2] = {values[0], values[1]};
    Vid_FamilyItemLimits(&s_movie, g_aMovieChannels, v, nullptr);
}

} // namespace

CHASEDEF g_BackgroundChaseDef = {
    2, 0, 0, CHASEKIND_PLAIN, sizeof(BACKPARAMS), sizeof(BACKPARAMS), 0, 2, g_aBackgroundChannels, nullptr, 0,
    BackRead, BackApply, BackInterpolate, ListRelease, BackRender,
    Vid_ListMark, Vid_ListPack, BackRemap, nullptr, BackPreview, 0,
};

CHASEDEF g_TextureChaseDef = {
    11, 0, 0, CHASEKIND_MOD, sizeof(TEXTUREPARAMS), sizeof(TEXTUREPARAMS), 0, 7, g_aTextureChannels, nullptr, 0,
    TextureRead, TextureApply, TextureInterpolate, ListRelease, TextureRender,
    Vid_ListMark, Vid_ListPack, TextureRemap, TextureMix, TexturePreview, 0,
};

CHASEDEF g_MovieChaseDef = {
    12, 0, 0, CHASEKIND_MOD, sizeof(TEXTUREPARAMS), sizeof(TEXTUREPARAMS), 0, 10, g_aMovieChannels, nullptr, 0,
    MovieRead, MovieApply, MovieInterpolate, MovieRelease, MovieRender,
    Vid_ListMark, Vid_ListPack, MovieRemap, TextureMix, MoviePreview, 0,
};
