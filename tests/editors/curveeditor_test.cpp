// The curve editor: opening in each mode, the point editing rules, presets and undo, the scale
// bars, the info line, applying over marked riff columns and to the edited sample.
#include "ui/ui_fixture.h"

#include "audio/mixer.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "editors/curveeditor.h"
#include "goldenpng.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/gridsetup.h"
#include "ui/hover.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/riffeditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace uitest;

namespace {

using Pts = std::vector<std::pair<int, int>>;

Pts CurvePoints()
{
    Pts out;
    for (int i = 0; g_pCurve && i < g_pCurve->count; i++)
        out.emplace_back(g_pCurve->points[i].x >> 8, g_pCurve->points[i].y >> 8);
    return out;
}

void SetStored(STOREDCURVE &s, const Pts &p)
{
    s.count = int16_t(p.size());
    for (size_t i = 0; i < p.size(); i++) {
        s.points[2 * i] = uint8_t(p[i].first);
        s.points[2 * i + 1] = uint8_t(p[i].second);
    }
}

class CurveEditor : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        Seq_ResetSongModel();
        Ed_ResetStoredCurves();
        g_tSelectedNote = NOTEPARAMS{};
        g_tSelectedNote.ucState = 0;
        g_tSelectedNote.ucCountA = 3;
        g_tSelectedNote.auValuesA[0] = 0 | 255 << 8;
        g_tSelectedNote.auValuesA[1] = 29 | 255 << 8;
        g_tSelectedNote.auValuesA[2] = 143 | 0 << 8;
        // No note on the grid: closing a note mode leaves the panel's image alone in the song.
        g_ucSelectedNoteValue = 0x42;
        Frame();
    }
    void TearDown() override
    {
        Ed_CloseCurveEditor();
        g_aInstrumentSlots[1] = INSTRUMENTSLOT{};
        g_tSelectedNote = NOTEPARAMS{};
        g_tSelectedNote.ucState = 255;
        UiTest::TearDown();
    }
    // Opens an area mode on a curve of these points.
    static void OpenWith(int mode, const Pts &p)
    {
        STOREDCURVE *s = mode == CURVEMODE_AREA_PAN      ? &g_stAreaPanCurve
                         : mode == CURVEMODE_AREA_OFFSET ? &g_stAreaOffsetCurve
                                                         : &g_stAreaVolumeCurve;
        SetStored(*s, p);
        Ed_OpenCurveEditor(mode);
        ASSERT_TRUE(Ed_CurveEditorIsOpen());
    }
    // A note-mode curve: the panel's volume, pan or pitch envelope holds these points.
    static void OpenNote(int mode, const Pts &p)
    {
        uint16_t *v = mode == CURVEMODE_NOTE_VOLUME ? g_tSelectedNote.auValuesA
                      : mode == CURVEMODE_NOTE_PAN  ? g_tSelectedNote.auValuesB
                                                    : g_tSelectedNote.auValuesC;
        uint8_t &n = mode == CURVEMODE_NOTE_VOLUME ? g_tSelectedNote.ucCountA
                     : mode == CURVEMODE_NOTE_PAN  ? g_tSelectedNote.ucCountB
                                                   : g_tSelectedNote.ucCountC;
        n = uint8_t(p.size());
        for (size_t i = 0; i < p.size(); i++)
            v[i] = uint16_t(p[i].first | p[i].second << 8);
        Ed_OpenCurveEditor(mode);
        ASSERT_TRUE(Ed_CurveEditorIsOpen());
    }
    static void Settle()
    {
        g_pCurveGraph->inputDelay = 0;
    }
    // Closed, and the window gone with its widgets, so the next editor finds its records free.
    static void CloseAndSettle()
    {
        Ed_CloseCurveEditor();
        for (int i = 0; i < 3; i++)
            Frame();
    }
};

TEST_F(CurveEditor, OpensInEveryModeWithItsCurveBarsAndPage)
{
    const struct
    {
        int mode;
        const char *title;
        Pts points;
        bool centre;
        int xRange, yRange, presets;
    } cases[] = {
        {0, "Alter sample ADSR values", {{0, 128}, {255, 128}}, true, 0, 0, 9},
        {1, "Note volume envelope", {{0, 255}, {29, 255}, {143, 0}}, false, 7, 0, 7},
        {2, "Note pitch", {{0, 127}, {255, 127}}, true, 7, 8, 5},
        {3, "Note pan left/right", {{0, 128}, {255, 128}}, true, 7, 0, 11},
        {4, "Change volume over area", {{0, 255}, {255, 255}}, false, 0, 0, 9},
        {5, "Change pan over area", {{0, 127}, {255, 127}}, true, 0, 0, 11},
        {6, "Change sample offset over area", {{0, 0}, {255, 0}}, false, 0, 0, 2},
    };
    g_tSelectedNote.ucCountC = 2;
    g_tSelectedNote.auValuesC[0] = 0 | 127 << 8;
    g_tSelectedNote.auValuesC[1] = 255 | 127 << 8;
    g_tSelectedNote.ucCountB = 2;
    g_tSelectedNote.auValuesB[0] = 0 | 128 << 8;
    g_tSelectedNote.auValuesB[1] = 255 | 128 << 8;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        g_iNextScreen = -1;
        Ed_OpenCurveEditor(c.mode);
        ASSERT_TRUE(Ed_CurveEditorIsOpen());
        EXPECT_EQ(CurvePoints(), c.points);
        EXPECT_EQ(g_pCurve->shift, 8);
        EXPECT_EQ((g_pCurveGraph->head.flags & CURVE_CENTRE_LINE) != 0, c.centre);
        EXPECT_EQ(g_pCurveXBar->maximum, c.xRange);
        EXPECT_EQ(g_pCurveYBar->maximum, c.yRange);
        EXPECT_EQ(g_pCurvePresetList->totalRows, c.presets);
        EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_SELECT);
        EXPECT_EQ(g_sMenuPage, CURVE_MENU_PAGE);
        EXPECT_EQ(g_atMenuItems[62].handler != nullptr, c.mode == CURVEMODE_NOTE_PITCH); // "Edit Y scale"
        EXPECT_EQ(g_pCurveWindow->x, (640 - 348) / 2);
        EXPECT_EQ(g_pCurveWindow->y, (480 - 103) / 2);
        EXPECT_STREQ(Ui_Text(c.mode == 0 ? 145 : c.mode == 1 ? 68 : c.mode == 2 ? 70 : c.mode == 3 ? 69 : 300 + c.mode),
                     c.title);
        // A second editor is refused while one is open.
        Ed_OpenCurveEditor(c.mode);
        EXPECT_EQ(g_pCurve->count, c.points.size());
        CloseAndSettle();
        EXPECT_FALSE(Ed_CurveEditorIsOpen());
    }
    // Without a note on the panel the note modes stay shut; so does a mode that is not one.
    g_tSelectedNote.ucState = 255;
    Ed_OpenCurveEditor(CURVEMODE_NOTE_VOLUME);
    EXPECT_FALSE(Ed_CurveEditorIsOpen());
    Ed_OpenCurveEditor(7);
    Ed_OpenCurveEditor(-1);
    EXPECT_FALSE(Ed_CurveEditorIsOpen());
}

// Each row: the mode, the points, the current point, the keys pressed in move mode, the points after.
TEST_F(CurveEditor, MovingPointsNeverPassesANeighbour)
{
    enum Key
    {
        L,
        R,
        U,
        D
    };
    const struct
    {
        const char *name;
        int mode;
        Pts start;
        int current;
        std::vector<Key> keys;
        Pts after;
    } cases[] = {
        {"right onto the next x, then no further", 4, {{0, 0}, {100, 50}, {101, 60}, {255, 0}}, 1, {R, R, R},
         {{0, 0}, {101, 50}, {101, 60}, {255, 0}}},
        {"a shared x holds the right one too", 4, {{0, 0}, {101, 50}, {101, 60}, {255, 0}}, 2, {L, L},
         {{0, 0}, {101, 50}, {101, 60}, {255, 0}}},
        {"the first point keeps its x", 4, {{0, 10}, {255, 0}}, 0, {L, R}, {{0, 10}, {255, 0}}},
        {"the last point keeps its x in the area modes", 4, {{0, 10}, {255, 0}}, 1, {L}, {{0, 10}, {255, 0}}},
        {"the last point moves left in the sample mode", 0, {{0, 10}, {255, 0}}, 1, {L, L}, {{0, 10}, {253, 0}}},
        {"the last point cannot pass 255", 0, {{0, 10}, {254, 0}}, 1, {R, R}, {{0, 10}, {255, 0}}},
        {"up by two, capped", 4, {{0, 250}, {255, 0}}, 0, {U, U, U, U}, {{0, 255}, {255, 0}}},
        {"down by two, floored", 4, {{0, 3}, {255, 0}}, 0, {D, D, D}, {{0, 0}, {255, 0}}},
        {"volume envelope ends stay level", 1, {{0, 100}, {50, 100}, {255, 100}}, 0, {U, D}, {{0, 100}, {50, 100}, {255, 100}}},
        {"volume envelope middles move", 1, {{0, 100}, {50, 100}, {255, 100}}, 1, {U, U, L}, {{0, 100}, {49, 104}, {255, 100}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mode == CURVEMODE_NOTE_VOLUME)
            OpenNote(c.mode, c.start);
        else if (c.mode == CURVEMODE_SAMPLE) {
            for (size_t i = 0; i < c.start.size(); i++) {
                g_aucBlockCurve[2 * i] = uint8_t(c.start[i].first);
                g_aucBlockCurve[2 * i + 1] = uint8_t(c.start[i].second);
            }
            g_sBlockCurveCount = int16_t(c.start.size());
            Ed_OpenCurveEditor(c.mode);
        } else
            OpenWith(c.mode, c.start);
        ASSERT_TRUE(Ed_CurveEditorIsOpen());
        g_pCurve->current = uint8_t(c.current);
        Ed_CurveBeginMovePoint();
        EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_MOVE);
        for (Key k : c.keys)
            (k == L ? Ed_CurvePointLeft : k == R ? Ed_CurvePointRight : k == U ? Ed_CurvePointUp : Ed_CurvePointDown)();
        EXPECT_EQ(CurvePoints(), c.after);
        Ed_CurveEndMovePoint();
        EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_SELECT);
        CloseAndSettle();
    }
}

TEST_F(CurveEditor, SelectingStepsThroughPointsWithADelay)
{
    OpenWith(4, {{0, 0}, {100, 50}, {255, 0}});
    Settle();
    Ed_CurvePointRight();
    EXPECT_EQ(g_pCurve->current, 1);
    Ed_CurvePointRight(); // held: the delay holds it back
    EXPECT_EQ(g_pCurve->current, 1);
    for (int i = 0; i < 10; i++)
        Frame();
    Ed_CurvePointUp(); // up is the next point too
    EXPECT_EQ(g_pCurve->current, 2);
    Settle();
    Ed_CurvePointRight(); // not past the last
    EXPECT_EQ(g_pCurve->current, 2);
    Ed_CurvePointDown();
    EXPECT_EQ(g_pCurve->current, 1);
    Settle();
    Ed_CurvePointLeft();
    Settle();
    Ed_CurvePointLeft();
    EXPECT_EQ(g_pCurve->current, 0);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {100, 50}, {255, 0}}));
}

TEST_F(CurveEditor, AddingAndDeletingPoints)
{
    OpenWith(4, {{0, 0}, {100, 51}, {255, 0}});
    // After the current point: halfway in x, halfway between the two levels.
    g_pCurve->current = 0;
    Ed_CurveAddPoint();
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {50, 25}, {100, 51}, {255, 0}}));
    EXPECT_EQ(g_pCurve->current, 1);
    // On the last point the new one goes before it.
    g_pCurve->current = 3;
    Ed_CurveAddPoint();
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {50, 25}, {100, 51}, {177, 25}, {255, 0}}));
    EXPECT_EQ(g_pCurve->current, 4 - 1);
    // Two points on one x: the new one sits between them, order kept.
    CloseAndSettle();
    OpenWith(4, {{0, 0}, {80, 10}, {80, 200}, {255, 0}});
    g_pCurve->current = 1;
    Ed_CurveAddPoint();
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {80, 10}, {80, 105}, {80, 200}, {255, 0}}));

    // Deleting: the ends are refused, a middle point goes and the one before becomes current.
    g_pCurve->current = 0;
    Ed_CurveDeletePoint();
    g_pCurve->current = 4;
    Ed_CurveDeletePoint();
    EXPECT_EQ(g_pCurve->count, 5);
    g_pCurve->current = 2;
    Ed_CurveDeletePoint();
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {80, 10}, {80, 200}, {255, 0}}));
    EXPECT_EQ(g_pCurve->current, 1);

    // 64 points: adding does nothing.
    while (g_pCurve->count < CURVE_MAX_POINTS) {
        g_pCurve->current = 0;
        Ed_CurveAddPoint();
    }
    const Pts full = CurvePoints();
    Ed_CurveAddPoint();
    EXPECT_EQ(CurvePoints(), full);
    CloseAndSettle();

    // The volume envelope keeps at least four points.
    OpenNote(CURVEMODE_NOTE_VOLUME, {{0, 0}, {10, 255}, {20, 200}, {30, 100}, {255, 0}});
    g_pCurve->current = 2;
    Ed_CurveDeletePoint();
    EXPECT_EQ(g_pCurve->count, 4);
    g_pCurve->current = 2;
    Ed_CurveDeletePoint();
    EXPECT_EQ(g_pCurve->count, 4);
}

TEST_F(CurveEditor, PresetsPreviewKeepAndUndo)
{
    OpenWith(5, {{0, 127}, {255, 127}});
    Ed_CurvePresetLayouts();
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_PRESETS);
    EXPECT_EQ(g_ucCurveFlags & 1, 1);
    EXPECT_EQ(g_pCurveGraph->cursorRow, CURVE_CURSOR_NONE);
    // The first pan preset at once, in the preview colour.
    EXPECT_EQ(CurvePoints(), (Pts{{0, 127}, {31, 223}, {63, 255}, {95, 219}, {127, 127}, {162, 31}, {191, 0}, {222, 29},
                                  {255, 127}}));
    EXPECT_EQ(g_pCurve->b, 255);
    // Down previews the next; dropping it puts the curve back.
    for (int i = 0; i < 20 && g_pCurvePresetList->selected != 1; i++) {
        Ed_CurveListDown();
        Frame();
    }
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {255, 255}}));
    Ed_CurveListBack();
    EXPECT_EQ(CurvePoints(), (Pts{{0, 127}, {255, 127}}));
    EXPECT_EQ(g_pCurve->g, 192);
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_SELECT);

    // Kept: it becomes the undo state; undo after more edits comes back to it.
    Ed_CurvePresetLayouts();
    Ed_CurveEditAccept();
    EXPECT_EQ(g_ucCurveFlags & 1, 0);
    EXPECT_EQ(g_pCurve->b, 0);
    const Pts kept = CurvePoints();
    EXPECT_EQ(kept, (Pts{{0, 0}, {255, 255}}));
    g_pCurve->current = 1;
    Ed_CurveBeginMovePoint();
    Ed_CurvePointDown();
    Ed_CurveAddPoint();
    EXPECT_NE(CurvePoints(), kept);
    Ed_CurveUndo();
    EXPECT_EQ(CurvePoints(), kept);

    // A preview is put back before any other command: here a move.
    Ed_CurvePresetLayouts();
    Ed_CurveBeginMovePoint();
    EXPECT_EQ(CurvePoints(), kept);
}

TEST_F(CurveEditor, InfoLineShowsTheCentreAsZero)
{
    const struct
    {
        int mode;
        Pts points;
        int current;
        const char *text;
    } cases[] = {
        {5, {{0, 128}, {255, 128}}, 0, "02 01 +000 +000 000 000"},
        {4, {{0, 128}, {37, 3}, {255, 128}}, 1, "03 02 +037 +003 000 000"},
        {3, {{0, 0}, {255, 255}}, 1, "02 02 +255 +127 001 000"},
        {2, {{0, 128}, {255, 100}}, 1, "02 02 +255 -028 001 001"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        if (c.mode <= CURVEMODE_NOTE_PAN)
            OpenNote(c.mode, c.points);
        else
            OpenWith(c.mode, c.points);
        g_pCurve->current = uint8_t(c.current);
        char text[64];
        Ed_CurveInfoText(text, sizeof text);
        EXPECT_STREQ(text, c.text);
        Frame(); // drawn without complaint
        CloseAndSettle();
    }
}

TEST_F(CurveEditor, ScaleBarsStretchTheCurve)
{
    g_tSelectedNote.ucAOfC = 2;
    g_tSelectedNote.ucBOfC = 1;
    OpenNote(CURVEMODE_NOTE_PITCH, {{0, 128}, {40, 200}, {100, 20}, {255, 128}});
    EXPECT_EQ(g_pCurveXBar->position, 2);
    EXPECT_EQ(g_pCurveYBar->position, 1);
    // X up one: the middle points' x halve (the last stays).
    Ed_CurveEditXScale();
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_XBAR);
    Ed_ScaleBeginAdjust(); // the entry delay holds it back
    EXPECT_EQ(g_pCurveXBar->position, 2);
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_pCurveXBar->position, 3);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 128}, {20, 200}, {50, 20}, {255, 128}}));
    // Down again: doubled back.
    Ed_ScaleValueDown();
    Ed_ScaleValueDown();
    EXPECT_EQ(g_pCurveXBar->pressed, SCROLLPART_FIRST_ARROW);
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_pCurveXBar->position, 2);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 128}, {40, 200}, {100, 20}, {255, 128}}));
    // The thumb: a page a step, within the range.
    Ed_ScaleValueUp();
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_XTHUMB);
    for (int i = 0; i < 10; i++)
        Ed_ScaleAdjustUp();
    EXPECT_EQ(g_pCurveXBar->position, 7);
    Ed_ScaleEndAdjust();
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_XBAR);
    Ed_ScaleBack();
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_SELECT);

    // Y up: every level halfway to the centre; down: twice as far, clamped.
    g_pCurve->count = 0;
    for (auto p : Pts{{0, 128}, {40, 200}, {100, 20}, {255, 128}})
        Ed_InsertCurvePoint(g_pCurve, uint16_t(p.first << 8), uint16_t(p.second << 8));
    Ed_CurveEditYScale();
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_YBAR);
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_pCurveYBar->position, 2);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 128}, {40, 164}, {100, 74}, {255, 128}}));
    Ed_ScaleValueDown();
    Ed_ScaleValueDown();
    Settle();
    Ed_ScaleBeginAdjust();
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_pCurveYBar->position, 0);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 128}, {40, 255}, {100, 0}, {255, 128}}));
    Ed_ScaleBack();

    // Closing writes the points and both scale bytes back to the note.
    Ed_CurveEditBack();
    EXPECT_FALSE(Ed_CurveEditorIsOpen());
    EXPECT_EQ(g_iNextScreen, 14);
    EXPECT_EQ(g_tSelectedNote.ucCountC, 4);
    EXPECT_EQ(g_tSelectedNote.auValuesC[1], 40 | 255 << 8);
    EXPECT_EQ(g_tSelectedNote.auValuesC[2], 100 | 0 << 8);
    EXPECT_EQ(g_tSelectedNote.ucAOfC, 7);
    EXPECT_EQ(g_tSelectedNote.ucBOfC, 0);
}

// The editor as the user sees it: a pitch envelope with its scales, and a pan preset previewed.
TEST_F(CurveEditor, GoldenPictures)
{
    g_tSelectedNote.ucAOfC = 1;
    g_tSelectedNote.ucBOfC = 3;
    OpenNote(CURVEMODE_NOTE_PITCH, {{0, 128}, {30, 220}, {90, 60}, {200, 150}, {255, 128}});
    g_pCurve->current = 2;
    for (int i = 0; i < 4; i++)
        Frame();
    EXPECT_TRUE(MatchesGoldenPng("curve_editor_pitch"));
    CloseAndSettle();
    OpenWith(CURVEMODE_AREA_PAN, {{0, 127}, {255, 127}});
    Ed_CurvePresetLayouts();
    for (int i = 0; i < 40 && g_pCurvePresetList->selected != 8; i++) {
        Ed_CurveListDown();
        Frame();
    }
    for (int i = 0; i < 8; i++)
        Frame();
    EXPECT_TRUE(MatchesGoldenPng("curve_editor_pan_preview"));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

// Shrinking the time axis of a curve that ends short of 255 stops the points at its last point.
TEST_F(CurveEditor, ShrinkingTimeKeepsPointsLeftOfAFixedLastPoint)
{
    g_tSelectedNote.ucAOfB = 3;
    OpenNote(CURVEMODE_NOTE_PAN, {{0, 128}, {60, 200}, {150, 20}, {200, 128}});
    Ed_CurveEditXScale();
    Ed_ScaleValueDown();
    Ed_ScaleValueDown();
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_pCurveXBar->position, 2);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 128}, {120, 200}, {200, 20}, {200, 128}}));
}

// The mouse on the graph: a press near a point takes it, holding drags it within its neighbours,
// the release goes back to selecting; a press on empty graph takes nothing.
TEST_F(CurveEditor, DraggingAPointWithTheMouse)
{
    OpenWith(4, {{0, 0}, {100, 100}, {200, 50}, {255, 0}});
    WIDGET *graph = &g_pCurveGraph->head;
    const int gx = g_pCurveWindow->x + graph->x, gy = g_pCurveWindow->y + graph->y;
    int32_t px = 0, py = 0;
    Ed_CurvePointPixel(g_pCurveGraph, g_pCurve, 1, &px, &py);
    g_sGrabX = int16_t(px + 2);
    g_sGrabY = int16_t(py - 3);
    graph->press(graph);
    EXPECT_EQ(g_pCurve->current, 1);
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_MOVE);
    const struct
    {
        int mx, my; // pointer in graph pixels
        int x, y;   // the point after
    } drags[] = {
        {90, 40, 127, 128},   // the middle of the graph
        {179, 0, 200, 255},   // far right and up: held at the next point's x
        {-30, 200, 0, 0},     // off to the left and below: the previous point's x, the floor
    };
    for (const auto &d : drags) {
        g_sMouseX = int16_t(gx + d.mx);
        g_sMouseY = int16_t(gy + d.my);
        graph->held(graph);
        EXPECT_EQ(CurvePoints()[1], std::make_pair(d.x, d.y)) << d.mx << "," << d.my;
    }
    graph->release(graph);
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_SELECT);
    // Holding after the release moves nothing; neither does a press away from every point.
    graph->held(graph);
    g_sGrabX = 150;
    g_sGrabY = 5;
    graph->press(graph);
    g_sMouseX = int16_t(gx + 10);
    graph->held(graph);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {0, 0}, {200, 50}, {255, 0}}));
    EXPECT_EQ(g_pCurveGraph->cursorRow, CURVE_CURSOR_SELECT);
}

// A click on a preset row shows that preset on the curve and keeps it; the pointer near a point
// makes it the current one.
TEST_F(CurveEditor, AClickOnAPresetKeepsItAndThePointerPicksAPoint)
{
    OpenWith(5, {{0, 127}, {255, 127}});
    g_iScreen = SCREEN_CURVE_SELECT;
    WIDGET *list = &g_pCurvePresetList->head;
    g_sMouseX = int16_t(g_pCurveWindow->x + list->x + 20);
    g_sMouseY = int16_t(g_pCurveWindow->y + list->y + 12 + 6); // the second row
    ASSERT_NE(list->press, nullptr);
    list->press(list);
    EXPECT_EQ(g_pCurvePresetList->selected, 1);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 0}, {255, 255}}));
    EXPECT_EQ(g_ucCurveFlags & 1, 0) << "kept, not a preview";
    EXPECT_EQ(g_iNextScreen, SCREEN_CURVE_SELECT);

    g_ucMouseButtons |= MOUSE_MODE;
    Ui_SetFocus(g_pCurveWindow);
    g_pCurve->current = 0;
    int32_t px = 0, py = 0;
    Ed_CurvePointPixel(g_pCurveGraph, g_pCurve, 1, &px, &py);
    g_sMouseX = int16_t(g_pCurveWindow->x + g_pCurveGraph->head.x + px - 4);
    g_sMouseY = int16_t(g_pCurveWindow->y + g_pCurveGraph->head.y + py + 5);
    Ui_PointerHover();
    EXPECT_EQ(g_pCurve->current, 1);
    g_sMouseX = int16_t(g_sMouseX - 3); // 7 px away: out of reach
    g_pCurve->current = 0;
    Ui_PointerHover();
    EXPECT_EQ(g_pCurve->current, 0);
    g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
}

// A bar whose range is 0 can be entered but does not move.
TEST_F(CurveEditor, AScaleWithoutRangeStaysPut)
{
    OpenWith(4, {{0, 10}, {90, 20}, {255, 30}});
    Ed_CurveEditXScale();
    Settle();
    Ed_ScaleBeginAdjust();
    EXPECT_EQ(g_pCurveXBar->position, 0);
    EXPECT_EQ(CurvePoints(), (Pts{{0, 10}, {90, 20}, {255, 30}}));
    Ed_CurveEditYScale(); // greyed in this mode: refused
    EXPECT_NE(g_iNextScreen, SCREEN_CURVE_YBAR);
}

TEST(CurveValue, StraightBetweenPointsAndLevelOutside)
{
    const uint8_t bell[] = {0, 0, 100, 200, 200, 100};
    const uint8_t jump[] = {0, 0, 0, 255, 22, 255, 255, 0}; // two points on x = 0
    const uint8_t shortCurve[] = {0, 127, 238, 19};        // ends left of 255
    const uint8_t late[] = {50, 40, 100, 80};              // starts right of 0
    const uint8_t same[] = {0, 0, 80, 10, 80, 200, 255, 0};
    const struct
    {
        const uint8_t *p;
        int n, x, y;
    } cases[] = {
        {bell, 3, 0, 0},        {bell, 3, 50, 100},       {bell, 3, 100, 200},     {bell, 3, 150, 150},
        {bell, 3, 200, 100},    {bell, 3, 255, 100},      {jump, 4, 0, 255},       {jump, 4, 11, 255},
        {jump, 4, 255, 0},      {shortCurve, 2, 238, 19}, {shortCurve, 2, 255, 19}, {late, 2, 0, 40},
        {late, 2, 75, 60},      {same, 4, 80, 10},        {same, 4, 81, 199},      {bell, 1, 77, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Ed_CurveValueAt(c.p, c.n, c.x), c.y) << "x " << c.x;
    EXPECT_EQ(Ed_CurveValueAt(nullptr, 3, 5), 0);
    EXPECT_EQ(Ed_CurveValueAt(bell, 0, 5), 0);
}

// ---- Applying over the riff editor's marked columns ----

class CurveOverArea : public CurveEditor
{
protected:
    int m_riff = 0;
    void SetUp() override
    {
        CurveEditor::SetUp();
        if (HasFatalFailure())
            return;
        g_aInstrumentSlots[1].ucKey1 = 1;
        g_aInstrumentSlots[1].uKey2 = 1;
        g_aInstrumentSlots[1].uKey3 = 1;
        m_riff = Seq_NewRiff(1, 2);
        ASSERT_GT(m_riff, 0);
        m_riffStatic = m_riff;
        g_uCurrentRiff = uint16_t(m_riff);
        g_ucCurrentChannel = 0;
        for (int step = 0; step < 16; step++)
            ASSERT_TRUE(Put(step, 0));
        ASSERT_TRUE(Put(4, 1)); // the other channel is left alone
    }
    static bool Put(int step, int track)
    {
        const uint16_t amp[3] = {0 | 255 << 8, 29 | 255 << 8, 143 | 0 << 8};
        const uint16_t flat[2] = {0 | 127 << 8, 255 | 127 << 8};
        const int32_t a = Seq_AddParamList(3, amp, 0, 0);
        const int32_t b = Seq_AddParamList(2, flat, 0, 0);
        const int32_t c = Seq_AddParamList(2, flat, 0, 0);
        const int32_t id = Seq_FindOrAddNote(1, 4, step % 12, 1, 100, 0, 0x40, 0x80, 0, 0, a, b, c, 0, 0, 0, 1);
        return id > 0 && Seq_SetRiffNote(m_riffStatic, step, track, -id, 1, 0, 0);
    }
    static inline int m_riffStatic = 0;
    static int Level(int step, int track = 0)
    {
        NOTEPARAMS n{};
        Seq_ReadNote(step, track, &n);
        return n.ucState == 255 ? -1 : n.ucLevel;
    }
};

TEST_F(CurveOverArea, VolumeAtEightPositionsOfColumnsThreeToTen)
{
    (void)m_riff;
    // A ramp from 0 to 255: each note takes the level at its position.
    SetStored(g_stAreaVolumeCurve, {{0, 0}, {255, 255}});
    EXPECT_EQ(Ed_ApplyCurveOverRange(CURVEMODE_AREA_VOLUME, 3, 10), 8);
    const int expected[8] = {0, 35, 72, 108, 145, 181, 218, 255};
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(Level(3 + i), expected[i]) << "column " << 3 + i;
    EXPECT_EQ(Level(2), 100);
    EXPECT_EQ(Level(11), 100);
    EXPECT_EQ(Level(4, 1), 100);
    // Marked right to left: the same.
    SetStored(g_stAreaVolumeCurve, {{0, 255}, {255, 0}});
    Ed_ApplyCurveOverRange(CURVEMODE_AREA_VOLUME, 10, 3);
    EXPECT_EQ(Level(3), 255);
    EXPECT_EQ(Level(10), 0);
}

TEST_F(CurveOverArea, OneOrTwoColumnsChangeOnlyTheMarkedNotes)
{
    const struct
    {
        int start, end;
        std::vector<int> levels; // columns start - 1 .. end + 1
    } cases[] = {
        {6, 6, {100, 0, 100}},     // one column: its own note, not the next one
        {6, 7, {100, 0, 255, 100}}, // two: both ends of the curve
        {0, 0, {0, 100}},          // the first column
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.start);
        for (int s = 0; s < 16; s++) {
            NOTEPARAMS n{};
            Seq_ReadNote(s, 0, &n);
            n.ucLevel = 100;
            Seq_WriteNote(s, 0, &n);
        }
        SetStored(g_stAreaVolumeCurve, {{0, 0}, {255, 255}});
        Ed_ApplyCurveOverRange(CURVEMODE_AREA_VOLUME, c.start, c.end);
        std::vector<int> got;
        for (int s = std::max(0, c.start - 1); s <= c.end + 1; s++)
            got.push_back(Level(s));
        EXPECT_EQ(got, c.levels);
    }
}

TEST_F(CurveOverArea, PanAndSampleStartFromTheCurve)
{
    SetStored(g_stAreaPanCurve, {{0, 0}, {255, 200}});
    Ed_ApplyCurveOverRange(CURVEMODE_AREA_PAN, 0, 1);
    NOTEPARAMS n{};
    Seq_ReadNote(1, 0, &n);
    EXPECT_EQ(n.ucCountB, 2);
    EXPECT_EQ(n.auValuesB[0], 0 | 200 << 8);
    EXPECT_EQ(n.auValuesB[1], 255 | 200 << 8);
    EXPECT_EQ(n.ucAOfB, 1);
    // A curve of one jump at x = 0 and one ending short of 255 evaluate without a fault.
    SetStored(g_stAreaVolumeCurve, {{0, 255}, {0, 0}, {22, 255}, {238, 19}});
    EXPECT_EQ(Ed_ApplyCurveOverRange(CURVEMODE_AREA_VOLUME, 0, 15), 16);
    EXPECT_EQ(Level(0), 0);
    EXPECT_EQ(Level(15), 19);
    // The sample start follows the curve within the note's sample (here its one-frame limit).
    SetStored(g_stAreaOffsetCurve, {{0, 0}, {255, 255}});
    Ed_ApplyCurveOverRange(CURVEMODE_AREA_OFFSET, 0, 15);
    Seq_ReadNote(15, 0, &n);
    EXPECT_EQ(n.uSampleStart, Ed_ScaleFixed(255, 255, int32_t(n.uSampleEndLimit)));
}

TEST_F(CurveOverArea, ClosingAnAreaModeAppliesAndKeepsTheCurve)
{
    g_asGridMark[0] = 2;
    g_asGridMark[2] = 4;
    OpenWith(CURVEMODE_AREA_VOLUME, {{0, 255}, {255, 255}});
    g_pCurve->current = 1;
    Ed_CurveBeginMovePoint();
    for (int i = 0; i < 50; i++)
        Ed_CurvePointDown();
    Ed_CurveEditBack();
    EXPECT_FALSE(Ed_CurveEditorIsOpen());
    EXPECT_EQ(Level(2), 255);
    EXPECT_EQ(Level(3), 206); // 127 x -100 / 255 + 255, the division truncated
    EXPECT_EQ(Level(4), 155);
    EXPECT_EQ(Level(5), 100);
    // The table keeps the curve for the next time.
    EXPECT_EQ(g_stAreaVolumeCurve.count, 2);
    EXPECT_EQ(g_stAreaVolumeCurve.points[3], 155);
    g_asGridMark[0] = g_asGridMark[2] = -1;
}

// ---- The sample envelope ----

class CurveOnSample : public CurveEditor
{
protected:
    static constexpr int kFrames = 2550;
    static constexpr int16_t kLevel = 8000;
    SAMPLESLOT *m_slot = nullptr;

    void SetUp() override
    {
        CurveEditor::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(Snd_InitSampleEngine(16), 0);
        ASSERT_EQ(Snd_OpenSampleEditor(EDIT_SILENT), 1);
        ASSERT_GT(Snd_AllocSampleSlot(&m_slot), 0);
        ASSERT_EQ(Snd_AllocSampleData(m_slot, kFrames, false), 0);
        Fill();
        g_pEditSample = m_slot;
        g_iEditFrames = kFrames;
        g_iEditInstrument = -1; // nothing to record the edit in
        g_iEditSelFirst = 0;
        g_iEditSelLast = kFrames - 1;
    }
    void TearDown() override
    {
        g_pEditSample = nullptr;
        Snd_CloseSampleEditor();
        Snd_ShutdownSampleEngine();
        CurveEditor::TearDown();
    }
    void Fill()
    {
        auto *p = reinterpret_cast<int16_t *>(m_slot->pData);
        for (int i = 0; i < kFrames; i++)
            p[i] = kLevel;
    }
    const int16_t *Data() const { return reinterpret_cast<const int16_t *>(m_slot->pData); }
};

// Every preset of the sample mode, kept and applied: frame f takes level x 128ths of its sample,
// the level straight between the points at x = f x 255 / frames.
TEST_F(CurveOnSample, EachPresetShapesTheMarkedSample)
{
    int32_t count = 0;
    const CURVEPRESET *presets = Ed_CurvePresets(CURVEMODE_SAMPLE, &count);
    ASSERT_EQ(count, 9);
    for (int k = 0; k < count; k++) {
        const CURVEPRESET &p = presets[k];
        SCOPED_TRACE(p.name);
        Fill();
        Ed_OpenCurveEditor(CURVEMODE_SAMPLE);
        ASSERT_TRUE(Ed_CurveEditorIsOpen());
        Ed_CurvePresetLayouts();
        for (int i = 0; i < 200 && g_pCurvePresetList->selected != k; i++) {
            Ed_CurveListDown();
            Frame();
        }
        ASSERT_EQ(g_pCurvePresetList->selected, k);
        Ed_CurveEditAccept();
        Ed_CurveEditBack();
        EXPECT_EQ(g_sMenuPage, 6);
        ASSERT_NE(g_pBusyBoxWindow, nullptr);
        for (int i = 0; i < 60 && g_pBusyBoxWindow; i++)
            Frame();
        EXPECT_EQ(g_pBusyBoxWindow, nullptr);
        EXPECT_TRUE(g_iScreen == 15 || g_iNextScreen == 15); // back in the sample editor
        // The stored envelope is the preset.
        ASSERT_EQ(g_sBlockCurveCount, p.count);
        for (int i = 0; i < p.count; i++) {
            EXPECT_EQ(g_aucBlockCurve[2 * i], p.points[i][0]);
            EXPECT_EQ(g_aucBlockCurve[2 * i + 1], p.points[i][1]);
        }
        const int16_t *d = Data();
        int worst = 0, worstAt = 0;
        for (int f = 0; f < kFrames; f++) {
            const double x = double(f) * 255.0 / kFrames;
            int s = 0;
            while (s + 2 < p.count && x > p.points[s + 1][0])
                s++;
            const double x0 = p.points[s][0], x1 = p.points[s + 1][0];
            const double y0 = p.points[s][1], y1 = p.points[s + 1][1];
            const double y = x1 > x0 ? y0 + (std::min(x, x1) - x0) * (y1 - y0) / (x1 - x0) : y1;
            const int expected = int(std::floor(kLevel * y / 128.0));
            const int error = std::abs(d[f] - expected);
            if (error > worst) {
                worst = error;
                worstAt = f;
            }
        }
        // Within 2 % of the full swing: the segments start a frame late each.
        EXPECT_LE(worst, 320) << "at frame " << worstAt;
        // Flat presets are exact.
        if (p.count == 2 && p.points[0][1] == p.points[1][1]) {
            for (int f = 0; f < kFrames; f += 97)
                ASSERT_EQ(d[f], kLevel * p.points[0][1] / 128) << f;
        }
    }
}

// Only the marked frames change.
TEST_F(CurveOnSample, OnlyTheMarkedAreaChanges)
{
    g_iEditSelFirst = 1000;
    g_iEditSelLast = 1999;
    g_aucBlockCurve[1] = g_aucBlockCurve[3] = 64; // half level
    Ed_OpenCurveEditor(CURVEMODE_SAMPLE);
    Ed_CurveEditBack();
    for (int i = 0; i < 60 && g_pBusyBoxWindow; i++)
        Frame();
    const int16_t *d = Data();
    EXPECT_EQ(d[999], kLevel);
    EXPECT_EQ(d[1000], kLevel / 2);
    EXPECT_EQ(d[1999], kLevel / 2);
    EXPECT_EQ(d[2000], kLevel);
}

} // namespace
