#include "app/settings.h"
#include "audio/midiin.h"
#include "ui/liveentry.h"
#include "platform/midi_in.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

struct LIVENOTE
{
    int note;
    int velocity;
};
std::vector<LIVENOTE> s_liveNotes;
void RecordLiveNote(int32_t note, int32_t velocity)
{
    s_liveNotes.push_back({note, velocity});
}

uint32_t Msg(int status, int d1, int d2)
{
    return static_cast<uint32_t>(status | d1 << 8 | d2 << 16);
}

int Inject(int status, int d1, int d2)
{
    const uint8_t b[3] = {static_cast<uint8_t>(status), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2)};
    return Plat_MidiInHeadlessInject(b, 3, 0);
}

class MidiIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_MidiInHeadlessSetPorts(2);
        ASSERT_EQ(Snd_EnumMidiInDevices(), 0);
        std::memset(g_abMidiNoteVelocity, 0, sizeof g_abMidiNoteVelocity);
        std::memset(g_abMidiController, 0, sizeof g_abMidiController);
        g_iMidiChannelFilter = -1;
        g_bMidiLivePlay = 0;
        g_iMidiInDevice = 1;
        g_pfnSndLiveNote = RecordLiveNote;
        Snd_DispatchLiveNotes();
        s_liveNotes.clear();
    }
    void TearDown() override
    {
        Snd_MidiInEnd();
        Plat_MidiInHeadlessSetPorts(0);
        g_iMidiInDevice = 0;
        g_pfnSndLiveNote = Ui_LiveEntryMidiNote;
    }
    std::vector<uint32_t> Stored()
    {
        int h = g_iMidiStoreHalf;
        return std::vector<uint32_t>(g_auMidiStore[h], g_auMidiStore[h] + g_aiMidiStoreCount[h]);
    }
};

} // namespace

TEST_F(MidiIn, NoDeviceIsAnEmptyListNotAFailure)
{
    Plat_MidiInHeadlessSetPorts(0);
    EXPECT_EQ(Snd_EnumMidiInDevices(), -1);
    EXPECT_EQ(Snd_GetMidiInDeviceCount(), 0);
    char name[SND_MIDI_NAME_BYTES] = "old";
    EXPECT_EQ(Snd_GetMidiInDeviceName(name, 0), -1);
    EXPECT_STREQ(name, "");

    // A jam or live play starting without a device runs on; ending it is harmless.
    Snd_MidiInBegin();
    EXPECT_EQ(g_bMidiInActive.load(), 1);
    EXPECT_EQ(g_bMidiInOpen.load(), 0);
    EXPECT_EQ(Snd_MidiInEnd(), 0);
    EXPECT_EQ(Snd_MidiInEnd(), 0);
    EXPECT_EQ(g_bMidiInActive.load(), 0);
    EXPECT_EQ(Snd_CloseMidiIn(), 0);
    EXPECT_EQ(Snd_StartMidiIn(), 1);
    EXPECT_EQ(Snd_StopMidiIn(), 1);

    // The getters answer 1 and leave their outputs alone.
    uint8_t *table = reinterpret_cast<uint8_t *>(&name);
    EXPECT_EQ(Snd_GetMidiNoteTable(&table), 1);
    EXPECT_EQ(table, reinterpret_cast<uint8_t *>(&name));
    uint8_t value = 77;
    EXPECT_EQ(Snd_GetMidiController(&value, 7), 1);
    EXPECT_EQ(value, 77);
    uint32_t *buffer = nullptr;
    int32_t count = -5;
    Snd_TakeMidiMessages(&buffer, &count);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(count, -5);
}

TEST_F(MidiIn, DeviceListNamesThePorts)
{
    EXPECT_EQ(Snd_GetMidiInDeviceCount(), 2);
    char name[SND_MIDI_NAME_BYTES];
    ASSERT_EQ(Snd_GetMidiInDeviceName(name, 1), 0);
    EXPECT_STREQ(name, "Scripted port 2");
    // A port that is not there (no MIDI keyboard) is refused without a console line.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Snd_OpenMidiIn(5), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(g_bMidiInOpen.load(), 0);
}

TEST_F(MidiIn, MessagesChangeTheTablesByKindAndChannel)
{
    struct Case
    {
        const char *what;
        int filter;
        int status, d1, d2;
        int note, velocity;  // note table entry expected afterwards (-1: no note checked)
        int ctrl, ctrlValue; // controller entry expected afterwards (-1: none)
    };
    // Every case starts from note 60 at 50 and controller 7 at 40.
    const Case cases[] = {
        {"note-on", -1, 0x90, 60, 100, 60, 100, 7, 40},
        {"note-on velocity 0", -1, 0x90, 60, 0, 60, 0, 7, 40},
        {"note-off ends the note", -1, 0x80, 60, 64, 60, 0, 7, 40},
        {"control change", -1, 0xB3, 7, 127, 60, 50, 7, 127},
        {"other note", -1, 0x9F, 61, 9, 61, 9, -1, 0},
        {"pitch bend only stored", -1, 0xE0, 60, 7, 60, 50, 7, 40},
        {"program change only stored", -1, 0xC0, 7, 0, 60, 50, 7, 40},
        {"aftertouch only stored", -1, 0xA0, 60, 1, 60, 50, 7, 40},
        {"filter 3, note-on on channel 3", 3, 0x93, 60, 90, 60, 90, 7, 40},
        {"filter 3, note-on on channel 4", 3, 0x94, 60, 90, 60, 50, 7, 40},
        {"filter 3, control on channel 0", 3, 0xB0, 7, 1, 60, 50, 7, 40},
        {"filter 3, note-off on channel 3", 3, 0x83, 60, 0, 60, 0, 7, 40},
    };
    Snd_MidiInBegin();
    ASSERT_EQ(g_bMidiInOpen.load(), 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_abMidiNoteVelocity[60] = 50;
        g_abMidiController[7] = 40;
        g_iMidiChannelFilter = c.filter;
        int before = g_aiMidiStoreCount[g_iMidiStoreHalf];
        ASSERT_EQ(Inject(c.status, c.d1, c.d2), 1);
        // Every message is stored as received, filtered or not.
        ASSERT_EQ(g_aiMidiStoreCount[g_iMidiStoreHalf], before + 1);
        EXPECT_EQ(g_auMidiStore[g_iMidiStoreHalf][before], Msg(c.status, c.d1, c.d2));
        EXPECT_EQ(g_abMidiNoteVelocity[c.note], c.velocity);
        if (c.ctrl >= 0) {
            EXPECT_EQ(g_abMidiController[c.ctrl], c.ctrlValue);
        }
    }
    uint8_t *table = nullptr;
    ASSERT_EQ(Snd_GetMidiNoteTable(&table), 0);
    EXPECT_EQ(table, g_abMidiNoteVelocity);
    uint8_t value = 0;
    ASSERT_EQ(Snd_GetMidiController(&value, 7), 0);
    EXPECT_EQ(value, 40);
}

TEST_F(MidiIn, MessagesFromTheDriverThreadReachTheStoreInOrder)
{
    Snd_MidiInBegin();
    ASSERT_EQ(g_bMidiInOpen.load(), 1);
    // Fewer than a half holds, so no message can be dropped however the threads are scheduled.
    constexpr int kCount = 16000;
    std::vector<uint32_t> sent;
    for (int i = 0; i < kCount; ++i)
        sent.push_back(Msg(0x90 | (i & 15), (i >> 4) & 127, i % 128));
    std::thread driver([&] {
        for (uint32_t m : sent) {
            const uint8_t b[3] = {static_cast<uint8_t>(m), static_cast<uint8_t>(m >> 8),
                                  static_cast<uint8_t>(m >> 16)};
            Plat_MidiInHeadlessInject(b, 3, 0);
        }
    });
    // The reader takes halves while the driver writes; together they hold everything in order.
    std::vector<uint32_t> got;
    auto take = [&] {
        uint32_t *buf = nullptr;
        int32_t n = 0;
        Snd_TakeMidiMessages(&buf, &n);
        ASSERT_NE(buf, nullptr);
        got.insert(got.end(), buf, buf + n);
    };
    while (got.size() < sent.size() / 2)
        take();
    driver.join();
    take();
    take();
    EXPECT_EQ(got, sent);
}

TEST_F(MidiIn, AFullHalfStoresNothingMoreButTheTablesGoOn)
{
    ASSERT_EQ(Snd_OpenMidiIn(0), 0);
    ASSERT_EQ(Snd_StartMidiIn(), 0);
    for (int i = 0; i < SND_MIDI_STORE_HALF; ++i)
        Inject(0xB0, 1, i & 127);
    EXPECT_EQ(g_aiMidiStoreCount[0], SND_MIDI_STORE_HALF);
    Inject(0x90, 64, 99);
    EXPECT_EQ(g_aiMidiStoreCount[0], SND_MIDI_STORE_HALF);
    EXPECT_EQ(g_aiMidiStoreCount[1], 0) << "the other half is not written into";
    EXPECT_EQ(g_auMidiStore[0][SND_MIDI_STORE_HALF - 1], Msg(0xB0, 1, (SND_MIDI_STORE_HALF - 1) & 127));
    EXPECT_EQ(g_abMidiNoteVelocity[64], 99);

    // Taking the full half moves the writer to the other one, emptied.
    uint32_t *buf = nullptr;
    int32_t n = 0;
    Snd_TakeMidiMessages(&buf, &n);
    EXPECT_EQ(buf, g_auMidiStore[0]);
    EXPECT_EQ(n, SND_MIDI_STORE_HALF);
    Inject(0x80, 64, 0);
    EXPECT_EQ(Stored(), std::vector<uint32_t>{Msg(0x80, 64, 0)});
    EXPECT_EQ(g_iMidiStoreHalf, 1);

    // A restart empties the store and starts at half 0.
    ASSERT_EQ(Snd_StopMidiIn(), 0);
    EXPECT_EQ(Inject(0x90, 1, 1), 0) << "a stopped device delivers nothing";
    ASSERT_EQ(Snd_StartMidiIn(), 0);
    EXPECT_EQ(g_iMidiStoreHalf, 0);
    EXPECT_EQ(g_aiMidiStoreCount[0], 0);
    EXPECT_EQ(g_aiMidiStoreCount[1], 0);
}

TEST_F(MidiIn, LivePlayQueuesNoteOnsForTheMainThread)
{
    g_bMidiLivePlay = 1;
    Snd_MidiInBegin();
    const int msgs[][3] = {
        {0x90, 60, 100}, {0x90, 61, 0}, {0x80, 60, 0}, {0xB0, 7, 5}, {0x95, 62, 1}, {0xE0, 0, 64},
    };
    std::thread driver([&] {
        for (const auto &m : msgs)
            Inject(m[0], m[1], m[2]);
    });
    driver.join();
    // Nothing reaches the note entry from the driver's thread, and the tables are left alone.
    EXPECT_TRUE(s_liveNotes.empty());
    EXPECT_EQ(g_abMidiNoteVelocity[60], 0);
    EXPECT_EQ(g_abMidiController[7], 0);
    EXPECT_EQ(Stored().size(), 6u);

    EXPECT_EQ(Snd_DispatchLiveNotes(), 2);
    const std::vector<LIVENOTE> notes = s_liveNotes;
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].note, 60);
    EXPECT_EQ(notes[0].velocity, 100);
    EXPECT_EQ(notes[1].note, 62);
    EXPECT_EQ(notes[1].velocity, 1);
    EXPECT_EQ(Snd_DispatchLiveNotes(), 0);

    // The channel filter holds in live play too.
    g_iMidiChannelFilter = 2;
    Inject(0x91, 70, 80);
    EXPECT_EQ(Snd_DispatchLiveNotes(), 0);
}

TEST_F(MidiIn, OnlyDataMessagesAreHandledAndAClosedDeviceHearsNothing)
{
    Snd_MidiInBegin();
    Snd_MidiInCallback(nullptr, SND_MIM_OPEN, 0, Msg(0x90, 60, 100), 0);
    EXPECT_EQ(g_abMidiNoteVelocity[60], 0);
    Snd_MidiInCallback(nullptr, SND_MIM_DATA, 0, Msg(0x90, 60, 100), 0);
    EXPECT_EQ(g_abMidiNoteVelocity[60], 100);
    // System and stray data bytes never arrive.
    const uint8_t sysex[3] = {0xF0, 1, 2};
    const uint8_t data[3] = {0x12, 1, 2};
    EXPECT_EQ(Plat_MidiInHeadlessInject(sysex, 3, 0), 0);
    EXPECT_EQ(Plat_MidiInHeadlessInject(data, 3, 0), 0);
    EXPECT_EQ(Plat_MidiInHeadlessInject(nullptr, 3, 0), 0);

    EXPECT_EQ(Snd_MidiInEnd(), 0);
    EXPECT_EQ(Inject(0x90, 60, 1), 0);
    EXPECT_EQ(g_abMidiNoteVelocity[60], 100);
    // Open again after a close.
    Snd_MidiInBegin();
    EXPECT_EQ(Inject(0x90, 60, 1), 1);
    EXPECT_EQ(g_abMidiNoteVelocity[60], 1);
}
