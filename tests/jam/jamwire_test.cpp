// The network jam's messages: golden bytes of every id, the malformed-message table and a seeded
// mutation run over both parsers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jam/jamwire.h"
#include "tests/jam/jamtesthelp.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kLimit = 262144;

const JAMEVENT kEvents[3] = {{10, 1, 0x800003}, {11, 22, 5}, {12, 52, 0xFFFFFF}};

const char *const kEvent0 = "00000000 00000000 00000000 0a000000 01000000 03008000";
const char *const kEvent1 = "00000000 00000000 00000000 0b000000 16000000 05000000";
const char *const kEvent2 = "00000000 00000000 00000000 0c000000 34000000 ffffff00";

NETPOSITION Position()
{
    NETPOSITION p{};
    p.uHeartbeat = 3;
    p.uClockA = 0x11111111;
    p.uClockB = 0x22222222;
    p.ucClockA = 0x33;
    p.iStep = 70;
    p.uClockC = 0x44444444;
    p.uClockD = 0x55555555;
    p.ucClockB = 0x66;
    p.ucClockC = 0x77;
    p.iBar = 4;
    return p;
}

std::string BlockHex()
{
    uint8_t b[JAM_PLAYER_BYTES];
    Jam_EncodePlayer(JamDistinctPlayer(), b);
    return JamHex(b, sizeof b);
}

struct Golden
{
    const char *name;
    bool toServer; // ids 300..316
    Bytes bytes;
    std::string hex;
};

std::vector<Golden> Goldens()
{
    const std::string pos = "11111111 22222222 33000000 46000000 44444444 55555555 66770000 04000000";
    return {
        {"300 text", true, Net_BuildText(300, 0, "hi", 2), "2c010000 00000000 02000000 00000000 6869"},
        {"300 empty text", true, Net_BuildText(300, 9, "", 0), "2c010000 09000000 00000000 00000000"},
        {"301", true, Net_BuildIdOnly(301), "2d010000"},
        {"302 slot list request", true, Net_BuildIdOnly(302), "2e010000"},
        // The value keeps its low 24 bits.
        {"306 command", true, Net_BuildCommand(7, 22, 0x01234567), "32010000 07000000 16674523"},
        {"307 time request", true, Net_BuildSync(307, {5, 1000, 0, 0, 0, 0, 0}),
         "33010000 05000000 e8030000 00000000 00000000 00000000 00000000 00000000"},
        {"308 time answer", true, Net_BuildSync(308, {5, 9000, 8, 130, 128, 4, 262144}),
         "34010000 05000000 28230000 08000000 82000000 80000000 04000000 00000400"},
        {"309 player state", true, Net_BuildPlayerState(309, 17, 2, JamDistinctPlayer()),
         "35010000 11000000 02000000 " + BlockHex()},
        {"310 command batch", true, Net_BuildEventBatch(310, 0, 12, 33, kEvents, 3),
         std::string("36010000 00000000 03000000 0c000000 21000000 ") + kEvent0 + " " + kEvent1 + " " + kEvent2},
        {"311 position report", true, Net_BuildPosition(311, Position()), "37010000 03000000 00000000 " + pos},
        {"312 template", true, Net_BuildTemplate(312, 1, "ABC", 3), "38010000 01000000 03000000 414243"},
        {"313 template loading", true, Net_BuildSlotByte(313, 2), "39010000 02000000"},
        {"314 holding", true, Net_BuildSlotByte(314, 1), "3a010000 01000000"},
        {"315 applied", true, Net_BuildSlotByte(315, 3), "3b010000 03000000"},
        {"316 ready to start", true, Net_BuildSlotByte(316, 0), "3c010000 00000000"},

        {"400 text", false, Net_BuildText(400, 7, "yo", 2), "90010000 07000000 02000000 00000000 796f"},
        {"401 slots changed", false, Net_BuildIdOnly(401), "91010000"},
        {"402 slot entry", false, Net_BuildSlotEntry(7, 1, "Bob"),
         "92010000 07000000 01000000 426f6200 00000000 00000000 00000000 00000000 00000000 00000000 00000000"},
        {"402 empty slot", false, Net_BuildSlotEntry(0, 3, "EMPTY"),
         "92010000 00000000 03000000 454d5054 59000000 00000000 00000000 00000000 00000000 00000000 00000000"},
        {"404 test data", false, Net_BuildTestData("xy", 2),
         "94010000 00000000 02000000 00000000 00000000 00000000 7879"},
        {"405 command", false, Net_BuildCommandRelay(7, 2, Net_PackCommand(22, 0x01234567)),
         "95010000 07000000 02000000 16674523"},
        {"406 start time alone", false, Net_BuildSync(406, {5, 0xFFFFFFFF, 0, 0, 0, -1, -1}),
         "96010000 05000000 ffffffff 00000000 00000000 00000000 ffffffff ffffffff"},
        {"407 time query", false, Net_BuildSync(407, {5, 1000, 0, 0, 0, 0, 0}),
         "97010000 05000000 e8030000 00000000 00000000 00000000 00000000 00000000"},
        {"408 player state", false, Net_BuildPlayerState(408, 17, 2, JamDistinctPlayer()),
         "98010000 11000000 02000000 " + BlockHex()},
        {"409 command batch", false, Net_BuildEventBatch(409, 2, 12, 33, kEvents, 1),
         std::string("99010000 02000000 01000000 0c000000 21000000 ") + kEvent0},
        {"410 position", false, Net_BuildPosition(410, Position()), "9a010000 03000000 00000000 " + pos},
        {"411 template", false, Net_BuildTemplate(411, 3, "ABC", 3), "9b010000 03000000 03000000 414243"},
        {"411 empty template", false, Net_BuildTemplate(411, 0, nullptr, 0), "9b010000 00000000 00000000"},
        {"412 hold", false, Net_BuildSlotByte(412, 3), "9c010000 03000000"},
        {"413 done", false, Net_BuildIdAndZero(413), "9d010000 00000000"},
        {"414 go ahead", false, Net_BuildIdAndZero(414), "9e010000 00000000"},
        {"415 start", false, Net_BuildIdOnly(415), "9f010000"},
    };
}

int32_t ParseAs(bool toServer, const Bytes &b, NETMSG *out)
{
    return toServer ? Net_ParseClientMessage(b.data(), b.size(), kLimit, out)
                    : Net_ParseServerMessage(b.data(), b.size(), kLimit, out);
}

TEST(JamWire, GoldenBytesOfEveryMessageParseAndEncodeBack)
{
    for (const Golden &g : Goldens()) {
        SCOPED_TRACE(g.name);
        EXPECT_EQ(JamHex(g.bytes), g.hex);
        NETMSG m;
        ASSERT_EQ(ParseAs(g.toServer, g.bytes, &m), NET_PARSE_OK);
        EXPECT_EQ(Net_EncodeMessage(m), g.bytes);
        // Each direction knows only its own ids.
        NETMSG other;
        EXPECT_EQ(ParseAs(!g.toServer, g.bytes, &other), NET_PARSE_IGNORED);
    }
}

TEST(JamWire, DecodedFields)
{
    NETMSG m;
    Bytes b = Net_BuildPlayerState(408, 17, 2, JamDistinctPlayer());
    ASSERT_EQ(Net_ParseServerMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);
    EXPECT_EQ(m.auWord[1], 17u);
    EXPECT_EQ(m.auWord[2], 2u);
    EXPECT_TRUE(m.Player == JamDistinctPlayer());

    b = Net_BuildEventBatch(409, 1, 12, 33, kEvents, 3);
    ASSERT_EQ(Net_ParseServerMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);
    ASSERT_EQ(m.uEventCount, 3u);
    EXPECT_EQ(m.aEvents[2], kEvents[2]);
    EXPECT_EQ((int32_t)m.auWord[3], 12);

    // A name of 32 characters has no terminator on the wire; the decoded one is terminated.
    b = Net_BuildSlotEntry(9, 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    ASSERT_EQ(Net_ParseServerMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);
    EXPECT_STREQ(m.szName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");

    b = Net_BuildPosition(410, Position());
    ASSERT_EQ(Net_ParseServerMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);
    const NETPOSITION p = Net_PositionOf(m);
    EXPECT_EQ(p.iStep, 70);
    EXPECT_EQ(p.ucClockC, 0x77);
    EXPECT_EQ(p.iBar, 4);

    b = Net_BuildSync(406, {5, 0xFFFFFFFF, 0, 0, 0, -1, -1});
    ASSERT_EQ(Net_ParseServerMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);
    const NETSYNC s = Net_SyncOf(m);
    EXPECT_EQ(s.uTime, 0xFFFFFFFFu);
    EXPECT_EQ(s.iPlayers, -1);
    EXPECT_EQ(s.uTempo, 0u);

    // Bar and step are counters, negative ones included; tempo 40 and 240 and limit 2097151 are
    // the edges of what a player may set.
    b = Net_BuildSync(308, {5, 9000, -4, 40, -64, 1, 2097151});
    ASSERT_EQ(Net_ParseClientMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);
    EXPECT_EQ(Net_SyncOf(m).iStep, -64);
    b = Net_BuildSync(406, {5, 9000, 0, 240, 0, 4, 0});
    EXPECT_EQ(Net_ParseServerMessage(b.data(), b.size(), kLimit, &m), NET_PARSE_OK);

    // Batches of more than 200 are cut by the builder; senders split them.
    std::vector<JAMEVENT> many(250, JAMEVENT{1, 1, 1});
    b = Net_BuildEventBatch(310, 0, 4, 0, many.data(), 250);
    EXPECT_EQ(b.size(), 20u + 24u * 200u);
}

TEST(JamWire, ApplicationIdentifierBytesMatchItsText)
{
    // Groups 1-3 are stored little-endian, groups 4-5 as written.
    unsigned d1, d2, d3, d4, e[6];
    ASSERT_EQ(std::sscanf(g_szNetAppGuid, "{%8x-%4x-%4x-%4x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &d4, &e[0], &e[1],
                          &e[2], &e[3], &e[4], &e[5]),
              10);
    const uint8_t want[16] = {(uint8_t)d1, (uint8_t)(d1 >> 8), (uint8_t)(d1 >> 16), (uint8_t)(d1 >> 24),
                              (uint8_t)d2, (uint8_t)(d2 >> 8), (uint8_t)d3,         (uint8_t)(d3 >> 8),
                              (uint8_t)(d4 >> 8), (uint8_t)d4, (uint8_t)e[0],       (uint8_t)e[1],
                              (uint8_t)e[2], (uint8_t)e[3], (uint8_t)e[4],         (uint8_t)e[5]};
    EXPECT_EQ(std::memcmp(g_abNetAppGuid, want, 16), 0);
    EXPECT_STREQ(g_szNetAppGuid, "{87CEA885-2A59-11D3-8975-0050046A2A5F}");
}

// Helpers that break one thing of a good message.
Bytes With32(Bytes b, size_t at, uint32_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
    b[at + 2] = (uint8_t)(v >> 16);
    b[at + 3] = (uint8_t)(v >> 24);
    return b;
}
Bytes Cut(Bytes b, size_t size)
{
    b.resize(size);
    return b;
}
Bytes Grow(Bytes b, size_t extra)
{
    b.resize(b.size() + extra, 0);
    return b;
}
Bytes WithByte(Bytes b, size_t at, uint8_t v)
{
    b[at] = v;
    return b;
}

TEST(JamWire, MalformedMessagesAreRefusedWithoutChangingAnything)
{
    const Bytes text = Net_BuildText(300, 0, "hi", 2);
    const Bytes relay = Net_BuildText(400, 7, "yo", 2);
    const Bytes answer = Net_BuildSync(308, {5, 9000, 8, 130, 128, 4, 262144});
    const Bytes start = Net_BuildSync(406, {5, 9000, 8, 130, 128, 4, 262144});
    const Bytes state = Net_BuildPlayerState(309, 1, 0, JAMPLAYER{});
    const Bytes stateRelay = Net_BuildPlayerState(408, 1, 0, JAMPLAYER{});
    const Bytes batch = Net_BuildEventBatch(310, 0, 4, 0, kEvents, 2);
    const Bytes batchRelay = Net_BuildEventBatch(409, 1, 4, 0, kEvents, 2);
    const Bytes pos = Net_BuildPosition(311, Position());
    const Bytes tmpl = Net_BuildTemplate(312, 1, "ABC", 3);
    const Bytes tmplRelay = Net_BuildTemplate(411, 1, "ABC", 3);
    const Bytes entry = Net_BuildSlotEntry(7, 1, "Bob");
    const Bytes test = Net_BuildTestData("xy", 2);
    const Bytes cmdRelay = Net_BuildCommandRelay(7, 2, 0x1234);
    const Bytes hugeTemplate = With32(Net_BuildTemplate(411, 1, nullptr, 0), 8, 0xFFFFFFF4);

    struct Case
    {
        const char *name;
        bool toServer;
        Bytes bytes;
        int32_t result;
    };
    const Case cases[] = {
        {"no bytes", true, {}, NET_PARSE_SHORT},
        {"3 bytes", false, {0x91, 0x01, 0x00}, NET_PARSE_SHORT},
        {"300 header cut", true, Cut(text, 12), NET_PARSE_SHORT},
        {"300 length past the end", true, With32(text, 8, 3), NET_PARSE_COUNT},
        {"300 length huge", true, With32(text, 8, 0xFFFFFFFF), NET_PARSE_COUNT},
        {"306 cut", true, Cut(Net_BuildCommand(1, 2, 3), 8), NET_PARSE_SHORT},
        {"307 cut", true, Cut(Net_BuildSync(307, {}), 28), NET_PARSE_SHORT},
        {"308 tempo huge", true, With32(answer, 16, 0x7FFFFFFF), NET_PARSE_RANGE},
        {"308 tempo 39", true, With32(answer, 16, 39), NET_PARSE_RANGE},
        {"308 tempo 241", true, With32(answer, 16, 241), NET_PARSE_RANGE},
        {"308 players 0", true, With32(answer, 24, 0), NET_PARSE_RANGE},
        {"308 players 5", true, With32(answer, 24, 5), NET_PARSE_RANGE},
        {"308 limit negative", true, With32(answer, 28, 0xFFFFFFFE), NET_PARSE_RANGE},
        {"308 limit too large", true, With32(answer, 28, 2097152), NET_PARSE_RANGE},
        {"309 one byte short", true, Cut(state, 707), NET_PARSE_SHORT},
        {"309 one byte long", true, Grow(state, 1), NET_PARSE_SIZE},
        {"309 slot 4", true, With32(state, 8, 4), NET_PARSE_RANGE},
        {"310 header cut", true, Cut(batch, 16), NET_PARSE_SHORT},
        {"310 count past the end", true, With32(batch, 8, 3), NET_PARSE_COUNT},
        {"310 count 201", true, With32(Grow(batch, 24 * 199), 8, 201), NET_PARSE_COUNT},
        {"310 count huge", true, With32(batch, 8, 0xFFFFFFFF), NET_PARSE_COUNT},
        {"310 command 0", true, With32(batch, 20 + 16, 0), NET_PARSE_RANGE},
        {"310 command 256", true, With32(batch, 44 + 16, 256), NET_PARSE_RANGE},
        {"310 command -1", true, With32(batch, 20 + 16, 0xFFFFFFFF), NET_PARSE_RANGE},
        {"311 cut", true, Cut(pos, 40), NET_PARSE_SHORT},
        {"312 length past the end", true, With32(tmpl, 8, 4), NET_PARSE_COUNT},
        {"312 length above the limit", true, With32(Grow(tmpl, kLimit), 8, kLimit + 1), NET_PARSE_COUNT},
        {"312 slot 4", true, With32(tmpl, 4, 4), NET_PARSE_RANGE},
        {"313 cut", true, Cut(Net_BuildSlotByte(313, 0), 4), NET_PARSE_SHORT},
        {"313 slot 4", true, Net_BuildSlotByte(313, 4), NET_PARSE_RANGE},
        {"316 slot 255", true, Net_BuildSlotByte(316, 255), NET_PARSE_RANGE},

        {"400 length past the end", false, With32(relay, 8, 3), NET_PARSE_COUNT},
        {"400 header cut", false, Cut(relay, 15), NET_PARSE_SHORT},
        {"402 cut", false, Cut(entry, 43), NET_PARSE_SHORT},
        {"402 slot 4", false, With32(entry, 8, 4), NET_PARSE_RANGE},
        {"402 slot -1", false, With32(entry, 8, 0xFFFFFFFF), NET_PARSE_RANGE},
        {"404 length past the end", false, With32(test, 8, 3), NET_PARSE_COUNT},
        {"404 header cut", false, Cut(test, 20), NET_PARSE_SHORT},
        {"405 slot 4", false, With32(cmdRelay, 8, 4), NET_PARSE_RANGE},
        {"405 cut", false, Cut(cmdRelay, 12), NET_PARSE_SHORT},
        {"406 tempo 1000", false, With32(start, 16, 1000), NET_PARSE_RANGE},
        {"406 players 9", false, With32(start, 24, 9), NET_PARSE_RANGE},
        {"406 cut", false, Cut(start, 31), NET_PARSE_SHORT},
        {"407 cut", false, Cut(Net_BuildSync(407, {}), 4), NET_PARSE_SHORT},
        {"408 slot 7", false, With32(stateRelay, 8, 7), NET_PARSE_RANGE},
        {"408 cut", false, Cut(stateRelay, 700), NET_PARSE_SHORT},
        {"408 long", false, Grow(stateRelay, 4), NET_PARSE_SIZE},
        {"409 slot 4", false, With32(batchRelay, 4, 4), NET_PARSE_RANGE},
        {"409 count past the end", false, With32(batchRelay, 8, 5), NET_PARSE_COUNT},
        {"409 command 0", false, With32(batchRelay, 44 + 16, 0), NET_PARSE_RANGE},
        {"410 cut", false, Cut(Net_BuildPosition(410, Position()), 43), NET_PARSE_SHORT},
        {"411 length past the end", false, With32(tmplRelay, 8, 4), NET_PARSE_COUNT},
        {"411 length wraps", false, hugeTemplate, NET_PARSE_COUNT},
        {"411 slot 5", false, With32(tmplRelay, 4, 5), NET_PARSE_RANGE},
        {"411 header cut", false, Cut(tmplRelay, 11), NET_PARSE_SHORT},
        {"412 slot 9", false, WithByte(Net_BuildSlotByte(412, 0), 4, 9), NET_PARSE_RANGE},
        {"412 cut", false, Cut(Net_BuildSlotByte(412, 0), 5), NET_PARSE_SHORT},

        // Ids a side does nothing with are ignored, also when they are too short for anything.
        {"303 ignored", true, Net_BuildIdOnly(303), NET_PARSE_IGNORED},
        {"305 ignored", true, Net_BuildIdOnly(305), NET_PARSE_IGNORED},
        {"403 ignored", false, Net_BuildIdOnly(403), NET_PARSE_IGNORED},
        {"405 at the server", true, cmdRelay, NET_PARSE_IGNORED},
        {"306 at a client", false, Net_BuildCommand(1, 2, 3), NET_PARSE_IGNORED},
        {"unknown id", false, Net_BuildIdOnly(0xFFFFFFFF), NET_PARSE_IGNORED},
    };
    NETMSG sentinel;
    std::memset(&sentinel, 0xA5, sizeof sentinel);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NETMSG out = sentinel;
        const int32_t r = c.toServer ? Net_ParseClientMessage(c.bytes.data(), c.bytes.size(), kLimit, &out)
                                     : Net_ParseServerMessage(c.bytes.data(), c.bytes.size(), kLimit, &out);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(std::memcmp(&out, &sentinel, sizeof out), 0) << "the refused message changed the record";
    }
}

// Random mutations of the golden messages: nothing reads outside the bytes (the sanitizer build
// checks), and whatever is accepted encodes to bytes that parse to the same message.
TEST(JamWire, SeededMutationsParseSafelyAndRoundTrip)
{
    std::mt19937 rng(4242);
    const std::vector<Golden> seeds = Goldens();
    int accepted = 0;
    for (int iter = 0; iter < 20000; ++iter) {
        const Golden &g = seeds[rng() % seeds.size()];
        Bytes b = g.bytes;
        const int edits = 1 + (int)(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 5) {
            case 0:
                if (!b.empty())
                    b[rng() % b.size()] ^= (uint8_t)(1u << (rng() % 8));
                break;
            case 1: b.resize(rng() % (b.size() + 1)); break;
            case 2: b.resize(b.size() + rng() % 64, (uint8_t)rng()); break;
            case 3:
                if (b.size() >= 12) {
                    const size_t word = 4 * (1 + rng() % 2); // the count and slot words
                    const uint32_t values[] = {0, 1, 3, 4, 200, 201, 0x7FFFFFFF, 0xFFFFFFFF, (uint32_t)rng()};
                    b = With32(b, word, values[rng() % 9]);
                }
                break;
            default:
                if (b.size() >= 4)
                    b = With32(b, 0, 300 + rng() % 116);
                break;
            }
        }
        for (bool toServer : {true, false}) {
            NETMSG m;
            if (ParseAs(toServer, b, &m) != NET_PARSE_OK)
                continue;
            ++accepted;
            const Bytes again = Net_EncodeMessage(m);
            NETMSG m2;
            ASSERT_EQ(ParseAs(toServer, again, &m2), NET_PARSE_OK) << JamHex(b);
            EXPECT_EQ(Net_EncodeMessage(m2), again);
        }
    }
    EXPECT_GT(accepted, 1000);
}

} // namespace
