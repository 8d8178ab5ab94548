// Effect plug-ins, with the test plug-ins built beside the tests: what is listed, the calls into
// a library and their arguments, the picture, the slot table, bad numbers and broken libraries,
// the mix through an instance, and mixing on one thread while another opens and closes.
// The tests stand in for the jam, which opens, feeds, draws and closes instances.
#include "audio/mixer.h"
#include "audio/plugin.h"
#include "audio/sampleslot.h"
#include "core/mixlock.h"
#include "jam/netobjects.h"
#include "platform/dynlib.h"
#include "render/gpustate.h"
#include "support/tempdir.h"
#include "support/testlayer.h"
#include "support/testplugins.h"
#include "tests/plugins/testplugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int FRAMES = 72;

uint16_t Pixel(int format, uint32_t rgb)
{
    uint32_t r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    return format == PIXELFORMAT_555 ? (uint16_t)(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
                                     : (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Keeps one test plug-in loaded so its record of calls can be read; starts the record afresh.
class PluginRecord
{
public:
    explicit PluginRecord(const std::string &path, int pointerMode = -1)
    {
        m_pLib = Plat_DynLibOpen(path.c_str());
        auto pfn = reinterpret_cast<TESTPLUGINSTATE *(*)()>(
            m_pLib ? Plat_DynLibSymbol(m_pLib, "TestPlugin_State") : nullptr);
        EXPECT_NE(pfn, nullptr) << path;
        m_pState = pfn ? pfn() : &m_empty;
        int32_t mode = pointerMode >= 0 ? pointerMode : m_pState->pointerMode;
        memset(m_pState, 0, sizeof *m_pState);
        m_pState->pointerMode = mode;
    }
    ~PluginRecord() { Plat_DynLibClose(m_pLib); }
    PluginRecord(const PluginRecord &) = delete;
    PluginRecord &operator=(const PluginRecord &) = delete;

    TESTPLUGINSTATE *operator->() const { return m_pState; }
    const TESTPLUGINCALL &Last() const { return m_pState->log[m_pState->logged - 1]; }
    std::vector<int32_t> Entries() const
    {
        std::vector<int32_t> v;
        for (int i = 0; i < m_pState->logged; i++)
            v.push_back(m_pState->log[i].entry);
        return v;
    }

private:
    PLATDYNLIB *m_pLib = nullptr;
    TESTPLUGINSTATE *m_pState = nullptr;
    TESTPLUGINSTATE m_empty = {};
};

class PluginTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestLayer_SetUp(PIXELFORMAT_565);
        UseFolder(TestPluginFolder("good"));
        g_iPluginPictureX = SND_PLUGIN_PICTURE_X;
        g_iPluginPictureY = 0;
    }

    void TearDown() override
    {
        Snd_ShutdownPlugins();
        g_bJamSessionOn = 0;
        unsetenv("TNV_PLUGIN_DIR");
        g_iPluginPictureX = SND_PLUGIN_PICTURE_X;
        g_iPluginPictureY = 0;
    }

    static void UseFolder(const std::string &dir) { setenv("TNV_PLUGIN_DIR", dir.c_str(), 1); }

    static int OpenSlots()
    {
        int n = 0;
        for (PLUGININSTANCE *p : g_apPlugins)
            n += p != nullptr;
        return n;
    }
};

// Only "filter.dll" then "reverb.dll" are tried, and only those that load and export
// PLUGIN_Open are listed; listing leaves nothing loaded.
TEST_F(PluginTest, ScanListsTheLibrariesThatLoad)
{
    const std::string good = TestPluginFolder("good"), broken = TestPluginFolder("broken");
    struct
    {
        const char *what;
        std::string filter, reverb; // files copied in as filter.so / reverb.so ("" none, "text")
        std::vector<std::string> listed;
    } cases[] = {
        {"neither", "", "", {}},
        {"both", good + "/filter.so", good + "/reverb.so", {"filter.dll", "reverb.dll"}},
        {"reverb only", "", good + "/reverb.so", {"reverb.dll"}},
        {"filter only", good + "/filter.so", "", {"filter.dll"}},
        // Lacking other entry points does not keep a library off the list; lacking PLUGIN_Open does.
        {"broken pair", broken + "/filter.so", broken + "/reverb.so", {"filter.dll"}},
        {"not a library", "text", good + "/reverb.so", {"reverb.dll"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (auto [from, to] : {std::pair{c.filter, "filter.so"}, std::pair{c.reverb, "reverb.so"}}) {
            if (from == "text")
                WriteTextFile(dir.File(to), "this is no library\n");
            else if (!from.empty())
                std::filesystem::copy_file(from, dir.File(to));
        }
        // A name the studio never tries is never listed.
        std::filesystem::copy_file(good + "/filter.so", dir.File("chorus.so"));
        UseFolder(dir.Path());
        Snd_ScanPlugins();
        ASSERT_EQ(g_iPluginCount, (int32_t)c.listed.size());
        for (size_t i = 0; i < c.listed.size(); i++)
            EXPECT_STREQ(g_aszPluginNames[i], c.listed[i].c_str());
        for (int i = g_iPluginCount; i < SND_PLUGIN_LIST_SIZE; i++)
            EXPECT_EQ(g_aszPluginNames[i][0], 0) << i;
        EXPECT_NE(g_pPluginPicture, nullptr);
        EXPECT_FALSE(LibraryIsMapped(dir.File("filter.so")));
        EXPECT_FALSE(LibraryIsMapped(dir.File("reverb.so")));
        PLUGININSTANCE *p = (PLUGININSTANCE *)1;
        EXPECT_EQ(Snd_OpenPlugin(g_iPluginCount, &p), -1);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(OpenSlots(), 0);
        Snd_ShutdownPlugins();
    }
}

// Open, apply, input, draw, close through the studio, and reset, get and set as the jam calls
// them: each gets the instance's handle and the buffers the contract names.
TEST_F(PluginTest, EveryEntryPointGetsItsArguments)
{
    PluginRecord rec(TestPluginPath("good", "filter"), TP_POINTERS_OWN);
    Snd_ScanPlugins();
    PLUGININSTANCE *p = nullptr;
    ASSERT_EQ(Snd_OpenPlugin(0, &p), 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(g_apPlugins[0], p);
    EXPECT_STREQ(p->szName, "filter.dll");
    for (void *pfn : {(void *)p->pfnOpen, (void *)p->pfnClose, (void *)p->pfnApply, (void *)p->pfnInput,
                      (void *)p->pfnReset, (void *)p->pfnDraw, (void *)p->pfnGet, (void *)p->pfnSet})
        EXPECT_NE(pfn, nullptr);

    ASSERT_EQ(rec->calls[TP_OPEN], 1);
    const TESTPLUGINCALL open = rec.Last();
    const uint32_t h = p->uHandle;
    ASSERT_LT(h - TP_HANDLE_BASE, (uint32_t)TP_MAX_INSTANCES);
    EXPECT_EQ(open.p1, p->pWork);
    EXPECT_EQ(open.p2, &p->uOutValue);
    EXPECT_NE(open.p3, nullptr); // the offered picture and palette
    EXPECT_NE(open.p4, nullptr);
    EXPECT_EQ(p->uOutValue, TP_OUT_VALUE_BASE + (h - TP_HANDLE_BASE));

    int16_t mix[FRAMES * 2];
    for (int i = 0; i < FRAMES * 2; i++) {
        mix[i] = 100;
        p->pInput[i] = (int16_t)(i * 7 - 300);
    }
    p->pInput[FRAMES * 2] = 555; // past the block: not the plug-in's, not cleared
    p->uBlockFlag = 1;
    EXPECT_EQ(Snd_ApplyPlugins(mix, FRAMES), 0);
    EXPECT_EQ(rec.Last().entry, TP_APPLY);
    EXPECT_EQ(rec.Last().handle, h);
    EXPECT_EQ(rec.Last().p1, p->pInput);
    EXPECT_EQ(rec.Last().p2, mix);
    EXPECT_EQ(rec.Last().n, FRAMES);
    for (int i = 0; i < FRAMES * 2; i++) {
        EXPECT_EQ(mix[i], 100 + i * 7 - 300) << i; // unity gain adds the input
        EXPECT_EQ(p->pInput[i], 0) << i;
    }
    EXPECT_EQ(p->pInput[FRAMES * 2], 555);
    EXPECT_EQ(p->uBlockFlag, 0u);

    Snd_PluginInput(0, 10, 20, 7, 8, 0x1F, 0x2);
    EXPECT_EQ(rec.Last().entry, TP_INPUT);
    EXPECT_EQ(rec.Last().handle, h);
    const uint8_t want[4] = {1, 0x2F, 10, 20};
    EXPECT_EQ(memcmp(rec.Last().event, want, 4), 0);

    Snd_SelectPluginDisplay(0);
    Snd_DrawPluginDisplay();
    EXPECT_EQ(rec.Last().entry, TP_DRAW);
    EXPECT_EQ(rec.Last().handle, h);

    {
        std::lock_guard<std::recursive_mutex> lock(g_csPlugins);
        p->pfnReset(p->uHandle);
        EXPECT_EQ(rec.Last().handle, h);
        p->pfnSet(p->uHandle, 0, 77);
        EXPECT_EQ(rec.Last().n, 0);
        EXPECT_EQ(rec.Last().value, 77);
        EXPECT_EQ(p->pfnGet(p->uHandle, 0), 77);
        EXPECT_EQ(rec.Last().handle, h);
    }

    Snd_ClosePlugin(0);
    EXPECT_EQ(rec.Last().entry, TP_CLOSE);
    EXPECT_EQ(rec.Last().handle, h);
    EXPECT_EQ(g_apPlugins[0], nullptr);
    EXPECT_EQ(g_pPluginDisplayed, nullptr);
    EXPECT_EQ(rec.Entries(), (std::vector<int32_t>{TP_OPEN, TP_APPLY, TP_INPUT, TP_DRAW, TP_RESET,
                                                   TP_SET, TP_GET, TP_CLOSE}));
    EXPECT_EQ(rec->badHandles, 0);
}

TEST_F(PluginTest, InputEventPacking)
{
    PluginRecord rec(TestPluginPath("good", "filter"));
    Snd_ScanPlugins();
    ASSERT_EQ(Snd_OpenPlugin(0, nullptr), 0);
    struct
    {
        int32_t first, second, low, high;
        uint8_t event[4];
    } cases[] = {
        {10, 20, 0x1F, 0x2, {1, 0x2F, 10, 20}},
        {0, 0, 0, 0, {1, 0x00, 0, 0}},
        {255, 255, 15, 15, {1, 0xFF, 255, 255}},
        {300, 511, 0x10, 0x13, {1, 0x30, 44, 255}},
        {-228, -138, -1, 0, {1, 0x0F, 28, 118}}, // a pointer left of and above the panel
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        Snd_PluginInput(0, c.first, c.second, 99, 99, c.low, c.high);
        ASSERT_EQ(rec.Last().entry, TP_INPUT);
        EXPECT_EQ(memcmp(rec.Last().event, c.event, 4), 0)
            << (int)rec.Last().event[0] << " " << (int)rec.Last().event[1] << " "
            << (int)rec.Last().event[2] << " " << (int)rec.Last().event[3];
    }
    // No instance there: nothing is called.
    const int32_t before = rec->calls[TP_INPUT];
    for (int32_t slot : {-1, 1, 79, 80, INT_MIN})
        Snd_PluginInput(slot, 1, 2, 0, 0, 3, 4);
    EXPECT_EQ(rec->calls[TP_INPUT], before);
}

// Whatever PLUGIN_Open does with the picture and palette pointers, the picture shown is the one
// the library draws, through the palette it set, in the display's pixel layout; the studio keeps
// and frees its offered buffers only while they are in use.
TEST_F(PluginTest, PictureThroughTheColourTable)
{
    for (int mode : {TP_POINTERS_NULL, TP_POINTERS_OWN, TP_POINTERS_UNCHANGED}) {
        for (int format : {PIXELFORMAT_565, PIXELFORMAT_555}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " format " << format);
            TestLayer_SetUp(format);
            TestLayer_Fill(0x1234);
            PluginRecord rec(TestPluginPath("good", "filter"), mode);
            Snd_ScanPlugins();
            PLUGININSTANCE *p = nullptr;
            ASSERT_EQ(Snd_OpenPlugin(0, &p), 0);
            const TESTPLUGINCALL open = rec->log[0];
            if (mode == TP_POINTERS_OWN) {
                EXPECT_EQ(p->pOfferedPicture, nullptr);
                EXPECT_EQ(p->pOfferedPalette, nullptr);
                EXPECT_NE(p->pPicture, nullptr);
                EXPECT_NE((const void *)p->pPicture, open.p3);
                EXPECT_NE((const void *)p->pPalette, open.p4);
            } else {
                EXPECT_EQ((const void *)p->pPicture, open.p3);
                EXPECT_EQ(p->pPicture, p->pOfferedPicture);
                EXPECT_EQ((const void *)p->pPalette, open.p4);
                EXPECT_EQ(p->pPalette, p->pOfferedPalette);
            }
            for (int i = 0; i < 256; i++)
                ASSERT_EQ(p->auColours[i], Pixel(format, TestPlugin_Colour(0, i))) << i;

            g_iPluginPictureX = 228;
            g_iPluginPictureY = 138;
            Snd_SelectPluginDisplay(0);
            for (int n = 1; n <= 2; n++) {
                Snd_DrawPluginDisplay();
                for (int y = 0; y < 64; y++)
                    for (int x = 0; x < 128; x++)
                        ASSERT_EQ(TestLayer_Pixel(228 + x, 138 + y),
                                  Pixel(format, TestPlugin_Colour(0, TestPlugin_Index(x, y, n))))
                            << x << "," << y << " draw " << n;
            }
            for (auto [x, y] : {std::pair{227, 138}, std::pair{356, 138}, std::pair{228, 137}, std::pair{228, 202}})
                EXPECT_EQ(TestLayer_Pixel(x, y), 0x1234) << x << "," << y;
            Snd_ShutdownPlugins();
            EXPECT_EQ(rec->calls[TP_CLOSE], 1);
        }
    }
}

// 80 slots, lowest free first; a full table opens nothing more; freed slots are taken again.
TEST_F(PluginTest, SlotTableFullFreeAndReuse)
{
    PluginRecord filter(TestPluginPath("good", "filter"));
    Snd_ScanPlugins();
    ASSERT_EQ(g_iPluginCount, 2);
    for (int slot = 0; slot < SND_PLUGIN_SLOTS; slot++) {
        PLUGININSTANCE *p = nullptr;
        ASSERT_EQ(Snd_OpenPlugin(slot & 1, &p), slot);
        EXPECT_EQ(p, g_apPlugins[slot]);
        EXPECT_STREQ(p->szName, slot & 1 ? "reverb.dll" : "filter.dll");
    }
    EXPECT_EQ(Snd_FindFreePluginSlot(), -1);
    EXPECT_EQ(filter->calls[TP_OPEN], 40);

    PLUGININSTANCE *p = (PLUGININSTANCE *)1;
    EXPECT_EQ(Snd_OpenPlugin(0, &p), -1);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(filter->calls[TP_OPEN], 40); // nothing opened that no slot could hold

    for (int slot : {42, 4, 8}) // filter instances
        Snd_ClosePlugin(slot);
    EXPECT_EQ(filter->calls[TP_CLOSE], 3);
    EXPECT_EQ(Snd_FindFreePluginSlot(), 4);
    for (int want : {4, 8, 42, -1})
        EXPECT_EQ(Snd_OpenPlugin(0, nullptr), want);

    for (int32_t slot : {-1, 80, 1000, INT_MIN}) {
        PLUGININSTANCE *q = (PLUGININSTANCE *)1;
        EXPECT_EQ(Snd_GetPlugin(slot, &q), 0);
        EXPECT_EQ(q, nullptr) << slot;
    }
    Snd_ShutdownPlugins();
    EXPECT_EQ(OpenSlots(), 0);
    EXPECT_EQ(filter->calls[TP_CLOSE], filter->calls[TP_OPEN]);
    EXPECT_EQ(filter->badHandles, 0);
    EXPECT_FALSE(LibraryIsMapped(TestPluginPath("good", "reverb")));
}

// Numbers that name no listed library or no slot (from a peer's command, say) do nothing.
TEST_F(PluginTest, NumbersOutOfRangeAndEmptySlots)
{
    PluginRecord rec(TestPluginPath("good", "filter"));
    Snd_ScanPlugins();
    PLUGININSTANCE *p = nullptr;
    ASSERT_EQ(Snd_OpenPlugin(0, &p), 0);
    for (int32_t index : {-1, 2, 79, 80, 1000, INT_MIN, INT_MAX}) {
        PLUGININSTANCE *q = (PLUGININSTANCE *)1;
        EXPECT_EQ(Snd_OpenPlugin(index, &q), -1) << index;
        EXPECT_EQ(q, nullptr);
    }
    for (int32_t slot : {-1, 5, 79, 80, INT_MIN})
        Snd_ClosePlugin(slot);
    EXPECT_EQ(g_apPlugins[0], p);
    EXPECT_EQ(rec->calls[TP_OPEN], 1);
    EXPECT_EQ(rec->calls[TP_CLOSE], 0);

    Snd_SelectPluginDisplay(0);
    for (int32_t slot : {-1, 80, INT_MAX}) {
        Snd_SelectPluginDisplay(slot);
        EXPECT_EQ(g_pPluginDisplayed, p) << slot;
    }
    Snd_SelectPluginDisplay(5); // an empty slot shows none
    EXPECT_EQ(g_pPluginDisplayed, nullptr);

    // The jam's form, by instance record.
    PLUGININSTANCE stray = {};
    struct
    {
        PLUGININSTANCE *pick, *shown;
    } picks[] = {{p, p}, {nullptr, nullptr}, {p, p}, {&stray, nullptr}};
    for (const auto &c : picks) {
        Snd_SelectPluginDisplay(c.pick);
        EXPECT_EQ(g_pPluginDisplayed, c.shown);
    }
}

// A listed library that lacks an entry point, or is gone by the time of the open, is refused
// before the library hears of an instance, and nothing is left loaded or in the table.
TEST_F(PluginTest, LibraryMissingEntryPointsIsRefused)
{
    const std::string path = TestPluginPath("broken", "filter");
    UseFolder(TestPluginFolder("broken"));
    Snd_ScanPlugins();
    ASSERT_EQ(g_iPluginCount, 1);
    {
        PluginRecord rec(path);
        PLUGININSTANCE *p = (PLUGININSTANCE *)1;
        EXPECT_EQ(Snd_OpenPlugin(0, &p), -1);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(rec->calls[TP_OPEN], 0);
        EXPECT_EQ(OpenSlots(), 0);
        EXPECT_EQ(Snd_FindFreePluginSlot(), 0);
    }
    EXPECT_FALSE(LibraryIsMapped(path));

    TempDir dir;
    std::filesystem::copy_file(TestPluginPath("good", "filter"), dir.File("filter.so"));
    UseFolder(dir.Path());
    Snd_ScanPlugins();
    ASSERT_EQ(g_iPluginCount, 1);
    std::filesystem::remove(dir.File("filter.so"));
    EXPECT_EQ(Snd_OpenPlugin(0, nullptr), -1);
    EXPECT_EQ(OpenSlots(), 0);
}

// A library is loaded while an instance of it lives, and unloaded with the last one.
TEST_F(PluginTest, LoadAndUnload)
{
    const std::string path = TestPluginPath("good", "filter");
    ASSERT_FALSE(LibraryIsMapped(path));
    Snd_ScanPlugins();
    EXPECT_FALSE(LibraryIsMapped(path));
    ASSERT_EQ(Snd_OpenPlugin(0, nullptr), 0);
    EXPECT_TRUE(LibraryIsMapped(path));
    ASSERT_EQ(Snd_OpenPlugin(0, nullptr), 1);
    Snd_ClosePlugin(0);
    EXPECT_TRUE(LibraryIsMapped(path));
    Snd_ClosePlugin(1);
    EXPECT_FALSE(LibraryIsMapped(path));

    // The end of the session closes what is left; a new session starts from an empty table.
    ASSERT_EQ(Snd_OpenPlugin(0, nullptr), 0);
    ASSERT_EQ(Snd_OpenPlugin(1, nullptr), 1);
    Snd_ScanPlugins();
    EXPECT_EQ(OpenSlots(), 0);
    EXPECT_FALSE(LibraryIsMapped(path));
    ASSERT_EQ(Snd_OpenPlugin(1, nullptr), 0);
    Snd_ShutdownPlugins();
    EXPECT_EQ(OpenSlots(), 0);
    EXPECT_EQ(g_pPluginPicture, nullptr);
    EXPECT_FALSE(LibraryIsMapped(TestPluginPath("good", "reverb")));
}

// Drawing with nothing displayed, after the displayed instance closed, or outside a session
// draws nothing, calls nothing and leaves the lock free for the mixing thread.
TEST_F(PluginTest, DrawingWithNothingToShow)
{
    auto lockIsFree = [] {
        bool free = false;
        std::thread t([&] {
            free = g_csPlugins.try_lock();
            if (free)
                g_csPlugins.unlock();
        });
        t.join();
        return free;
    };
    PluginRecord rec(TestPluginPath("good", "filter"));
    TestLayer_Fill(0x4321);
    const uint64_t blank = TestLayer_Hash();

    Snd_DrawPluginDisplay(); // before any session
    Snd_ScanPlugins();
    Snd_DrawPluginDisplay();
    EXPECT_TRUE(lockIsFree());
    ASSERT_EQ(Snd_OpenPlugin(0, nullptr), 0);
    Snd_DrawPluginDisplay(); // open but not displayed
    Snd_SelectPluginDisplay(0);
    Snd_ClosePlugin(0);
    Snd_DrawPluginDisplay(); // the displayed one closed
    EXPECT_TRUE(lockIsFree());
    EXPECT_EQ(rec->calls[TP_DRAW], 0);
    EXPECT_EQ(TestLayer_Hash(), blank);

    // Placed partly off the layer: what is on it is drawn, nothing beyond.
    ASSERT_EQ(Snd_OpenPlugin(0, nullptr), 0);
    Snd_SelectPluginDisplay(0);
    g_iPluginPictureX = 600;
    g_iPluginPictureY = 450;
    Snd_DrawPluginDisplay();
    EXPECT_TRUE(lockIsFree());
    EXPECT_EQ(TestLayer_Pixel(639, 479), Pixel(PIXELFORMAT_565, TestPlugin_Colour(0, TestPlugin_Index(39, 29, 1))));
    EXPECT_EQ(TestLayer_Pixel(599, 479), 0x4321);
    EXPECT_TRUE(TestLayer_GuardsIntact());

    Snd_ShutdownPlugins();
    TestLayer_Fill(0x4321);
    Snd_DrawPluginDisplay(); // after the session
    EXPECT_EQ(TestLayer_Hash(), blank);
}

class PluginMixTest : public PluginTest
{
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        float rate = 44100.0f, seconds = 0.0016666667f;
        ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
        ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
        ASSERT_EQ(g_iMixFrames, FRAMES);
        Snd_SetMixParam(16, out);
        g_bReverbOn = 0;
        Snd_SetMasterVolume(0x4000, 0x4000);
        ASSERT_GT(Snd_AllocSampleSlot(&pSlot), 0);
        ASSERT_EQ(Snd_AllocSampleData(pSlot, 40000, true), 0);
        for (uint32_t i = 0; i < 2 * 40000; i++)
            ((int16_t *)pSlot->pData)[i] = 1000;
        pSlot->uRate = 44100;
    }

    void TearDown() override
    {
        PluginTest::TearDown();
        Snd_ShutdownSampleEngine();
        g_pMixOut = g_pMixSend = nullptr;
    }

    void Play(int v)
    {
        VOICE *pVoice = &g_astVoices[v];
        Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
        Snd_SetVoicePitch(pVoice, 44100);
        Snd_SetVoiceVolume(pVoice, 16384, 16384);
        Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
    }

    void MixBlock()
    {
        memset(out, 0, sizeof(out));
        ASSERT_EQ(Snd_MixBlock(), 0);
    }

    int16_t out[FRAMES * 2];
    SAMPLESLOT *pSlot = nullptr;
};

// Voices on a plug-in slot feed its instance, whose result is what reaches the mix while a jam
// runs; with no plug-ins at all the mix is what it always was.
TEST_F(PluginMixTest, VoicesThroughAnInstanceIntoTheMix)
{
    Play(0); // voices start on plug-in slot 0

    TempDir empty;
    UseFolder(empty.Path());
    Snd_ScanPlugins();
    for (int32_t jam : {0, 1}) {
        g_bJamSessionOn = jam;
        MixBlock();
        EXPECT_EQ(out[0], 1000) << jam;
        EXPECT_EQ(out[FRAMES * 2 - 1], 1000) << jam;
    }

    UseFolder(TestPluginFolder("good"));
    Snd_ScanPlugins();
    PLUGININSTANCE *p = nullptr;
    ASSERT_EQ(Snd_OpenPlugin(0, &p), 0);
    struct
    {
        int32_t gain;
        int16_t want;
    } gains[] = {{256, 1000}, {128, 500}, {0, 0}, {512, 2000}};
    for (const auto &c : gains) {
        {
            std::lock_guard<std::recursive_mutex> lock(g_csPlugins);
            p->pfnSet(p->uHandle, 0, c.gain);
        }
        MixBlock();
        EXPECT_EQ(out[0], c.want) << c.gain;
        EXPECT_EQ(out[FRAMES * 2 - 1], c.want) << c.gain;
        EXPECT_EQ(p->pInput[0], 0);
    }

    // The delay on slot 1: its input comes out 100 frames later, in the second block.
    ASSERT_EQ(Snd_OpenPlugin(1, nullptr), 1);
    Snd_SetVoicePlugin(0, 1);
    MixBlock();
    for (int i = 0; i < FRAMES * 2; i++)
        ASSERT_EQ(out[i], 0) << i;
    MixBlock();
    EXPECT_EQ(out[2 * (TP_DELAY_FRAMES - FRAMES) - 1], 0);
    EXPECT_EQ(out[2 * (TP_DELAY_FRAMES - FRAMES)], 1000);
    EXPECT_EQ(out[FRAMES * 2 - 1], 1000);

    // Closed: the voice's slot is empty, so it plays into the mix again.
    Snd_ClosePlugin(1);
    MixBlock();
    EXPECT_EQ(out[0], 1000);
}

// The contract's input holds 256 frames, but the mixer takes blocks of up to SND_MAX_MIX_FRAMES:
// every one of them fits an instance's input (the sanitizer build shows a block that does not).
TEST_F(PluginMixTest, LargestBlockFitsTheInput)
{
    std::vector<int16_t> big(SND_MAX_MIX_FRAMES * 2);
    float seconds = (float)SND_MAX_MIX_FRAMES / 44100.0f;
    ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
    const int32_t frames = g_iMixFrames;
    EXPECT_GT(frames, 256);
    EXPECT_LE(frames, SND_MAX_MIX_FRAMES);
    Snd_SetMixParam(16, big.data());
    Play(0);
    g_bJamSessionOn = 1;
    Snd_ScanPlugins();
    PLUGININSTANCE *p = nullptr;
    ASSERT_EQ(Snd_OpenPlugin(0, &p), 0);
    EXPECT_EQ(Snd_MixBlock(), 0);
    EXPECT_EQ(big[0], 1000);
    EXPECT_EQ(big[frames * 2 - 1], 1000);
    EXPECT_EQ(p->pInput[frames * 2 - 1], 0);
    seconds = 0.0016666667f;
    Snd_SetMixParam(4, &seconds);
    Snd_SetMixParam(16, out);
    EXPECT_EQ(g_iMixFrames, FRAMES);
}

// The mix runs on one thread while another opens, shows, feeds and closes instances (taking
// the mix lock first where it takes both). A wrong lock order deadlocks here; a block mixed into
// a closing instance, or a call with a closed handle, shows in the sanitizer build and in the
// plug-in's count of bad handles.
TEST_F(PluginMixTest, MixingWhileInstancesComeAndGo)
{
    PluginRecord filter(TestPluginPath("good", "filter"));
    for (int v = 0; v < 48; v++) {
        Play(v);
        Snd_SetVoicePlugin(v, v & 3);
    }
    g_bJamSessionOn = 1;
    Snd_ScanPlugins();
    ASSERT_EQ(g_iPluginCount, 2);

    // The mixer runs for as long as the other side works (and at least 1000 blocks).
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        for (int block = 0; block < 1000 || !done; block++) {
            Snd_MixBlock();
            if (block % 100 == 0)
                Snd_SetVoicePlugin(block / 100 % 48, block / 100 % 5 - 1);
        }
    });
    for (int round = 0; round < 300; round++) {
        int a = Snd_OpenPlugin(round & 1, nullptr);
        int b;
        if (round % 3 == 0) {
            std::lock_guard<std::recursive_mutex> lock(g_csMix); // the allowed order
            b = Snd_OpenPlugin(1 - (round & 1), nullptr);
        } else {
            b = Snd_OpenPlugin(1 - (round & 1), nullptr);
        }
        Snd_SelectPluginDisplay(b);
        Snd_DrawPluginDisplay();
        Snd_PluginInput(a, round, round, 0, 0, 0, 0);
        PLUGININSTANCE *p = nullptr;
        Snd_GetPlugin(a, &p);
        if (p) {
            std::lock_guard<std::recursive_mutex> lock(g_csPlugins);
            p->pfnReset(p->uHandle);
        }
        Snd_ClosePlugin(round & 2 ? a : b);
        if (round % 50 == 49)
            Snd_ScanPlugins(); // closes whatever is still open
        else
            Snd_ClosePlugin(round & 2 ? b : a);
    }
    done = true;
    mixer.join();
    Snd_ShutdownPlugins();
    EXPECT_EQ(OpenSlots(), 0);
    EXPECT_EQ(filter->calls[TP_OPEN], 300);
    EXPECT_EQ(filter->calls[TP_CLOSE], 300);
    EXPECT_EQ(filter->badHandles, 0);
}

} // namespace
