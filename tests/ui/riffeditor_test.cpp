// The riff editor driven as a user drives it, frame by frame through the real widget frame with a
// scripted pointer and pad: opened on a placed riff of the demo song, a note drawn with the
// pointer and its length dragged out, heard through the mix pump, the editor closed and the song
// grid back on the riff; riff resizing and its limits; the note parameter panel, each setting
// undone by undo. Frames are written out as PNGs (TNV_TEST_PNG_DIR) for a person to look at.
#include "ui_fixture.h"

#include "app/calllog.h"
#include "app/startup.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "core/browser.h"
#include "platform/audio_out.h"
#include "platform/window.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "support/tempdir.h"
#include "tools/demosong.h"
#include "ui/bindings.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/noteeffects.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/noteparams.h"
#include "ui/riffeditor.h"
#include "ui/valueslider.h"
#include "ui/view.h"
#include "video/lanes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

using namespace uitest;

namespace {

// One scripted frame: what the pointer and the pad do before the frame runs.
struct STEP
{
    int frame;
    enum Kind
    {
        POINT, // pointer onto grid cell (a, b) of the view, or screen pixel (a, b) with cell = false
        DOWN,
        UP,
        PAD_DOWN, // pad slot a pressed
        PAD_UP,
    } kind;
    int a = 0, b = 0;
};

class RiffEditor : public UiTest
{
protected:
    TempDir m_dir;
    uint16_t m_buttons = 0xFFFF;

    void SetUp() override
    {
        UiTest::SetUp();
        Plat_AudioOutSetQueueFrames(PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        ASSERT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        Ui_BindScreenButtons();
        Ui_ResetMenuItems();
        Seq_ResetSongModel();
        Seq_Init();
        Seq_NewSong();
        Seq_AllocUndoLog();
        Sys_SetGridLayout();
        Vid_InitLanes();
        Ui_SetGridPlace(1, -1, -1, 0, 0);
        Ui_SetGridPlace(2, -1, -1, 0, 0);
        g_ucGridOptions = 0;
        g_ucGridToolMode = 1;
        g_ucRiffOctave = 3;
        g_ucMouseButtons |= MOUSE_MODE;
        g_iMouseButton1 = g_iMouseButton2 = 1;
        m_buttons = 0xFFFF;
        std::memset(g_aucChannelEnabled, 1, sizeof g_aucChannelEnabled);
    }
    void TearDown() override
    {
        Seq_StopRiffPreview();
        Seq_StopSong();
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
        Ui_CloseGridScreen();
        g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
        g_bSongPlaying = 0;
        Seq_ResetSongModel();
        Seq_NewSong();
        Ui_ResetMenuItems();
        Sys_FreeMixBuffers();
        Snd_ShutdownSampleEngine();
        g_bAudioMixEnabled = 0;
        g_iScreen = 10;
        UiTest::TearDown();
    }

    // The pointer onto the middle of a visible cell of the grid view.
    static void PointAtCell(int x, int y)
    {
        g_sMouseX = int16_t(g_pGridWindow->x + g_pGridView->head.x + x * g_pGridView->cellWidth +
                            g_pGridView->cellWidth / 2);
        g_sMouseY = int16_t(g_pGridWindow->y + g_pGridView->head.y + y * g_pGridView->cellHeight +
                            g_pGridView->cellHeight / 2);
    }

    // Runs frames 0..last, applying each frame's steps first; `each` runs after every frame.
    void Play(const std::vector<STEP> &script, int last, const std::function<void(int)> &each = nullptr)
    {
        size_t next = 0;
        for (int f = 0; f <= last; f++) {
            for (; next < script.size() && script[next].frame == f; next++) {
                const STEP &s = script[next];
                switch (s.kind) {
                case STEP::POINT: PointAtCell(s.a, s.b); break;
                case STEP::DOWN: g_iMouseButton1 = 0; break;
                case STEP::UP:
                    g_bMouseClicked = g_iMouseButton1 == 0 ? 1 : g_bMouseClicked;
                    g_iMouseButton1 = 1;
                    break;
                case STEP::PAD_DOWN: m_buttons = uint16_t(m_buttons & ~(1u << s.a)); break;
                case STEP::PAD_UP: m_buttons = uint16_t(m_buttons | (1u << s.a)); break;
                }
            }
            SetPad(1, 0x00, 0x41, m_buttons);
            Frame();
            if (each)
                each(f);
        }
    }

    // The pad slot pressed for one frame and released on the next.
    void Press(int slot, int frames = 2)
    {
        Play({{0, STEP::PAD_DOWN, slot}, {1, STEP::PAD_UP, slot}}, frames);
    }

    static void WritePng(const char *name)
    {
        if (const char *dir = std::getenv("TNV_TEST_PNG_DIR"))
            TestLayer_WritePng(std::string(dir) + "/" + name + ".png");
    }

    // The song grid shown on screen 0 with the cursor on a cell.
    static void SongGridAt(int column, int row)
    {
        // Rows below the view's height are brought into view two rows under its top.
        const int first = row < 12 ? -1 : row - 3;
        Ui_SetGridPlace(2, -1, int16_t(first), int16_t(column), int16_t(row - first - 1));
        ASSERT_TRUE(Ui_SetupGridScreen(2));
        g_iScreen = 0;
        g_iNextScreen = -1;
    }

    static int NoteAt(int step, int track)
    {
        const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
        return r ? *Seq_RiffCell(const_cast<RIFFENTRY *>(r), step, track) : 0;
    }
};

// Mean absolute level of a stretch of samples.
double Level(const std::vector<int16_t> &x, size_t from, size_t to)
{
    double s = 0;
    to = std::min(to, x.size());
    for (size_t i = from; i < to; i++)
        s += std::abs(double(x[i]));
    return to > from ? s / double(to - from) : 0;
}

TEST_F(RiffEditor, OpenOnAPlacedRiffDrawANoteHearItCloseAndTheSongGridIsOnTheRiff)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    // The demo's riff placed again at song row 4 on track 20: the editor is opened on it there.
    const int src = Seq_GetRiffStartingAt(0, 0);
    ASSERT_GT(src, 0);
    Seq_PlaceRiff(src, 4, 20, 0, 1);
    ASSERT_EQ(Seq_GetRiffStartingAt(4, 20), src);
    const RIFFENTRY *placed = Seq_GetRiff(src);
    const int bars = placed->ucBars;
    Seq_CountUsedRows();
    SongGridAt(4, 20);
    Frame();

    // F7 on the song grid runs the menu's "Riff Editor" item on the cursor's cell.
    Press(11);
    ASSERT_EQ(g_ucGridKind, 3) << "the riff editor is open";
    EXPECT_EQ(g_uCurrentRiff, src);
    EXPECT_EQ(g_ucRiffEditorMode, 2);
    EXPECT_EQ(g_pGridView->columnCount, 16 * bars);
    EXPECT_EQ(g_pGridView->cellWidth, 12);
    EXPECT_EQ(g_pGridView->cellHeight, 10);
    EXPECT_EQ(g_iScreen, 0);
    Play({}, 3);
    WritePng("riffeditor_open");
    // The cell buffer holds the instrument number of every note starting in view.
    int shown = 0;
    for (auto &row : g_aaabCellBuffer)
        for (auto &cell : row)
            shown += cell[0] != 0;
    EXPECT_GT(shown, 0) << "the riff's notes are numbered on the grid";

    // An empty cell of the current channel at a pitch the riff does not use.
    int step = -1;
    const int row = 0; // semitone 11
    for (int s = 0; s < 12 && step < 0; s++)
        if (!NoteAt(s, 0) && Seq_FindNoteStart(s, 0, nullptr) < 0)
            step = s;
    if (step < 0) {
        // Every early step is taken: clear step 8 of the first channel.
        Seq_SetRiffNote(g_uCurrentRiff, 8, 0, 0, 1, 0, 0);
        step = 8;
    }
    ASSERT_GE(step, 0);
    int slot = 0;
    for (int s = 1; s < SEQ_INSTRUMENT_SLOTS && !slot; s++)
        if (!Seq_InstrumentSlotFree(s) && Seq_InstrumentSampleLength(s) > 0)
            slot = s;
    ASSERT_GT(slot, 0);
    g_uNoteEditInstrument = uint16_t(slot);
    const int room = Seq_NoteRoomAt(step, 0);
    ASSERT_GE(room, 1);
    const int want = std::min(3, room);

    // Sound: the mix pump runs into the virtual device, which records to a WAV.
    const std::string wav = m_dir.Path() + "/draw.wav";
    setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
    Snd_EnumOutputDevices(nullptr);
    ASSERT_EQ(Snd_OpenOutputDevice(nullptr, 0), 0);
    ASSERT_EQ(Snd_CreateStreamBuffer(), 0);
    g_bMixPumpOn = 1;
    const auto pump = [](int) {
        for (int ms = 0; ms < 20; ms++) {
            Plat_ManualClockAdvance(1000);
            Sys_MixTimerProc(nullptr);
        }
    };
    int screenAfterPress = -1;
    Play({{0, STEP::POINT, step, row},
          {5, STEP::DOWN},
          {8, STEP::POINT, step + want - 1, row}, // the length follows the pointer
          {12, STEP::UP}},
         20, [&](int f) {
             pump(f);
             if (f == 6)
                 screenAfterPress = g_iScreen;
             if (std::getenv("RE_DEBUG"))
                 std::fprintf(stderr, "f%d s%d play%d mark%d,%d clicked%p btn%d\n", f, g_iScreen, int(g_bSongPlaying.load()), g_asGridMark[0], g_asGridMark[2], (void*)g_pClickedWidget, g_iMouseButton1);
             if (f == 10)
                 WritePng("riffeditor_length");
         });
    g_bMixPumpOn = 0;
    Snd_ReleaseStreamBuffer();
    Snd_CloseOutputDevice();
    unsetenv("TNV_AUDIO_DUMP");

    EXPECT_EQ(screenAfterPress, 34) << "the press drew a note and started the length gesture";
    EXPECT_EQ(g_iScreen, 0) << "the release applied the length and went back to the menu";
    const int note = NoteAt(step, 0);
    ASSERT_GT(note, 0);
    const NOTEENTRY *n = Seq_GetNote(note);
    EXPECT_EQ(n->uInstrument, slot);
    EXPECT_EQ(n->ucPitch, (g_ucRiffOctave - 1) * 12 + 11);
    EXPECT_EQ(n->ucLength, want);
    if (std::getenv("RE_DEBUG"))
        std::fprintf(stderr, "level %d hits %d inst %d\n", n->ucLevel, n->ucSetting2, n->uInstrument);
    EXPECT_EQ(g_sSelectedStep, step);
    WritePng("riffeditor_drawn");

    std::vector<int16_t> left;
    {
        ASSERT_EQ(Snd_WavOpenRead(wav.c_str()), 0);
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        left.assign(l, l + frames);
        std::free(l);
        std::free(r);
    }
    // Silent before the press (frames 0-4), audible after it.
    const size_t perFrame = 44100 / 50;
    EXPECT_LT(Level(left, 0, 4 * perFrame), 30.0);
    EXPECT_GT(Level(left, 5 * perFrame, 12 * perFrame), 200.0) << "the drawn note is heard";

    // Closing: the song grid comes back with its cursor on the riff.
    Ui_CloseRiffEditor();
    Play({}, 3);
    ASSERT_EQ(g_ucGridKind, 2);
    EXPECT_EQ(g_iScreen, 0);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 4);
    EXPECT_EQ(Ui_GridCursorRowRaw(), 20);
    EXPECT_EQ(Seq_GetRiffStartingAt(4, 20), src) << "the edited riff stays placed";
    WritePng("riffeditor_closed");
}

TEST_F(RiffEditor, ResizeStopsAtEightBarsTwelveTracksAndWhereTheMaskForbids)
{
    // A one-bar one-track riff at song row 0, track 0, and a blocker at row 5, track 2.
    const int riff = Seq_NewRiff(1, 1), blocker = Seq_NewRiff(1, 1);
    Seq_PlaceRiff(riff, 0, 0, 0, 1);
    Seq_PlaceRiff(blocker, 5, 2, 0, 1);
    Seq_CountUsedRows();
    g_uSongRowCount = 40;
    SongGridAt(0, 0);
    g_iScreen = 68;
    Frame();
    // The resize tool's press on the riff; the button stays down while the keys size the mark,
    // and its release applies the size.
    Play({{0, STEP::POINT, 0, 0}, {1, STEP::DOWN}}, 3);
    ASSERT_EQ(g_iScreen, 12);
    EXPECT_EQ(g_ucRiffResizeFlag, 0);
    // Right held: the mark grows to 8 bars only, though the mask allows more on track 0.
    Play({{0, STEP::PAD_DOWN, 5}, {60, STEP::PAD_UP, 5}}, 62);
    EXPECT_EQ(g_asGridMark[2] - g_asGridMark[0] + 1, 8);
    // Down held: two tracks fit at 8 bars (the blocker sits on track 2 at row 5).
    Play({{0, STEP::PAD_DOWN, 6}, {60, STEP::PAD_UP, 6}}, 62);
    EXPECT_EQ(g_asGridMark[3] - g_asGridMark[1] + 1, 2);
    WritePng("riffresize_mask");
    // Narrowed to 5 bars the blocker is out of the way: down goes on to 12 tracks and stops.
    Play({{0, STEP::PAD_DOWN, 7}, {3, STEP::PAD_UP, 7}}, 4);
    EXPECT_EQ(g_asGridMark[2] - g_asGridMark[0] + 1, 5);
    Play({{0, STEP::PAD_DOWN, 6}, {60, STEP::PAD_UP, 6}}, 62);
    EXPECT_EQ(g_asGridMark[3] - g_asGridMark[1] + 1, 12);
    // The release resizes the riff and returns to the menu.
    Play({{0, STEP::UP}}, 2);
    EXPECT_EQ(g_iScreen, 0);
    const RIFFENTRY *r = Seq_GetRiff(Seq_GetRiffStartingAt(0, 0));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->ucBars, 5);
    EXPECT_EQ(r->ucTracks, 12);
    EXPECT_EQ(Seq_GetRiffStartingAt(5, 2), blocker) << "the blocker stays where it was";
}


// A one-track riff with one note (instrument 1, octave 2, semitone 4: row 7) at step 2, open in the
// editor, the note selected and the note parameter panel open.
class NotePanel : public RiffEditor
{
protected:
    int m_riff = 0;
    void SetUp() override
    {
        RiffEditor::SetUp();
        g_aInstrumentSlots[1].ucKey1 = 1;
        g_aInstrumentSlots[1].uKey2 = 1;
        g_aInstrumentSlots[1].uKey3 = 1;
        m_riff = Seq_NewRiff(1, 2);
        ASSERT_GT(m_riff, 0);
        Seq_PlaceRiff(m_riff, 0, 0, 0, 1);
        Seq_CountUsedRows();
        SongGridAt(0, 0);
        Frame();
        Press(11);
        ASSERT_EQ(g_ucGridKind, 3);
        g_CurrentNote = g_DefaultNote;
        g_CurrentNote.ucLevel = 200;
        g_CurrentNote.uSampleEndLimit = 1000;
        Seq_SelectInstrument(1, 2, 4);
        ASSERT_EQ(Seq_SetRiffNote(g_uCurrentRiff, 2, 0, 1, 1, 0, 0), 1);
        Seq_ClearUndo();
        Ui_RefreshView(g_pGridView);
        // A press on the note selects it.
        Play({{0, STEP::POINT, 2, 7}, {1, STEP::DOWN}, {2, STEP::UP}}, 3);
        ASSERT_EQ(g_sSelectedStep, 2);
        ASSERT_EQ(g_sSelectedRow, 7);
        ASSERT_EQ(g_iScreen, 0);
        Ui_OpenNoteParams();
        Play({}, 1);
        ASSERT_EQ(g_iScreen, 14);
        g_ucNoteGadget = 0;
    }
    void TearDown() override
    {
        g_aInstrumentSlots[1] = INSTRUMENTSLOT{};
        RiffEditor::TearDown();
    }
    static const NOTEENTRY &Note()
    {
        static NOTEENTRY none{};
        const NOTEENTRY *n = Seq_GetNote(NoteAt(2, 0));
        return n ? *n : none;
    }
    // Moves to a gadget with the held directions, one move per six frames.
    void GoTo(int gadget)
    {
        for (int guard = 0; guard < 20 && g_ucNoteGadget != gadget; guard++) {
            const NOTEGADGET &here = g_atNoteGadgets[g_ucNoteGadget];
            const NOTEGADGET &there = g_atNoteGadgets[gadget];
            int slot = there.top > here.top ? 6 : there.top < here.top ? 4 : there.left > here.left ? 5 : 7;
            Play({{0, STEP::PAD_DOWN, slot}, {1, STEP::PAD_UP, slot}}, 7);
        }
        EXPECT_EQ(g_ucNoteGadget, gadget);
    }
};

// Each setting of the panel changes the note in the riff; undo brings the old note back.
TEST_F(NotePanel, EachSettingChangesTheNoteAndUndoRestoresIt)
{
    struct CASE
    {
        const char *name;
        int gadget;
        int value; // for the value editor; -1: the action alone
        std::function<int(const NOTEENTRY &)> field;
        int expect;
    };
    const std::vector<CASE> cases = {
        {"muting", 0, -1, [](const NOTEENTRY &n) { return n.ucFlags & NOTE_FLAG_MUTED; }, NOTE_FLAG_MUTED},
        {"bend", 1, -1, [](const NOTEENTRY &n) { return n.ucFlags & NOTE_FLAG_GLIDE; }, NOTE_FLAG_GLIDE},
        {"volume", 3, 77, [](const NOTEENTRY &n) { return n.ucLevel; }, 77},
        {"vibrato depth", 5, 40, [](const NOTEENTRY &n) { return n.ucSetting5; }, 40},
        {"vibrato speed", 6, 90, [](const NOTEENTRY &n) { return n.ucSetting4; }, 90},
        {"sample start", 7, 5000, [](const NOTEENTRY &n) { return int(n.uSampleStart); }, -2},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        const int before = c.field(Note());
        GoTo(c.gadget);
        Press(14);
        // The sample start moves to the other end of its range.
        const int value = c.expect == -2 ? (before ? 0 : int(g_tSelectedNote.uSampleEndLimit)) : c.value;
        if (value >= 0) {
            // The value editor opens on the panel's note; it stores the value as it closes.
            Play({}, 1);
            ASSERT_EQ(g_iScreen, SCREEN_VALUEEDIT);
            VALUESLIDER *slider = g_pValueEditorSlider;
            ASSERT_NE(slider, nullptr);
            Ui_StepValueSlider(slider, int64_t(value) - (slider->value - slider->shift));
            Ui_ValueEditorClose();
        }
        Play({}, 1);
        WritePng((std::string("notepanel_") + c.name).c_str());
        const int after = c.field(Note());
        if (c.expect == -2) {
            EXPECT_EQ(after, value);
        } else {
            EXPECT_EQ(after, c.expect);
        }
        EXPECT_NE(after, before);
        Seq_UndoLastStep();
        EXPECT_EQ(c.field(Note()), before) << "undo";
        Ui_ReselectNote();
    }
    // Back leaves the panel for the editor's menu.
    Press(12);
    EXPECT_EQ(g_iScreen, 0);
}

// The effect gadget opens the effect list on the note's own effect; a chosen name gives the note
// its preset, the panel names it, undo takes it back and the list reopens on it.
TEST_F(NotePanel, EffectListGivesTheNoteItsPresetAndReopensOnIt)
{
    GoTo(8);
    Press(14);
    Play({}, 1);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, POPUP_NOTE_EFFECT);
    EXPECT_STREQ(g_pCurrentPopup->title, Ui_Text(67));
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, UI_NOTE_EFFECTS);
    EXPECT_EQ(g_pCurrentPopup->list->selected, 0) << "a note without an effect: \"None\"";
    EXPECT_EQ(g_iScreen, 9);
    WritePng("notepanel_effectlist");
    // "Minor" (text 169) is row 17.
    g_pCurrentPopup->list->selected = 17;
    Press(14);
    Play({}, 1);
    EXPECT_EQ(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_iScreen, 14);
    EXPECT_EQ(Note().ucSetting1, Ui_NoteEffectPreset(17));
    EXPECT_STREQ(Ui_Text(UI_EFFECT_NAME_TEXT + Ui_NoteEffectNumber(Note().ucSetting1)), "Minor");
    WritePng("notepanel_effect_minor");
    // Reopened, the list stands on the note's effect; closing keeps it.
    Press(14);
    Play({}, 1);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->list->selected, 17);
    Ui_ClosePopup();
    Play({}, 1);
    EXPECT_EQ(g_iScreen, 14);
    EXPECT_EQ(Note().ucSetting1, Ui_NoteEffectPreset(17));
    Seq_UndoLastStep();
    EXPECT_EQ(Note().ucSetting1, 0) << "undo";
}

TEST_F(NotePanel, RepeatStepsCycleAndSixStepModeRefusesTheLastTwo)
{
    GoTo(4);
    Press(14);
    ASSERT_EQ(g_iScreen, 16);
    g_ucRepeatStep = 2;
    const uint8_t bit = 0x80 >> 2;
    const uint8_t hitsA = Note().ucSetting2 & bit, hitsB = Note().ucSetting3 & bit;
    ASSERT_EQ(hitsB, 0);
    // off -> A -> A and B -> off (from whatever the step holds).
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 3; i++) {
        Press(14);
        seen.push_back({Note().ucSetting2 & bit ? 1 : 0, Note().ucSetting3 & bit ? 1 : 0});
    }
    const std::vector<std::pair<int, int>> cycle =
        hitsA ? std::vector<std::pair<int, int>>{{1, 1}, {0, 0}, {1, 0}} : std::vector<std::pair<int, int>>{{1, 0}, {1, 1}, {0, 0}};
    EXPECT_EQ(seen, cycle);
    // Up to the mode box, toggle: six-step mode with the second mode bit.
    Press(4);
    EXPECT_EQ(g_ucRepeatStep, 8);
    const uint8_t flags = Note().ucFlags;
    Press(14);
    EXPECT_EQ(Note().ucFlags ^ flags, NOTE_FLAG_HITS6 | NOTE_FLAG_HITS8);
    WritePng("notepanel_repeat");
    Press(6);
    EXPECT_EQ(g_ucRepeatStep, 2) << "down goes back to the remembered step";
    g_ucRepeatStep = 6;
    const uint32_t refusals = g_uRefusals;
    const int note = NoteAt(2, 0);
    if (Note().ucFlags & NOTE_FLAG_HITS6) {
        Press(14);
        EXPECT_EQ(g_uRefusals, refusals + 1);
        EXPECT_EQ(NoteAt(2, 0), note) << "the note is not rewritten";
    }
    Press(12);
    EXPECT_EQ(g_iScreen, 14);
}

TEST_F(NotePanel, HeldDirectionsMoveEverySixFramesAndStopWithoutANeighbour)
{
    // Right held for 13 frames from gadget 0: 0 -> 1 at once, -> 2 six frames later, then no
    // neighbour to the right.
    Play({{0, STEP::PAD_DOWN, 5}, {13, STEP::PAD_UP, 5}}, 14);
    EXPECT_EQ(g_ucNoteGadget, 2);
    Play({{0, STEP::PAD_DOWN, 4}, {1, STEP::PAD_UP, 4}}, 7);
    EXPECT_EQ(g_ucNoteGadget, 2) << "nothing above";
    Play({{0, STEP::PAD_DOWN, 6}, {1, STEP::PAD_UP, 6}}, 7);
    EXPECT_EQ(g_ucNoteGadget, 4);
}

TEST_F(RiffEditor, CellBufferRingWrapsAndTheCurrentChannelWins)
{
    g_aInstrumentSlots[1].ucKey1 = g_aInstrumentSlots[1].uKey2 = g_aInstrumentSlots[1].uKey3 = 1;
    const int riff = Seq_NewRiff(4, 2);
    Seq_PlaceRiff(riff, 0, 0, 0, 1);
    Seq_CountUsedRows();
    SongGridAt(0, 0);
    Frame();
    Press(11);
    ASSERT_EQ(g_ucGridKind, 3);
    // The same step and pitch on both channels: channel 1's note under channel 0's.
    g_CurrentNote = g_DefaultNote;
    g_CurrentNote.ucLevel = 200;
    Seq_SelectInstrument(1, 3, 0);
    ASSERT_EQ(Seq_SetRiffNote(g_uCurrentRiff, 1, 1, 1, 1, 0, 0), 1);
    Seq_SelectInstrument(1, 3, 0);
    ASSERT_EQ(Seq_SetRiffNote(g_uCurrentRiff, 1, 0, 1, 1, 0, 0), 1);
    Ui_ClearCellBuffer();
    uint8_t packet[48] = {};
    Ui_DrawRiffCell(packet, 1, 11, 0, 0);
    EXPECT_EQ(g_aaabCellBuffer[11][Ui_CellBufferColumn(1)][1], 0) << "current channel's note";
    g_ucCurrentChannel = 1;
    Ui_DrawRiffCell(packet, 1, 11, 0, 0);
    EXPECT_EQ(g_aaabCellBuffer[11][Ui_CellBufferColumn(1)][1], 0) << "channel 1 is current now";
    g_aucChannelEnabled[1] = 0;
    Ui_DrawRiffCell(packet, 1, 11, 0, 0);
    EXPECT_EQ(g_aaabCellBuffer[11][Ui_CellBufferColumn(1)][1], 1) << "muted current: the other channel shows, dim";
    g_aucChannelEnabled[1] = 1;
    g_ucCurrentChannel = 0;
    // Eighteen scrolls to the right bring the origin back; left from 0 wraps to 17.
    const uint8_t origin = g_ucCellBufferOrigin;
    for (int i = 0; i < 18; i++) {
        int32_t right = 1;
        Ui_ScrollCellBuffer(&right);
    }
    EXPECT_EQ(g_ucCellBufferOrigin, origin);
    Ui_ClearCellBuffer();
    int32_t left = 2;
    Ui_ScrollCellBuffer(&left);
    EXPECT_EQ(g_ucCellBufferOrigin, 17);
    // A column left of the view still maps into the ring.
    EXPECT_GE(Ui_CellBufferColumn(g_pGridView->firstColumn - 5), 0);
    EXPECT_LT(Ui_CellBufferColumn(g_pGridView->firstColumn - 5), 18);
    g_aInstrumentSlots[1] = INSTRUMENTSLOT{};
}

// Escape asks whether to quit on the song and video grid screens; anywhere else it runs the
// screen's back slot (the mute panel closes to the grid).
TEST_F(RiffEditor, EscapeAsksToQuitOnTheGridsAndBacksOutElsewhere)
{
    const auto asked = []() {
        const auto &log = Sys_CallLogGet();
        return std::count(log.begin(), log.end(), std::string("Ui_AskQuit"));
    };
    SongGridAt(0, 0);
    const struct
    {
        int32_t screen;
        long asks;
        int32_t after;
    } cases[] = {{0, 1, 0}, {7, 1, 7}, {51, 0, 0}};
    for (const auto &c : cases) {
        Ui_ResetMessageBoxes();
        Sys_CallLogClear();
        Sys_CallLogEnable(true);
        g_iScreen = c.screen;
        Ui_EscapeAction();
        EXPECT_EQ(asked(), c.asks) << c.screen;
        if (c.asks == 0) {
            EXPECT_EQ(g_iScreen, c.after) << c.screen;
        }
        Sys_CallLogEnable(false);
    }
    Ui_ResetMessageBoxes();
    Sys_CallLogClear();
    g_iScreen = 0;
    g_bAudioMixEnabled = 1;
}

TEST_F(RiffEditor, CloseRequestQuitsFromTheGridsAndBacksOutElsewhere)
{
    const auto asked = []() {
        const auto &log = Sys_CallLogGet();
        return std::count(log.begin(), log.end(), std::string("Ui_AskQuit"));
    };
    SongGridAt(0, 0);
    Sys_CallLogClear();
    Sys_CallLogEnable(true);
    g_iScreen = 0;
    Ui_HandleCloseRequest();
    EXPECT_EQ(asked(), 1) << "the song grid asks to quit";
    // On the mute panel the back slot runs instead: the panel closes, nothing is asked.
    g_iScreen = 51;
    Ui_HandleCloseRequest();
    EXPECT_EQ(asked(), 1);
    EXPECT_EQ(g_iScreen, 0);
    Sys_CallLogEnable(false);
    Sys_CallLogClear();
    PLATEVENT ev{};
    while (Plat_PollEvent(&ev)) {
    }
    g_bAudioMixEnabled = 1;
}

} // namespace

// The area's "Change note parameters": the panel shows the area's first note, and leaving it gives
// every note starting in the marked columns its settings, on enabled channels only; one undo step
// takes them all back. An area without notes is refused.
TEST_F(NotePanel, AreaSettingsGoToEveryNoteOfTheMarkedColumns)
{
    Press(12);
    ASSERT_EQ(g_iScreen, 0);
    Seq_SelectInstrument(1, 2, 0);
    ASSERT_EQ(Seq_SetRiffNote(g_uCurrentRiff, 9, 0, 1, 1, 0, 0), 1);
    ASSERT_EQ(Seq_SetRiffNote(g_uCurrentRiff, 14, 0, 1, 1, 0, 0), 1);
    Seq_CloseUndoStep();
    const auto level = [&](int step) {
        const NOTEENTRY *n = Seq_GetNote(NoteAt(step, 0));
        return n ? int(n->ucLevel) : -1;
    };
    const int before[] = {level(2), level(9), level(14)};
    ASSERT_NE(before[0], 33);

    struct CASE
    {
        const char *name;
        int from, to;      // the marked columns
        bool opens;        // the panel opens
        int expect[3];     // levels of the notes at steps 2, 9 and 14 after leaving (-2: unchanged)
    };
    const CASE cases[] = {
        {"columns 0-10 hold two notes", 0, 10, true, {33, 33, -2}},
        {"columns 3-8 hold none", 3, 8, false, {-2, -2, -2}},
        {"column 14 alone", 14, 14, true, {-2, -2, 33}},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        g_asGridMark[0] = int16_t(c.from);
        g_asGridMark[2] = int16_t(c.to);
        g_asGridMark[1] = g_asGridMark[3] = 0;
        g_iNextScreen = -1;
        Ui_AreaNoteParams();
        if (!c.opens) {
            EXPECT_EQ(g_iNextScreen, -1) << "refused";
            EXPECT_EQ(g_ucNotePanelFlags & 1, 0);
            continue;
        }
        Play({}, 1);
        ASSERT_EQ(g_iScreen, 14);
        EXPECT_EQ(g_ucNotePanelFlags & 1, 1);
        EXPECT_NE(g_tSelectedNote.ucState, 255) << "the panel shows the area's first note";
        g_tSelectedNote.ucLevel = 33;
        Press(12);
        EXPECT_EQ(g_iScreen, 0);
        EXPECT_EQ(g_ucNotePanelFlags & 1, 0);
        const int steps[] = {2, 9, 14};
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(level(steps[i]), c.expect[i] == -2 ? before[i] : c.expect[i]) << "step " << steps[i];
        Seq_UndoLastStep();
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(level(steps[i]), before[i]) << "undone, step " << steps[i];
    }
}
