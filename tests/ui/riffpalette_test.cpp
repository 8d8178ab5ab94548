// The riff palette and riff menu actions, the icon picker, live note entry from the pad and the
// MIDI keyboard, and AM channels, driven through the widget frame with the pad and the scripted
// MIDI port; what is heard goes through the mix pump into a WAV dump. Frames are written out as
// PNGs (TNV_TEST_PNG_DIR) for a person to look at.
#include "ui_fixture.h"

#include "app/startup.h"
#include "app/timers.h"
#include "audio/midiin.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "editors/options.h"
#include "editors/songlanes.h"
#include "platform/audio_out.h"
#include "platform/midi_in.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "support/tempdir.h"
#include "tools/demosong.h"
#include "ui/amchannels.h"
#include "ui/bindings.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/iconpicker.h"
#include "ui/langtext.h"
#include "ui/liveentry.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/noteparams.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/riffeditor.h"
#include "ui/riffpalette.h"
#include "ui/textentry.h"
#include "ui/valueslider.h"
#include "ui/view.h"
#include "video/lanes.h"

#include <cmath>
#include <cstdlib>
#include <functional>

using namespace uitest;

namespace {

class RiffMenus : public UiTest
{
protected:
    TempDir m_dir;

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
        std::memset(g_aucChannelEnabled, 1, sizeof g_aucChannelEnabled);
        Ui_ResetMessageBoxes();
    }
    void TearDown() override
    {
        Ui_EndLiveEntry();
        Seq_StopRiffPreview();
        Seq_StopSong();
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
        Plat_MidiInHeadlessSetPorts(0);
        Ui_ResetMessageBoxes();
        Ui_CloseGridScreen();
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

    // Frames with the pad: `slot` down for the first two frames, then up; -1 presses nothing.
    void Frames(int n, int slot = -1, const std::function<void(int)> &each = nullptr)
    {
        for (int f = 0; f < n; f++) {
            SetPad(1, 0x00, 0x41, uint16_t(slot >= 0 && f < 2 ? ~(1u << slot) : 0xFFFF));
            Frame();
            if (each)
                each(f);
        }
    }
    static void WritePng(const char *name)
    {
        if (const char *dir = std::getenv("TNV_TEST_PNG_DIR"))
            TestLayer_WritePng(std::string(dir) + "/" + name + ".png");
    }
    static void SongGrid()
    {
        Ui_SetGridPlace(2, -1, -1, 0, 0);
        ASSERT_TRUE(Ui_SetupGridScreen(2));
        g_iScreen = 0;
        g_iNextScreen = -1;
    }
    static int32_t Riff(const char *name, int bars = 1, int tracks = 1)
    {
        const int32_t r = Seq_NewRiff(bars, tracks);
        char n[16] = {};
        std::snprintf(n, sizeof n, "%s", name);
        Seq_SetRiffName(r, n);
        return r;
    }
    static std::string Name(int32_t riff)
    {
        char n[17] = {};
        Seq_GetRiffName(riff, n);
        return n;
    }
    static int Row(int32_t riff)
    {
        for (int i = 1; i <= g_uRiffListCount; i++)
            if (g_auRiffList[i] == riff)
                return i - 1;
        return -1;
    }
    static void Select(int32_t riff)
    {
        ASSERT_NE(g_pCurrentPopup, nullptr);
        g_pCurrentPopup->list->selected = uint16_t(Row(riff));
    }
    static std::string BoxText()
    {
        return g_pCurrentMsgBox && g_pCurrentMsgBox->pWindow ? g_pCurrentMsgBox->pszText : "";
    }
    static void Answer(uint8_t button)
    {
        ASSERT_NE(g_pCurrentMsgBox, nullptr);
        g_pCurrentMsgBox->ucChosen = button;
        Ui_MessageBoxAccept();
    }
    static void Type(const char *text)
    {
        ASSERT_NE(g_pTextEntryWindow, nullptr);
        std::snprintf(g_szTextEntryField, sizeof g_szTextEntryField, "%s", text);
        Ui_AcceptTextEntry();
    }
    static int FirstSoundingSlot()
    {
        for (int s = 1; s < SEQ_INSTRUMENT_SLOTS; s++)
            if (!Seq_InstrumentSlotFree(s) && Seq_InstrumentSampleLength(s) > 0)
                return s;
        return 0;
    }
    // The mix pump runs 20 ms a frame into the virtual device, recorded to `wav`.
    void StartSound(const std::string &wav)
    {
        setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
        Snd_EnumOutputDevices(nullptr);
        ASSERT_EQ(Snd_OpenOutputDevice(nullptr, 0), 0);
        ASSERT_EQ(Snd_CreateStreamBuffer(), 0);
        g_bMixPumpOn = 1;
    }
    static void Pump(int)
    {
        for (int ms = 0; ms < 20; ms++) {
            Plat_ManualClockAdvance(1000);
            Sys_MixTimerProc(nullptr);
        }
    }
    static std::vector<int16_t> StopSound(const std::string &wav)
    {
        g_bMixPumpOn = 0;
        Seq_StopRiffPreview();
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
        std::vector<int16_t> left;
        if (Snd_WavOpenRead(wav.c_str()) != 0)
            return left;
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        left.assign(l, l + frames);
        std::free(l);
        std::free(r);
        return left;
    }
    static double Level(const std::vector<int16_t> &x)
    {
        double s = 0;
        for (int16_t v : x)
            s += std::abs(double(v));
        return x.empty() ? 0 : s / double(x.size());
    }
    // The riff editor open on a riff of `tracks` channels with the demo song's instruments.
    void EditorOn(int tracks, int32_t *riff)
    {
        ASSERT_EQ(Content_BuildDemoSong(), 0);
        *riff = Seq_NewRiff(1, tracks);
        Seq_PlaceRiff(*riff, 40, 0, 0, 1);
        Seq_CountUsedRows();
        SongGrid();
        Frame();
        Ui_OpenRiffEditor(*riff);
        Frames(2);
        ASSERT_EQ(g_ucGridKind, 3);
        ASSERT_EQ(g_uCurrentRiff, *riff);
        g_uNoteEditInstrument = uint16_t(FirstSoundingSlot());
        ASSERT_GT(g_uNoteEditInstrument, 0);
    }
    static int NoteAt(int step, int track)
    {
        RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
        return r && track < r->ucTracks ? *Seq_RiffCell(r, step, track) : 0;
    }
};

// Rename, delete, purge, find and re-icon through the palette's menu items, with the boxes that
// guard them and what they do to the undo log.
TEST_F(RiffMenus, PaletteRenamesDeletesPurgesFindsAndReIcons)
{
    const int32_t lead = Riff("Lead"), bass = Riff("Bass", 2, 2), spare = Riff("Spare"), other = Riff("Other");
    Seq_PlaceRiff(lead, 0, 0, 0, 1);
    Seq_PlaceRiff(lead, 30, 5, 0, 1);
    Seq_PlaceRiff(bass, 4, 2, 0, 1);
    Seq_CountUsedRows();
    SongGrid();
    Frame();
    Ui_OpenRiffPalettePopup();
    Frames(3);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, POPUP_RIFF_PALETTE);
    ASSERT_EQ(g_pCurrentPopup->list->totalRows, 4);

    // A row past the list is refused by every list action.
    g_pCurrentPopup->list->selected = 9;
    const uint32_t refusals = g_uRefusals;
    Ui_RenamePaletteRiff();
    Ui_DeletePaletteRiff();
    EXPECT_EQ(g_uRefusals, refusals + 2);
    EXPECT_EQ(g_pTextEntryWindow, nullptr);

    // Rename: a name in use asks again and keeps the old one; the riff's own name and a new one
    // are taken.
    Select(spare);
    Ui_RenamePaletteRiff();
    Type("Lead");
    EXPECT_EQ(BoxText(), Ui_Text(540));
    EXPECT_EQ(Name(spare), "Spare");
    Answer(0);
    ASSERT_NE(g_pTextEntryWindow, nullptr) << "the entry opens again";
    EXPECT_STREQ(g_szTextEntryField, "Spare");
    Type("Spare");
    EXPECT_EQ(BoxText(), "") << "keeping its own name is no clash";
    Select(spare);
    Ui_RenamePaletteRiff();
    Type("Pad 16 chars long!");
    EXPECT_EQ(Name(spare), "Pad 16 chars lo") << "at most 15 characters";
    EXPECT_EQ(g_iNextScreen, 9);
    Frames(2);
    WritePng("riffpalette_renamed");

    // Re-icon from the palette: the palette's riff changes, not the current one; undo restores it.
    Select(bass);
    Seq_SetRiffType(bass, 2);
    g_uCurrentRiff = 0;
    Ui_ChangePaletteRiffIcon();
    Frames(12); // the text entry's key delay runs out
    ASSERT_NE(g_pIconPickerWindow, nullptr);
    EXPECT_EQ(g_iScreen, 52);
    EXPECT_EQ(g_ucIconCell, 2);
    Frames(6, 6); // down: cell 10
    Frames(6, 5); // right: cell 11
    EXPECT_EQ(g_ucIconCell, 11);
    WritePng("riffpalette_iconpicker");
    Frames(3, 14);
    EXPECT_EQ(g_pIconPickerWindow, nullptr);
    EXPECT_EQ(Seq_GetRiff(bass)->ucType, 11);
    EXPECT_EQ(g_iScreen, 9) << "back on the palette";
    Seq_UndoLastStep();
    EXPECT_EQ(Seq_GetRiff(bass)->ucType, 2) << "undo restores the icon";
    Seq_RedoLastStep();
    EXPECT_EQ(Seq_GetRiff(bass)->ucType, 11);
    ASSERT_TRUE(Seq_CanUndo());

    // Find: from the cursor on, then from the grid's start.
    Select(lead);
    Ui_FindPaletteRiff();
    EXPECT_EQ(g_pGridView->firstColumn, 29);
    EXPECT_EQ(g_pGridView->firstRow, 4);
    // Again: the search goes on after the cursor's cell, and past the last placement starts over.
    Ui_FindPaletteRiff();
    EXPECT_EQ(g_pGridView->firstColumn, -1);
    EXPECT_EQ(g_pGridView->firstRow, -1);
    Ui_FindPaletteRiff();
    EXPECT_EQ(g_pGridView->firstColumn, 29);

    // Delete: an unused riff goes without a question, and the undo log with it.
    Select(other);
    Ui_DeletePaletteRiff();
    EXPECT_EQ(BoxText(), "");
    EXPECT_EQ(Row(other), -1);
    EXPECT_FALSE(Seq_CanUndo()) << "deleting clears the undo log";
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, 3);

    // A used riff asks; Cancel keeps it, Okay deletes it from the grid too.
    Select(bass);
    Ui_DeletePaletteRiff();
    EXPECT_EQ(BoxText(), Ui_Text(275));
    Answer(0);
    Frames(4);
    EXPECT_EQ(Seq_CountRiffInGrid(bass), 1);
    Select(bass);
    Ui_DeletePaletteRiff();
    Answer(1);
    EXPECT_EQ(Seq_GetRiffStartingAt(4, 2), 0);
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, 2);
    EXPECT_EQ(g_iNextScreen, 9);
    char why[200];
    EXPECT_EQ(Seq_CheckSongModel(why, sizeof why), 0) << why;

    // Purge: one unused riff, then none.
    const int32_t renamed = g_auRiffList[2] == 0 ? 0 : g_auRiffList[Row(lead) == 0 ? 2 : 1];
    ASSERT_EQ(Name(renamed), "Pad 16 chars lo");
    Seq_PlaceRiff(Seq_GetRiffStartingAt(0, 0), 60, 0, 0, 0);
    Seq_CloseUndoStep();
    ASSERT_TRUE(Seq_CanUndo());
    Frames(4);
    Ui_RemoveUnusedRiffs();
    EXPECT_EQ(BoxText(), Ui_Text(277));
    Answer(1);
    EXPECT_EQ(BoxText(), std::string(Ui_Text(278)) + " " + Ui_Text(280));
    EXPECT_FALSE(Seq_CanUndo()) << "purging clears the undo log";
    Answer(0);
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, 1);
    EXPECT_EQ(g_pCurrentPopup->list->selected, 0);
    Frames(2);
    WritePng("riffpalette_purged");
    Frames(4);
    Ui_RemoveUnusedRiffs();
    Answer(1);
    EXPECT_EQ(BoxText(), Ui_Text(281));
    Answer(0);
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, 1);
    EXPECT_EQ(Seq_CheckSongModel(why, sizeof why), 0) << why;

    // Paste at the grid cursor: placed, the palette closes; onto a taken cell the same close
    // comes with the refusal sound.
    g_pGridView->firstColumn = 49;
    g_pGridView->firstRow = -1;
    g_sGridCursorX = g_sGridCursorY = 0;
    Select(lead);
    Ui_PastePaletteRiff();
    EXPECT_EQ(Seq_GetRiffStartingAt(50, 0), lead);
    EXPECT_EQ(g_pCurrentPopup, nullptr);
    Frames(2);
    Ui_OpenRiffPalettePopup();
    Frames(3);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    Select(lead);
    const uint32_t before = g_uRefusals;
    const int32_t placed = Seq_CountRiffInGrid(lead);
    Ui_PastePaletteRiff();
    EXPECT_EQ(g_uRefusals, before + 1) << "a paste that does not fit says so";
    EXPECT_EQ(Seq_CountRiffInGrid(lead), placed);
}

TEST_F(RiffMenus, IconPickerMovesStopAtItsEdges)
{
    const int32_t riff = Riff("Keys");
    g_uCurrentRiff = uint16_t(riff);
    Ui_OpenIconPicker(ICONPICKER_CURRENT);
    ASSERT_NE(g_pIconPickerWindow, nullptr);
    struct MOVE
    {
        int from;
        void (*move)();
        int to;
    } moves[] = {
        {7, Ui_IconPickerRight, 7}, {8, Ui_IconPickerLeft, 8},  {3, Ui_IconPickerDown, 11},
        {11, Ui_IconPickerUp, 3},   {15, Ui_IconPickerRight, 15}, {12, Ui_IconPickerDown, 12},
        {0, Ui_IconPickerLeft, 0},  {6, Ui_IconPickerRight, 7},
    };
    for (const MOVE &m : moves) {
        g_ucIconCell = uint8_t(m.from);
        g_iRepeatDelay = 0;
        g_iKeyRepeatCount = 0;
        m.move();
        EXPECT_EQ(g_ucIconCell, m.to) << "from " << m.from;
    }
    // A move waits for its delay.
    g_ucIconCell = 0;
    g_iRepeatDelay = 0;
    Ui_IconPickerRight();
    Ui_IconPickerRight();
    EXPECT_EQ(g_ucIconCell, 1);
    Ui_IconPickerClose();
    EXPECT_EQ(g_pIconPickerWindow, nullptr);
    Seq_SetRiffType(riff, 3);
    EXPECT_EQ(Seq_GetRiff(riff)->ucType, 3) << "closing chose nothing";
}

// Notes from the scripted MIDI port, entered live while the riff plays: the right steps,
// pitches and channels, heard in the dump; practice only plays them.
TEST_F(RiffMenus, LiveMidiNotesLandOnTheirStepsPitchesAndChannelsAndSound)
{
    int32_t riff = 0;
    EditorOn(4, &riff);
    Plat_MidiInHeadlessSetPorts(1);
    ASSERT_EQ(Snd_EnumMidiInDevices(), 0);
    g_iMidiInDevice = 0;
    g_iMidiChannelFilter = -1;
    const std::string wav = m_dir.Path() + "/live.wav";
    StartSound(wav);
    Ui_StartLiveEntry();
    Frames(1, -1, Pump);
    EXPECT_EQ(g_iScreen, 58);
    ASSERT_EQ(g_bMidiInOpen.load(), 1);
    auto Key = [](int note, int velocity) {
        const uint8_t b[3] = {0x90, uint8_t(note), uint8_t(velocity)};
        return Plat_MidiInHeadlessInject(b, 3, 0);
    };
    // A chord at step 2: three channels in turn; an octave above 5 is ignored.
    g_sGridCursorX = 2;
    ASSERT_EQ(Key(48, 100), 1);
    ASSERT_EQ(Key(52, 90), 1);
    ASSERT_EQ(Key(55, 80), 1);
    ASSERT_EQ(Key(84, 80), 1);
    EXPECT_EQ(NoteAt(2, 0), 0) << "nothing is entered from the driver's thread";
    EXPECT_EQ(Snd_DispatchLiveNotes(), 4);
    struct WANT
    {
        int channel, pitch, level;
    } want[] = {{0, 48, 200}, {1, 52, 180}, {2, 55, 160}};
    for (const WANT &w : want) {
        const NOTEENTRY *n = Seq_GetNote(NoteAt(2, w.channel));
        ASSERT_NE(n, nullptr) << "channel " << w.channel;
        EXPECT_EQ(n->ucPitch, w.pitch);
        EXPECT_EQ(n->ucLevel, w.level);
        EXPECT_EQ(n->uInstrument, g_uNoteEditInstrument);
    }
    EXPECT_EQ(NoteAt(2, 3), 0) << "the note above octave 5 is ignored";
    EXPECT_EQ(g_ucCurrentChannel, 3);
    EXPECT_EQ(g_aiKeyLights[11 - 7], 6);
    // A disabled channel refuses.
    g_aucChannelEnabled[3] = 0;
    const uint32_t refusals = g_uRefusals;
    Key(60, 100);
    Snd_DispatchLiveNotes();
    EXPECT_EQ(g_uRefusals, refusals + 1);
    EXPECT_EQ(g_ucCurrentChannel, 0);
    g_aucChannelEnabled[3] = 1;
    Frames(30, -1, Pump);
    WritePng("liveentry_chord");
    const std::vector<int16_t> heard = StopSound(wav);
    ASSERT_GT(heard.size(), 44100u / 2);
    EXPECT_GT(Level(heard), 100.0) << "the riff with its chord is heard";
    Ui_EndLiveEntry();
    EXPECT_EQ(g_bMidiInOpen.load(), 0);
    EXPECT_EQ(g_bContinuousEntry, 0);

    // Practice: heard, never written.
    Ui_StartPractice();
    Frames(1);
    g_sGridCursorX = 6;
    Key(50, 100);
    Snd_DispatchLiveNotes();
    g_sGridCursorY = 4;
    Frames(2, 14); // the pad's enter key
    for (int ch = 0; ch < 4; ch++)
        EXPECT_EQ(NoteAt(6, ch), 0);
    Ui_EndLiveEntry();
    EXPECT_EQ(g_bLivePractice, 0);

    // Live entry from the pad: the step under the view's first column, the cursor's pitch row.
    Ui_StartLiveEntry();
    Frames(1);
    g_ucCurrentChannel = 1;
    g_pGridView->firstColumn = 8;
    g_sGridCursorY = 4;
    Ui_LiveEnterNote();
    const NOTEENTRY *n = Seq_GetNote(NoteAt(9, 1));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->ucPitch % 12, 7);
}

TEST_F(RiffMenus, AmChannelLinksAddRemoveAndRefuseAtTwelve)
{
    // The links follow the riff's join bits; a bit on the last channel has nothing to join.
    struct CASE
    {
        int tracks;
        uint16_t flags;
        uint8_t links[12];
    } cases[] = {
        {6, 0x0005, {2, 1, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2}},
        {6, 0x0003, {2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
        {4, 0x0008, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
        {12, 0x0800, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
    };
    for (const CASE &c : cases) {
        const int32_t riff = Seq_NewRiff(1, c.tracks);
        Seq_GetRiff(riff)->uFlags = c.flags;
        g_uCurrentRiff = uint16_t(riff);
        Ed_RebuildChannelLinkFlags();
        EXPECT_EQ(g_ucChannelCount, c.tracks);
        EXPECT_EQ(std::vector<uint8_t>(g_aucChannelLink, g_aucChannelLink + 12),
                  std::vector<uint8_t>(c.links, c.links + 12))
            << "flags " << c.flags;
    }

    int32_t riff = 0;
    EditorOn(2, &riff);
    // Renaming the open riff starts from its own name, whatever the hover text held.
    Seq_SetRiffName(riff, "Warm");
    std::snprintf(g_szCursorItemName, sizeof g_szCursorItemName, "%s", "hover text");
    Ui_RenameCurrentRiff();
    EXPECT_STREQ(g_szTextEntryField, "Warm");
    Type("Wobble");
    EXPECT_EQ(Name(riff), "Wobble");
    // With nothing copied, "Paste copied notes" is greyed and refuses.
    Ui_UpdatePasteNotesItem();
    EXPECT_EQ(g_atMenuItems[95].handler, nullptr);
    const uint32_t refusals = g_uRefusals;
    Ui_PasteCopiedNotes();
    EXPECT_EQ(g_uRefusals, refusals + 1);
    // Add after channel 0: the riff grows to three, the new channel 1 is current and joined.
    g_ucCurrentChannel = 0;
    g_aucChannelEnabled[1] = 0;
    Ed_LinkChannel();
    EXPECT_EQ(BoxText(), Ui_Text(301));
    Answer(0);
    EXPECT_EQ(Seq_GetRiff(riff)->ucTracks, 3);
    EXPECT_EQ(g_ucCurrentChannel, 1);
    EXPECT_TRUE(Ed_IsLinkedChannel(1));
    EXPECT_EQ(g_aucChannelEnabled[1], 1);
    EXPECT_EQ(g_aucChannelEnabled[2], 0) << "the old channel 1 keeps its enable byte";
    Ui_RewriteMenuRows(4);
    EXPECT_EQ(g_atMenuItems[132].handler, Ed_AskUnlinkChannel);

    // Removal from the AM channel: it goes, its partner is current.
    Ed_AskUnlinkChannel();
    EXPECT_EQ(BoxText(), Ui_Text(300));
    Answer(1);
    EXPECT_EQ(Seq_GetRiff(riff)->ucTracks, 2);
    EXPECT_EQ(g_ucCurrentChannel, 0);
    EXPECT_FALSE(Ed_IsLinkedChannel(1));

    // A riff of twelve channels cannot have another.
    const int32_t full = Seq_NewRiff(1, 12);
    g_uCurrentRiff = uint16_t(full);
    Ed_RebuildChannelLinkFlags();
    g_ucCurrentChannel = 3;
    Ed_LinkChannel();
    EXPECT_EQ(BoxText(), Ui_Text(299));
    EXPECT_EQ(Seq_GetRiff(full)->ucTracks, 12);
    char why[200];
    EXPECT_EQ(Seq_CheckSongModel(why, sizeof why), 0) << why;
}

// A riff given an AM channel: a note entered there becomes the silent modifier of the pair, and
// the note it modulates follows the modifier's envelope: full before the modifier starts, then
// shaped by it and gone once the modifier has died away, where the same riff without it still
// sounds.
TEST_F(RiffMenus, AnAmChannelNoteBecomesTheModifierOfThePair)
{
    int32_t riff = 0;
    EditorOn(1, &riff);
    // A long note on channel 0 at step 0.
    g_ucCurrentChannel = 0;
    g_sGridCursorX = 0;
    Ui_LiveEntryMidiNote(48, 120);
    ASSERT_GT(NoteAt(0, 0), 0);
    Seq_SetNoteLength(riff, 0, 0, 16);
    Seq_CloseUndoStep();
    auto Play = [&](const char *name) {
        const std::string wav = m_dir.Path() + "/" + name + ".wav";
        StartSound(wav);
        g_ucPreviewMode = 1;
        Seq_PlayRiffPreview(0, riff);
        Frames(55, -1, Pump);
        return StopSound(wav);
    };
    // Mean level over [from, to) seconds of the dump.
    auto Window = [](const std::vector<int16_t> &x, double from, double to) {
        const size_t a = std::min(x.size(), size_t(from * 44100)), b = std::min(x.size(), size_t(to * 44100));
        return Level(std::vector<int16_t>(x.begin() + long(a), x.begin() + long(b)));
    };
    const std::vector<int16_t> plain = Play("plain");
    EXPECT_GT(Level(plain), 100.0) << "the note is heard";

    // An AM channel with a note at step 4: stored as the second of the pair, at no level of its own.
    Ed_LinkChannel();
    Answer(0);
    ASSERT_EQ(g_ucCurrentChannel, 1);
    g_sGridCursorX = 4;
    Ui_LiveEntryMidiNote(48, 120);
    const NOTEENTRY *am = Seq_GetNote(NoteAt(4, 1));
    ASSERT_NE(am, nullptr);
    EXPECT_TRUE(am->ucFlags & NOTE_FLAG_SECOND_OF_PAIR);
    EXPECT_FALSE(am->ucFlags & NOTE_FLAG_JOINED);
    EXPECT_EQ(am->ucLevel, 0);
    EXPECT_TRUE(Seq_GetRiff(riff)->uFlags & 1) << "channel 0 is joined to its AM channel";
    Frames(2);
    WritePng("amchannel_modifier");
    const std::vector<int16_t> paired = Play("paired");
    ASSERT_GT(plain.size(), size_t(1.0 * 44100));
    ASSERT_GT(paired.size(), size_t(1.0 * 44100));
    // Steps 0-3 (0.46 s at 130 BPM) come before the modifier: the note as it was.
    const double early = Window(plain, 0.1, 0.4), earlyPaired = Window(paired, 0.1, 0.4);
    EXPECT_GT(earlyPaired, 0.7 * early) << early << " " << earlyPaired;
    // Once the modifier has died away it has taken the note with it; alone the note still sounds.
    const double late = Window(plain, 0.8, 1.0), latePaired = Window(paired, 0.8, 1.0);
    EXPECT_GT(late, 100.0);
    EXPECT_LT(latePaired, 0.2 * late) << late << " " << latePaired;
    // The modifier itself is never heard: with channel 0 left out of the preview, all is silent.
    g_aucChannelEnabled[0] = 0;
    const std::vector<int16_t> alone = Play("alone");
    EXPECT_LT(Level(alone), 5.0);

    // The note panel on the modifier shows the AM channel's indicator.
    g_ucCurrentChannel = 1;
    for (int row = 0; row < 12; row++) {
        g_sSelectedStep = 4;
        g_sSelectedRow = int16_t(row);
        Ui_ReselectNote();
        if (g_tSelectedNote.ucState != 255)
            break;
    }
    ASSERT_NE(g_tSelectedNote.ucState, 255);
    Ui_OpenNoteParams();
    Frames(2);
    EXPECT_EQ(g_iScreen, 14);
    WritePng("amchannel_panel");
}

// "Change riff volume" sets the levels of the riff it was opened for: the palette's chosen riff,
// or the riff at the grid cursor, never the riff editor's last riff. The dialog starts from the
// riff's own start and end levels.
TEST_F(RiffMenus, RiffVolumeDialogSetsTheRiffItWasOpenedFor)
{
    const int32_t lead = Riff("Lead"), bass = Riff("Bass");
    Seq_PlaceRiff(lead, 0, 0, 0, 1);
    Seq_PlaceRiff(bass, 0, 1, 0, 1);
    Seq_CountUsedRows();
    struct CASE
    {
        const char *name;
        bool palette;
    } cases[] = {{"palette riff", true}, {"riff at the cursor", false}};
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        Seq_SetRiffLevels(lead, 100, 100);
        Seq_SetRiffLevels(bass, 80, 40);
        SongGrid();
        Frame();
        g_uCurrentRiff = uint16_t(lead); // the editor's last riff, not the one being set
        if (c.palette) {
            Ui_OpenRiffPalettePopup();
            Frames(3);
            Select(bass);
            Ui_PaletteRiffLevels();
        } else {
            g_sGridCursorX = 0;
            g_sGridCursorY = 1;
            ASSERT_EQ(Seq_RiffAtCell(Ui_GridCursorColumnRaw(), Ui_GridCursorRowRaw(), nullptr, nullptr), bass);
            Ui_CursorRiffLevels();
        }
        int32_t start = 0, end = 0;
        Seq_GetRiffLevels(bass, &start, &end);
        EXPECT_EQ(g_tLaneDialog.start, start);
        EXPECT_EQ(g_tLaneDialog.end, end);
        // Start down by 20, end up by 20, through the dialog's sliders.
        ASSERT_NE(g_atBarRangePage[0].widget, nullptr);
        Ui_StepValueSlider(g_atBarRangePage[0].widget, -20);
        Ui_StepValueSlider(g_atBarRangePage[1].widget, 20);
        Ed_CloseLaneDialog();
        int32_t s2 = 0, e2 = 0;
        Seq_GetRiffLevels(bass, &s2, &e2);
        EXPECT_NEAR(s2, start - 20, 1) << "the chosen riff took the levels";
        EXPECT_NEAR(e2, end + 20, 1);
        int32_t ls = 0, le = 0;
        Seq_GetRiffLevels(lead, &ls, &le);
        EXPECT_EQ(ls, 100) << "the editor's riff is untouched";
        EXPECT_EQ(le, 100);
        Frames(2);
        if (g_pCurrentPopup)
            Ui_ClosePopup();
        Frames(2);
    }
}

} // namespace
