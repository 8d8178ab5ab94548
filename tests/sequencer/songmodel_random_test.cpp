// Seeded random edits of the song model checked against a plain model of riffs and placements
// after every step, with the whole-model check after every step.
#include "seqfixture.h"

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

struct RNote
{
    int pitch, length, level;
    bool operator==(const RNote &o) const { return pitch == o.pitch && length == o.length && level == o.level; }
};

struct RRiff
{
    int bars, tracks, start = 255, end = 255, key = 0, link = 0; // link: index of the next riff in the ring
    int queued = 0;
    std::map<std::pair<int, int>, RNote> notes; // (step, track)
};

struct RPlace
{
    int row, column, riff;
};

class Reference
{
public:
    std::vector<RRiff> riffs;
    std::vector<RPlace> places;

    int Uses(int index) const
    {
        int n = 1 + riffs[(size_t)index].queued;
        for (const RPlace &p : places)
            n += p.riff == index;
        return n;
    }
    int At(int row, int column, RPlace *out = nullptr) const
    {
        for (const RPlace &p : places) {
            const RRiff &r = riffs[(size_t)p.riff];
            if (row >= p.row && row < p.row + r.bars && column >= p.column && column < p.column + r.tracks) {
                if (out)
                    *out = p;
                return p.riff;
            }
        }
        return -1;
    }
    bool Fits(int index, int row, int column) const
    {
        const RRiff &r = riffs[(size_t)index];
        if (row < 0 || column < 0 || row + r.bars > 999 || column + r.tracks > 99)
            return false;
        for (int b = 0; b < r.bars; b++)
            for (int t = 0; t < r.tracks; t++)
                if (At(row + b, column + t) >= 0)
                    return false;
        return true;
    }
    void Unlink(int index)
    {
        RRiff &r = riffs[(size_t)index];
        if (r.link == index)
            return;
        int prev = r.link;
        while (riffs[(size_t)prev].link != index)
            prev = riffs[(size_t)prev].link;
        riffs[(size_t)prev].link = r.link;
        r.link = index;
    }
    void Erase(int index)
    {
        Unlink(index);
        riffs.erase(riffs.begin() + index);
        for (RRiff &r : riffs)
            if (r.link > index)
                r.link--;
        std::vector<RPlace> kept;
        for (RPlace p : places) {
            if (p.riff == index)
                continue;
            if (p.riff > index)
                p.riff--;
            kept.push_back(p);
        }
        places = kept;
    }
    int Add(const RRiff &r)
    {
        riffs.push_back(r);
        riffs.back().link = (int)riffs.size() - 1;
        riffs.back().queued = 0;
        return (int)riffs.size() - 1;
    }
    void Remove(int row, int column)
    {
        RPlace p{};
        if (At(row, column, &p) < 0)
            return;
        places.erase(std::remove_if(places.begin(), places.end(),
                                    [&](const RPlace &q) { return q.row == p.row && q.column == p.column; }),
                     places.end());
    }
    std::vector<RPlace> PlacesOf(int index) const
    {
        std::vector<RPlace> out;
        for (const RPlace &p : places)
            if (p.riff == index)
                out.push_back(p);
        std::sort(out.begin(), out.end(), [](const RPlace &a, const RPlace &b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        });
        return out;
    }
};

class RandomEdits : public SeqModel
{
protected:
    std::mt19937 rng;
    Reference ref;
    std::map<std::string, int> done; // operations that changed the song, by name

    int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    void Compare(int step, const char *op)
    {
        SCOPED_TRACE(::testing::Message() << "step " << step << " " << op);
        char why[256];
        ASSERT_EQ(Seq_CheckSongModel(why, sizeof(why)), 0) << why;
        ASSERT_EQ(g_uRiffCount - 1, (int)ref.riffs.size());
        for (size_t i = 0; i < ref.riffs.size(); i++) {
            const RRiff &e = ref.riffs[i];
            const int id = (int)i + 1;
            RIFFENTRY *r = Seq_GetRiff(id);
            ASSERT_EQ(r->ucBars, e.bars) << "riff " << id;
            ASSERT_EQ(r->ucTracks, e.tracks) << "riff " << id;
            ASSERT_EQ(r->ucStartLevel, e.start) << "riff " << id;
            ASSERT_EQ(r->ucEndLevel, e.end) << "riff " << id;
            ASSERT_EQ(r->uKey & 0x3FFF, e.key) << "riff " << id;
            ASSERT_EQ(r->uLink, e.link + 1) << "riff " << id;
            ASSERT_EQ(r->iUseCount, ref.Uses((int)i)) << "riff " << id;
            for (int t = 0; t < e.tracks; t++)
                for (int s = 0; s < e.bars * 16; s++) {
                    auto it = e.notes.find({s, t});
                    NOTEENTRY *n = Seq_GetNote(*Seq_RiffCell(r, s, t));
                    if (it == e.notes.end()) {
                        ASSERT_EQ(n, nullptr) << "riff " << id << " cell " << s << "," << t;
                        continue;
                    }
                    ASSERT_NE(n, nullptr) << "riff " << id << " cell " << s << "," << t;
                    ASSERT_EQ((RNote{n->ucPitch, n->ucLength, n->ucLevel}), it->second)
                        << "riff " << id << " cell " << s << "," << t;
                }
        }
        std::vector<std::tuple<int, int, int>> real, expected;
        for (int row = 0; row < SEQ_GRID_ROWS; row++)
            for (int c = 0; c < SEQ_GRID_COLUMNS; c++)
                if (g_aSongGrid[row][c] && !(g_aSongGrid[row][c] & 0xF000))
                    real.emplace_back(row, c, g_aSongGrid[row][c]);
        for (const RPlace &p : ref.places)
            expected.emplace_back(p.row, p.column, p.riff + 1);
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(real, expected);
    }

    void Create()
    {
        RRiff r;
        r.bars = Rand(1, 3) == 1 ? Rand(1, 8) : Rand(1, 2);
        r.tracks = Rand(1, 3) == 1 ? Rand(1, 12) : Rand(1, 3);
        r.start = Rand(0, 255);
        r.end = Rand(0, 255);
        const int id = Seq_NewRiff(r.bars, r.tracks);
        ASSERT_EQ(id, (int)ref.riffs.size() + 1);
        Seq_GetRiff(id)->ucStartLevel = (uint8_t)r.start;
        Seq_GetRiff(id)->ucEndLevel = (uint8_t)r.end;
        const int count = Rand(0, 6);
        for (int i = 0; i < count; i++) {
            const int t = Rand(0, r.tracks - 1), s = Rand(0, r.bars * 16 - 1);
            const int length = std::min(Rand(1, 4), r.bars * 16 - s);
            RNote n{Rand(0, 71), length, Rand(0, 1) ? 100 : 200};
            // Free cells only, so that no note covers another.
            bool free = true;
            for (const auto &[pos, m] : r.notes)
                if (pos.second == t && s < pos.first + m.length && pos.first < s + length)
                    free = false;
            if (!free)
                continue;
            ASSERT_TRUE(Put(id, s, t, n.pitch, n.length, n.level));
            r.notes[{s, t}] = n;
        }
        ref.Add(r);
    }

    int AnyRiff() { return Rand(0, (int)ref.riffs.size() - 1); }

    void Place()
    {
        const int index = AnyRiff();
        const int row = Rand(0, 30), column = Rand(0, 98);
        const bool fits = ref.Fits(index, row, column);
        Seq_PlaceRiff(index + 1, row, column, 0, 1);
        if (fits) {
            ref.places.push_back({row, column, index});
            done["place"]++;
        }
    }

    bool AnyPlace(RPlace *out)
    {
        if (ref.places.empty())
            return false;
        *out = ref.places[(size_t)Rand(0, (int)ref.places.size() - 1)];
        return true;
    }

    void Remove()
    {
        RPlace p{};
        if (!AnyPlace(&p))
            return;
        const RRiff &r = ref.riffs[(size_t)p.riff];
        const int row = p.row + Rand(0, r.bars - 1), column = p.column + Rand(0, r.tracks - 1);
        Seq_RemoveRiffAt(row, column, 1);
        ref.Remove(row, column);
    }

    void Merge()
    {
        RPlace p{};
        if (!AnyPlace(&p))
            return;
        const RRiff &first = ref.riffs[(size_t)p.riff];
        const int x = std::max(0, p.row - Rand(0, 1)), y = std::max(0, p.column - Rand(0, 1));
        const int a = std::min(9, first.bars + Rand(0, 3)), b = std::min(13, first.tracks + Rand(0, 4));
        Seq_SetSelection(x, y, a, b, 1);
        // The plain model's answer.
        bool ok = a <= 8 && b <= 12 && x + a <= 999 && y + b <= 99;
        std::vector<RPlace> inside;
        for (const RPlace &q : ref.places) {
            const RRiff &r = ref.riffs[(size_t)q.riff];
            const bool overlaps = q.row < x + a && q.row + r.bars > x && q.column < y + b && q.column + r.tracks > y;
            if (!overlaps)
                continue;
            if (q.row < x || q.column < y || q.row + r.bars > x + a || q.column + r.tracks > y + b)
                ok = false;
            inside.push_back(q);
        }
        ok = ok && inside.size() >= 2;
        const int result = Seq_MergeSelectedRiffs();
        ASSERT_EQ(result, ok ? 1 : -1);
        if (!ok)
            return;
        done["merge"]++;
        std::sort(inside.begin(), inside.end(), [](const RPlace &m, const RPlace &n) {
            return m.column != n.column ? m.column < n.column : m.row < n.row;
        });
        RRiff merged;
        merged.bars = a;
        merged.tracks = b;
        for (const RPlace &q : inside) {
            const RRiff &r = ref.riffs[(size_t)q.riff];
            for (const auto &[pos, n] : r.notes) {
                const int level = r.start + (r.end - r.start) * pos.first / (r.bars * 16);
                merged.notes[{(q.row - x) * 16 + pos.first, q.column - y + pos.second}] =
                    RNote{n.pitch, n.length, level * n.level / 256};
            }
            ref.Remove(q.row, q.column);
        }
        const int index = ref.Add(merged);
        ref.places.push_back({x, y, index});
    }

    void Split()
    {
        RPlace p{};
        if (!AnyPlace(&p))
            return;
        const int byBars = Rand(0, 1);
        const RRiff old = ref.riffs[(size_t)p.riff];
        const int result = Seq_SplitRiff(p.row, p.column, byBars, 1);
        if (old.bars == 1 && old.tracks == 1) {
            ASSERT_EQ(result, 0);
            return;
        }
        ASSERT_EQ(result, 1);
        done["split"]++;
        ref.Unlink(p.riff);
        const int pieceBars = (old.tracks >= 2 && !byBars) ? old.bars : 1;
        std::vector<RPlace> pieces;
        for (int t = 0; t < old.tracks; t++)
            for (int bar = 0; bar < old.bars; bar += pieceBars) {
                RRiff piece;
                piece.bars = pieceBars;
                piece.tracks = 1;
                const int slope = ((old.end - old.start) * 65536) / old.bars;
                piece.start = old.start + ((slope * bar) >> 16);
                piece.end = old.start + ((slope * (bar + pieceBars)) >> 16);
                for (const auto &[pos, n] : old.notes) {
                    if (pos.second != t || pos.first < bar * 16 || pos.first >= (bar + pieceBars) * 16)
                        continue;
                    const int s = pos.first - bar * 16;
                    piece.notes[{s, 0}] = RNote{n.pitch, std::min(n.length, pieceBars * 16 - s), n.level};
                }
                if (piece.notes.empty())
                    continue;
                pieces.push_back({p.row + bar, p.column + t, ref.Add(piece)});
            }
        ref.Remove(p.row, p.column);
        for (const RPlace &q : pieces)
            ref.places.push_back(q);
    }

    void Resize()
    {
        const int index = AnyRiff();
        const int bars = Rand(0, 8) ? Rand(1, 8) : 9, tracks = Rand(1, 12);
        const RRiff old = ref.riffs[(size_t)index];
        const int result = Seq_ResizeRiff(index + 1, bars, tracks, 1);
        ref.Unlink(index);
        if (bars > 8) {
            ASSERT_EQ(result, -1);
            return;
        }
        ASSERT_EQ(result, 1);
        if (bars == old.bars && tracks == old.tracks)
            return;
        RRiff grown = old;
        grown.bars = bars;
        grown.tracks = tracks;
        grown.notes.clear();
        for (const auto &[pos, n] : old.notes)
            if (pos.first < bars * 16 && pos.second < tracks)
                grown.notes[pos] = RNote{n.pitch, std::min(n.length, bars * 16 - pos.first), n.level};
        const int copy = ref.Add(grown);
        done["resize"]++;
        for (const RPlace &q : ref.PlacesOf(index)) {
            ref.Remove(q.row, q.column);
            if (ref.Fits(copy, q.row, q.column))
                ref.places.push_back({q.row, q.column, copy});
        }
    }

    void Transpose()
    {
        // Mostly the first few riffs, so that rings grow and copies are found again.
        const int index = Rand(0, 1) ? Rand(0, std::min(5, (int)ref.riffs.size() - 1)) : AnyRiff();
        RRiff &r = ref.riffs[(size_t)index];
        if (r.key == 0) {
            const int key = Rand(1, 12);
            Seq_SetRiffKey(index + 1, key, 0);
            ref.Unlink(index);
            ref.riffs[(size_t)index].key = key;
        }
        static const int kSteps[] = {0, 3, 5, 7, 10};
        const int semitones = kSteps[Rand(0, 4)];
        const int result = Seq_TransposeRiff(index + 1, semitones, 0);
        const RRiff src = ref.riffs[(size_t)index];
        const int target = (src.key - 1 + semitones) % 12 + 1;
        if (target == src.key) {
            ASSERT_EQ(result, index + 1);
            return;
        }
        for (int at = src.link; at != index; at = ref.riffs[(size_t)at].link)
            if (ref.riffs[(size_t)at].key == target) {
                ASSERT_EQ(result, at + 1);
                done["transpose-found"]++;
                return;
            }
        RRiff copy = src;
        copy.key = target;
        copy.notes.clear();
        for (const auto &[pos, n] : src.notes) {
            int pitch = n.pitch + semitones;
            if (pitch > 71)
                pitch -= 12;
            copy.notes[pos] = RNote{pitch, n.length, n.level};
        }
        const int added = ref.Add(copy);
        ASSERT_EQ(result, added + 1);
        done["transpose"]++;
        ref.riffs[(size_t)added].link = ref.riffs[(size_t)index].link;
        ref.riffs[(size_t)index].link = added;
    }

    void Duplicate()
    {
        RPlace p{};
        if (!AnyPlace(&p))
            return;
        ASSERT_EQ(Seq_DuplicateRiffAt(p.riff + 1, p.row, p.column), 1);
        RRiff copy = ref.riffs[(size_t)p.riff];
        const int added = ref.Add(copy);
        ref.Remove(p.row, p.column);
        ref.places.push_back({p.row, p.column, added});
    }

    void DeleteUnused()
    {
        int expected = 0;
        for (int i = (int)ref.riffs.size() - 1; i >= 0; i--)
            if (ref.Uses(i) == 1) {
                ref.Erase(i);
                expected++;
            }
        ASSERT_EQ(Seq_DeleteUnusedRiffs(), expected);
        done["deleted-unused"] += expected;
    }

    void Delete()
    {
        const int index = AnyRiff();
        ASSERT_EQ(Seq_ReleaseRiff(index + 1, 3, 1), 1);
        done["delete"]++;
        ref.Erase(index);
    }

    void Queue()
    {
        const int index = AnyRiff();
        Seq_QueueRiffDelete(index + 1);
        ref.riffs[(size_t)index].queued++;
        if (Rand(0, 3) == 0) {
            Seq_FlushDeletedRiffs();
            for (RRiff &r : ref.riffs)
                r.queued = 0;
        }
    }

    void ClearNote()
    {
        const int index = AnyRiff();
        RRiff &r = ref.riffs[(size_t)index];
        if (r.notes.empty())
            return;
        auto it = r.notes.begin();
        std::advance(it, Rand(0, (int)r.notes.size() - 1));
        Seq_SetRiffNote(index + 1, it->first.first, it->first.second, 0, 1, 0, 0);
        r.notes.erase(it);
    }

    void Run(uint32_t seed, int steps)
    {
        rng.seed(seed);
        for (int step = 0; step < steps; step++) {
            const bool crowded = g_uNoteCount > 1500 || ref.riffs.size() > 300;
            int op = ref.riffs.empty() ? 0 : Rand(0, 13);
            if (crowded && (op == 0 || op == 4 || op == 5 || op == 7 || op == 8))
                op = 10;
            static const char *const names[] = {"create", "place", "place", "remove", "merge", "split", "resize",
                                                "transpose", "duplicate", "queue", "delete-unused", "delete",
                                                "clear-note", "place"};
            switch (op) {
            case 0: Create(); break;
            case 1:
            case 2:
            case 13: Place(); break;
            case 3: Remove(); break;
            case 4: Merge(); break;
            case 5: Split(); break;
            case 6: Resize(); break;
            case 7: Transpose(); break;
            case 8: Duplicate(); break;
            case 9: Queue(); break;
            case 10: DeleteUnused(); break;
            case 11: Delete(); break;
            case 12: ClearNote(); break;
            }
            if (HasFatalFailure())
                return;
            Compare(step, names[op]);
            if (HasFatalFailure())
                return;
            if (step % 7 == 0)
                Create();
        }
    }
};

TEST_F(RandomEdits, MatchThePlainModel)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        Seq_ResetSongModel();
        ref = Reference{};
        Run(seed, 1500);
        if (HasFatalFailure())
            return;
    }
    // Every kind of change happened often enough to matter.
    for (const char *op : {"merge", "split", "resize", "transpose", "transpose-found", "deleted-unused", "delete",
                           "place"})
        EXPECT_GE(done[op], 5) << op;
}

} // namespace
