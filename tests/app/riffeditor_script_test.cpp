// The riff editor as a musician reaches it, through the studio's own loop and an input script on
// the demo song the studio opens with: the song grid's page menu opens the editor on the riff under
// the pointer, a note is drawn and dragged to length with the pointer and heard in the recorded
// output, the window's close box puts the riff back and the song grid reopens on it; the page
// menu's "Resize riff" sizes a placed riff with held arrows, within its limits.
#include "spine_fixture.h"

#include "audio/wav.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "support/studioprocess.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/riffeditor.h"
#include "ui/view.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace
{

// The pointer starts at (320, 240), over the demo song's riff at song rows 9-12 on tracks 6-7.
constexpr int kRiffTime = 8, kRiffTrack = 5, kRiffBars = 4, kRiffTracks = 2;

// The first of the riff editor's 12 x 10 cells on the screen.
constexpr int kCellsX = 173, kCellsY = 191;

// A right click opens the song grid's page menu; its rows are 16 px apart, "Paste riff" the first
// at y 158. The pointer goes onto row `row` of the list and the left button chooses it.
std::vector<std::string> ChooseMenuRow(int frame, int row)
{
    const int dy = 150 + 16 * row + 8 - 240;
    return {std::to_string(frame) + " mousedown 2", std::to_string(frame + 1) + " mouseup 2",
            std::to_string(frame + 4) + " mousemove 0 " + std::to_string(dy),
            std::to_string(frame + 6) + " mousedown 1", std::to_string(frame + 7) + " mouseup 1"};
}

// Page 0's list: "Riff Editor" is its fourth row, "Resize riff" its eighth.
constexpr int kRiffEditorRow = 3, kResizeRiffRow = 7;

// The song ends with the run, so what a test checks is taken while it runs: F9 runs the item of
// the current page's ninth function key, which the test points here (the song grid's "Go to song
// bottom", the riff editor's "Realtime recording").
constexpr int kSongF9Row = 158, kRiffF9Row = 131;

struct NOTESEEN
{
    int note = 0, pitch = -1, length = 0, instrument = 0, level = 0;
};

struct SEEN
{
    int taken = 0;
    int riff = 0, bars = 0, tracks = 0;
    int firstRow = -1, firstStep = -1; // the first note of channel 0: its row and step
    NOTESEEN drawn, first;
    int firstColumn = 0;    // the riff grid's first visible column
    uint64_t freeSteps = 0; // bit s: no note of channel 0 sounds at step s
    int drawnStep = 2;      // where the test looks for the drawn note
    int placed = 0;         // the riff starting at the demo riff's cell
    NOTESEEN placedDrawn;
    int cellTime = kRiffTime, cellTrack = kRiffTrack; // the cell whose riff's size is taken
    int cellBars = 0, cellTracks = 0, screen = -1;
};
SEEN s_seen;

NOTESEEN SeeNote(const RIFFENTRY *r, int step, int track)
{
    NOTESEEN n;
    if (!r || step < 0 || step >= r->ucBars * 16 || track >= r->ucTracks)
        return n;
    n.note = *Seq_RiffCell(const_cast<RIFFENTRY *>(r), step, track);
    if (const NOTEENTRY *e = Seq_GetNote(n.note)) {
        n.pitch = e->ucPitch;
        n.length = e->ucLength;
        n.instrument = e->uInstrument;
        n.level = e->ucLevel;
    }
    return n;
}

void TakeSnapshot()
{
    SEEN &s = s_seen;
    s.taken++;
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (g_ucGridKind == 3 && r) {
        s.riff = g_uCurrentRiff;
        s.bars = r->ucBars;
        s.tracks = r->ucTracks;
        s.drawn = SeeNote(r, s.drawnStep, 0);
        s.firstColumn = g_pGridView ? g_pGridView->firstColumn : 0;
        s.freeSteps = 0;
        for (int step = 0; step < r->ucBars * 16 && step < 64; step++) {
            int note = 0;
            Seq_FindNoteStart(step, 0, &note);
            if (!note)
                s.freeSteps |= uint64_t(1) << step;
        }
        s.firstRow = s.firstStep = -1;
        for (int step = 0; step < r->ucBars * 16 && s.firstRow < 0; step++) {
            const NOTESEEN n = SeeNote(r, step, 0);
            if (n.note && n.pitch >= 0) {
                s.first = n;
                s.firstRow = 11 - n.pitch % 12;
                s.firstStep = step;
            }
        }
    }
    s.placed = Seq_GetRiffStartingAt(kRiffTime, kRiffTrack);
    if (const RIFFENTRY *c = Seq_GetRiff(Seq_GetRiffStartingAt(s.cellTime, s.cellTrack))) {
        s.cellBars = c->ucBars;
        s.cellTracks = c->ucTracks;
    }
    s.screen = g_iScreen;
    s.placedDrawn = SeeNote(Seq_GetRiff(s.placed), s.drawnStep, 0);
}

class RiffEditorScript : public SpineTest
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

    void Fresh()
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        ResetPageMenus();
        g_ucGridOptions = 0;
        g_ucMouseButtons = 0;
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        Ui_SetMenuItemHandler(kSongF9Row, TakeSnapshot);
        Ui_SetMenuItemHandler(kRiffF9Row, TakeSnapshot);
        s_seen = SEEN{};
    }

    // One run of the studio from scratch, dumping its last frame.
    void RunDumped(const std::string &png, int frames, const std::vector<std::string> &script)
    {
        Fresh();
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        ASSERT_EQ(Run(nullptr, frames, script), 0);
        unsetenv("TNV_DUMP_FRAME");
        ASSERT_TRUE(std::filesystem::exists(png)) << png;
    }

    static std::string Dump(const char *name)
    {
        const char *dir = std::getenv("TNV_TEST_PNG_DIR");
        return (dir ? std::string(dir) + "/" : ::testing::TempDir()) + "tnv_riffeditor_" + name + ".png";
    }

    // The pointer from where it is to the middle of a riff editor cell.
    static std::string MoveToCell(int frame, int fromX, int fromY, int step, int row)
    {
        const int x = kCellsX + step * 12 + 6, y = kCellsY + row * 10 + 5;
        return std::to_string(frame) + " mousemove " + std::to_string(x - fromX) + " " + std::to_string(y - fromY);
    }

    // The script with F9 pressed at a frame: the snapshot of the song at that moment.
    static std::vector<std::string> Then(std::vector<std::string> script, int frame)
    {
        script.push_back(std::to_string(frame) + " keydown F9");
        script.push_back(std::to_string(frame + 1) + " keyup F9");
        return script;
    }

    // Pixels of a rectangle brighter than the dark grid background.
    static int Lit(const Picture &p, int x0, int y0, int w, int h)
    {
        int n = 0;
        for (int y = y0; y < y0 + h && y < int(p.height); y++)
            for (int x = x0; x < x0 + w && x < int(p.width); x++) {
                const uint8_t *c = &p.rgb[(size_t(y) * p.width + size_t(x)) * 3];
                n += c[0] + c[1] + c[2] > 240;
            }
        return n;
    }
};

// The menu opens the editor on the riff under the pointer; a press on an existing note picks its
// instrument, a press on an empty cell draws a note and dragging sets its length; the note is heard;
// the close box puts the riff back in the song and the song grid shows it under its cursor.
TEST_F(RiffEditorScript, OpenFromTheMenuDrawANoteHearItAndCloseBackOntoTheRiff)
{
    std::vector<std::string> script = ChooseMenuRow(60, kRiffEditorRow);
    const int menuY = 150 + 16 * kRiffEditorRow + 8;

    // Opened: the riff of two channels, its steps at 12 x 10.
    RunDumped(Dump("open"), 75, Then(script, 72));
    ASSERT_EQ(g_ucGridKind, 3) << "the riff editor is open";
    ASSERT_EQ(s_seen.taken, 1);
    EXPECT_EQ(g_iScreen, 0);
    EXPECT_EQ(g_ucRiffEditorMode, 2);
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_pGridView->cellWidth, 12);
    EXPECT_EQ(g_pGridView->cellHeight, 10);
    EXPECT_EQ(g_pGridView->columnCount, 16 * s_seen.bars);
    EXPECT_EQ(s_seen.tracks, kRiffTracks);
    const SEEN opened = s_seen;
    ASSERT_GE(opened.firstRow, 1) << "channel 0 has a note, and the top row is free for a new one";
    ASSERT_GE(opened.firstStep, 0);
    ASSERT_LT(opened.firstStep, 16);
    ASSERT_EQ(opened.drawn.note, 0) << "step 2 is free";
    Picture open = ReadPng(Dump("open"));
    ASSERT_EQ(open.width, 640u);
    EXPECT_GT(Lit(open, kCellsX, kCellsY + opened.firstRow * 10, 16 * 12, 10), 200) << "the note's row is lit";

    // The first channel's notes fill the first bar and more: held Right scrolls the view on to
    // where the channel is silent.
    script.insert(script.end(), {"80 keydown Right", "140 keyup Right"});
    RunDumped(Dump("scrolled"), 155, Then(script, 150));
    ASSERT_EQ(s_seen.taken, 1);
    const int first = s_seen.firstColumn + 1;
    int step = -1;
    for (int k = first; k < first + 14 && step < 0; k++)
        if ((s_seen.freeSteps >> k & 3) == 3)
            step = k;
    ASSERT_GE(step, 0) << "two free steps of channel 0 in view, first column " << first;

    // A press on the empty cell in the top row draws a note with the instrument the editor opened
    // with; dragging one cell on makes it two steps long.
    const int x = kCellsX + (step - first) * 12 + 6;
    script.push_back("160 mousemove " + std::to_string(x - 320) + " " + std::to_string(kCellsY + 5 - menuY));
    script.insert(script.end(), {"164 mousedown 1", "168 mousemove 12 0", "172 mouseup 1"});
    const std::string wav = ::testing::TempDir() + "tnv_riffeditor_draw.wav";
    std::remove(wav.c_str());
    setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
    const int drawnFrames = 290; // room for the note to reach the sound device on a loaded machine
    Fresh();
    s_seen.drawnStep = step;
    setenv("TNV_DUMP_FRAME", Dump("drawn").c_str(), 1);
    ASSERT_EQ(Run(nullptr, drawnFrames, Then(script, 185)), 0);
    unsetenv("TNV_DUMP_FRAME");
    unsetenv("TNV_AUDIO_DUMP");
    ASSERT_EQ(g_ucGridKind, 3);
    EXPECT_EQ(g_iScreen, 0) << "the release applied the length and went back to the menu";
    ASSERT_EQ(s_seen.taken, 1);
    const NOTESEEN n = s_seen.drawn;
    ASSERT_GT(n.note, 0) << "a note at step " << step << " of channel 0";
    EXPECT_EQ(n.pitch % 12, 11) << "the top row is the octave's last semitone";
    EXPECT_EQ(n.length, 2) << "the drag made it two steps long";
    EXPECT_EQ(n.instrument, opened.first.instrument) << "the instrument of the note the editor opened on";
    EXPECT_GT(n.level, 0) << "drawn notes are audible";
    Picture drawnPic = ReadPng(Dump("drawn"));
    ASSERT_EQ(drawnPic.width, 640u);
    Picture scrolled = ReadPng(Dump("scrolled"));
    EXPECT_GT(Lit(drawnPic, x - 6, kCellsY, 24, 10), Lit(scrolled, x - 6, kCellsY, 24, 10) + 60) << "the new note shows";

    // Heard: the same run without the press gives the sound of the riff's preview loop; with the
    // drawn note the output differs. (How much sound a frame stands for varies with the machine's
    // load, so the dumps are compared whole rather than at the frame of the press.)
    const auto samplesOf = [](const std::string &path) {
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        std::vector<int16_t> out;
        if (Snd_WavOpenRead(path.c_str()) == 0) {
            Snd_WavReadData(&l, &r, &frames, &rate);
            Snd_WavCloseRead();
            if (l)
                out.assign(l, l + frames);
        }
        std::free(l);
        std::free(r);
        return out;
    };
    const std::vector<int16_t> with = samplesOf(wav);
    std::vector<std::string> quiet;
    for (const std::string &line : Then(script, 185))
        if (line != "164 mousedown 1" && line != "172 mouseup 1")
            quiet.push_back(line);
    const std::string quietWav = ::testing::TempDir() + "tnv_riffeditor_quiet.wav";
    std::remove(quietWav.c_str());
    setenv("TNV_AUDIO_DUMP", quietWav.c_str(), 1);
    Fresh();
    ASSERT_EQ(Run(nullptr, drawnFrames, quiet), 0);
    unsetenv("TNV_AUDIO_DUMP");
    const std::vector<int16_t> without = samplesOf(quietWav);
    ASSERT_FALSE(with.empty());
    ASSERT_FALSE(without.empty());
    int difference = 0;
    for (size_t i = 0; i < std::min(with.size(), without.size()); i++)
        difference = std::max(difference, std::abs(int(with[i]) - int(without[i])));
    EXPECT_GT(difference, 100) << "the drawn note changes what is heard";

    // Closed through the window's close box: the riff is back in the song with its new note, and
    // the song grid's cursor sits on the riff's first cell.
    script.push_back("180 mousemove " + std::to_string(125 - (x + 12)) + " " + std::to_string(172 - (kCellsY + 5)));
    script.insert(script.end(), {"182 mousedown 1", "183 mouseup 1"});
    Fresh();
    s_seen.drawnStep = step;
    setenv("TNV_DUMP_FRAME", Dump("closed").c_str(), 1);
    ASSERT_EQ(Run(nullptr, 200, Then(script, 195)), 0);
    unsetenv("TNV_DUMP_FRAME");
    EXPECT_EQ(g_ucGridKind, 2) << "back on the song grid";
    EXPECT_EQ(g_iScreen, 0);
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_pGridView->firstColumn + 1 + g_sGridCursorX, kRiffTime);
    EXPECT_EQ(g_pGridView->firstRow + 1 + g_sGridCursorY, kRiffTrack);
    ASSERT_EQ(s_seen.taken, 1);
    EXPECT_EQ(s_seen.placed, opened.riff) << "the riff is in the song again where it was";
    EXPECT_GT(s_seen.placedDrawn.note, 0) << "with the drawn note";
    EXPECT_EQ(s_seen.placedDrawn.pitch, n.pitch);
    EXPECT_EQ(s_seen.placedDrawn.length, n.length);
    EXPECT_EQ(s_seen.placedDrawn.instrument, n.instrument);
    Picture closed = ReadPng(Dump("closed"));
    EXPECT_LT(Lit(closed, kCellsX, kCellsY, 16 * 12, 12 * 10), Lit(drawnPic, kCellsX, kCellsY, 16 * 12, 12 * 10))
        << "the editor's window is gone";
}

// "Resize riff" from the song grid's menu, then a press on a placed riff: held arrows size it
// while the button is down and the release applies the size. The demo riff on tracks 6-7 is placed
// five times, bar 1 to 20, with nothing under it: it grows down to 12 tracks and no further; it
// cannot grow right where its next placement follows, nor from its last placement, whose room
// to the right would make the others overlap.
TEST_F(RiffEditorScript, ResizeFromTheMenuStopsAtTwelveTracksAndWherePlacementsWouldOverlap)
{
    struct CASE
    {
        const char *name;
        int time;        // the placement pressed
        const char *key; // held from frame 75 to 140
        int bars, tracks;
    };
    const CASE cases[] = {
        {"down to twelve tracks", 0, "Down", kRiffBars, 12},
        {"right into the next placement", 0, "Right", kRiffBars, kRiffTracks},
        {"right from the last placement", 16, "Right", kRiffBars, kRiffTracks},
    };
    int n = 0;
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> script = ChooseMenuRow(60, kResizeRiffRow);
        const int x = 64 + c.time * 24 + 12, y = 82 + kRiffTrack * 24 + 12, menuY = 150 + 16 * kResizeRiffRow + 8;
        script.push_back("70 mousemove " + std::to_string(x - 320) + " " + std::to_string(y - menuY));
        script.insert(script.end(), {"72 mousedown 1", std::string("75 keydown ") + c.key,
                                     std::string("140 keyup ") + c.key, "145 mouseup 1"});
        Fresh();
        s_seen.cellTime = c.time;
        const std::string png = Dump((std::string("resize") + std::to_string(n++)).c_str());
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        ASSERT_EQ(Run(nullptr, 160, Then(script, 155)), 0);
        unsetenv("TNV_DUMP_FRAME");
        ASSERT_EQ(s_seen.taken, 1);
        EXPECT_EQ(s_seen.screen, 0) << "the release applied the size and went back to the song grid";
        EXPECT_EQ(s_seen.cellBars, c.bars);
        EXPECT_EQ(s_seen.cellTracks, c.tracks);
    }
}

} // namespace
