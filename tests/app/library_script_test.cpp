// The libraries and palettes driven as a user drives them, through the studio's own loop and an
// input script, on the demo song and the built archive.
#include "spine_fixture.h"

#include "render/framecycle.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/riffeditor.h"
#include "ui/view.h"

#include "support/studioprocess.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>

namespace
{

class LibraryScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        m_mouseButtons = g_ucMouseButtons;
        Fresh();
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_AUDIO_DUMP");
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_ucMouseButtons = m_mouseButtons;
        SpineTest::TearDown();
    }
    uint8_t m_mouseButtons = 0;
    std::function<void()> m_beforeRun; // after the fresh start, before the run
    void Fresh()
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        ResetPageMenus();
        g_ucMouseButtons = 0;
        // A run stopped between a press and its release leaves the pointer's click state behind.
        g_iLastClickTime = 0;
        g_pClickedWidget = nullptr;
        g_iMouseHoldFrames = 0;
        g_bMouseHoldMarked = 0;
        g_iFrameBufferIndex = 0; // each run starts on the same half
        // A run stopped while a message box asked leaves it marked open for the next start.
        g_bModalBoxOpen = 0;
        g_pCurrentMsgBox = nullptr;
        for (MSGBOX &m : g_aMsgBoxes)
            m.pWindow = nullptr;
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    }
    static std::vector<std::string> Keys(const std::vector<std::pair<int, const char *>> &presses)
    {
        std::vector<std::string> s;
        for (const auto &[frame, key] : presses) {
            s.push_back(std::to_string(frame) + " keydown " + key);
            s.push_back(std::to_string(frame + 1) + " keyup " + key);
        }
        return s;
    }
    // Runs the studio from scratch for `frames` frames; the dumped picture is the frame two later
    // (the loop runs two more while it shuts down).
    int RunTo(int frames, const std::vector<std::string> &script, const std::string &png = "",
              const std::string &wav = "")
    {
        Fresh();
        if (m_beforeRun)
            m_beforeRun();
        if (!png.empty())
            setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        if (!wav.empty())
            setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
        const int rc = Run(nullptr, frames, script);
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_AUDIO_DUMP");
        return rc;
    }
    static std::string Temp(const char *name) { return ::testing::TempDir() + "tnv_library_" + name; }
    // The text after a logged prefix ("library riff Name"), or "" when nothing was logged so.
    static std::string Logged(const std::string &prefix)
    {
        for (const std::string &l : Log())
            if (l.rfind(prefix, 0) == 0)
                return l.substr(prefix.size());
        return "";
    }
    // Pixels of the busy box's name colour (orange: red over green over blue) inside a rectangle.
    static int NamePixels(const Picture &pic, int x0, int y0, int x1, int y1)
    {
        int n = 0;
        for (int y = y0; y < y1 && y < int(pic.height); y++)
            for (int x = x0; x < x1 && x < int(pic.width); x++) {
                const uint8_t *p = &pic.rgb[(size_t(y) * pic.width + size_t(x)) * 3];
                n += p[0] > 150 && p[1] > 90 && p[0] > p[1] + 30 && p[2] < 60;
            }
        return n;
    }
    // The picture inside a rectangle, to compare two frames there.
    static std::vector<uint8_t> Crop(const Picture &pic, int x0, int y0, int x1, int y1)
    {
        std::vector<uint8_t> out;
        for (int y = y0; y < y1 && y < int(pic.height); y++)
            for (int x = x0; x < x1 && x < int(pic.width); x++)
                for (int c = 0; c < 3; c++)
                    out.push_back(pic.rgb[(size_t(y) * pic.width + size_t(x)) * 3 + size_t(c)]);
        return out;
    }
    // 16-bit samples of a WAV dump (all channels), empty when it is not one.
    static std::vector<int16_t> Samples(const std::string &path)
    {
        std::ifstream f(path, std::ios::binary);
        std::string b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::vector<int16_t> out;
        if (b.size() < 12 || b.compare(0, 4, "RIFF") || b.compare(8, 4, "WAVE"))
            return out;
        for (size_t at = 12; at + 8 <= b.size();) {
            uint32_t size = 0;
            std::memcpy(&size, b.data() + at + 4, 4);
            if (!b.compare(at, 4, "data")) {
                const size_t n = std::min<size_t>(size, b.size() - at - 8) / 2;
                out.resize(n);
                std::memcpy(out.data(), b.data() + at + 8, n * 2);
                return out;
            }
            at += 8 + size + (size & 1);
        }
        return out;
    }
};

// Keys of the pop-up on the keyboard: the cursor keys move and page sub-folders, Escape closes;
// F6 is "Riff Library" and F5 "Riff Palette" on the song grid's menu page.
const std::vector<std::pair<int, const char *>> kBrowse = {
    {10, "F6"}, {15, "Down"}, {20, "Right"}, {25, "Right"}, {30, "Left"}, {35, "Down"}, {40, "Escape"}, {50, "F6"}};
// The riff library's box on the screen: a quarter of the width across, 69 down, 170 x 314.
constexpr int kLibX0 = 160, kLibY0 = 69, kLibX1 = 330, kLibY1 = 383;
// The busy box, centred.
constexpr int kBoxX0 = 245, kBoxY0 = 205, kBoxX1 = 395, kBoxY1 = 275;

TEST_F(LibraryScript, RiffLibraryPagesSubFoldersAndReopensWhereItWasClosed)
{
    // The pointer waits right of the library, so hovering picks no row.
    std::vector<std::string> script = Keys(kBrowse);
    script.insert(script.begin(), "1 mousemove 250 0");
    // Opened at its first place.
    ASSERT_EQ(RunTo(12, script), 0);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, POPUP_RIFF_LIBRARY);
    const POPUPDESC start = g_atPopupDescs[POPUP_RIFF_LIBRARY];
    EXPECT_EQ(start.selected, 0);
    EXPECT_GE(g_pCurrentPopup->list->totalRows, 2) << "the built library has riffs to choose from";

    // Down, two sub-folders on and one back, down again: one sub-folder on, second row.
    const std::string before = Temp("before_close.png");
    ASSERT_EQ(RunTo(36, script, before), 0);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    const POPUPDESC moved = g_atPopupDescs[POPUP_RIFF_LIBRARY];
    const std::string title = g_pCurrentPopup->title;
    EXPECT_EQ(moved.selected, 1);
    EXPECT_TRUE(moved.folder != start.folder || moved.subfolder != start.subfolder) << "a sub-folder on";
    EXPECT_EQ(Count("Ui_OpenPopup"), 1);

    // Escape closes it; the place stays in its descriptor.
    ASSERT_EQ(RunTo(45, script), 0);
    for (const POPUP &p : g_atPopups)
        EXPECT_EQ(p.free, 1);
    EXPECT_EQ(g_atPopupDescs[POPUP_RIFF_LIBRARY].folder, moved.folder);
    EXPECT_EQ(g_atPopupDescs[POPUP_RIFF_LIBRARY].subfolder, moved.subfolder);
    EXPECT_EQ(g_atPopupDescs[POPUP_RIFF_LIBRARY].selected, 1);
    EXPECT_EQ(g_iScreen, 0) << "back on the song grid";

    // F6 again: the same folder, sub-folder and row, and it looks as it did when it was closed.
    const std::string after = Temp("reopened.png");
    ASSERT_EQ(RunTo(53, script, after), 0);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->title, title);
    EXPECT_EQ(g_pCurrentPopup->list->selected, 1);
    EXPECT_EQ(g_atPopupDescs[POPUP_RIFF_LIBRARY].subfolder, moved.subfolder);
    const Picture a = ReadPng(before), b = ReadPng(after);
    ASSERT_EQ(a.width, 640u);
    ASSERT_EQ(b.width, 640u);
    EXPECT_TRUE(Crop(a, kLibX0, kLibY0, kLibX1, kLibY1) == Crop(b, kLibX0, kLibY0, kLibX1, kLibY1))
        << "the reopened library shows what was closed: " << before << " " << after;
}

// The second row of the first sub-folder is chosen with the pointer: the busy box shows its name
// for four frames, then the riff is the riff in hand. The pointer sets the grid's cursor on an
// empty place, the riff palette places the riff there, and playing from the cursor sounds it.
TEST_F(LibraryScript, AChosenLibraryRiffLoadsAndFromThePaletteSoundsAtTheCursor)
{
    std::vector<std::string> script = Keys({{10, "F6"}, {15, "Down"}});
    script.insert(script.end(), {"50 mousemove -100 -135", "60 mousedown 1", "61 mouseup 1"});
    const std::vector<std::string> chosen = script;

    // The box shows the entry's name until the load runs, on the fourth frame after the choice.
    int shown = 0;
    for (int frames = 56; frames <= 64; frames++) {
        SCOPED_TRACE(frames);
        const std::string png = Temp(("busy" + std::to_string(frames) + ".png").c_str());
        ASSERT_EQ(RunTo(frames, chosen, png), 0);
        const bool named = NamePixels(ReadPng(png), kBoxX0, kBoxY0, kBoxX1, kBoxY1) > 20;
        shown += named;
        if (named) {
            EXPECT_EQ(Logged("library riff "), "") << "the name shows while the load waits: " << png;
        }
    }
    EXPECT_GE(shown, 2);
    int frame = 0, chose = -1, loaded = -1;
    for (const std::string &l : Log()) {
        frame += l == "Ui_Frame";
        if (l == "Ui_PopupChoose" && chose < 0)
            chose = frame;
        if (l == "Seq_LoadLibraryRiffLocal")
            loaded = frame;
    }
    ASSERT_GE(chose, 0);
    EXPECT_EQ(loaded - chose, 3) << "the load runs in the box's fourth frame: the one that chose and three more";
    const std::string name = g_tBusyBox.name;
    EXPECT_STREQ(g_tBusyBox.text, "Loading...");
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(Logged("library riff "), name) << "the riff in hand is the chosen entry";

    // The pointer on bar 3, track 8 (empty), a click puts the cursor there; F5 opens the palette,
    // whose last row is the library riff; a click on it places it; the pointer goes back to bar 3,
    // since play starts at the pointer's column, and the numpad's + plays.
    script.insert(script.end(), {"70 mousemove -97 164", "75 mousedown 1", "76 mouseup 1", "120 keydown F5",
                                 "121 keyup F5", "125 mousemove 97 -108"});
    std::vector<std::string> placed = script, control = script;
    placed.insert(placed.end(), {"130 mousedown 1", "131 mouseup 1"});
    control.insert(control.end(), {"130 keydown Escape", "131 keyup Escape"});
    for (std::vector<std::string> *s : {&placed, &control})
        s->insert(s->end(), {"135 mousemove -97 108", "140 keydown 0x6B", "141 keyup 0x6B"});

    const std::string grid = Temp("placed.png"), wavPlaced = Temp("placed.wav"), wavControl = Temp("control.wav");
    ASSERT_EQ(RunTo(220, placed, grid, wavPlaced), 0);
    EXPECT_EQ(Logged("placed "), name);
    EXPECT_TRUE(Has("Ui_PlayFromCursor"));
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 2) << "play started on the placed riff's bar";
    ASSERT_EQ(RunTo(220, control, "", wavControl), 0);
    EXPECT_EQ(Logged("placed "), "");
    EXPECT_TRUE(Has("Ui_PlayFromCursor"));

    // The same song from the same place, once with the riff: what differs is the riff sounding.
    const std::vector<int16_t> a = Samples(wavPlaced), b = Samples(wavControl);
    ASSERT_GT(a.size(), 44100u);
    ASSERT_EQ(a.size(), b.size());
    double diff = 0;
    for (size_t i = 0; i < a.size(); i++)
        diff += std::abs(int(a[i]) - int(b[i]));
    EXPECT_GT(diff / double(a.size()), 20.0) << "the placed riff is heard: " << wavPlaced << " " << wavControl;
}


// A sample from the instrument library reaches a slot: chosen in the library, its page menu's
// "Load sample at 22 khz" opens the sample palette over it, and a slot chosen there loads it, after
// asking first when the slot is used. The library opens from a function key here (the riff
// editor's own menu opens it in the studio).
TEST_F(LibraryScript, ALibrarySampleReachesTheSlotChosenInThePalette)
{
    m_beforeRun = [] { Ui_SetMenuItemHandler(0, Ui_OpenSampleLibraryPopup); };
    // F1, the pointer onto the first entry, a click chooses it; the page menu opens under the
    // pointer, one row down is "Load sample at 22 khz"; then the pointer goes onto the palette.
    const std::vector<std::string> toPalette = {"10 keydown F1", "11 keyup F1", "15 mousemove -100 -135",
                                                "20 mousedown 1", "21 mouseup 1", "25 mousemove 0 16",
                                                "30 mousedown 1", "31 mouseup 1"};
    const struct
    {
        const char *what;
        std::vector<std::string> clicks; // from frame 35 on
        int slot;                        // the slot chosen
        bool asked;                      // the overwrite question came
        bool loaded;
    } cases[] = {
        {"a used slot, answered Okay", {"35 mousemove 79 -19", "40 mousedown 1", "41 mouseup 1", "45 mousemove 56 111",
                                        "50 mousedown 1", "51 mouseup 1"}, 1, true, true},
        {"a used slot, answered Cancel", {"35 mousemove 79 -19", "40 mousedown 1", "41 mouseup 1", "45 mousemove -15 111",
                                          "50 mousedown 1", "51 mouseup 1"}, 1, true, false},
        {"an empty slot", {"35 mousemove 79 53", "40 mousedown 1", "41 mouseup 1"}, 7, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> script = toPalette;
        script.insert(script.end(), c.clicks.begin(), c.clicks.end());
        // Just after the slot was chosen.
        const std::string png = Temp((std::string("slot") + std::to_string(c.slot) + (c.loaded ? "" : "_kept") + ".png").c_str());
        ASSERT_EQ(RunTo(44, script, png), 0);
        EXPECT_TRUE(Has("Ui_ChoosePageMenuItem")) << "the library's choice opened its page menu";
        int opened = 0;
        for (const std::string &l : Log())
            opened += l == "Ui_OpenPopup";
        EXPECT_EQ(opened, 3) << "library, page menu, palette";
        bool question = false;
        for (const MSGBOX &m : g_aMsgBoxes)
            question |= m.pWindow && m.pszText && std::string(m.pszText) == Ui_Text(549);
        EXPECT_EQ(question, c.asked);

        ASSERT_EQ(RunTo(80, script), 0);
        const std::string line = "slot " + std::to_string(c.slot) + " ";
        if (c.loaded) {
            EXPECT_TRUE(Has("Seq_LoadInstrument"));
            EXPECT_EQ(Logged(line), g_tBusyBox.name) << "the chosen library entry is in the slot";
            EXPECT_FALSE(std::string(g_tBusyBox.name).empty());
            for (const POPUP &p : g_atPopups)
                EXPECT_EQ(p.free, 1) << "the palette and then the library closed";
        } else {
            EXPECT_FALSE(Has("Seq_LoadInstrument"));
            ASSERT_NE(g_pCurrentPopup, nullptr);
            EXPECT_EQ(g_pCurrentPopup->kind, POPUP_SAMPLE_PALETTE) << "the palette stays for another choice";
        }
    }
}

// A clip chosen in the clip library loads and is then a row of the clip palette. Both open from
// a function key here (the video grid's menu opens them in the studio).
TEST_F(LibraryScript, AClipFromTheClipLibraryReachesTheClipPalette)
{
    static int opens = 0;
    opens = 0;
    m_beforeRun = [] {
        Ui_SetMenuItemHandler(0, [] {
            if (opens++ == 0)
                Ui_OpenClipLibrary();
            else
                Ui_OpenClipPalette();
        });
    };
    // F1 opens the library; a click on its first entry chooses it; F1 then opens the palette.
    const std::vector<std::string> script = {"10 keydown F1", "11 keyup F1", "20 mousemove -100 -136",
                                             "25 mousedown 1", "26 mouseup 1", "40 keydown F1", "41 keyup F1"};
    const std::string png = Temp("clip_palette.png");
    ASSERT_EQ(RunTo(50, script, png), 0);
    EXPECT_TRUE(Has("Vid_LoadLibraryClip"));
    const std::string name = g_tBusyBox.name;
    ASSERT_FALSE(name.empty());
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, POPUP_CLIP_PALETTE);
    ASSERT_NE(g_pCurrentPopup->list, nullptr);
    const int rows = g_pCurrentPopup->list->totalRows;

    // Without the choice (Escape closes the library) the palette has one row less.
    std::vector<std::string> control = script;
    control[3] = "25 keydown Escape";
    control[4] = "26 keyup Escape";
    ASSERT_EQ(RunTo(50, control), 0);
    EXPECT_FALSE(Has("Vid_LoadLibraryClip"));
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, POPUP_CLIP_PALETTE);
    EXPECT_EQ(g_pCurrentPopup->list->totalRows + 1, rows) << "the chosen clip is the palette's new row: " << png;
}

} // namespace
