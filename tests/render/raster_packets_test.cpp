// A screen built from packets, walked into the layer by the real rasteriser: the packet fields,
// the walker's state changes and the drawing rules together give one stored picture.
#include "render_fixture.h"

#include "render/framecycle.h"
#include "render/raster.h"
#include "support/testlayer.h"

#include <functional>
#include <memory>
#include <vector>

using namespace rendertest;

namespace {

class PacketScreen : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        g_tRasterRoutines = g_tDefaultRasterRoutines;
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        Gfx_ResetDrawState();
    }
};

using Fill = std::function<void(RawPacket &)>;
struct Packet
{
    uint32_t bytes;
    Fill fill;
};

// Every drawing code the walker knows, with the state packets between them.
std::vector<Packet> FixturePackets()
{
    auto env = [](void (*set)(void *, const int16_t *), int16_t x, int16_t y, int16_t w, int16_t h) {
        return Packet{16, [=](RawPacket &p) {
                          const int16_t rect[4] = {x, y, w, h};
                          set(p.p, rect);
                      }};
    };
    auto window = [](void *p, const int16_t *r) { Gfx_SetTextureWindowPacket(p, r); };
    return {
        {20, [](RawPacket &p) { p.rgbc(40, 60, 90, 0x60).u16(12, 0).u16(14, 0).u16(16, 383).u16(18, 480); }},
        {20, [](RawPacket &p) { p.rgbc(40, 60, 90, 0x60).u16(12, 0).u16(14, 0).u16(16, 640).u16(18, 480); }}, // clear: skipped
        {20, [](RawPacket &p) { p.rgbc(200, 200, 210, 0x62).u16(12, 21).u16(14, 21).u16(16, 201).u16(18, 81); }},
        {28, [](RawPacket &p) { p.rgbc(30, 60, 160, 0x28).u16(12, 21).u16(14, 110).u16(16, 221).u16(22, 140); }},
        {28, [](RawPacket &p) { p.rgbc(255, 0, 0, 0x2A).u16(12, 21).u16(14, 110).u16(16, 221).u16(22, 140); }},
        {40,
         [](RawPacket &p) {
             p.rgbc(250, 20, 0, 0x38).u16(12, 21).u16(14, 145).u8(16, 10).u8(17, 220).u8(18, 40).u16(20, 221).u16(30, 175);
         }},
        {20, [](RawPacket &p) { p.rgbc(255, 255, 255, 0x40).u16(12, 300).u16(14, 20).u16(16, 420).u16(18, 90); }},
        {32,
         [](RawPacket &p) {
             p.rgbc(255, 0, 0, 0x4C).u16(12, 250).u16(14, 300).u16(16, 400).u16(18, 310).u16(20, 390).u16(22, 400);
             p.u16(24, 260).u16(26, 380).u32(28, 0x55555555);
         }},
        {24, [](RawPacket &p) { p.rgbc(0, 255, 255, 0x50).u16(12, 610).u16(14, 470).u8(16, 9).u16(20, 700).u16(22, 420); }},
        {12, [](RawPacket &p) { Gfx_SetDrawModePacket(p.p, 0, 0, 0); }},
        {24, [](RawPacket &p) { p.rgbc(128, 128, 128, 0x64).u16(12, 450).u16(14, 20).u8(16, 0).u8(17, 0).u16(20, 64).u16(22, 64); }},
        {24, [](RawPacket &p) { p.rgbc(1, 2, 3, 0x64).u16(12, 10).u16(14, 10).u16(18, 0x4321).u16(20, 24).u16(22, 24); }},
        env(window, 64, 64, 16, 8),
        {28,
         [](RawPacket &p) {
             p.u32(4, 6).u32(8, 0xE0000080).u16(16, 450).u16(18, 100).u8(20, 30).u8(21, 10).u16(24, 70).u16(26, 50);
         }},
        env(window, 0, 0, 255, 0),
        {24,
         [](RawPacket &p) { p.rgbc(128, 40, 40, 0xA4).u16(12, 0).u16(14, 420).u8(16, 131).u8(17, 200).u16(20, 7).u16(22, 12); }},
        {24,
         [](RawPacket &p) { p.rgbc(40, 128, 40, 0xA4).u16(12, 9).u16(14, 420).u8(16, 152).u8(17, 200).u16(20, 8).u16(22, 12); }},
        {44,
         [](RawPacket &p) {
             p.rgbc(0, 0, 0, 0x2C).u16(12, 240).u16(14, 180).u8(16, 100).u8(17, 120).u16(26, 0).u16(36, 300).u16(38, 230);
         }},
        {16,
         [](RawPacket &p) {
             const uint16_t xy[2] = {500, 300 + 480}; // folded once by the screen height
             Gfx_SetDrawOffsetPacket(p.p, xy);
         }},
        env(Gfx_SetDrawAreaPacket, 480, 280, 121, 101),
        {20, [](RawPacket &p) { p.rgbc(0, 0, 90, 0x60).u16(12, uint16_t(-30)).u16(14, uint16_t(-30)).u16(16, 200).u16(18, 200); }},
        {20, [](RawPacket &p) { p.rgbc(255, 255, 255, 0x40).u16(12, uint16_t(-50)).u16(14, uint16_t(-50)).u16(16, 150).u16(18, 150); }},
        // A draw area from the display mode, larger than the layer.
        env(Gfx_SetDrawAreaPacket, 0, 0, 1024, 768),
        {20, [](RawPacket &p) { p.rgbc(255, 128, 0, 0x60).u16(12, 130).u16(14, 170).u16(16, 20).u16(18, 20); }},
        {20, [](RawPacket &p) { p.rgbc(255, 255, 0, 0x40).u16(12, 100).u16(14, 150).u16(16, 700).u16(18, 500); }},
    };
}

uint64_t DrawPacketScreen(int format, const TestTexels &texels)
{
    g_iPixelFormat = format;
    TestLayer_Fill(0);
    g_pClutSource = texels.words;
    // Linked in reverse into one entry, so they are drawn in list order.
    const std::vector<Packet> packets = FixturePackets();
    const uint32_t entry = Entry(0, List(0).count - 1);
    for (auto it = packets.rbegin(); it != packets.rend(); ++it) {
        RawPacket p = Add(entry, it->bytes);
        it->fill(p);
    }
    Gfx_DrawOrderingTable(entry);
    return TestLayer_Hash();
}

TEST_F(PacketScreen, WalkedScreenMatchesItsPictureInBothLayouts)
{
    struct
    {
        const char *name;
        int format;
        uint64_t hash;
    } cases[] = {
        {"packets_565", PIXELFORMAT_565, 0xB6419EAAA7E8EE3E},
        {"packets_555", PIXELFORMAT_555, 0x7B827254A66CF461},
    };
    auto texels = std::make_unique<TestTexels>();
    for (const auto &c : cases) {
        g_iPixelFormat = c.format;
        TestTexels_FillFixture(*texels);
        Gfx_ResetDrawState();
        DrawPacketScreen(c.format, *texels);
        EXPECT_TRUE(TestLayer_MatchesGolden(c.name, c.hash));
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
    }
    g_pClutSource = nullptr;
    g_iPixelFormat = PIXELFORMAT_565;
}

} // namespace
