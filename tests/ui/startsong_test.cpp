// The song the studio starts with: the content's demo song, or the empty song with one line on
// stderr when the file is missing, empty, not a song or cut short. The undo log is there either way.
#include "ui_fixture.h"

#include "app/settings.h"
#include "audio/mixer.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "support/tempdir.h"
#include "ui/frontend.h"

#include <algorithm>
#include <string>

using namespace uitest;

namespace {

class StartSong : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        Seq_Init();
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_NewSong();
        Seq_AllocUndoLog();
        Snd_ShutdownSampleEngine();
        UiTest::TearDown();
    }
};

std::string DemoBytes()
{
    return ReadTextFile(Sys_MakeDataPath("examples/demo.tnv"));
}

} // namespace

TEST_F(StartSong, TheDemoSongLoads)
{
    ASSERT_GT(DemoBytes().size(), 64u) << "the content's demo song is built";
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Ui_LoadStartSong(Sys_MakeDataPath("examples/demo.tnv")));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_GT(Seq_CountUsedRows(), 0);
    EXPECT_TRUE(Seq_HasUndoLog());
}

TEST_F(StartSong, BadFilesLeaveTheEmptySongWithOneLine)
{
    TempDir dir;
    const std::string demo = DemoBytes();
    ASSERT_GT(demo.size(), 64u);
    const struct
    {
        const char *name;
        std::string bytes;
        bool write;
    } cases[] = {
        {"missing.tnv", "", false},
        {"empty.tnv", "", true},
        {"text.tnv", std::string(200, 'x'), true},
        {"cut.tnv", demo.substr(0, demo.size() / 2), true},
    };
    for (const auto &c : cases) {
        // A song already in memory must not survive a failed start load half-replaced.
        ASSERT_TRUE(Ui_LoadStartSong(Sys_MakeDataPath("examples/demo.tnv")));
        const std::string path = dir.File(c.name);
        if (c.write)
            WriteTextFile(path, c.bytes);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Ui_LoadStartSong(path.c_str())) << c.name;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
        EXPECT_NE(err.find(path), std::string::npos) << c.name;
        EXPECT_EQ(Seq_CountUsedRows(), 0) << c.name;
        EXPECT_TRUE(Seq_HasUndoLog()) << c.name;
    }
}
