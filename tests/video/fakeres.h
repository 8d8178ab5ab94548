// A small fake archive for the resource-list chase types: resources by kind and index path with
// reference counts, folder and entry counts, entry sizes, shown names and point lists. It takes the
// place of the resource pages' calls (g_VidRes, g_VidChaseRes) while a test runs.
#pragma once

#include "app/timers.h"
#include "core/console_memory.h"
#include "core/idpool.h"
#include "render/texpages.h"
#include "video/chase.h"
#include "video/chaselist.h"
#include "video/chaseres.h"
#include "video/chasetypes.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace fakeres {

using Path = std::vector<uint16_t>;

struct POINTS
{
    std::vector<std::array<int32_t, 3>> pts;
    bool closed = false;
};

struct ANIM
{
    int32_t speed = -1;
};

struct RES
{
    int32_t kind;
    Path path;
    void *data;
    int32_t refs = 0;
};

struct WORLD
{
    std::map<std::pair<int32_t, Path>, void *> entries; // what the archive holds
    std::map<std::pair<int32_t, Path>, int32_t> folders; // sub-folders of a folder
    std::map<std::pair<int32_t, Path>, uint32_t> sizes;  // entry sizes where they matter
    std::map<int32_t, RES> byId;
    int32_t nextId = 10;
    // Owned fixtures.
    std::vector<VIDOBJECT *> models;
    std::vector<POINTS *> points;
    std::vector<IMAGEREC *> images;
    std::vector<ANIM *> anims;
    std::vector<VIDMOVIEREC *> movies;
    int32_t disc = 1;
};

inline WORLD *g_world = nullptr;

inline void *Load(int32_t kind, const uint16_t *path, int32_t depth, int32_t *outId)
{
    *outId = -1;
    const Path p(path, path + depth);
    auto it = g_world->entries.find({kind, p});
    if (it == g_world->entries.end())
        return nullptr;
    for (auto &r : g_world->byId)
        if (r.second.kind == kind && r.second.path == p) {
            *outId = r.first;
            return r.second.data;
        }
    *outId = g_world->nextId++;
    g_world->byId[*outId] = {kind, p, it->second, 0};
    return it->second;
}
inline void AddRef(int32_t id)
{
    g_world->byId.at(id).refs++;
}
inline int32_t ReleaseRef(int32_t id)
{
    auto &r = g_world->byId.at(id);
    EXPECT_GT(r.refs, 0) << "released more than held: " << id;
    return --r.refs;
}
inline int32_t SaveNumber(int32_t id)
{
    return id - 5;
}
inline int32_t IndexPath(int32_t id, uint16_t *out, int32_t *depth)
{
    auto it = g_world->byId.find(id);
    if (it == g_world->byId.end())
        return -1;
    *depth = static_cast<int32_t>(it->second.path.size());
    std::copy(it->second.path.begin(), it->second.path.end(), out);
    return 0;
}
inline void *Data(int32_t id)
{
    auto it = g_world->byId.find(id);
    return it == g_world->byId.end() ? nullptr : it->second.data;
}
inline int32_t FolderCount(int32_t kind, const uint16_t *path, int32_t depth)
{
    auto it = g_world->folders.find({kind, Path(path, path + depth)});
    return it == g_world->folders.end() ? 0 : it->second;
}
inline int32_t EntryCount(int32_t kind, const uint16_t *path, int32_t depth)
{
    const Path p(path, path + depth);
    int32_t n = 0;
    for (auto &e : g_world->entries)
        if (e.first.first == kind && e.first.second.size() == p.size() + 1 &&
            std::equal(p.begin(), p.end(), e.first.second.begin()))
            n++;
    return n;
}
inline int32_t Name(int32_t kind, const uint16_t *path, int32_t depth, int32_t entry, char *out, int32_t size)
{
    std::string s = "k" + std::to_string(kind);
    for (int32_t i = 0; i < depth; i++)
        s += "/" + std::to_string(path[i]);
    if (entry >= 0)
        s += "#" + std::to_string(entry);
    std::snprintf(out, static_cast<size_t>(size), "%s", s.c_str());
    return 0;
}
inline uint32_t EntrySize(int32_t kind, const uint16_t *path, int32_t depth)
{
    auto it = g_world->sizes.find({kind, Path(path, path + depth)});
    return it == g_world->sizes.end() ? 0 : it->second;
}
inline int32_t PointCount(const void *list, int32_t *closed)
{
    const auto *p = static_cast<const POINTS *>(list);
    *closed = p && p->closed;
    return p ? static_cast<int32_t>(p->pts.size()) : 0;
}
// Keys wrap round a closed list and reflect at the ends of an open one (as the loaders' lists).
inline int32_t Point(const void *list, int32_t from, int32_t to, int32_t t, int32_t out[3])
{
    const auto *p = static_cast<const POINTS *>(list);
    if (!p || p->pts.empty())
        return -1;
    const int32_t n = static_cast<int32_t>(p->pts.size());
    auto wrap = [&](int32_t i) {
        if (p->closed || n == 1)
            return ((i % n) + n) % n;
        const int32_t period = 2 * n - 2;
        i = ((i % period) + period) % period;
        return i >= n ? period - i : i;
    };
    const auto &a = p->pts[static_cast<size_t>(wrap(from))];
    const auto &b = p->pts[static_cast<size_t>(wrap(to))];
    for (int32_t k = 0; k < 3; k++)
        out[k] = a[k] + static_cast<int32_t>((static_cast<int64_t>(b[k]) - a[k]) * t >> 12);
    return 0;
}
inline VIDMOVIEREC *Movie(void *data)
{
    for (VIDMOVIEREC *m : g_world->movies)
        if (m == data)
            return m;
    return nullptr;
}
inline int32_t CurrentDisc()
{
    return g_world->disc;
}
inline void SetAnimSpeed(void *anim, int32_t speed)
{
    static_cast<ANIM *>(anim)->speed = speed;
}

class FakeResTest : public ::testing::Test
{
protected:
    WORLD world;
    VIDRESCALLS savedRes{};
    VIDCHASERES savedChaseRes{};

    void SetUp() override
    {
        g_world = &world;
        savedRes = g_VidRes;
        savedChaseRes = g_VidChaseRes;
        g_VidRes = {Load, AddRef, ReleaseRef, SaveNumber, IndexPath};
        g_VidChaseRes = {Data, FolderCount, EntryCount, Name, EntrySize, PointCount, Point, Movie, CurrentDisc,
                         SetAnimSpeed};
        Vid_ResetChaseLimitCaches();
        g_ucFrameTick = 1;
        g_iFrameCount = 1;
        ASSERT_EQ(0, Vid_InitChasePools());
    }
    void TearDown() override
    {
        Vid_FreeChasePools();
        g_iFrameCount = 0;
        g_VidRes = savedRes;
        g_VidChaseRes = savedChaseRes;
        for (VIDOBJECT *o : world.models)
            Vid_DestroyObject(o);
        for (POINTS *p : world.points)
            delete p;
        for (IMAGEREC *i : world.images)
            delete i;
        for (ANIM *a : world.anims)
            delete a;
        for (VIDMOVIEREC *m : world.movies)
            delete m;
        g_world = nullptr;
    }

    // A model of the given primitives (triangles in group 0, quads in group 1) and flags.
    VIDOBJECT *AddModel(int32_t kind, Path path, int32_t triangles, int32_t quads = 0, uint32_t flags = 0x1000)
    {
        VIDOBJECT *o = Vid_NewObject();
        auto *model = static_cast<MODEL *>(std::calloc(1, sizeof(MODEL)));
        model->counts[0] = static_cast<uint16_t>(triangles);
        model->counts[1] = static_cast<uint16_t>(quads);
        EXPECT_EQ(0, Vid_NewModelInstance(o, model));
        o->flags = flags | VIDOBJ_SOLID;
        world.models.push_back(o);
        world.entries[{kind, path}] = o;
        return o;
    }
    POINTS *AddPoints(int32_t kind, Path path, std::vector<std::array<int32_t, 3>> pts, bool closed = false)
    {
        auto *p = new POINTS{std::move(pts), closed};
        world.points.push_back(p);
        world.entries[{kind, path}] = p;
        return p;
    }
    // A layout of q points along x, 100 apart, offset by shift.
    POINTS *AddLayout(int32_t q, int32_t n, int32_t shift = 0)
    {
        std::vector<std::array<int32_t, 3>> pts;
        for (int32_t i = 0; i < q; i++)
            pts.push_back({i * 100 + shift, 10 * n, -i});
        return AddPoints(VIDRES_LAYOUT, {static_cast<uint16_t>(q - 1), static_cast<uint16_t>(n)}, pts);
    }
    IMAGEREC *AddImage(int32_t kind, Path path, uint16_t page)
    {
        auto *i = new IMAGEREC{};
        i->page = page;
        world.images.push_back(i);
        world.entries[{kind, path}] = i;
        return i;
    }
    ANIM *AddAnim(Path path)
    {
        auto *a = new ANIM{};
        world.anims.push_back(a);
        world.entries[{VIDRES_ANIM, path}] = a;
        return a;
    }
    int32_t Refs()
    {
        int32_t n = 0;
        for (auto &r : world.byId)
            n += r.second.refs;
        return n;
    }
    int32_t RefsOf(int32_t kind, Path path)
    {
        for (auto &r : world.byId)
            if (r.second.kind == kind && r.second.path == path)
                return r.second.refs;
        return 0;
    }
    int32_t IdOf(int32_t kind, Path path)
    {
        for (auto &r : world.byId)
            if (r.second.kind == kind && r.second.path == path)
                return r.first;
        return -1;
    }
};

} // namespace fakeres
