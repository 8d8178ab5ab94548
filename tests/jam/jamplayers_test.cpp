// Jam players' parts: assignment and captions, controllers and selection, plug-in slots, and
// every command applied to a player's block and parts. The sound side is a recorder of the
// JamActions calls; the last tests drive the program's own binding with real test plug-ins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/devices.h"
#include "audio/mixer.h"
#include "audio/plugin.h"
#include "audio/sampleslot.h"
#include "core/archive.h"
#include "core/mixlock.h"
#include "jam/jamplay.h"
#include "jam/jamseq.h"
#include "jam/jamsound.h"
#include "jam/netcommand.h"
#include "jam/netobjects.h"
#include "jam/netjam.h"
#include "jam/jaminput.h"
#include "jam/jamsession.h"
#include "platform/dynlib.h"
#include "render/gpustate.h"
#include "sequencer/songmodel.h"
#include "support/testlayer.h"
#include "support/testplugins.h"
#include "tests/plugins/testplugin.h"
#include "ui/langtext.h"
#include "ui/mouse.h"

namespace {

// Every call into the sound side, as text, with the player given by `Name`.
class Recorder : public JamActions
{
public:
    std::vector<std::string> calls;
    // Player numbers as written in the trace: the local player 4 can be told to appear as its slot.
    int32_t iLocalAs = 4;

    std::string P(int32_t p) const { return std::to_string(p == 4 ? iLocalAs : p); }
    void Add(std::string s) { calls.push_back(std::move(s)); }
    static std::string H(uint32_t v)
    {
        char b[16];
        std::snprintf(b, sizeof b, "%x", v);
        return b;
    }

    void LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t key, int32_t player, uint32_t riff) override
    {
        Add("riff p" + P(player) + " k" + std::to_string(key) + " " + std::to_string(a) + "," + std::to_string(b) +
            "," + std::to_string(c) + " " + H(riff));
    }
    int32_t LoadPad(int32_t player, uint32_t k1, uint32_t k2, uint32_t k3, int32_t pad, uint32_t inst) override
    {
        Add("pad p" + P(player) + " " + std::to_string(pad) + " " + std::to_string(k1) + "," + std::to_string(k2) +
            "," + std::to_string(k3) + " " + H(inst));
        return k1 ? 1 : 0;
    }
    void LoadKeyboard(int32_t player, uint32_t k1, uint32_t k2, uint32_t k3, int32_t first, uint32_t inst) override
    {
        Add("keyboard p" + P(player) + " " + std::to_string(first) + " " + std::to_string(k1) + "," +
            std::to_string(k2) + "," + std::to_string(k3) + " " + H(inst));
    }
    void StartPart(int32_t kind, int32_t index) override { Add("start " + std::to_string(kind) + " " + std::to_string(index)); }
    void StopPart(int32_t kind, int32_t index) override { Add("stop " + std::to_string(kind) + " " + std::to_string(index)); }
    void LoadPlugin(int32_t player, int32_t slot, int32_t index) override
    {
        Add("plugin p" + P(player) + " s" + std::to_string(slot) + " " + std::to_string(index));
    }
    void PluginInput(int32_t player, int32_t slot, int32_t x, int32_t y) override
    {
        Add("input p" + P(player) + " s" + std::to_string(slot) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void DropPlayerParts(int32_t player) override { Add("drop p" + P(player)); }
    void ResetPlugin(int32_t player, int32_t slot) override { Add("reset p" + P(player) + " s" + std::to_string(slot)); }
    void SelectPlugin(int32_t player, int32_t slot) override { Add("select p" + P(player) + " s" + std::to_string(slot)); }
    void RoutePlugin(int32_t player, int32_t slot, uint32_t parts, uint32_t riffs) override
    {
        Add("route p" + P(player) + " s" + std::to_string(slot) + " " + H(parts) + " " + H(riffs));
    }
    void ControlPart(int32_t player, int32_t entry, int32_t c, int32_t v, uint32_t octave) override
    {
        Add("part p" + P(player) + " e" + std::to_string(entry) + " c" + std::to_string(c) + " " + std::to_string(v) +
            " o" + std::to_string(octave));
    }
    void ControlRiff(int32_t player, int32_t key, int32_t c, int32_t v, int32_t previous) override
    {
        Add("riffctl p" + P(player) + " k" + std::to_string(key) + " c" + std::to_string(c) + " " + std::to_string(v) +
            " " + std::to_string(previous));
    }
    void SetTempo(int32_t bpm) override { Add("tempo " + std::to_string(bpm)); }
};

// A block as a reset leaves it.
void ResetBlock(JAMPLAYER *p)
{
    *p = JAMPLAYER{};
    for (auto &k : p->aKeyboard)
        k.uOctave = 5;
    for (auto &v : p->auLevel) v = 128;
    for (auto &v : p->auPan) v = 128;
    for (auto &v : p->auRiffVolume) v = 128;
    p->uBendRange = 12;
    for (auto &v : p->aiReserved) v = -1;
    p->iPluginSlot = -1;
}

std::vector<JAMEVENT> &Sent(JAMNET &net) { return net.aEventLists[net.iEventSetNext & 1][JAM_LOCAL_PLAYER].Events; }

// One program's jam model with a recorder, not on any network: in the scheduled mode what it
// sends waits in its own list, where the tests read it.
struct Model
{
    Recorder rec;
    JAMNET net;
    NETNODE node;
    Model()
    {
        Net_InitJamNet(&net, &rec);
        node.pJam = &net;
        for (JAMPLAYER &p : net.aPlayers)
            ResetBlock(&p);
    }
};

RIFFENTRY g_namedRiff;
RIFFENTRY *NamedRiff(int32_t id)
{
    std::snprintf(g_namedRiff.szName, sizeof g_namedRiff.szName, "Riff number %d", id);
    return &g_namedRiff;
}

class JamPlay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_iJamStartState = 4;
        g_bJamSinglePlayer = 0;
        g_bNetJamImmediate = 0;
        g_iJamSelectedPlayer = 4;
        g_bJamCtrlHeld = g_bJamShiftHeld = 0;
        g_iPluginCount = 2;
        g_uRiffListCount = 0;
        g_JamSeqCalls.GetRiff = NamedRiff;
        Jam_InitCaptions();
        ASSERT_EQ(Jam_AllocPlayerLists(), 0);
        m = std::make_unique<Model>();
    }
    void TearDown() override
    {
        m.reset();
        Jam_FreePlayerLists();
        g_JamSeqCalls = g_JamSeqDefaultCalls;
        g_iPluginCount = 0;
        g_iJamStartState = 0;
        g_bNetJamImmediate = 0;
        g_uRiffListCount = 0;
    }
    JAMPLAYER &Local() { return m->net.aPlayers[JAM_LOCAL_PLAYER]; }
    void Apply(int32_t player, int32_t command, uint32_t data)
    {
        Jam_ApplyPlayerEvent(&m->node, JAMEVENT{0, command, data}, player);
    }
    void Live(int32_t player, int32_t command, uint32_t data)
    {
        Jam_ApplyLiveEvent(&m->node, JAMEVENT{0, command, data}, player);
    }

    std::unique_ptr<Model> m;
};

} // namespace

// ---- Assignment ----

TEST_F(JamPlay, AssigningPartsLoadsRecordsCaptionsAndTellsTheOthers)
{
    for (uint16_t id : {11, 12, 13})
        ASSERT_EQ(Jam_AppendRiffId(1, id), 0);
    ASSERT_EQ(Jam_AppendInstrumentId(2, 40), 0);
    Local().auRiffKey[5] = 1; // the key is on; the assignment keeps that

    EXPECT_EQ(Jam_AssignRiffFromList(&m->node, 1, 3, 5, 0), 0);
    EXPECT_EQ(Local().auRiffKey[5], 0xA00003u << 1 | 1);
    EXPECT_STREQ(g_aszJamCaptions[3 + 5], "Riff number 13");

    // The empty library entry empties the pad and says so; the word names the folder.
    EXPECT_EQ(Jam_AssignInstrumentFromLibrary(&m->node, 2, 3, 0, 4), 0);
    EXPECT_STREQ(g_aszJamCaptions[15 + 4], "Empty");
    EXPECT_EQ(Local().auPad[4], Jam_PackLibraryKey(2, 3, 0) << 1);

    EXPECT_EQ(Jam_AssignKeyboardFromLibrary(&m->node, 1, 1, 0, 1), 0);
    EXPECT_STREQ(g_aszJamKeyboardNames[1], Ui_Text(697));
    EXPECT_STREQ(g_aszJamCaptions[2], Ui_Text(697));

    EXPECT_EQ(Jam_AssignKeyboardFromList(&m->node, 2, 1, 0, 0), 0);
    EXPECT_EQ(Local().aKeyboard[0].uSlotWord, Jam_PackListEntry(2, 1));

    // What was loaded and what the others were told, in order.
    const std::vector<std::string> loads = {"riff p4 k5 1,1,1 d", "pad p4 4 0,3,0 ff7fffff",
                                            "keyboard p4 17 0,1,0 ff7fffff", "keyboard p4 0 1,1,1 28"};
    EXPECT_EQ(m->rec.calls, loads);
    const std::vector<JAMEVENT> sent = {{0, 15, 0xA00003},
                                        {0, 5, Jam_PackLibraryKey(2, 3, 0)},
                                        {0, 29, Jam_PackLibraryKey(1, 1, 0)},
                                        {0, 28, Jam_PackListEntry(2, 1)}};
    EXPECT_EQ(Sent(m->net), sent);
}

TEST_F(JamPlay, AssignmentsOfEntriesThatDoNotExistChangeNothing)
{
    ASSERT_EQ(Jam_AppendRiffId(1, 11), 0);
    const JAMPLAYER before = Local();
    struct
    {
        const char *what;
        int32_t result;
    } cases[] = {
        {"riff entry past the list", Jam_AssignRiffFromList(&m->node, 1, 2, 0, 0)},
        {"riff entry 0", Jam_AssignRiffFromList(&m->node, 1, 0, 0, 0)},
        {"riff key 12", Jam_AssignRiffFromList(&m->node, 1, 1, 12, 0)},
        {"no riff key chosen", Jam_AssignRiffFromLibrary(&m->node, 1, 2, 3, -1)},
        {"own song list empty", Jam_AssignRiffFromList(&m->node, 4, 1, 0, 0)},
        {"instrument list empty", Jam_AssignInstrumentFromList(&m->node, 3, 1, 0, 0)},
        {"pad 9", Jam_AssignInstrumentFromLibrary(&m->node, 1, 1, 1, 9)},
        {"keyboard 2", Jam_AssignKeyboardFromLibrary(&m->node, 1, 1, 1, 2)},
        {"archive index past 127", Jam_AssignRiffFromLibrary(&m->node, 128, 1, 1, 0)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.result, -1) << c.what;
    EXPECT_TRUE(Local() == before);
    EXPECT_TRUE(m->rec.calls.empty());
    EXPECT_TRUE(Sent(m->net).empty());
}

TEST_F(JamPlay, OwnListEntriesAreNamedByTheOwnSlot)
{
    m->net.iNetMySlot = 2;
    g_auRiffList[1] = 21;
    g_uRiffListCount = 1;
    ASSERT_EQ(Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, 33), 0);
    EXPECT_EQ(Jam_AssignRiffFromList(&m->node, 4, 1, 0, 0), 0);
    EXPECT_EQ(Jam_AssignInstrumentFromList(&m->node, 4, 1, 3, 0), 0);
    const std::vector<JAMEVENT> sent = {{0, 10, Jam_PackListEntry(2, 1)}, {0, 4, Jam_PackListEntry(2, 1)}};
    EXPECT_EQ(Sent(m->net), sent);
    EXPECT_EQ(m->rec.calls, (std::vector<std::string>{"riff p4 k0 1,1,1 15", "pad p4 3 1,1,1 21"}));

    // A peer naming our slot means our song's riffs.
    m->rec.calls.clear();
    Apply(0, 12, Jam_PackListEntry(2, 1));
    EXPECT_EQ(m->rec.calls, (std::vector<std::string>{"riff p0 k2 0,0,0 0", "riff p0 k2 1,1,1 15"}));
}

namespace {
// A loader that notes whether the mix lock was held when it was called: library parts are read
// from disk, which must not stall the mix.
class LockWatch : public Recorder
{
public:
    int held = 0, loads = 0;
    void Check()
    {
        ++loads;
        bool free = false;
        std::thread([&] {
            free = g_csMix.try_lock();
            if (free)
                g_csMix.unlock();
        }).join();
        held += !free;
    }
    void LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t key, int32_t player, uint32_t riff) override
    {
        Check();
        Recorder::LoadRiffKey(a, b, c, key, player, riff);
    }
    int32_t LoadPad(int32_t player, uint32_t k1, uint32_t k2, uint32_t k3, int32_t pad, uint32_t inst) override
    {
        Check();
        return Recorder::LoadPad(player, k1, k2, k3, pad, inst);
    }
    void LoadKeyboard(int32_t player, uint32_t k1, uint32_t k2, uint32_t k3, int32_t first, uint32_t inst) override
    {
        Check();
        Recorder::LoadKeyboard(player, k1, k2, k3, first, inst);
    }
};
} // namespace

TEST_F(JamPlay, PartsAreLoadedOutsideTheMixLock)
{
    LockWatch watch;
    m->net.pActions = &watch;
    Jam_AssignRiffFromLibrary(&m->node, 1, 2, 3, 0);
    Jam_AssignInstrumentFromLibrary(&m->node, 1, 2, 3, 0);
    Jam_AssignKeyboardFromLibrary(&m->node, 1, 2, 3, 0);
    g_bNetJamImmediate = 1;
    Apply(1, 11, Jam_PackLibraryKey(1, 2, 3));
    Apply(1, 2, Jam_PackLibraryKey(1, 2, 3));
    Apply(1, 29, Jam_PackLibraryKey(1, 2, 3));
    JAMPLAYER next = m->net.aPlayers[2];
    next.auRiffKey[0] = Jam_KeyWord(Jam_PackLibraryKey(4, 4, 4), 0);
    Jam_ApplyPlayerBlock(&m->node, 2, m->net.aPlayers[2], next);
    EXPECT_EQ(watch.loads, 7);
    EXPECT_EQ(watch.held, 0);
    m->net.pActions = &m->rec;
}

// ---- Controllers ----

TEST_F(JamPlay, ControllerValuesAndPositions)
{
    struct
    {
        int32_t controller, bend, position, value;
    } cases[] = {
        {1, 12, 128, 0},    {1, 12, 255, 3048}, {1, 12, 0, -3072}, {0, 12, 0, 0},    {0, 12, 255, 255},
        {2, 12, 128, 0},    {2, 12, 0, -128},   {3, 12, 0, 1},     {3, 12, 255, 72}, {1, 1, 128, 0},
    };
    for (const auto &c : cases) {
        Local().uBendRange = (uint32_t)c.bend;
        m->net.aDials[4].iPosition = c.position;
        Jam_SetPlayerController(&m->net, 4, c.controller);
        EXPECT_EQ(Jam_GetControllerValue(&m->net, 4), c.value) << c.controller << " " << c.position;
        // Back to the position it came from, give or take the rounding of a range wider than
        // the dial.
        Jam_SetControllerValue(&m->net, 4, c.value);
        EXPECT_NEAR(m->net.aDials[4].iPosition, c.position, c.controller == 1 || c.controller == 3 ? 3 : 0);
    }
    // Volume 0 and 255 store the levels themselves; pan 0 is the middle.
    Jam_SetPlayerController(&m->net, 4, 0);
    for (int32_t v : {0, 255}) {
        Jam_SetControllerValue(&m->net, 4, v);
        EXPECT_EQ(m->net.aDials[4].iPosition, v);
    }
    Jam_SetPlayerController(&m->net, 4, 2);
    Jam_SetControllerValue(&m->net, 4, 0);
    EXPECT_EQ(m->net.aDials[4].iPosition, 128);
    Jam_SetPlayerController(&m->net, 4, 2);
    EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Pan = 0");
}

TEST_F(JamPlay, TheDialMovesTheSelectedPartsAndSendsOnlyChanges)
{
    Jam_SetPlayerController(&m->net, 4, JAM_CONTROL_VOLUME);
    Jam_SelectKeyboard(&m->node, 1);
    g_bJamCtrlHeld = 1;
    Jam_SelectPad(&m->node, 0);
    g_bJamCtrlHeld = 0;
    EXPECT_EQ(Local().uPartMask, 0x8006);
    Sent(m->net).clear();

    Jam_UpdateDial(&m->node, 4, -500); // far past the top
    EXPECT_EQ(m->net.aDials[4].iPosition, 255);
    EXPECT_EQ(Local().auLevel[1], 255u);
    EXPECT_EQ(Local().auLevel[2], 255u);
    EXPECT_EQ(Local().auLevel[0], 128u);
    EXPECT_EQ(m->rec.calls, (std::vector<std::string>{"part p4 e1 c0 255 o5", "part p4 e2 c0 255 o0"}));
    EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Volume = 255");
    Jam_UpdateDial(&m->node, 4, -3); // still clamped: same position, nothing sent again
    EXPECT_EQ(Sent(m->net), (std::vector<JAMEVENT>{{0, 35, Jam_PackController(0x8006, 255)}}));

    // Pan with only riff keys selected: nothing changes, nothing is sent.
    Jam_SetPlayerController(&m->net, 4, JAM_CONTROL_PAN);
    Local().auRiffKey[0] = Jam_KeyWord(Jam_PackLibraryKey(1, 2, 3), 0);
    Jam_SelectRiffKey(&m->node, 0);
    Sent(m->net).clear();
    m->rec.calls.clear();
    const JAMPLAYER before = Local();
    Jam_UpdateDial(&m->node, 4, 40);
    EXPECT_TRUE(Local() == before);
    EXPECT_TRUE(m->rec.calls.empty());
    EXPECT_TRUE(Sent(m->net).empty());

    // Pitch on the riff key: the change since the last move reaches its row.
    Jam_SetPlayerController(&m->net, 4, JAM_CONTROL_PITCH);
    m->net.aDials[4].iPosition = 128;
    Jam_UpdateDial(&m->node, 4, -10);
    EXPECT_EQ(Local().aiRiffPitch[0], Jam_GetControllerValue(&m->net, 4));
    EXPECT_EQ(m->rec.calls.back(), "riffctl p4 k0 c1 " + std::to_string(Local().aiRiffPitch[0]) + " 0");
    EXPECT_EQ(Sent(m->net).back(), (JAMEVENT{0, 32, Jam_PackController(1, 138)}));
}

// Selecting a part shows its own setting on the dial: the pan dial reads the pan entry.
TEST_F(JamPlay, TheDialShowsTheSelectedPartsSetting)
{
    Local().auLevel[3] = 40;
    Local().auPan[3] = 128 + 100;
    Local().aiPitch[3] = -768;
    Local().uBendRange = 30;
    struct
    {
        int32_t controller, value;
    } cases[] = {{JAM_CONTROL_VOLUME, 40}, {JAM_CONTROL_PAN, 100}, {JAM_CONTROL_PITCH, -768}, {JAM_CONTROL_BEND, 30}};
    for (const auto &c : cases) {
        Jam_SetPlayerController(&m->net, 4, c.controller);
        Jam_SelectPad(&m->node, 1);
        ASSERT_EQ(Local().uPartMask, 1 << 3);
        EXPECT_NEAR(Jam_GetControllerValue(&m->net, 4), c.value, c.controller == JAM_CONTROL_PITCH ? 60 : 1) // the dial's 256 steps
            << c.controller;
    }
}

TEST_F(JamPlay, DraggingTheDialWithThePointerHeld)
{
    Jam_SetPlayerController(&m->net, 4, JAM_CONTROL_VOLUME);
    Jam_SelectPad(&m->node, 0);
    Sent(m->net).clear();
    Jam_StartDialDrag();
    EXPECT_EQ(g_bPointerFrozen, 1);
    const uint8_t buttons = g_ucMouseButtons;
    g_ucMouseButtons = MOUSE_LEFT_DOWN;
    for (int16_t dy : {-10, 0, 4}) {
        g_iMouseDeltaY = dy;
        Jam_DialDragFrame(&m->node);
    }
    EXPECT_EQ(m->net.aDials[4].iPosition, 128 + 10 - 4);
    EXPECT_EQ(Local().auLevel[2], 134u);
    EXPECT_EQ(Sent(m->net), (std::vector<JAMEVENT>{{0, 35, Jam_PackController(4, 138)},
                                                    {0, 35, Jam_PackController(4, 134)}}));
    g_ucMouseButtons = 0; // let go: the drag ends, the pointer moves again
    g_iMouseDeltaY = -50;
    Jam_DialDragFrame(&m->node);
    Jam_DialDragFrame(&m->node);
    EXPECT_EQ(g_bJamDialDrag, 0);
    EXPECT_EQ(g_bPointerFrozen, 0);
    EXPECT_EQ(m->net.aDials[4].iPosition, 134);
    g_iMouseDeltaY = 0;
    g_ucMouseButtons = buttons;
}

TEST_F(JamPlay, MidiControllerFillsTheDialWhateverTheRange)
{
    Jam_SetPlayerController(&m->net, 4, JAM_CONTROL_PITCH);
    Jam_SelectPad(&m->node, 3);
    struct
    {
        int32_t value, low, high, position;
    } cases[] = {{0, 0, 127, 0}, {64, 0, 127, 129}, {127, 0, 127, 255}, {-5, 0, 127, 0}, {200, 0, 127, 255}};
    for (const auto &c : cases) {
        Jam_SetDialFromRange(&m->node, 4, c.value, c.low, c.high);
        EXPECT_EQ(m->net.aDials[4].iPosition, c.position) << c.value;
        EXPECT_EQ(Local().aiPitch[5], Jam_GetControllerValue(&m->net, 4));
    }
    // What the others were told is what this program plays.
    EXPECT_EQ(Sent(m->net).back(), (JAMEVENT{0, 36, Jam_PackController(1u << 5, 255)}));
}

TEST_F(JamPlay, PadAndRiffKeySelectionWithCtrlAndShift)
{
    struct Click
    {
        int ctrl, shift, pad;
        uint16_t mask;
    };
    const Click clicks[] = {
        {0, 0, 2, 1 << 4},                                       // one pad
        {1, 0, 5, 0x8000 | 1 << 4 | 1 << 7},                     // Ctrl adds
        {1, 0, 2, 0x8000 | 1 << 7},                              // Ctrl again takes it away
        {0, 1, 0, 0x8000 | 1 << 7 | 1 << 4 | 1 << 3 | 1 << 2}, // Shift: pads 0 up to 2
        {0, 0, 8, 1 << 10},                                      // plain click starts afresh
    };
    for (const Click &c : clicks) {
        g_bJamCtrlHeld = c.ctrl;
        g_bJamShiftHeld = c.shift;
        Jam_SelectPad(&m->node, c.pad);
        EXPECT_EQ(Local().uPartMask, c.mask) << c.pad;
        EXPECT_EQ(Sent(m->net).back(), (JAMEVENT{0, 50, c.mask}));
    }
    g_bJamCtrlHeld = g_bJamShiftHeld = 0;
    Jam_SelectRiffKey(&m->node, 11);
    EXPECT_EQ(Local().uRiffMask, 1 << 11);
    EXPECT_EQ(Local().uPartMask, 0);
    EXPECT_EQ(Sent(m->net).back(), (JAMEVENT{0, 51, 1 << 11}));

    // Only the local player's own panel selects.
    g_iJamSelectedPlayer = 2;
    Jam_SelectRiffKey(&m->node, 1);
    EXPECT_EQ(Local().uRiffMask, 1 << 11);
}

// ---- Plug-in slots ----

TEST_F(JamPlay, PluginSlotsKeepTheirOwnRouting)
{
    EXPECT_EQ(Jam_LoadPlayerPlugin(&m->node, 4, 1, 3), 0);
    Local().uPartMask = 0x0004;
    Local().uRiffMask = 0x0001;
    Jam_RoutePlayerPlugin(&m->node, 4);
    EXPECT_EQ(Jam_LoadPlayerPlugin(&m->node, 4, 0, 7), 0);
    EXPECT_EQ(Local().uPartMask, 0); // slot 7 routes nothing yet
    Local().uPartMask = 0x0003;
    Jam_RoutePlayerPlugin(&m->node, 4);
    for (int round = 0; round < 2; ++round) {
        Jam_SelectPlayerPlugin(&m->node, 4, 3);
        EXPECT_EQ(Local().uPartMask, 0x0004);
        EXPECT_EQ(Local().uRiffMask, 0x0001);
        Jam_SelectPlayerPlugin(&m->node, 4, 7);
        EXPECT_EQ(Local().uPartMask, 0x0003);
        EXPECT_EQ(Local().uRiffMask, 0);
    }
    EXPECT_EQ(Local().auPluginRouting[3], 0x00040001u);

    // A second load into slot 3 closes the first instance before opening.
    m->rec.calls.clear();
    Sent(m->net).clear();
    EXPECT_EQ(Jam_LoadPlayerPlugin(&m->node, 4, 0, 3), 0);
    EXPECT_EQ(m->rec.calls, (std::vector<std::string>{"plugin p4 s3 -1", "plugin p4 s3 0", "select p4 s3"}));
    EXPECT_EQ(Sent(m->net), (std::vector<JAMEVENT>{{0, 44, 0x300}, {0, 42, 3}}));

    // The panel: the position inside it goes to the instance and to the others.
    Sent(m->net).clear();
    m->rec.calls.clear();
    Jam_PluginPanelMouse(&m->node, 228 + 10, 138 + 20, 0x01);
    Jam_PluginPanelMouse(&m->node, 228 + 11, 138 + 21, 0x08);
    Jam_PluginPanelMouse(&m->node, 228 + 12, 138 + 22, 0x00);
    EXPECT_EQ(Sent(m->net), (std::vector<JAMEVENT>{{0, 46, Jam_PackXY(10, 20)}, {0, 47, Jam_PackXY(11, 21)}}));
    EXPECT_EQ(m->rec.calls[1], "input p4 s3 10,20");

    // Out of range: nothing happens.
    m->rec.calls.clear();
    EXPECT_EQ(Jam_LoadPlayerPlugin(&m->node, 4, 2, 0), -1); // only 2 libraries listed
    EXPECT_EQ(Jam_LoadPlayerPlugin(&m->node, 4, 0, 16), -1);
    EXPECT_EQ(Jam_SelectPlayerPlugin(&m->node, 4, -1), -1);
    EXPECT_TRUE(m->rec.calls.empty());
}

// ---- Commands ----

TEST_F(JamPlay, LiveCommandsOnKeysPadsAndKeyboards)
{
    JAMPLAYER &p = m->net.aPlayers[1];
    // A latched key sounds while up and falls silent while held.
    Live(1, 23, 1 << 3);
    EXPECT_EQ(p.auRiffLatch[3] & 1, 1u);
    EXPECT_EQ(p.auRiffKey[3] & 1, 1u);
    Live(1, 22, 1 << 3 | 1 << 4);
    EXPECT_EQ(p.auRiffKey[3] & 1, 0u);
    EXPECT_EQ(p.auRiffKey[4] & 1, 1u);
    Live(1, 22, 0);
    EXPECT_EQ(p.auRiffKey[3] & 1, 1u);
    EXPECT_EQ(p.auRiffKey[4] & 1, 0u);
    Live(1, 23, 1 << 3); // a second toggle silences it
    EXPECT_EQ(p.auRiffLatch[3] & 1, 0u);
    EXPECT_EQ(p.auRiffKey[3] & 1, 0u);

    Live(1, 25, 1 << 8);
    Live(1, 24, 1 << 8);
    EXPECT_EQ(p.auPad[8] & 1, 0u);

    // A release is reported once.
    Live(1, 27, Jam_PackKeyboardData(0b111, 2));
    Live(1, 27, Jam_PackKeyboardData(0b100, 2));
    EXPECT_EQ(p.aKeyboard[1].uReleased, 0b011u);
    EXPECT_EQ(p.aKeyboard[1].uOctave, 2u);
    Jam_ClearRemoteReleases(&m->net);
    Live(1, 27, Jam_PackKeyboardData(0b100, 2));
    EXPECT_EQ(p.aKeyboard[1].uReleased, 0u);

    // Commands that change nothing, and the ones that are not commands at all.
    const JAMPLAYER before = p;
    for (int32_t code : {33, 39, 0, 30, 40, 41, 53, 200, -1})
        Apply(1, code, 0x123);
    for (int32_t code : {33, 39})
        Live(1, code, 0x123);
    EXPECT_TRUE(p == before);
    EXPECT_TRUE(m->rec.calls.empty());
}

TEST_F(JamPlay, ScheduledLiveCommandsWaitForTheirFrame)
{
    g_bNetJamImmediate = 0;
    m->net.iNetMySlot = 0;
    JAMEVENTLIST &now = m->net.aEventLists[m->net.iEventSetNow & 1][2];
    now.Events = {{5, 24, 1}, {5, 50, 1 << 4}, {9, 24, 0}};
    for (uint32_t frame = 0; frame < 12; ++frame) {
        Net_ApplyRemoteEvents(&m->node, frame);
        Net_ApplyForwardedEvents(&m->node, frame);
        const bool held = frame >= 5 && frame < 9;
        EXPECT_EQ(m->net.aPlayers[2].auPad[0] & 1, held ? 1u : 0u) << frame;
        EXPECT_EQ(m->net.aPlayers[2].uPartMask, frame >= 5 ? 1 << 4 : 0) << frame;
    }
    EXPECT_TRUE(m->net.aTrackEvents[2][0].Events.empty());
}

TEST_F(JamPlay, CommandsOutOfRangeAreDropped)
{
    ASSERT_EQ(Jam_AppendRiffId(2, 11), 0);
    ASSERT_EQ(Jam_AppendInstrumentId(2, 40), 0);
    g_bNetJamImmediate = 1;
    struct
    {
        int32_t player, code;
        uint32_t data;
    } cases[] = {
        {2, 10, Jam_PackListEntry(2, 2)},   // riff entry past the list
        {2, 1, Jam_PackListEntry(2, 0)},    // entry 0
        {2, 28, Jam_PackListEntry(3, 1)},   // empty list
        {2, 29, 0x1000000},                 // more than a slot word
        {2, 26, Jam_PackKeyboardData(1, 6)}, // octave 6
        {2, 27, 127u << 17},
        {2, 42, 16},
        {2, 43, 0xFFFFFFFF},
        {2, 45, 99},
        {2, 44, 0x0F02},                    // plug-in 2 of 2
        {2, 44, 0x1000},                    // slot 16
        {2, 52, 0},                         // tempo 0 would divide by zero
        {2, 52, 241},
        {4, 22, 1},                         // not a network slot
        {5, 22, 1},
        {-1, 22, 1},
    };
    std::vector<JAMPLAYER> blocks(std::begin(m->net.aPlayers), std::end(m->net.aPlayers));
    const int32_t tempo = g_iJamTempo;
    for (const auto &c : cases)
        Apply(c.player, c.code, c.data);
    for (int i = 0; i < JAM_PLAYER_BLOCKS; ++i)
        EXPECT_TRUE(m->net.aPlayers[i] == blocks[i]) << i;
    EXPECT_TRUE(m->rec.calls.empty());
    EXPECT_EQ(g_iJamTempo, tempo);
    EXPECT_EQ(m->net.uRefusedEvents, 13u);

    // The valid neighbours go through.
    Apply(2, 10, Jam_PackListEntry(2, 1));
    Apply(2, 26, Jam_PackKeyboardData(1, 5));
    Apply(2, 52, 240);
    EXPECT_EQ(m->net.aPlayers[2].aKeyboard[0].uOctave, 5u);
    EXPECT_EQ(g_iJamTempo, 240);
    EXPECT_EQ(m->rec.calls.back(), "tempo 240");
    g_iJamTempo = tempo;
}

TEST_F(JamPlay, BlocksBringAPlayerToItsNewParts)
{
    JAMPLAYER next = m->net.aPlayers[3];
    Jam_ApplyPlayerBlock(&m->node, 3, m->net.aPlayers[3], next);
    EXPECT_TRUE(m->rec.calls.empty());

    next.auPad[6] = Jam_KeyWord(Jam_PackLibraryKey(4, 5, 6), 1);
    next.auPadLatch[6] = 1;
    next.auRiffKey[2] = 1; // on, same (empty) riff: no load
    Jam_ApplyPlayerBlock(&m->node, 3, m->net.aPlayers[3], next);
    EXPECT_EQ(m->rec.calls, (std::vector<std::string>{"pad p3 6 4,5,6 ff7fffff"}));
    EXPECT_EQ(m->net.aPlayers[3].auPad[6], next.auPad[6]);
    EXPECT_EQ(m->net.aPlayers[3].auRiffKey[2], 1u);

    // A list entry that does not exist here loads nothing and is not taken.
    m->rec.calls.clear();
    JAMPLAYER bad = next;
    bad.auRiffKey[0] = Jam_KeyWord(Jam_PackListEntry(1, 9), 0);
    Jam_ApplyPlayerBlock(&m->node, 3, m->net.aPlayers[3], bad);
    EXPECT_TRUE(m->rec.calls.empty());
    EXPECT_EQ(m->net.aPlayers[3].auRiffKey[0], 0u);
}

TEST_F(JamPlay, ReplayingAPhraseGivesTheSameBlocks)
{
    g_bNetJamImmediate = 0;
    m->net.iNetMySlot = 0;
    m->net.aPlayers[6 + 1] = m->net.aPlayers[1]; // the copy at the phrase start
    m->net.aEventLists[m->net.iEventSetNow & 1][1].Events = {
        {1, 14, Jam_PackLibraryKey(1, 2, 3)}, {2, 22, 1 << 4}, {3, 23, 1 << 4}, {4, 50, 0x8004},
        {6, 35, Jam_PackController(0x8004, 200)}, {7, 44, 0x0101}, {8, 42, 1}};
    auto play = [&](uint32_t to) {
        for (uint32_t frame = 0; frame < to; ++frame) {
            Net_ApplyRemoteEvents(&m->node, frame);
            Net_ApplyForwardedEvents(&m->node, frame);
        }
    };
    play(10);
    const JAMPLAYER once = m->net.aPlayers[1];
    const std::vector<std::string> trace = m->rec.calls;
    EXPECT_EQ(once.auRiffLatch[4] & 1, 1u);
    EXPECT_EQ(once.auLevel[2], 200u);

    m->net.uJamHeartbeat = 10;
    m->rec.calls.clear();
    Jam_ReplayPhrase(&m->node);
    EXPECT_TRUE(m->net.aPlayers[1] == once);
}

// ---- Two programs hear the same jam ----

namespace {

std::vector<std::vector<uint8_t>> g_relayed;

// The server's relay of 306 and 310 (its message handling is not this module's).
void Relay(NETNODE *node, const uint8_t *data, size_t size, uint32_t sender)
{
    uint32_t slot = 0;
    for (uint32_t s = 0; s < 4; ++s)
        if (node->pJam->aServerSlots[s].uPlayerId == sender)
            slot = s;
    static NETMSG msg;
    if (Net_ParseClientMessage(data, size, NET_MAX_TEMPLATE_LIMIT, &msg) != NET_PARSE_OK)
        return;
    if (msg.uId == NET_MSG_COMMAND)
        Net_SendFromServer(node, 0, Net_BuildCommandRelay(msg.auWord[1], slot, msg.auWord[2]));
    else if (msg.uId == NET_MSG_COMMAND_BATCH)
        Net_SendFromServer(node, 0,
                           Net_BuildEventBatch(NET_MSG_BATCH_RELAY, slot, (int32_t)msg.auWord[3], (int32_t)msg.auWord[4],
                                               msg.aEvents, msg.uEventCount));
}

struct Program : Model
{
    explicit Program(PlatNetHub *hub)
    {
        node.pHub = hub;
        node.pfnDispatchB = Relay;
    }
    ~Program()
    {
        Net_StopSessionA(&node);
        Net_StopSessionB(&node);
    }
    // The client's side of 405 and 409, as the jam step drains it.
    void Drain()
    {
        std::vector<NETINBOXENTRY> in;
        Net_TakeInbox(&node, &in);
        static NETMSG msg;
        for (const NETINBOXENTRY &e : in) {
            if (e.uKind != NET_INBOX_MESSAGE ||
                Net_ParseServerMessage(e.Bytes.data(), e.Bytes.size(), NET_MAX_TEMPLATE_LIMIT, &msg) != NET_PARSE_OK)
                continue;
            if (msg.uId == NET_MSG_COMMAND_RELAY)
                Net_QueueRelayedCommand(&net, msg.auWord[1], msg.auWord[2], msg.auWord[3]);
            if (msg.uId == NET_MSG_BATCH_RELAY)
                Net_QueueRelayedBatch(&net, msg.auWord[1], (int32_t)msg.auWord[3], (int32_t)msg.auWord[4], msg.aEvents,
                                      msg.uEventCount);
        }
    }
};

class JamPlayNet : public JamPlay, public ::testing::WithParamInterface<int>
{
protected:
    void SetUp() override
    {
        JamPlay::SetUp();
        g_bNetJamImmediate = GetParam();
        g_iJamBar = 0;
        g_iJamStep = 0;
        g_iJamPhraseBar = 0;
        host = std::make_unique<Program>(&hub);
        a = std::make_unique<Program>(&hub);
        b = std::make_unique<Program>(&hub);
        ASSERT_EQ(Net_StartSessionB(&host->node, NET_MODE_LAN), 0);
        ASSERT_EQ(Net_StartSessionA(&host->node, NET_MODE_LAN), 0);
        ASSERT_EQ(Net_CreatePlayer(&host->node, -1, "Host"), 0);
        for (Program *p : {a.get(), b.get()}) {
            hub.Pump();
            ASSERT_EQ(Net_StartSessionA(&p->node, NET_MODE_LAN), 0);
            ASSERT_EQ(Net_EnumSessions(&p->node), 1);
            ASSERT_EQ(Net_CreatePlayer(&p->node, 1, "Guest"), 0);
        }
        hub.Pump();
        host->net.iNetMySlot = 0;
        a->net.iNetMySlot = 1;
        b->net.iNetMySlot = 2;
        a->rec.iLocalAs = 1;
        for (Program *p : {host.get(), a.get(), b.get()})
            p->Drain();
    }
    void TearDown() override
    {
        b.reset();
        a.reset();
        host.reset();
        JamPlay::TearDown();
    }
    // One jam frame of the listeners: what arrived is applied.
    void Frame(uint32_t frame)
    {
        hub.Pump();
        for (Program *p : {host.get(), b.get()}) {
            p->Drain();
            if (g_bNetJamImmediate) {
                Jam_ClearRemoteReleases(&p->net);
                Net_ApplyAllQueuedEvents(&p->node);
            } else {
                Net_ApplyRemoteEvents(&p->node, frame);
                Net_ApplyForwardedEvents(&p->node, frame);
            }
        }
    }
    // The player's own key input: applied here at once and sent (the jam step's part).
    void Keys(int32_t command, uint32_t data)
    {
        const JAMEVENT e{a->net.uJamHeartbeat, command, data};
        Jam_ApplyLocalEvent(&a->node, e);
        Net_SendJamCommand(&a->node, e.uHeartbeat, command, data);
    }

    PlatNetHub hub;
    std::unique_ptr<Program> host, a, b;
};

} // namespace

TEST_P(JamPlayNet, EveryMachinePlaysTheSamePlayer)
{
    Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, 61); // A's own list: everyone else knows it as slot 1's
    Jam_AppendInstrumentId(1, 61);
    // The script of player A, one action a jam frame.
    std::vector<std::function<void()>> script = {
        [&] { Jam_AssignRiffFromLibrary(&a->node, 1, 2, 3, 0); },
        [&] { Jam_AssignInstrumentFromList(&a->node, 4, 1, 2, 0); },
        [&] { Jam_AssignKeyboardFromLibrary(&a->node, 3, 1, 7, 0); },
        [&] { Keys(24, 1 << 2); },
        [&] { Keys(25, 1 << 2); },
        [&] { Keys(22, 1); },
        [&] { Keys(26, Jam_PackKeyboardData(0b1011, 3)); },
        [&] { Keys(26, Jam_PackKeyboardData(0b0001, 3)); },
        [&] { Jam_SetPlayerController(&a->net, 4, JAM_CONTROL_PAN); },
        [&] { Jam_SelectKeyboard(&a->node, 0); },
        [&] {
            g_bJamCtrlHeld = 1;
            Jam_SelectPad(&a->node, 2);
            g_bJamCtrlHeld = 0;
        },
        [&] { Jam_UpdateDial(&a->node, 4, 30); },
        [&] { Jam_SetPlayerController(&a->net, 4, JAM_CONTROL_VOLUME); },
        [&] { Jam_UpdateDial(&a->node, 4, -60); },
        [&] { Jam_SelectRiffKey(&a->node, 0); },
        [&] { Jam_SetPlayerController(&a->net, 4, JAM_CONTROL_PITCH); },
        [&] { Jam_UpdateDial(&a->node, 4, -7); },
        [&] { Jam_LoadPlayerPlugin(&a->node, 4, 1, 5); },
        [&] { Jam_SelectPad(&a->node, 2); },
        [&] { Jam_PluginPanelMouse(&a->node, 228 + 40, 138 + 9, 0x01); },
        [&] { Jam_PluginPanelMouse(&a->node, 228 + 41, 138 + 12, 0x08); },
        [&] { Jam_LoadPlayerPlugin(&a->node, 4, 0, 6); },
        [&] { Jam_SelectPlayerPlugin(&a->node, 4, 5); },
        [&] { Keys(23, 1 | 1 << 6); },
        [&] {
            // Two commands in one frame: played in the order given, here and everywhere.
            Keys(22, 1 << 7);
            Keys(23, 1 << 7);
        },
        [&] { Keys(27, Jam_PackKeyboardData(1 << 16, 0)); },
    };
    uint32_t frame = 0;
    for (auto &step : script) {
        a->net.uJamHeartbeat = frame;
        Jam_ClearLocalReleases(&a->net); // the input poll's
        step();
        if (g_bNetJamImmediate)
            Frame(frame);
        ++frame;
    }
    if (!g_bNetJamImmediate) {
        // The batch goes out at the bar; the listeners play it in the next phrase.
        ASSERT_GT(Net_SendEventBatch(&a->node), 0);
        hub.Pump();
        for (Program *p : {host.get(), b.get()}) {
            p->Drain();
            ASSERT_EQ(p->net.aEventLists[p->net.iEventSetNext & 1][1].Events.size(), Sent(a->net).size());
            std::swap(p->net.iEventSetNow, p->net.iEventSetNext);
        }
        for (uint32_t f = 0; f <= frame; ++f)
            Frame(f);
    }

    // Everyone holds A's block as A holds it, and made the same calls for it.
    const JAMPLAYER &own = a->net.aPlayers[JAM_LOCAL_PLAYER];
    EXPECT_EQ(own.uPartMask, 1 << 4); // pad 2, routed through slot 5
    EXPECT_EQ(own.auPluginRouting[5], 0x00100000u);
    EXPECT_EQ(own.auPan[0], own.auPan[4]);
    EXPECT_EQ(own.auRiffKey[7] & 1, 1u);
    EXPECT_EQ(own.auRiffLatch[7] & 1, 1u);
    EXPECT_NE(own.auPan[0], 128u);
    for (Program *p : {host.get(), b.get()}) {
        const JAMPLAYER &heard = p->net.aPlayers[1];
        for (int i = 0; i < JAM_RIFF_KEYS; ++i) {
            EXPECT_EQ(heard.auRiffKey[i], own.auRiffKey[i]) << i;
            EXPECT_EQ(heard.aiRiffPitch[i], own.aiRiffPitch[i]) << i;
        }
        EXPECT_TRUE(heard == own);
        EXPECT_EQ(p->rec.calls, a->rec.calls);
    }
    EXPECT_EQ(a->rec.calls.size(), 19u) << ::testing::PrintToString(a->rec.calls);
}

INSTANTIATE_TEST_SUITE_P(Modes, JamPlayNet, ::testing::Values(1, 0),
                         [](const ::testing::TestParamInfo<int> &i) { return i.param ? "Immediate" : "Scheduled"; });

// ---- A player's parts through a real plug-in ----

namespace {

constexpr int kFrames = 72;
SAMPLESLOT *g_pSample = nullptr;
std::vector<std::pair<int32_t, int32_t>> g_voiceCalls; // channel, plug-in instance

// The sequencer's note start, as far as the mixer goes: the channel's voice plays the test sample
// into the instance it is routed to.
void VoiceTrigger(const RIFFENTRY *, const JAMNOTE *, int32_t c, int32_t mode, int32_t, int32_t, int32_t plugin)
{
    g_voiceCalls.push_back({c, plugin});
    g_aSeqChannels[c].ucOwner = (uint8_t)mode;
    g_aSeqChannels[c].ucLengthLeft = 200;
    VOICE *v = &g_astVoices[c];
    Snd_StartVoice(v, g_pSample, VOICE_PREPARED);
    Snd_SetVoicePitch(v, 44100);
    Snd_SetVoiceVolume(v, 16384, 16384);
    Snd_StartVoice(v, g_pSample, VOICE_ACTIVE);
    Snd_SetVoicePlugin(c, plugin);
}
int32_t NoReverb(int32_t, int32_t) { return 0; }
void NoClock() {}
void NoTempo(int32_t) {}

class JamPlayPlugin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestLayer_SetUp(PIXELFORMAT_565);
        setenv("TNV_PLUGIN_DIR", TestPluginFolder("good").c_str(), 1);
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        float rate = 44100.0f, seconds = 0.0016666667f;
        ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
        ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
        ASSERT_EQ(g_iMixFrames, kFrames);
        Snd_SetMixParam(16, out);
        g_bReverbOn = 0;
        Snd_SetMasterVolume(0x4000, 0x4000);
        ASSERT_GT(Snd_AllocSampleSlot(&g_pSample), 0);
        ASSERT_EQ(Snd_AllocSampleData(g_pSample, 40000, true), 0);
        for (uint32_t i = 0; i < 2 * 40000; i++)
            ((int16_t *)g_pSample->pData)[i] = 1000;
        g_pSample->uRate = 44100;
        g_bJamSessionOn = 1;
        Snd_ScanPlugins();
        ASSERT_EQ(g_iPluginCount, 2);

        std::memset(g_aSeqChannels, 0, sizeof g_aSeqChannels);
        g_JamSeqCalls = g_JamSeqDefaultCalls;
        g_JamSeqCalls.TriggerNote = VoiceTrigger;
        g_JamSeqCalls.SetVoiceReverb = NoReverb;
        g_JamSeqCalls.StartClock = NoClock;
        g_JamSeqCalls.FreeUndoLog = NoClock;
        g_JamSeqCalls.SetTempo = NoTempo;
        g_voiceCalls.clear();
        g_bNetJamImmediate = 1;
        g_iJamSelectedPlayer = 4;
        ASSERT_EQ(Jam_AllocPlayerLists(), 0);
        ASSERT_EQ(Jam_AllocState(), 0);
        Net_InitJamNet(&net, &actions);
        node.pJam = &net;
        for (JAMPLAYER &p : net.aPlayers)
            ResetBlock(&p);

        // Player 1's pads 0 and 1, and player 2's pad 0, on event slots of one instrument.
        const int32_t pads[][3] = {{1, 0, 10}, {1, 1, 11}, {2, 0, 12}};
        for (const auto &p : pads) {
            g_aJamPlayerRows[p[0]].aiPadSlot[p[1]] = p[2];
            JAMSTATE &s = *g_pJamState;
            s.aucSlotAssigned[p[2]] = 1;
            s.aucSlotInstrument[p[2]] = 5;
            s.aucSlotTrigger[p[2]] = JAM_TRIGGER_IDLE;
            s.aucSlotLevel[p[2]] = 255;
        }
    }
    void TearDown() override
    {
        Jam_ReleaseAllPlayerPlugins();
        Jam_FreeState();
        g_JamSeqCalls = g_JamSeqDefaultCalls;
        Snd_ShutdownPlugins();
        Snd_ShutdownSampleEngine();
        g_pMixOut = g_pMixSend = nullptr;
        g_pSample = nullptr;
        g_bJamSessionOn = 0;
        unsetenv("TNV_PLUGIN_DIR");
        std::memset(g_aSeqChannels, 0, sizeof g_aSeqChannels);
    }
    void Command(int32_t player, int32_t code, uint32_t data)
    {
        Jam_ApplyPlayerEvent(&node, JAMEVENT{0, code, data}, player);
    }
    void Tick()
    {
        std::lock_guard<std::recursive_mutex> hold(g_csMix);
        g_iSubStep = 1;
        Jam_Tick();
    }
    int16_t Mix()
    {
        std::memset(out, 0, sizeof out);
        EXPECT_EQ(Snd_MixBlock(), 0);
        for (int i = 1; i < kFrames * 2; ++i)
            EXPECT_EQ(out[i], out[0]) << i;
        return out[0];
    }
    PLUGININSTANCE *Instance(int32_t player, int32_t slot)
    {
        PLUGININSTANCE *p = nullptr;
        Snd_GetPlugin(Jam_PlayerPluginInstance(player, slot), &p);
        return p;
    }

    int16_t out[kFrames * 2];
    JAMNET net;
    JamSoundActions actions{&net};
    NETNODE node;
};

TESTPLUGINSTATE *FilterState()
{
    static PLATDYNLIB *lib = Plat_DynLibOpen(TestPluginPath("good", "filter").c_str());
    auto fn = lib ? reinterpret_cast<TESTPLUGINSTATE *(*)()>(Plat_DynLibSymbol(lib, "TestPlugin_State")) : nullptr;
    return fn ? fn() : nullptr;
}

} // namespace

TEST_F(JamPlayPlugin, APlayersPartsGoThroughItsPluginIntoTheMix)
{
    TESTPLUGINSTATE *state = FilterState();
    ASSERT_NE(state, nullptr);
    const TESTPLUGINSTATE fresh = *state;

    // Player 1 opens the filter in slot 2, selects it, picks pad 0 and clicks the panel.
    Command(1, 44, Jam_PackPluginLoad(0, 2));
    Command(1, 42, 2);
    Command(1, 50, 1 << 2);
    Command(1, 46, Jam_PackXY(5, 6));
    const int32_t instance = Jam_PlayerPluginInstance(1, 2);
    ASSERT_GE(instance, 0);
    PLUGININSTANCE *filter = Instance(1, 2);
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(state->calls[TP_OPEN], fresh.calls[TP_OPEN] + 1);
    ASSERT_EQ(state->calls[TP_INPUT], fresh.calls[TP_INPUT] + 1);
    const TESTPLUGINCALL &input = state->log[state->logged - 1];
    EXPECT_EQ(input.event[2], 5);
    EXPECT_EQ(input.event[3], 6);
    EXPECT_EQ(net.aPlayers[1].auPluginRouting[2], (1u << 2) << 16);

    // The three pads sound: only player 1's pad 0 starts on the instance.
    for (int32_t slot : {10, 11, 12})
        Jam_StartPart(1, slot);
    Tick();
    ASSERT_EQ(g_voiceCalls.size(), 3u);
    int32_t routed = -1;
    for (const auto &[channel, plugin] : g_voiceCalls) {
        const bool pad0 = g_pJamState->aucSlotChannel[10] == channel;
        EXPECT_EQ(plugin, pad0 ? instance : -1) << channel;
        EXPECT_EQ(g_astVoices[channel].iPluginSlot, pad0 ? instance : -1) << channel;
        if (pad0)
            routed = channel;
    }
    ASSERT_GE(routed, 0);

    // The panel click set the filter's gain to its x (5 of 256): the two other voices come
    // straight through and the routed one comes out of the instance, scaled. At gain 0 only the
    // other two are heard, so the instance held exactly that one voice.
    EXPECT_EQ(Mix(), 2000 + 1000 * 5 / 256);
    {
        std::lock_guard<std::recursive_mutex> lock(g_csPlugins);
        filter->pfnSet(filter->uHandle, 0, 0);
    }
    EXPECT_EQ(Mix(), 2000);
    EXPECT_GT(state->calls[TP_APPLY], fresh.calls[TP_APPLY]);

    // Its panel picture, for the player shown.
    g_iJamSelectedPlayer = 1;
    TestLayer_Fill(0x1234);
    ASSERT_TRUE(Jam_DrawPluginPanel(&net, 1));
    const uint32_t rgb = TestPlugin_Colour(0, TestPlugin_Index(39, 29, 1));
    const uint16_t pixel = (uint16_t)(((rgb >> 19) & 31) << 11 | ((rgb >> 10) & 63) << 5 | ((rgb >> 3) & 31));
    EXPECT_EQ(TestLayer_Pixel(228 + 39, 138 + 29), pixel);
    EXPECT_EQ(TestLayer_Pixel(227, 138), 0x1234);
    EXPECT_TRUE(TestLayer_GuardsIntact());
    char name[32];
    Jam_PluginSlotRowText(1, 3, name, sizeof name);
    EXPECT_STREQ(name, "filter.dll");
    Jam_PluginSlotRowText(1, 2, name, sizeof name);
    EXPECT_STREQ(name, "");

    // A reset reaches the instance (gain back to unity).
    Command(1, 43, 2);
    EXPECT_EQ(state->calls[TP_RESET], fresh.calls[TP_RESET] + 1);
    EXPECT_EQ(Mix(), 3000);

    // Closed mid-jam, with its voice still sounding: everything plays into the mix as before.
    {
        std::lock_guard<std::recursive_mutex> lock(g_csPlugins);
        filter->pfnSet(filter->uHandle, 0, 0);
    }
    Command(1, 45, 2);
    EXPECT_EQ(Jam_PlayerPluginInstance(1, 2), -1);
    EXPECT_EQ(state->calls[TP_CLOSE], fresh.calls[TP_CLOSE] + 1);
    EXPECT_EQ(g_astVoices[routed].iPluginSlot, -1);
    EXPECT_EQ(g_pJamState->aiSlotPlugin[10].load(), -1);
    EXPECT_EQ(Mix(), 3000);
    EXPECT_FALSE(Jam_DrawPluginPanel(&net, 1));
    EXPECT_EQ(state->badHandles, fresh.badHandles);
}

// Loading into an occupied slot closes the old instance, and what was routed to it loses that.
TEST_F(JamPlayPlugin, ALoadIntoAnOccupiedSlotClosesTheOldInstance)
{
    Command(1, 44, Jam_PackPluginLoad(1, 0));
    Command(1, 42, 0);
    Command(1, 50, 1 << 2 | 1 << 3);
    Command(1, 46, 0);
    const int32_t first = Jam_PlayerPluginInstance(1, 0);
    ASSERT_GE(first, 0);
    EXPECT_EQ(g_pJamState->aiSlotPlugin[10].load(), first);
    EXPECT_EQ(g_pJamState->aiSlotPlugin[11].load(), first);

    Command(1, 44, Jam_PackPluginLoad(0, 0));
    EXPECT_EQ(g_pJamState->aiSlotPlugin[10].load(), -1);
    EXPECT_EQ(g_pJamState->aiSlotPlugin[11].load(), -1);
    int open = 0;
    for (PLUGININSTANCE *p : g_apPlugins)
        open += p != nullptr;
    EXPECT_EQ(open, 1);
    EXPECT_STREQ(Instance(1, 0)->szName, "filter.dll");
}

// ---- Rows of the riff keys ----

namespace {

struct RowFake
{
    std::vector<JAMNOTE> notes;
    uint8_t uses[201]{};
    std::vector<int32_t> released, stopped;
} *g_rows;

const JAMNOTE *RowNote(int32_t id)
{
    return id >= 1 && id < (int32_t)g_rows->notes.size() ? &g_rows->notes[id] : nullptr;
}
uint8_t RowUses(int32_t slot) { return g_rows->uses[slot]; }
void RowSetUses(int32_t slot, uint8_t n) { g_rows->uses[slot] = n; }
void RowRelease(int32_t slot) { g_rows->released.push_back(slot); }
int RowStop(int32_t v)
{
    g_rows->stopped.push_back(v);
    return 0;
}
int32_t RowReleaseNote(int32_t, int32_t, int32_t) { return 0; }

class JamPlayRows : public JamPlay
{
protected:
    RowFake fake;
    void SetUp() override
    {
        JamPlay::SetUp();
        g_rows = &fake;
        fake.notes.resize(5);
        fake.notes[1].uInstrument = 9;
        fake.notes[2].uInstrument = 4;
        fake.notes[3].uInstrument = 9;
        fake.notes[4].uInstrument = 6; // the song's own: counts no uses
        g_JamSeqCalls.SetVoiceReverb = NoReverb;
        g_JamSeqCalls.StartClock = NoClock;
        g_JamSeqCalls.FreeUndoLog = NoClock;
        g_JamSeqCalls.SetTempo = NoTempo;
        g_JamSeqCalls.GetNote = RowNote;
        g_JamSeqCalls.InstrumentUses = RowUses;
        g_JamSeqCalls.SetInstrumentUses = RowSetUses;
        g_JamSeqCalls.ReleaseInstrument = RowRelease;
        g_JamSeqCalls.StopVoice = RowStop;
        g_JamSeqCalls.ReleaseNote = RowReleaseNote;
        ASSERT_EQ(Jam_AllocState(), 0);
    }
    void TearDown() override
    {
        Jam_FreeState();
        JamPlay::TearDown();
        g_rows = nullptr;
    }
    // Row `row` in use with a riff of `bars` bars, played by riff key `key` of player 1.
    void UseRow(int32_t key, int32_t row, int32_t bars, int32_t step)
    {
        g_aJamPlayerRows[1].aiRiffRow[key] = row;
        g_pJamState->aRows[row].Riff.ucBars = (uint8_t)bars;
        g_pJamState->aiRowStep[row] = step;
        g_pJamState->aucRowState[row] = 1;
    }
};

} // namespace

TEST_F(JamPlayRows, RiffMetersFollowEachRowsPlace)
{
    JAMPLAYERROW &rows = g_aJamPlayerRows[1];
    UseRow(1, 5, 2, 0);
    UseRow(2, 6, 2, 17);
    UseRow(3, 7, 2, 40);
    UseRow(4, 8, 3, -1); // a row whose counter starts a phrase ahead
    rows.aiRiffRow[5] = 9; // a row not in use keeps what it showed
    std::memset(rows.aucBarTarget[5], 77, 8);
    Jam_UpdateRiffMeters(1);
    EXPECT_EQ(rows.aucBarLevel[1][0], 8);
    for (int i = 0; i < 40; ++i)
        Jam_UpdateRiffMeters(1);
    auto levels = [&](int key) { return std::vector<int>(rows.aucBarLevel[key], rows.aucBarLevel[key] + 8); };
    EXPECT_EQ(levels(0), std::vector<int>(8, 48)); // no row
    EXPECT_EQ(levels(1), (std::vector<int>{248, 128, 48, 48, 48, 48, 48, 48}));
    EXPECT_EQ(levels(2), (std::vector<int>{248, 248, 48, 48, 48, 48, 48, 48}));
    EXPECT_EQ(levels(3), (std::vector<int>{248, 128, 48, 48, 48, 48, 48, 48}));
    EXPECT_EQ(levels(4), (std::vector<int>{248, 248, 248, 48, 48, 48, 48, 48}));
    EXPECT_EQ(levels(5), std::vector<int>(8, 77));
}

TEST_F(JamPlayRows, ARiffKeysInstrumentsAndRow)
{
    uint16_t *grid = g_pJamState->aRows[7].pGrid;
    grid[0] = 1;
    grid[5] = 2;
    grid[300] = 3;
    grid[301] = 4;
    fake.uses[4] = 1;
    fake.uses[9] = 2;
    Jam_BuildRiffInstrumentList(1, 2, 7);
    EXPECT_EQ(g_aJamPlayerRows[1].aRiffInstruments[2], (std::vector<uint8_t>{4, 6, 9}));
    EXPECT_EQ(fake.uses[6], 0);
    EXPECT_EQ(fake.uses[4], 2);
    EXPECT_EQ(fake.uses[9], 3);

    // Freeing the key stops every voice of its row, releases each instrument once (not the
    // song's own) and the row.
    UseRow(2, 7, 1, 0);
    JAMSTATE &s = *g_pJamState;
    s.aucRowChannels[7][0] = 20;
    s.aiChannelOwner[20] = 7;
    s.aiChannelOwner[30] = 7 | JAM_OWNER_LAYER;
    s.aiChannelOwner[31] = 8;
    s.aiRowPlugin[7] = 3;
    Jam_FreePlayerRiffChannel(1, 2);
    EXPECT_EQ(fake.stopped, (std::vector<int32_t>{20, 20, 30}));
    EXPECT_EQ(fake.released, (std::vector<int32_t>{4, 9}));
    EXPECT_TRUE(g_aJamPlayerRows[1].aRiffInstruments[2].empty());
    EXPECT_EQ(g_aJamPlayerRows[1].aiRiffRow[2], -1);
    EXPECT_EQ(s.aucRowState[7].load(), 0);
    EXPECT_EQ(s.aiRowPlugin[7].load(), -1);
    EXPECT_EQ(s.aiChannelOwner[31].load(), 8);
    Jam_FreePlayerRiffChannel(1, 2); // nothing left to free
    EXPECT_EQ(fake.stopped.size(), 3u);
}

TEST(JamWadPath, LibraryLettersAndIndices)
{
    const int r = g_iWadDirR, n = g_iWadDirN;
    g_iWadDirR = 3;
    g_iWadDirN = 4;
    struct
    {
        uint16_t indices[4];
        const char *name, *path;
    } cases[] = {
        {{3, 2, 5, 0}, "BASSLINE", "R/\x02/\x05/BASSLINE"},
        {{4, 2, 7, 1}, "PIANO", "N/D/\x07/\x01/PIANO"},
        {{4, 9, 7, 0}, "ODD", "N/\x09/\x07/ODD"},
        {{6, 1, 0, 0}, "LONGNAMEXYZ", "/\x06/\x01/LONGNAME"}, // from the root
    };
    for (const auto &c : cases) {
        char path[64];
        uint16_t out[8];
        Jam_BuildWadPath(c.indices, c.name, path, sizeof path, out);
        EXPECT_STREQ(path, c.path) << c.name;
    }
    g_iWadDirR = r;
    g_iWadDirN = n;
}
