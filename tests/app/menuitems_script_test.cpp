// The sample palette's items driven as a user drives them, through the studio's own loop and an
// input script on the demo song: hear a slot, lower and raise its quality, copy it, drop the
// samples no note uses, and delete a slot after saying Cancel once and Okay once.
#include "spine_fixture.h"

#include "audio/sampleslot.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "ui/menuitems.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/riffeditor.h"

#include "support/studioprocess.h"

#include <cstdlib>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace
{

// What the watched items saw, in the order they ran.
struct Seen
{
    int slot = 0;
    std::vector<int16_t> before, after; // the slot's sample
    int kindBefore = 0, kindAfter = 0;
};
std::vector<Seen> s_quality;
std::vector<std::vector<int>> s_used; // the used slots each time F3 ("Preview sample") ran

std::vector<int16_t> SampleOf(int slot)
{
    SAMPLESLOT *s = nullptr;
    if (slot < 1 || Seq_InstrumentSlotFree(slot) || Snd_FindSampleById(&s, uint32_t(g_aInstrumentSlots[slot].iSampleId)) < 0 ||
        !s || !s->pData)
        return {};
    const size_t n = size_t(s->uFrames) * ((s->uFlags & SAMPLE_STEREO) ? 2 : 1);
    const auto *d = reinterpret_cast<const int16_t *>(s->pData);
    return std::vector<int16_t>(d, d + n);
}

std::vector<int> UsedSlots()
{
    std::vector<int> used;
    for (int slot = 1; slot <= 99; slot++)
        if (!Seq_InstrumentSlotFree(slot))
            used.push_back(slot);
    return used;
}

template <void (*Real)()> void WatchQuality()
{
    Seen seen;
    seen.slot = Ui_PaletteSelectedSlot();
    seen.before = SampleOf(seen.slot);
    seen.kindBefore = Seq_GetInstrumentKind(seen.slot);
    Real();
    seen.after = SampleOf(seen.slot);
    seen.kindAfter = Seq_GetInstrumentKind(seen.slot);
    s_quality.push_back(seen);
}

void WatchPreview()
{
    s_used.push_back(UsedSlots());
    Ui_MenuPreviewSample();
}

// F1 on the song grid opens the sample palette; by then the studio has installed the items, and
// the watchers take the place of the quality and preview items.
int s_librarySlot = 0;
void OpenPalette()
{
    // The demo song's samples are its own; a library sample at 22 kHz goes into the first free
    // slot, as the sample library puts it there, so that its quality can change.
    s_librarySlot = 0;
    for (int slot = 1; slot <= 99 && !s_librarySlot; slot++)
        if (Seq_InstrumentSlotFree(slot))
            for (int folder = 1; folder <= 4 && !s_librarySlot; folder++)
                if (Seq_LoadInstrument(slot, folder, 1, 1, 2, 0, 1, 1) != 10)
                    s_librarySlot = slot;
    Ui_OpenSamplePalette();
    g_pfnDowngradeSample = WatchQuality<Ui_DowngradeSample>;
    g_pfnUpgradeSample = WatchQuality<Ui_UpgradeSample>;
    Ui_SetMenuItemHandler(28, WatchPreview);
}

class MenuItemsScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        s_quality.clear();
        s_used.clear();
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_AUDIO_DUMP");
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_pfnDowngradeSample = g_pfnUpgradeSample = nullptr;
        SpineTest::TearDown();
    }
    int RunTo(int frames, const std::vector<std::string> &script, const std::string &png, const std::string &wav)
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        s_quality.clear();
        s_used.clear();
        Ui_ResetMenuItems();
        Ui_SetMenuItemHandler(0, OpenPalette);
        // What an earlier run in this process left: the palette's place, an open question, the
        // pointer's click state.
        g_atPopupDescs[POPUP_SAMPLE_PALETTE].selected = g_atPopupDescs[POPUP_SAMPLE_PALETTE].first = 0;
        g_bModalBoxOpen = 0;
        g_pCurrentMsgBox = nullptr;
        for (MSGBOX &m : g_aMsgBoxes)
            m.pWindow = nullptr;
        g_ucMouseButtons = 0;
        g_iLastClickTime = 0;
        g_pClickedWidget = nullptr;
        g_iMouseHoldFrames = 0;
        g_bMouseHoldMarked = 0;
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
        const int rc = Run(nullptr, frames, script);
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_AUDIO_DUMP");
        return rc;
    }
    static std::string Temp(const char *name) { return ::testing::TempDir() + "tnv_menuitems_" + name; }
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
    // Mean absolute level of the stereo samples between two frames of 20 ms.
    static double Level(const std::vector<int16_t> &s, int fromFrame, int toFrame)
    {
        const size_t a = size_t(fromFrame) * 882 * 2, b = std::min(s.size(), size_t(toFrame) * 882 * 2);
        double sum = 0;
        for (size_t i = a; i < b; i++)
            sum += std::abs(int(s[i]));
        return b > a ? sum / double(b - a) : 0;
    }
};

// Keys: F1 opens the palette (slot 1 selected); on its page F3 previews, F7 / F8 lower and raise
// the quality, F4 copies, F6 optimises, F2 deletes.
std::vector<std::string> Keys(const std::vector<std::pair<int, const char *>> &presses)
{
    std::vector<std::string> s;
    for (const auto &[frame, key] : presses) {
        s.push_back(std::to_string(frame) + " keydown " + key);
        s.push_back(std::to_string(frame + 1) + " keyup " + key);
    }
    return s;
}

TEST_F(MenuItemsScript, PreviewQualityCopyAndOptimiseOnTheSamplePalette)
{
    // F1 opens the palette on slot 1; six steps down is the library sample's slot. The pointer
    // waits right of the palette, so hovering picks no row.
    const std::vector<std::pair<int, const char *>> toSlot = {{10, "F1"}, {14, "Down"}, {17, "Down"}, {20, "Down"},
                                                              {23, "Down"}, {26, "Down"}, {29, "Down"}};
    auto script = [&](bool preview) {
        std::vector<std::pair<int, const char *>> keys = toSlot;
        if (preview)
            keys.push_back({35, "F3"});
        keys.insert(keys.end(), {{70, "F7"}, {80, "F8"}, {90, "F3"}, {100, "F4"}, {110, "F3"}, {120, "F6"}});
        std::vector<std::string> s = Keys(keys);
        s.insert(s.begin(), "1 mousemove 250 0");
        return s;
    };
    const std::string wav = Temp("preview.wav"), quiet = Temp("control.wav"), png = Temp("optimise_question.png");
    ASSERT_EQ(RunTo(60, script(false), "", quiet), 0);
    ASSERT_EQ(RunTo(126, script(true), png, wav), 0);
    ASSERT_EQ(s_librarySlot, 7) << "the demo song fills slots 1-6";

    // The preview sounds: the run with F3 differs from the one without it after the press.
    ASSERT_EQ(s_used.size(), 3u) << "F3 ran three times";
    const std::vector<int16_t> heard = Samples(wav), control = Samples(quiet);
    ASSERT_GT(control.size(), size_t(55) * 882 * 2);
    ASSERT_GT(heard.size(), control.size());
    double before = 0, after = 0;
    for (size_t i = 0; i < control.size(); i++)
        (i < size_t(35) * 882 * 2 ? before : after) += std::abs(int(heard[i]) - int(control[i]));
    EXPECT_EQ(before, 0.0) << "the two runs sound alike until the press";
    EXPECT_GT(after / double(control.size() - size_t(35) * 882 * 2), 50.0) << "the previewed slot is heard: " << wav;

    // Lower quality: other bytes (another rate of the library entry); raise it again: the bytes
    // it had.
    ASSERT_EQ(s_quality.size(), 2u);
    const Seen &down = s_quality[0], &up = s_quality[1];
    EXPECT_EQ(down.slot, 7);
    ASSERT_FALSE(down.before.empty());
    EXPECT_EQ(down.kindBefore, 2);
    EXPECT_EQ(down.kindAfter, 1);
    EXPECT_NE(down.after, down.before) << "the sample was reloaded at the lower rate";
    EXPECT_LT(down.after.size(), down.before.size());
    EXPECT_EQ(up.kindAfter, 2);
    EXPECT_EQ(up.after, down.before) << "raising it again gives back the sample's bytes";

    // Copy: one more slot, holding the same sample.
    ASSERT_EQ(s_used[2].size(), s_used[1].size() + 1);
    const int copy = s_used[2].back();
    EXPECT_TRUE(std::find(s_used[1].begin(), s_used[1].end(), copy) == s_used[1].end());
    EXPECT_EQ(Count("Seq_CopyInstrument"), 1);

    // Optimise asks first, and nothing goes before the answer.
    ASSERT_NE(g_pCurrentMsgBox, nullptr);
    EXPECT_STREQ(g_pCurrentMsgBox->pszText, Ui_Text(520));
    EXPECT_FALSE(Has("Seq_ClearUnusedInstruments"));
    const Picture pic = ReadPng(png);
    EXPECT_EQ(pic.width, 640u) << png;
}

// The questions answered with the pointer: "Okay" to optimising drops every slot no note uses;
// "Delete sample" answered "Cancel" keeps the slot, "Okay" empties it.
TEST_F(MenuItemsScript, OptimiseAndDeleteDoOnlyWhatTheAnswerSays)
{
    const std::vector<std::pair<int, const char *>> keys = {
        {10, "F1"}, {14, "Down"}, {17, "Down"}, {20, "Down"}, {23, "Down"}, {26, "Down"}, {29, "Down"}, {35, "F4"},
        {40, "F3"}, {45, "F6"}};
    std::vector<std::string> script = Keys(keys);
    script.insert(script.begin(), "1 mousemove 250 0");
    auto click = [&](int frame, int x, int y) {
        for (const std::string &l : {std::to_string(frame) + " mousemove -2000 -2000",
                                     std::to_string(frame + 1) + " mousemove " + std::to_string(x) + " " + std::to_string(y),
                                     std::to_string(frame + 2) + " mousedown 1", std::to_string(frame + 3) + " mouseup 1",
                                     std::to_string(frame + 4) + " mousemove 2000 0"})
            script.push_back(l);
    };
    // The question's buttons, centred on the screen: "Cancel" left, "Okay" right.
    constexpr int kCancelX = 283, kOkayX = 355, kButtonY = 221;
    click(50, kOkayX, kButtonY);
    // Up to slot 1, "Delete sample", "Cancel"; the pointer on "Cancel" is over the palette's row
    // 11, so up again to slot 1, "Delete sample", "Okay".
    std::vector<std::pair<int, const char *>> next = {{60, "F3"}, {85, "F2"}, {125, "F3"}, {130, "F2"}, {145, "F3"}};
    for (int k = 0; k < 6; k++)
        next.push_back({64 + 3 * k, "Up"});
    for (int k = 0; k < 10; k++)
        next.push_back({96 + 3 * k, "Up"});
    const std::vector<std::string> more = Keys(next);
    script.insert(script.end(), more.begin(), more.end());
    click(89, kCancelX, kButtonY);
    click(135, kOkayX, kButtonY);
    const std::string png = Temp("deleted.png"), wav = Temp("deleted.wav");
    ASSERT_EQ(RunTo(150, script, png, wav), 0);

    ASSERT_EQ(s_used.size(), 4u) << "F3 probed four times";
    // Before: the demo song's six, the library sample and its copy; optimised: the six its notes use.
    EXPECT_EQ(s_used[0], (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(s_used[1], (std::vector<int>{1, 2, 3, 4, 5, 6})) << "unused slots dropped";
    EXPECT_EQ(Count("Seq_ClearUnusedInstruments"), 1);
    // "Cancel" kept slot 1, "Okay" emptied it.
    EXPECT_EQ(s_used[2], s_used[1]);
    EXPECT_EQ(s_used[3], (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(Count("Seq_ClearInstrument"), 1);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_SAMPLE_PALETTE) << "the palette has the focus again";
    EXPECT_EQ(ReadPng(png).width, 640u) << png;
}

} // namespace
