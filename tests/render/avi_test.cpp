// The video-file reader and the frame source over small files written by the tests: every stored
// coding decodes to the same picture, the frame list is found with and without an index, broken
// files are refused, and the player shows the frame that is due, upright, in the surface's layout.
#include "core/file.h"
#include "platform/clock.h"
#include "render/aviplayer.h"
#include "render/avireader.h"
#include "render/dxerrors.h"
#include "render/textures.h"
#include "support/tempdir.h"
#include "tools/videocontent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t W = 5; // odd, so stored rows are padded
constexpr int32_t H = 3;

// Colour of pixel (x, y) of frame n, 0x00RRGGBB, rows top first. Only the cube's colours, so the
// 8-bit and 5:5:5 codings can hold it exactly.
uint32_t Colour(int32_t n, int32_t x, int32_t y)
{
    const uint32_t r = static_cast<uint32_t>((x * 2 + n) % 8) * 33;
    const uint32_t g = static_cast<uint32_t>((y * 3 + n) % 8) * 33;
    const uint32_t b = static_cast<uint32_t>((x + y + 2 * n) % 8) * 33;
    return r << 16 | g << 8 | b;
}

// 512 colours do not fit a palette: 8-bit fixtures use colours whose blue is tied to red and green.
uint32_t Colour8(int32_t n, int32_t x, int32_t y)
{
    return Colour(n, x, y) & 0xFFFF00;
}

uint8_t Index8(uint32_t rgb)
{
    return static_cast<uint8_t>(((rgb >> 16) / 33) * 8 + ((rgb >> 8) & 0xFF) / 33);
}

std::vector<uint32_t> Palette8()
{
    std::vector<uint32_t> p(64);
    for (uint32_t i = 0; i < 64; i++)
        p[i] = (i / 8) * 33 << 16 | (i % 8) * 33 << 8;
    return p;
}

// Frame n stored in the given depth, bottom row first (or top first), rows padded to 4 bytes.
std::vector<uint8_t> StoreFrame(int32_t n, int32_t bits, bool topDown)
{
    const int32_t stride = ((W * bits + 31) / 32) * 4;
    std::vector<uint8_t> out(static_cast<size_t>(stride) * H, 0xEE);
    for (int32_t row = 0; row < H; row++) {
        const int32_t y = topDown ? row : H - 1 - row;
        uint8_t *p = out.data() + static_cast<size_t>(row) * stride;
        for (int32_t x = 0; x < W; x++) {
            const uint32_t c = bits == 8 ? Colour8(n, x, y) : Colour(n, x, y);
            const uint8_t r = static_cast<uint8_t>(c >> 16), g = static_cast<uint8_t>(c >> 8), b = static_cast<uint8_t>(c);
            switch (bits) {
            case 8:
                p[x] = Index8(c);
                break;
            case 16: {
                const uint16_t v = static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
                p[2 * x] = static_cast<uint8_t>(v);
                p[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                break;
            }
            default:
                p[(bits / 8) * x] = b;
                p[(bits / 8) * x + 1] = g;
                p[(bits / 8) * x + 2] = r;
                if (bits == 32)
                    p[4 * x + 3] = 0;
            }
        }
    }
    return out;
}

CONTENTVIDEO Fixture(int32_t bits, int32_t frames, bool topDown = false)
{
    CONTENTVIDEO v;
    v.width = W;
    v.height = H;
    v.bitCount = bits;
    v.topDown = topDown;
    if (bits == 8)
        v.palette = Palette8();
    for (int32_t n = 0; n < frames; n++)
        v.frames.push_back(StoreFrame(n, bits, topDown));
    return v;
}

// The decoded pixel (x, y), y counted from the top, as 0x00RRGGBB.
uint32_t DecodedPixel(const AVIREADER &r, const uint8_t *dib, int32_t x, int32_t y)
{
    const uint8_t *p = dib + AVI_DIB_HEADER_SIZE + static_cast<size_t>(r.height - 1 - y) * Gfx_AviDecodedStride(&r) + 3 * x;
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

uint32_t Expand(uint32_t c, int bits)
{
    // The 5-bit coding keeps the top 5 bits and widens them again.
    if (bits != 16)
        return c;
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        const uint32_t v = (c >> s & 0xFF) >> 3;
        out |= (v << 3 | v >> 2) << s;
    }
    return out;
}

void ExpectFrame(AVIREADER &r, int32_t n, int32_t bits)
{
    const uint8_t *dib = Gfx_AviDecodeFrame(&r, n);
    ASSERT_NE(dib, nullptr) << "frame " << n;
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++)
            ASSERT_EQ(DecodedPixel(r, dib, x, y), Expand(bits == 8 ? Colour8(n, x, y) : Colour(n, x, y), bits))
                << "frame " << n << " pixel " << x << "," << y;
}

uint16_t To565(uint32_t c)
{
    return static_cast<uint16_t>(((c >> 16 & 0xF8) << 8) | ((c >> 8 & 0xFC) << 3) | ((c & 0xFF) >> 3));
}

uint16_t To555(uint32_t c)
{
    return static_cast<uint16_t>(((c >> 16 & 0xF8) << 7) | ((c >> 8 & 0xF8) << 2) | ((c & 0xFF) >> 3));
}

} // namespace

TEST(AviReader, EveryStoredCodingDecodesToTheSamePicture)
{
    struct Case
    {
        int32_t bits;
        bool topDown;
        uint32_t handler;
    };
    const Case cases[] = {
        {24, false, 0}, {24, true, 0}, {32, false, 0}, {16, false, 0}, {8, false, 0},
        {24, false, AVI_FOURCC('D', 'I', 'B', ' ')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, top down " << c.topDown);
        CONTENTVIDEO v = Fixture(c.bits, 3, c.topDown);
        v.handler = c.handler;
        const std::vector<uint8_t> file = Content_EncodeAvi(v);
        AVIREADER r;
        ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0) << g_szErrorText;
        EXPECT_EQ(r.info.dwLength, 3u);
        EXPECT_EQ(r.info.rcFrame[2], W);
        EXPECT_EQ(r.info.rcFrame[3], H);
        EXPECT_EQ(std::string(r.info.szName), "Tonnivelle clip");
        for (int32_t n : {0, 2, 1, 1})
            ExpectFrame(r, n, c.bits);
        EXPECT_EQ(Gfx_AviDecodeFrame(&r, 3), nullptr);
        EXPECT_EQ(Gfx_AviDecodeFrame(&r, -1), nullptr);
        Gfx_AviCloseReader(&r);
    }
}

TEST(AviReader, RunLengthFramesDrawOverTheFrameBefore)
{
    CONTENTVIDEO v;
    v.width = W;
    v.height = H;
    v.bitCount = 8;
    v.compression = AVI_BI_RLE8;
    v.palette = Palette8();
    std::vector<uint8_t> indices(W * H);
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++)
            indices[static_cast<size_t>(y) * W + x] = Index8(Colour8(0, x, y));
    v.frames.push_back(Content_EncodeRle8(indices, W, H));
    // Frame 1 moves 1 across and 2 rows up from the bottom row, writes three pixels as they are
    // (padded to an even count), and ends.
    v.frames.push_back({0, 2, 1, 2, 0, 3, 9, 10, 11, 0, 0, 1});
    // Frame 2 repeats frame 1 (stored empty).
    v.frames.push_back({});
    const std::vector<uint8_t> file = Content_EncodeAvi(v);
    AVIREADER r;
    ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0) << g_szErrorText;
    const std::vector<uint32_t> pal = Palette8();
    for (int32_t pass = 0; pass < 2; pass++) { // a second pass seeks back to the start
        for (int32_t n : {0, 2, 1}) {
            SCOPED_TRACE(n);
            const uint8_t *dib = Gfx_AviDecodeFrame(&r, n);
            ASSERT_NE(dib, nullptr);
            for (int32_t y = 0; y < H; y++) {
                for (int32_t x = 0; x < W; x++) {
                    uint32_t want = Colour8(0, x, y);
                    // delta (0,2,1,2): x += 1, y += 2 rows up from the bottom row -> top row.
                    if (n > 0 && y == 0 && x == 1)
                        want = pal[9];
                    if (n > 0 && y == 0 && x == 2)
                        want = pal[10];
                    if (n > 0 && y == 0 && x == 3)
                        want = pal[11];
                    EXPECT_EQ(DecodedPixel(r, dib, x, y), want) << x << "," << y;
                }
            }
        }
    }
    Gfx_AviCloseReader(&r);
}

TEST(AviReader, FramesAreFoundWithOrWithoutAnIndex)
{
    struct Case
    {
        const char *name;
        bool index;
        bool fromFileStart;
    };
    for (const Case &c : {Case{"index from the frame list", true, false}, Case{"index from the file start", true, true},
                          Case{"no index", false, false}}) {
        SCOPED_TRACE(c.name);
        CONTENTVIDEO v = Fixture(24, 4);
        v.index = c.index;
        v.indexFromFileStart = c.fromFileStart;
        v.frames[2].clear(); // a dropped frame repeats the one before
        const std::vector<uint8_t> file = Content_EncodeAvi(v);
        AVIREADER r;
        ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0) << g_szErrorText;
        ASSERT_EQ(r.info.dwLength, 4u);
        ExpectFrame(r, 3, 24);
        const uint8_t *dib = Gfx_AviDecodeFrame(&r, 2);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(DecodedPixel(r, dib, 4, 2), Colour(1, 4, 2));
        Gfx_AviCloseReader(&r);
    }
}

namespace {

// A file as cameras and editors write them: a sound stream first, the pictures as stream 01,
// sound chunks between the frames, frames grouped in "rec " lists, padding chunks, no index.
std::vector<uint8_t> FileWithSound(int32_t frames)
{
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto id = [&](const char *s) { out.insert(out.end(), s, s + 4); };
    std::vector<size_t> open;
    auto begin = [&](const char *ckid, const char *type = nullptr) {
        id(ckid);
        open.push_back(out.size());
        put32(0);
        if (type)
            id(type);
    };
    auto end = [&]() {
        const size_t at = open.back();
        open.pop_back();
        const uint32_t size = static_cast<uint32_t>(out.size() - at - 4);
        for (int i = 0; i < 4; i++)
            out[at + i] = static_cast<uint8_t>(size >> (8 * i));
        if (out.size() & 1)
            out.push_back(0);
    };
    auto streamHeader = [&](const char *type, uint32_t rate) {
        begin("strh");
        id(type);
        put32(0);
        for (uint32_t v : {0u, 0u, 0u, 1u, rate, 0u, static_cast<uint32_t>(frames), 0u, 0u, 0u})
            put32(v);
        put32(0);
        put32(static_cast<uint32_t>(H) << 16 | static_cast<uint32_t>(W));
        end();
    };
    begin("RIFF", "AVI ");
    begin("LIST", "hdrl");
    begin("avih");
    for (int i = 0; i < 14; i++)
        put32(0);
    end();
    begin("LIST", "strl");
    streamHeader("auds", 44100);
    begin("strf");
    for (int i = 0; i < 4; i++)
        put32(0x10001);
    end();
    end();
    begin("LIST", "strl");
    streamHeader("vids", 25);
    begin("strf");
    for (uint32_t v : {40u, static_cast<uint32_t>(W), static_cast<uint32_t>(H), 24u << 16 | 1u, 0u, 0u, 0u, 0u, 0u, 0u})
        put32(v);
    end();
    end();
    end();
    begin("JUNK");
    put32(0);
    end();
    begin("LIST", "movi");
    for (int32_t n = 0; n < frames; n++) {
        begin("01wb");
        put32(0x12345678);
        put32(0x9ABCDEF0);
        end();
        begin("LIST", "rec ");
        begin("JUNK");
        out.push_back(1); // odd size: padded
        end();
        begin("01db");
        const std::vector<uint8_t> f = StoreFrame(n, 24, false);
        out.insert(out.end(), f.begin(), f.end());
        end();
        end();
    }
    end();
    end();
    return out;
}

} // namespace

TEST(AviReader, PicturesAreFoundAmongSoundAndPadding)
{
    const std::vector<uint8_t> file = FileWithSound(4);
    AVIREADER r;
    ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0) << g_szErrorText;
    EXPECT_EQ(r.info.fccType, AVI_FOURCC('v', 'i', 'd', 's'));
    EXPECT_EQ(r.info.dwRate, 25u);
    ASSERT_EQ(r.info.dwLength, 4u);
    for (int32_t n : {3, 0, 2})
        ExpectFrame(r, n, 24);
    Gfx_AviCloseReader(&r);
}

TEST(AviReader, AnnouncedLengthAndFileAgreeOnTheFewerFrames)
{
    CONTENTVIDEO v = Fixture(24, 4);
    v.length = 2;
    std::vector<uint8_t> file = Content_EncodeAvi(v);
    AVIREADER r;
    ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0);
    EXPECT_EQ(r.info.dwLength, 2u);
    v.length = 1000;
    file = Content_EncodeAvi(v);
    ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0);
    EXPECT_EQ(r.info.dwLength, 4u);
    Gfx_AviCloseReader(&r);
}

TEST(AviReader, BrokenFilesAreRefused)
{
    const std::vector<uint8_t> good = Content_EncodeAvi(Fixture(24, 2));
    auto find = [&](const char *id) {
        for (size_t i = 0; i + 4 <= good.size(); i++)
            if (std::memcmp(good.data() + i, id, 4) == 0)
                return i;
        return size_t{0};
    };
    auto put32 = [](std::vector<uint8_t> &f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            f[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    const size_t strh = find("strh") + 8, strf = find("strf") + 8, movi = find("movi");
    struct Case
    {
        const char *name;
        std::vector<uint8_t> file;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"not a video file", std::vector<uint8_t>(good.begin(), good.begin() + 11)});
    {
        auto f = good;
        f[8] = 'W';
        cases.push_back({"wrong form type", f});
    }
    for (size_t cut : {size_t{40}, strf + 10, movi + 20, good.size() - 20}) {
        cases.push_back({"cut short", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut))});
    }
    {
        auto f = good;
        std::memcpy(f.data() + strh, "auds", 4);
        cases.push_back({"no video stream", f});
    }
    {
        auto f = good;
        put32(f, strh + 20, 0);
        cases.push_back({"scale 0", f});
    }
    {
        auto f = good;
        put32(f, strh + 24, 0);
        cases.push_back({"rate 0", f});
    }
    for (uint32_t width : {0u, 5000u, 0x80000000u}) {
        auto f = good;
        put32(f, strf + 4, width);
        cases.push_back({"bad width", f});
    }
    for (uint32_t height : {0u, 5000u, static_cast<uint32_t>(-5000)}) {
        auto f = good;
        put32(f, strf + 8, height);
        cases.push_back({"bad height", f});
    }
    {
        auto f = good;
        put32(f, strf + 16, AVI_FOURCC('M', 'J', 'P', 'G'));
        cases.push_back({"coded pictures", f});
    }
    {
        auto f = good;
        f[strf + 14] = 12;
        cases.push_back({"12-bit pixels", f});
    }
    {
        auto f = good;
        put32(f, find("strl") - 4, 0xFFFFFF00u);
        cases.push_back({"list larger than its container", f});
    }
    {
        auto f = good;
        put32(f, find("00db") + 4, 0x7FFFFFF0u);
        cases.push_back({"frame larger than the frame list", f});
    }
    {
        auto f = good;
        std::memcpy(f.data() + movi, "junk", 4);
        cases.push_back({"no frame list", f});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        g_szErrorText[0] = 0;
        AVIREADER r;
        EXPECT_EQ(Gfx_AviOpenMemory(&r, c.file.data(), c.file.size()), -1);
        EXPECT_NE(std::string(g_szErrorText).find("Couldn't Load Video File."), std::string::npos) << g_szErrorText;
        EXPECT_EQ(r.info.dwLength, 0u);
        EXPECT_EQ(Gfx_AviDecodeFrame(&r, 0), nullptr);
        Gfx_AviCloseReader(&r);
    }
}

TEST(AviReader, AnIndexPointingOutsideTheFramesFallsBackToTheFrameList)
{
    std::vector<uint8_t> file = Content_EncodeAvi(Fixture(24, 2));
    size_t idx = 0;
    for (size_t i = 0; i + 4 <= file.size(); i++)
        if (std::memcmp(file.data() + i, "idx1", 4) == 0)
            idx = i;
    ASSERT_NE(idx, 0u);
    file[idx + 8 + 8] = 0xFF; // first entry's offset
    file[idx + 8 + 11] = 0x7F;
    AVIREADER r;
    ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0);
    EXPECT_EQ(r.info.dwLength, 2u);
    ExpectFrame(r, 1, 24);
    Gfx_AviCloseReader(&r);
}

TEST(AviReader, AFrameShorterThanItsPictureIsNotShown)
{
    CONTENTVIDEO v = Fixture(24, 2);
    v.frames[1].resize(10);
    const std::vector<uint8_t> file = Content_EncodeAvi(v);
    AVIREADER r;
    ASSERT_EQ(Gfx_AviOpenMemory(&r, file.data(), file.size()), 0);
    ExpectFrame(r, 0, 24);
    EXPECT_EQ(Gfx_AviDecodeFrame(&r, 1), nullptr);
    ExpectFrame(r, 0, 24);
    Gfx_AviCloseReader(&r);
}

class AviPlayer : public ::testing::Test
{
protected:
    TempDir m_dir;
    std::vector<uint16_t> m_pixels;
    AVISURFACE m_surface{};

    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Gfx_CloseAviStream();
        UseSurface(8, 4, 0x7E0);
    }

    void TearDown() override { Gfx_CloseAviStream(); }

    void UseSurface(int32_t w, int32_t h, uint32_t greenMask)
    {
        m_pixels.assign(static_cast<size_t>(w) * h + 1, 0xABCD); // one spare word past the end
        m_surface = {m_pixels.data(), w * 2, w, h, greenMask};
    }

    std::string Write(const CONTENTVIDEO &v)
    {
        const std::vector<uint8_t> bytes = Content_EncodeAvi(v);
        const std::string path = m_dir.File("clip.avi");
        WriteTextFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    void ExpectShown(int32_t n, bool is565 = true)
    {
        for (int32_t y = 0; y < m_surface.height; y++)
            for (int32_t x = 0; x < m_surface.width; x++) {
                const uint16_t got = m_pixels[static_cast<size_t>(y) * m_surface.width + x];
                const uint16_t want = x >= W || y >= H ? 0xABCD : is565 ? To565(Colour(n, x, y)) : To555(Colour(n, x, y));
                ASSERT_EQ(got, want) << "frame " << n << " pixel " << x << "," << y;
            }
        EXPECT_EQ(m_pixels.back(), 0xABCD);
    }
};

TEST_F(AviPlayer, ShowsTheFrameThatIsDueUntilTheStreamEnds)
{
    EXPECT_EQ(g_iAviFrameWidth, 640);
    EXPECT_EQ(g_iAviFrameHeight, 480);
    CONTENTVIDEO v = Fixture(24, 60);
    ASSERT_EQ(Gfx_OpenAviStream(Write(v).c_str(), &m_surface), 0) << g_szErrorText;
    EXPECT_EQ(g_iAviFrameWidth, W);
    EXPECT_EQ(g_iAviFrameHeight, H);
    // Not started: nothing is touched.
    EXPECT_EQ(Gfx_UpdateAviFrame(), 0);
    EXPECT_EQ(m_pixels[0], 0xABCD);

    Plat_ManualClockAdvance(123456789); // a start long after the program began
    ASSERT_EQ(Gfx_StartAviPlayback(), 0);
    struct Step
    {
        uint64_t atMs;
        int32_t frame;
    };
    // 25 frames a second: frame 50 two seconds after the start.
    const Step steps[] = {{0, 0}, {39, 0}, {40, 1}, {1000, 25}, {1999, 49}, {2000, 50}, {2399, 59}};
    uint64_t now = 0;
    for (const Step &s : steps) {
        Plat_ManualClockAdvance((s.atMs - now) * 1000);
        now = s.atMs;
        ASSERT_EQ(Gfx_UpdateAviFrame(), 0) << s.atMs;
        ExpectShown(s.frame);
    }
    // The first update after the last frame's time ends playback; later ones touch nothing.
    Plat_ManualClockAdvance(1000);
    EXPECT_EQ(Gfx_UpdateAviFrame(), 1);
    EXPECT_EQ(g_bAviPlaying, 0);
    m_pixels.assign(m_pixels.size(), 0xABCD);
    EXPECT_EQ(Gfx_UpdateAviFrame(), 0);
    EXPECT_EQ(m_pixels[0], 0xABCD);
    // Started again, it plays from the beginning.
    Gfx_StartAviPlayback();
    EXPECT_EQ(Gfx_UpdateAviFrame(), 0);
    ExpectShown(0);
    EXPECT_EQ(Gfx_StopAviPlayback(), 0);
    Plat_ManualClockAdvance(80000);
    m_pixels.assign(m_pixels.size(), 0xABCD);
    EXPECT_EQ(Gfx_UpdateAviFrame(), 0);
    EXPECT_EQ(m_pixels[0], 0xABCD);
}

TEST_F(AviPlayer, WritesTheSurfacesLayoutAndCutsAtItsEdges)
{
    CONTENTVIDEO v = Fixture(24, 2);
    v.rate = 10;
    v.scale = 1;
    const std::string path = Write(v);
    struct Case
    {
        int32_t w, h;
        uint32_t green;
    };
    for (const Case &c : {Case{8, 4, 0x7E0}, Case{8, 4, 0x3E0}, Case{3, 2, 0x7E0}}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " green " << c.green);
        UseSurface(c.w, c.h, c.green);
        ASSERT_EQ(Gfx_OpenAviStream(path.c_str(), &m_surface), 0);
        Gfx_StartAviPlayback();
        Plat_ManualClockAdvance(100000); // frame 1 at 10 a second
        ASSERT_EQ(Gfx_UpdateAviFrame(), 0);
        if (c.h >= H) {
            ExpectShown(1, c.green == 0x7E0);
        } else {
            // A smaller surface shows the frame's top-left part.
            for (int32_t y = 0; y < c.h; y++)
                for (int32_t x = 0; x < c.w; x++)
                    EXPECT_EQ(m_pixels[static_cast<size_t>(y) * c.w + x], To565(Colour(1, x, y)));
            EXPECT_EQ(m_pixels.back(), 0xABCD);
        }
    }
}

TEST_F(AviPlayer, FailuresAreReportedNotShown)
{
    g_szErrorText[0] = 0;
    EXPECT_EQ(Gfx_OpenAviStream(m_dir.File("missing.avi").c_str(), &m_surface), -1);
    EXPECT_NE(std::string(g_szErrorText).find("missing.avi"), std::string::npos);
    WriteTextFile(m_dir.File("text.avi"), "RIFF\x04\0\0\0WAVE");
    EXPECT_EQ(Gfx_OpenAviStream(m_dir.File("text.avi").c_str(), &m_surface), -1);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Load Video File (" + m_dir.File("text.avi") + "). Not a video file.");
    // A failed open leaves nothing to play: the stream has ended at once.
    Gfx_StartAviPlayback();
    EXPECT_EQ(Gfx_UpdateAviFrame(), 1);

    CONTENTVIDEO v = Fixture(24, 3);
    v.frames[1].resize(4); // unreadable frame
    ASSERT_EQ(Gfx_OpenAviStream(Write(v).c_str(), &m_surface), 0);
    Gfx_StartAviPlayback();
    Plat_ManualClockAdvance(40000);
    EXPECT_EQ(Gfx_UpdateAviFrame(), DDERR_GENERIC);
    EXPECT_EQ(m_pixels[0], 0xABCD);
    // A lost surface cannot be written.
    m_surface.pixels = nullptr;
    Plat_ManualClockAdvance(40000);
    EXPECT_EQ(Gfx_UpdateAviFrame(), DDERR_SURFACELOST);
    EXPECT_EQ(g_bAviPlaying, 1);
    EXPECT_EQ(Gfx_CloseAviStream(), 0);
    EXPECT_EQ(g_bAviPlaying, 0);
    EXPECT_EQ(g_iAviFrameWidth, 640);
    EXPECT_EQ(g_iAviFrameHeight, 480);
}

TEST_F(AviPlayer, FramesCanBecomeATexture)
{
    // A 16 x 4 texture surface, rows of 40 bytes.
    std::vector<uint8_t> texels(40 * 4, 0);
    TEXSURFACE tex{};
    tex.width = 16;
    tex.height = 4;
    tex.pitch = 40;
    tex.bytesPerPixel = 2;
    tex.pixels = texels.data();
    struct Case
    {
        uint32_t format;
        int32_t result;
    };
    for (const Case &c : {Case{TEX_16_RGB565, 0}, Case{TEX_16_RGB555, 0}, Case{TEX_16_ARGB1555, 0},
                          Case{TEX_8_PAL8, -1}, Case{TEX_16_ARGB4444, -1}}) {
        tex.format = c.format;
        EXPECT_EQ(Gfx_AviTextureSurface(&tex, &m_surface), c.result) << c.format;
    }
    tex.format = TEX_16_RGB565;
    ASSERT_EQ(Gfx_AviTextureSurface(&tex, &m_surface), 0);
    EXPECT_EQ(m_surface.greenMask, 0x7E0u);
    ASSERT_EQ(Gfx_OpenAviStream(Write(Fixture(24, 2)).c_str(), &m_surface), 0);
    Gfx_StartAviPlayback();
    ASSERT_EQ(Gfx_UpdateAviFrame(), 0);
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++) {
            const uint8_t *p = texels.data() + y * 40 + 2 * x;
            EXPECT_EQ(static_cast<uint16_t>(p[0] | p[1] << 8), To565(Colour(0, x, y)));
        }
    tex.pixels = nullptr;
    EXPECT_EQ(Gfx_AviTextureSurface(&tex, &m_surface), -1);
    EXPECT_EQ(m_surface.pixels, nullptr);
}
