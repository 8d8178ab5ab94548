// The chase editor's and the clip palette's own rules, on the video engine's pools with small
// recording chase types: default names, the globals written to the chase, the clipboard's
// references, value limits and keys, the timeline, finding a clip on the lanes, what the pointer
// does on the editor's regions, and the chase type pickers' choice joining the clip.
#include "../video/video_fixture.h"

#include "core/padbind.h"
#include "editors/chaseeditor.h"
#include "editors/clippalette.h"
#include "render/framecycle.h"
#include "sequencer/songmodel.h"
#include "core/idpool.h"
#include "ui/chasepicker.h"
#include "ui/clickactions.h"
#include "ui/clickmaps.h"
#include "ui/list.h"
#include "ui/mouse.h"
#include "ui/widgets.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

using vidtest::VideoTest;

class ChaseEditorTest : public VideoTest
{
protected:
    LISTWIDGET list{};
    int32_t savedCounter = 0, savedPadStep = 12;
    uint16_t savedRows = 0;

    void SetUp() override
    {
        VideoTest::SetUp();
        savedCounter = g_iClipNameCounter;
        savedPadStep = g_bPadStep;
        savedRows = g_uSongRowCount;
        list = LISTWIDGET{};
        list.visibleRows = 5;
    }
    void TearDown() override
    {
        if (g_pChaseClipboard)
            Vid_ReleaseChase(g_pChaseClipboard);
        g_pChaseClipboard = nullptr;
        if (g_pEditChase)
            Vid_ReleaseChase(g_pEditChase);
        g_pEditChase = nullptr;
        g_pChaseParamList = nullptr;
        g_ucChaseEditFlags = 0;
        g_ucChaseLevel = 0;
        g_iClipNameCounter = savedCounter;
        g_bPadStep = savedPadStep;
        g_uSongRowCount = savedRows;
        g_pFoundClip = nullptr;
        VideoTest::TearDown();
    }
    // The editor on a clip of an object chase and modifiers, as its window would hold it.
    VIDCLIP *Edit(std::initializer_list<int32_t> more)
    {
        VIDCLIP *clip = NewClip(objType, more);
        g_pPreviewClip = Vid_AddClipRef(clip);
        g_pChaseParamList = &list;
        g_ucChaseEditFlags = CHASEEDIT_OBJECT;
        Ed_ChaseRefresh();
        return clip;
    }
    void Select(int32_t n)
    {
        list.selected = uint16_t(n);
        Ed_ChaseRefresh();
    }
};

TEST_F(ChaseEditorTest, DefaultNamesAreBoundedAndReadBack)
{
    VIDCLIP *empty = Vid_NewClip();
    g_iClipNameCounter = 1;
    Ed_MakeClipName(empty);
    EXPECT_STREQ(empty->szName, "clip0001");
    EXPECT_EQ(Ed_ParseClipNumber(empty), 1);
    EXPECT_EQ(g_iClipNameCounter, 2);

    VIDCLIP *background = NewClip(resType); // stored id 2
    g_iClipNameCounter = 12;
    Ed_MakeClipName(background);
    EXPECT_STREQ(background->szName, "Backgro0012");
    // A counter past four digits still leaves a terminated 12-byte name.
    g_iClipNameCounter = 123456;
    Ed_MakeClipName(background);
    EXPECT_STREQ(background->szName, "Backgro3456");
    EXPECT_EQ(Ed_ParseClipNumber(background), 3456);

    const struct
    {
        const char *name;
        int32_t number;
    } names[] = {{"Backgro0042", 42}, {"Backgro042", 0}, {"Backgro00x2", 0}, {"Shape0042", 0}, {"", 0}};
    for (const auto &n : names) {
        std::memset(background->szName, 0, sizeof background->szName);
        std::memcpy(background->szName, n.name, std::strlen(n.name));
        EXPECT_EQ(Ed_ParseClipNumber(background), n.number) << n.name;
    }
    EXPECT_EQ(Ed_ParseClipNumber(nullptr), 0);
}

TEST_F(ChaseEditorTest, GlobalsWriteTheChaseAndFollowTheController)
{
    Edit({});
    const struct
    {
        int16_t level;
        uint8_t written;
    } levels[] = {{1, 5}, {51, 255}, {26, 130}, {0, 5}, {99, 255}};
    for (const auto &l : levels) {
        g_sChaseTriggerLevel = l.level;
        Ed_WriteChaseSettings();
        EXPECT_EQ(g_pEditChase->ucDuration, l.written) << l.level;
    }
    g_atChaseSliders[0].ucPosition = 40;
    g_atChaseSliders[2].ucPosition = 3;
    Ed_WriteChaseSettings();
    EXPECT_EQ(g_pEditChase->ucTrigA, 40);
    EXPECT_EQ(g_pEditChase->ucWorkTrigA, 40);
    EXPECT_EQ(g_pEditChase->ucMode, 3);

    // Sixteen buttons give 17 positions; a 12-button pad leaves none past its 13th.
    g_bPadStep = 16;
    Ed_UpdatePadTriggerRange();
    EXPECT_EQ(g_atChaseSliders[1].ucPositions, 17);
    g_atChaseSliders[1].ucPosition = 16;
    g_bPadStep = 12;
    Ed_UpdatePadTriggerRange();
    EXPECT_EQ(g_atChaseSliders[1].ucPositions, 13);
    EXPECT_EQ(g_atChaseSliders[1].ucPosition, 12);

    // Right twice on the sliders goes on to the level screen.
    g_iNextScreen = -1;
    g_atChaseSliders[0].ucArrow = 0;
    g_ucChaseSlider = 0;
    Ed_ChaseSliderRight();
    EXPECT_EQ(g_iNextScreen, -1);
    Ed_ChaseSliderRight();
    EXPECT_EQ(g_iNextScreen, 45);
    g_iNextScreen = -1;
}

TEST_F(ChaseEditorTest, ClipboardHoldsOneReferenceAndEntriesStayCapped)
{
    VIDCLIP *clip = Edit({modType, paletteType});
    CHASE *second = Vid_GetClipEntryChase(clip, 2);
    CHASE *third = Vid_GetClipEntryChase(clip, 3);
    const uint32_t secondRefs = second->uRefCount;

    // The head of the chain is neither cut nor copied.
    Select(0);
    Ed_ChaseCopyChase();
    Ed_ChaseCutChase();
    EXPECT_EQ(g_pChaseClipboard, nullptr);
    EXPECT_EQ(clip->sEntryCount, 3);

    Select(1);
    Ed_ChaseCopyChase();
    EXPECT_EQ(g_pChaseClipboard, second);
    // A cut replaces the copy: the chase the clipboard held is let go.
    Select(2);
    Ed_ChaseCutChase();
    EXPECT_EQ(g_pChaseClipboard, third);
    Select(0);
    EXPECT_EQ(second->uRefCount, secondRefs) << "the replaced clipboard chase keeps no reference";
    EXPECT_EQ(clip->sEntryCount, 2);

    Ed_ChasePasteChase();
    EXPECT_EQ(clip->sEntryCount, 3);
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 2), third);

    // A clone takes the entry's place, held by the clip and the editor alone.
    Select(1);
    CHASE *original = Vid_GetClipEntryChase(clip, 2);
    Ed_ChaseCloneChase();
    CHASE *copy = Vid_GetClipEntryChase(clip, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_EQ(copy, g_pEditChase);
    EXPECT_EQ(copy->uRefCount, 2u);
    EXPECT_EQ(clip->sEntryCount, 3);

    // No clip grows past the video grid's rows of chases.
    while (clip->sEntryCount < ED_CLIP_MAX_ENTRIES)
        Vid_AppendClipEntry(clip, NewChase(modType));
    Ed_ChasePasteChase();
    Ed_ChaseCloneChase();
    EXPECT_EQ(clip->sEntryCount, ED_CLIP_MAX_ENTRIES);
}

TEST_F(ChaseEditorTest, ValuesStopAtTheirLimitsAndTheTimelineStepsBetweenKeys)
{
    Edit({});
    g_iScreen = 36;
    ASSERT_GE(g_ucChaseListCount, 3);
    // Channel 2 runs 0..1 from its default 1: up is refused, down writes a key at time 0.
    g_ucChaseListSel = 2;
    Ed_ChaseParamRight();
    EXPECT_EQ(g_aiChaseValues[2], 1);
    Ed_ChaseParamLeft();
    EXPECT_EQ(g_aiChaseValues[2], 0);
    Ed_ChaseParamLeft();
    EXPECT_EQ(g_aiChaseValues[2], 0);

    // Keys at 40 and 90.
    for (int32_t t : {40, 90}) {
        Ed_SetChasePosition(t);
        g_ucChaseListSel = 1;
        Ed_ChaseParamRight();
    }
    ASSERT_EQ(Vid_GetChaseKeyCount(g_pEditChase), 3);
    const struct
    {
        uint8_t choice;
        int32_t from, to;
    } steps[] = {{0, 90, 40}, {0, 40, 0}, {0, 0, 0}, {4, 0, 40}, {4, 60, 90}, {4, 90, 90}, {1, 0, 0}, {3, 255, 255},
                 {3, 7, 8}};
    for (const auto &st : steps) {
        Ed_SetChasePosition(st.from);
        g_ucTimelineChoice = st.choice;
        Ed_ChaseValueBack(); // a fresh press
        Ed_ChaseParamAccept();
        EXPECT_EQ(g_ucChaseLevel, st.to) << int(st.choice) << " from " << st.from;
    }
    g_iNextScreen = -1;

    // The whole key at 0 stays; elsewhere it goes.
    Ed_SetChasePosition(0);
    Ed_ChaseDeleteEntireKey();
    EXPECT_EQ(Vid_GetChaseKeyCount(g_pEditChase), 3);
    Ed_SetChasePosition(90);
    Ed_ChaseDeleteEntireKey();
    EXPECT_EQ(Vid_GetChaseKeyCount(g_pEditChase), 2);
    g_iScreen = 0;
}

TEST_F(ChaseEditorTest, FindVisitsEachBlockOfTheClipThenWraps)
{
    g_uSongRowCount = 40;
    VIDCLIP *clip = NewClip(objType);
    VIDCLIP *other = NewClip(objType);
    ASSERT_EQ(Vid_PlaceClipRun(1, 4, 3, clip), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(1, 12, 2, clip), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(0, 2, 2, other), LANE_DONE);
    int32_t lane = -1;
    EXPECT_EQ(Ed_FindClipPosition(clip, &lane), 4);
    EXPECT_EQ(lane, 1);
    EXPECT_EQ(Ed_FindClipPosition(clip, &lane), 12);
    EXPECT_EQ(Ed_FindClipPosition(clip, &lane), 4);
    // Another clip starts its own search; a clip nowhere on the lanes is not found.
    EXPECT_EQ(Ed_FindClipPosition(other, &lane), 2);
    EXPECT_EQ(lane, 0);
    VIDCLIP *unused = NewClip(objType);
    EXPECT_EQ(Ed_FindClipPosition(unused, &lane), -1);
}

} // namespace

namespace {

int32_t LiveChases()
{
    int32_t n = 0;
    for (int32_t id = 0; id <= g_iChaseHighestId; id++)
        n += Vid_GetChase(id) != nullptr;
    return n;
}

int32_t RefusePlacement(CHASE *, VIDCLIP *, int32_t)
{
    return 0;
}

void *FailLargeBlocks(size_t size)
{
    return size >= UI_PARTICLE_CHASE_BYTES ? nullptr : std::malloc(size);
}

} // namespace

TEST_F(ChaseEditorTest, PointerRegionsEditTheSelectedChase)
{
    WINDOW window{};
    VIDCLIP *clip = Edit({modType});
    g_pChaseEditWindow = &window;
    g_iMouseHoldFrames = 0;
    struct CASE
    {
        const char *name;
        std::function<void()> before;
        int32_t region, index, value, result;
        std::function<void()> check;
    };
    const auto none = [] {};
    const CASE cases[] = {
        {"a parameter row is selected", none, CHASEHIT_PARAMETER, 1, 0, 0, [] { EXPECT_EQ(g_ucChaseListSel, 1); }},
        {"a row past the picture is not", none, CHASEHIT_PARAMETER, ED_CHASE_ROWS_SHOWN, 0, -1,
         [] { EXPECT_EQ(g_ucChaseListSel, 1); }},
        {"nor one past the chase's channels", none, CHASEHIT_PARAMETER, 5, 0, -1, [] { EXPECT_EQ(g_ucChaseListSel, 1); }},
        {"the bar's up arrow writes a key", [] { g_ucChaseListSel = 1; }, CHASEACT_LEVEL_STEP, 1, 0, 0,
         [] {
             EXPECT_EQ(g_aiChaseValues[1], 101);
             EXPECT_EQ(g_aucChaseKeyHere[1], KEYSTATE_AT);
         }},
        {"the down arrow stops at the minimum", [] { g_ucChaseListSel = 2; }, CHASEACT_LEVEL_STEP, -1, 0, 0,
         [] { EXPECT_EQ(g_aiChaseValues[2], 0); }},
        {"and refuses below it", [] { g_ucChaseListSel = 2; }, CHASEACT_LEVEL_STEP, -1, 0, -1,
         [] { EXPECT_EQ(g_aiChaseValues[2], 0); }},
        {"a held arrow waits before it repeats", [] { g_ucChaseListSel = 1; g_iMouseHoldFrames = 5; },
         CHASEACT_LEVEL_STEP, 1, 0, 0, [] { EXPECT_EQ(g_aiChaseValues[1], 101); g_iMouseHoldFrames = 0; }},
        // Channel 1 runs 0..255, at 101 its knob spans 8 + 101 * 89 / 255 = 43 .. 59.
        {"the pointer past the knob steps up", [] { g_ucChaseListSel = 1; }, CHASEACT_LEVEL_TOWARD, 0, 60, 0,
         [] { EXPECT_EQ(g_aiChaseValues[1], 102); }},
        {"the pointer on the knob leaves it", [] { g_ucChaseListSel = 1; }, CHASEACT_LEVEL_TOWARD, 0, 50, 0,
         [] { EXPECT_EQ(g_aiChaseValues[1], 102); }},
        {"the pointer before the knob steps down", [] { g_ucChaseListSel = 1; }, CHASEACT_LEVEL_TOWARD, 0, 42, 0,
         [] { EXPECT_EQ(g_aiChaseValues[1], 101); }},
        {"the music trigger's up arrow", none, CHASEACT_SLIDER_STEP, 0, 1, 0,
         [] { EXPECT_EQ(g_pEditChase->ucTrigA, 1); EXPECT_EQ(g_ucChaseSlider, 0); }},
        {"the trigger mode's down arrow at 0", none, CHASEACT_SLIDER_STEP, 2, -1, -1,
         [] { EXPECT_EQ(g_pEditChase->ucMode, 0); EXPECT_EQ(g_ucChaseSlider, 2); }},
        {"the level column's top pixel is level 1", none, CHASEACT_SLIDER_SET, 0, 0, 0,
         [] { EXPECT_EQ(g_sChaseTriggerLevel, 1); EXPECT_EQ(g_pEditChase->ucDuration, 5); }},
        {"its 51st pixel level 50", none, CHASEACT_SLIDER_SET, 2, 50, 0,
         [] { EXPECT_EQ(g_sChaseTriggerLevel, 50); EXPECT_EQ(g_pEditChase->ucDuration, 250); }},
        {"an object clip's flags are not toggled", none, CHASEACT_CHANNEL, 0, 1, -1,
         [] { EXPECT_EQ(g_pEditChase->ucOption, 0); }},
        {"an effect clip's are", [] { g_ucChaseEditFlags = CHASEEDIT_EFFECT; }, CHASEACT_CHANNEL, 0, 1, 0,
         [] { EXPECT_EQ(g_pEditChase->ucOption, 2); g_ucChaseEditFlags = CHASEEDIT_OBJECT; }},
        {"a fifth flag does not exist", [] { g_ucChaseEditFlags = CHASEEDIT_EFFECT; }, CHASEACT_CHANNEL, 0, 4, -1,
         [] { EXPECT_EQ(g_pEditChase->ucOption, 2); g_ucChaseEditFlags = CHASEEDIT_OBJECT; }},
        {"the strip sets the time", [] { g_iScreen = 36; }, CHASEACT_STRIP_LEVEL, 0, 100, 0,
         [] {
             EXPECT_EQ(g_ucChaseLevel, 100);
             EXPECT_EQ(g_iNextScreen, 37);
             EXPECT_EQ(g_sTimelineReturnScreen, 36);
         }},
        {"its step button moves one on", [] { g_iScreen = 37; }, CHASEACT_STRIP_PARAMETER, 3, 0, 0,
         [] { EXPECT_EQ(g_ucChaseLevel, 101); EXPECT_EQ(g_sTimelineReturnScreen, 36); }},
        {"its first button goes to the key before", [] { g_iScreen = 37; }, CHASEACT_STRIP_PARAMETER, 0, 0, 0,
         [] { EXPECT_EQ(g_ucChaseLevel, 0); EXPECT_EQ(g_ucTimelineChoice, 0); }},
        {"the object icon goes back to the list", [] { g_iScreen = 36; }, CHASEHIT_ICON, 0, 0, 0,
         [] { EXPECT_EQ(g_iNextScreen, 35); EXPECT_EQ(g_iChaseEditPage, 0); }},
        {"a word row has no text to edit on an object", none, CHASEACT_KIND_ACTION, 0, 0, -1, none},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        g_iNextScreen = -1;
        c.before();
        EXPECT_EQ(Ed_ChaseEditorAction(c.region, c.index, c.value), c.result);
        c.check();
    }
    EXPECT_EQ(Vid_GetChaseKeyCount(g_pEditChase), 1) << "every value went into the key at time 0";
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 1), g_pEditChase);

    // A camera clip has no list to go back to; a closed editor takes no click at all.
    g_ucChaseEditFlags = CHASEEDIT_CAMERA;
    EXPECT_EQ(Ed_ChaseEditorAction(CHASEHIT_ICON, 0, 0), -1);
    g_ucChaseEditFlags = CHASEEDIT_OBJECT;
    g_pChaseEditWindow = nullptr;
    EXPECT_EQ(Ed_ChaseEditorAction(CHASEACT_STRIP_LEVEL, 0, 30), -1);
    EXPECT_EQ(g_ucChaseLevel, 0);
    g_iScreen = 0;
    g_iNextScreen = -1;
}

TEST_F(ChaseEditorTest, ChosenTypesJoinOrHeadTheClipAndRefusalsLeaveItWhole)
{
    VIDCLIP *clip = Edit({modType});
    // A modifier goes after the selected entry, and the selection follows it.
    Ui_ApplyChaseType(paletteType);
    ASSERT_EQ(clip->sEntryCount, 3);
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 2)->pDef, &vidtest::g_paletteDef);
    EXPECT_EQ(list.selected, 1);

    // A plain type replaces the plain head; the chain behind it stays.
    const int32_t before = LiveChases();
    Ui_ApplyChaseType(particleType);
    ASSERT_EQ(clip->sEntryCount, 3);
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 1)->pDef, &vidtest::g_particleDef);
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 3)->pDef, &vidtest::g_modDef);
    EXPECT_EQ(LiveChases(), before) << "the old head went with its last reference";

    // A type whose placement check refuses, and the particle head without the heap it needs:
    // neither leaves a chase behind or changes the clip.
    CHASEDEF refusing = vidtest::MakeDef(4, CHASEKIND_MOD, 4, vidtest::kObjChannels);
    refusing.mix = RefusePlacement;
    const int32_t refusingType = Vid_RegisterChaseDef(&refusing);
    ASSERT_GE(refusingType, 0);
    const struct
    {
        const char *name;
        int32_t type;
        bool failHeap;
    } refusals[] = {{"placement refused", refusingType, false},
                    {"no room for particles", particleType, true},
                    {"no type", 0x1FFF, false}};
    for (const auto &r : refusals) {
        SCOPED_TRACE(r.name);
        const int32_t live = LiveChases();
        if (r.failHeap)
            Sys_MemSetAllocHook(FailLargeBlocks);
        Ui_ApplyChaseType(r.type);
        Sys_MemSetAllocHook(nullptr);
        EXPECT_EQ(clip->sEntryCount, 3);
        EXPECT_EQ(Vid_GetClipEntryChase(clip, 1)->pDef, &vidtest::g_particleDef);
        EXPECT_EQ(LiveChases(), live);
    }
}
