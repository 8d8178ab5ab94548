#include "tools/autocontent.h"

#include "tools/videohost.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/clipimage.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Channels of the Shape type used here.
enum
{
    SHAPE_FAMILY = 0,
    SHAPE_ITEM = 1,
    SHAPE_ANIM = 2,
    SHAPE_SCALE = 6,
};

struct CHANNELVALUE
{
    int32_t channel, value;
};

CHASE *NewChase(int32_t storedId)
{
    const int32_t type = Vid_FindChaseType(storedId);
    CHASE *c = type >= 0 ? Vid_NewChase(type) : nullptr;
    if (c && Vid_SetChaseDefaultKey(c) != 1) {
        Vid_FreeChase(c);
        c = nullptr;
    }
    return c;
}

// Sets the given channels in a key at time (others as they are). false when refused.
bool Key(CHASE *c, int32_t time, std::initializer_list<CHANNELVALUE> set)
{
    int32_t values[VID_MAX_CHANNELS] = {};
    uint8_t states[VID_MAX_CHANNELS];
    std::memset(states, KEYSTATE_KEEP, sizeof states);
    for (const CHANNELVALUE &v : set) {
        values[v.channel] = v.value;
        states[v.channel] = KEYSTATE_SET;
    }
    return Vid_SetChaseKey(c, time, values, states) == 1;
}

// A second key half-way that moves the type's number channels, so the chase plays when its
// trigger comes: variant picks how far along their ranges.
void Vary(CHASE *c, int32_t variant)
{
    const CHASEDEF *def = c->pDef;
    int32_t values[VID_MAX_CHANNELS] = {};
    uint8_t states[VID_MAX_CHANNELS];
    std::memset(states, KEYSTATE_KEEP, sizeof states);
    bool any = false;
    for (int32_t ch = 0; ch < def->sChannelCount; ch++) {
        const CHASECHANNEL &d = def->pChannels[ch];
        if (d.ucKind != 2 || d.ucBits == 0 || d.sMax <= d.sMin)
            continue;
        values[ch] = d.sMin + (d.sMax - d.sMin) * ((variant + ch) % 4 + 1) / 5;
        states[ch] = KEYSTATE_SET;
        any = true;
    }
    if (any)
        Vid_SetChaseKey(c, 128, values, states);
}

struct AUTOCLIP
{
    int group;
    int style;
    std::string shown;
    std::vector<int32_t> chain; // stored ids; the first decides the kind
    int family, item, anim;     // for a first Shape
};

struct STYLE
{
    int group;
    const char *title;
};

const STYLE kStyles[] = {
    {3, "Spinners"}, {3, "Flyers"}, {3, "Textured"}, {3, "Sparks"},
    {1, "Tiles"},    {1, "Tints"},  {1, "Dials"},
};

std::vector<AUTOCLIP> Library()
{
    std::vector<AUTOCLIP> clips;
    const char *animNames[] = {"still", "pulse", "wobble", "twist"};
    for (int i = 0; i < 4; i++) {
        clips.push_back({3, 0, std::string("Spin ") + animNames[i], {1, 3}, i, 1 + i % 3, i});
        clips.push_back({3, 1, std::string("Fly ") + animNames[(i + 1) % 4], {1, 5}, 4 - i, 1 + (i + 1) % 3, (i + 1) % 4});
        clips.push_back({3, 2, std::string("Skin ") + animNames[(i + 2) % 4], {1, 11, 3}, 3, 1 + i, (i + 2) % 4});
    }
    clips.push_back({3, 3, "Sparks", {9}, 0, 0, 0});
    clips.push_back({3, 3, "Spark spin", {9, 3}, 0, 0, 0});
    clips.push_back({3, 3, "Colour bits", {9, 7}, 0, 0, 0});
    for (int v = 0; v < 3; v++) {
        clips.push_back({1, 4, "Tiles " + std::to_string(v + 1), {16}, v, 0, 0});
        clips.push_back({1, 5, "Tint " + std::to_string(v + 1), {17}, v, 0, 0});
        clips.push_back({1, 6, "Dial " + std::to_string(v + 1), {15}, v, 0, 0});
    }
    return clips;
}

// The clip of one library entry; null (with err) when the engine refuses a key.
VIDCLIP *MakeClip(const AUTOCLIP &a, std::string &err)
{
    VIDCLIP *clip = Vid_NewClip();
    if (!clip) {
        err = "no clip record for " + a.shown;
        return nullptr;
    }
    for (size_t i = 0; i < a.chain.size(); i++) {
        CHASE *c = NewChase(a.chain[i]);
        if (!c) {
            err = "chase type " + std::to_string(a.chain[i]) + " refused its default key in " + a.shown;
            Vid_DestroyClip(clip);
            return nullptr;
        }
        if (i == 0 && a.chain[i] == 1) {
            if (!Key(c, 0, {{SHAPE_FAMILY, a.family}, {SHAPE_ITEM, a.item}, {SHAPE_ANIM, a.anim}}) ||
                !Key(c, 128, {{SHAPE_SCALE, 2 + a.item % 4}})) {
                err = "the Shape of " + a.shown + " refused its keys";
                Vid_FreeChase(c);
                Vid_DestroyClip(clip);
                return nullptr;
            }
        } else {
            Vary(c, a.family + static_cast<int>(i));
        }
        Vid_AppendClipEntry(clip, c);
    }
    std::snprintf(clip->szName, sizeof clip->szName, "%s", a.shown.c_str());
    return clip;
}

} // namespace

bool Content_AddAutoClips(PACKDIR &root, const std::string &dataDir, std::string &err)
{
    if (!Content_StartVideoHost(dataDir, err))
        return false;
    PACKDIR &autoDir = Pack_Dir(root, "AUTO");
    autoDir.title = "Auto video";
    const char *groups[] = {"Unused", "Screen effects", "Unused", "Objects"};
    for (int g = 0; g < 4; g++)
        Pack_Dir(autoDir, std::to_string(g)).title = groups[g];
    int styleIndex[4] = {};
    std::string letter[std::size(kStyles)];
    for (size_t s = 0; s < std::size(kStyles); s++) {
        letter[s] = std::string(1, static_cast<char>('A' + styleIndex[kStyles[s].group]++));
        Pack_Dir(autoDir, std::to_string(kStyles[s].group) + "/" + letter[s]).title = kStyles[s].title;
    }
    // The same clips make the studio's clip library, grouped as the auto video groups them
    // (without its unused groups), so that a musician can pick them by hand.
    PACKDIR &chases = Pack_Dir(root, "CHASES");
    const char *folders[] = {"", "EFFECTS", "", "OBJECTS"};
    for (size_t s = 0; s < std::size(kStyles); s++) {
        const int g = kStyles[s].group;
        if (!*folders[g])
            continue;
        Pack_Dir(chases, folders[g]).title = groups[g];
        Pack_Dir(chases, std::string(folders[g]) + "/" + letter[s]).title = kStyles[s].title;
    }
    bool ok = true;
    int number = 0;
    for (const AUTOCLIP &a : Library()) {
        VIDCLIP *clip = MakeClip(a, err);
        if (!clip) {
            ok = false;
            break;
        }
        PACKFILE file;
        char name[16];
        std::snprintf(name, sizeof name, "CLIP%02d", number++ % 100);
        file.name = name;
        file.shown = a.shown;
        file.data = Vid_WriteClipImage(clip);
        Vid_AddClipRef(clip);
        Vid_ReleaseClip(clip);
        if (file.data.empty()) {
            err = "the clip " + a.shown + " cannot be written";
            ok = false;
            break;
        }
        if (*folders[a.group])
            Pack_Dir(chases, std::string(folders[a.group]) + "/" + letter[a.style]).files.push_back(file);
        Pack_Dir(autoDir, std::to_string(a.group) + "/" + letter[a.style]).files.push_back(std::move(file));
    }
    Content_StopVideoHost();
    return ok;
}
