#include "app/devices.h"
#include "app/settings.h"
#include "audio/capture.h"
#include "platform/audio_in.h"
#include "platform/audio_out.h"
#include "platform/clock.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Waits for the capture thread to reach a count. Only a guard against a hang, never a measure.
bool WaitRecorded(int32_t bytes)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_iRecordedBytes.load() != bytes) {
        if (std::chrono::steady_clock::now() > give_up)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// Microseconds after the start at which n samples at rate are captured.
uint64_t UsFor(uint64_t samples, uint64_t rate)
{
    return (samples * 1000000u + rate - 1) / rate;
}

// Little-endian bytes of generated samples [first, first + count).
std::string Generated(uint64_t first, uint64_t count)
{
    std::string s;
    for (uint64_t n = first; n < first + count; ++n) {
        uint16_t v = static_cast<uint16_t>(Plat_AudioInGeneratedSample(n));
        s.push_back(static_cast<char>(v & 0xFF));
        s.push_back(static_cast<char>(v >> 8));
    }
    return s;
}

class Capture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_AudioInHeadlessFailOpen(false);
        std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s/", m_dir.Path().c_str());
        g_iAudioInDevice = 0;
        g_iAudioOutDevice = 0;
        ASSERT_EQ(Snd_EnumInputDevices(), 0);
        ASSERT_EQ(Sys_OpenAudioOutput(0), 0);
    }
    void TearDown() override
    {
        Snd_StopRecording();
        Sys_CloseAudioOutput();
        Plat_AudioInHeadlessFailOpen(false);
        g_szBaseDir[0] = 0;
    }
    std::string Recording() { return ReadTextFile(m_dir.File(PCMRECORDING)); }

    TempDir m_dir;
};

} // namespace

TEST_F(Capture, DeviceListHoldsOnlyDevicesWithAUsableRateDefaultFirst)
{
    // The headless source lists three devices; the third offers none of the three rates.
    EXPECT_EQ(Snd_GetInputDeviceCount(), 2);
    char name[SND_INPUT_NAME_BYTES];
    ASSERT_EQ(Snd_GetInputDeviceName(name, 0), 0);
    EXPECT_STREQ(name, "Default capture device (headless)\n");
    ASSERT_EQ(Snd_GetInputDeviceName(name, 1), 0);
    EXPECT_STREQ(name, "Line in (headless)\n");
    for (int bad : {2, -1, 99}) {
        std::strcpy(name, "old");
        EXPECT_EQ(Snd_GetInputDeviceName(name, bad), -1);
        EXPECT_STREQ(name, "");
    }
}

TEST_F(Capture, FileRecordingHandsOverAtTheMiddleAndStartAndKeepsTheTailAtStop)
{
    // Two seconds at 11025 Hz: 44100 bytes, handovers at 22050 and 0.
    ASSERT_EQ(Snd_StartRecording(11025, nullptr, 0, 1), 0);
    EXPECT_EQ(g_iCaptureBufferBytes, 44100);
    EXPECT_EQ(g_bRecording.load(), 1);
    EXPECT_FALSE(Plat_AudioOutIsOpen()) << "capture and playback never run together";

    Plat_ManualClockAdvance(UsFor(11025, 11025));
    ASSERT_TRUE(WaitRecorded(22050));
    EXPECT_EQ(g_iCaptureReadPos, 22050);
    Plat_ManualClockAdvance(UsFor(22050, 11025) - UsFor(11025, 11025));
    ASSERT_TRUE(WaitRecorded(44100));
    EXPECT_EQ(g_iCaptureReadPos, 0);

    // Half a second more, no handover, then the stop copies it.
    Plat_ManualClockAdvance(500000);
    EXPECT_EQ(Snd_StopRecording(), 0);
    const uint64_t samples = 2500000ull * 11025 / 1000000;
    EXPECT_EQ(g_iRecordedBytes.load(), static_cast<int32_t>(samples * 2));
    EXPECT_EQ(Recording(), Generated(0, samples));
    EXPECT_EQ(g_bRecording.load(), 0);
    EXPECT_TRUE(Plat_AudioOutIsOpen());
    EXPECT_EQ(Snd_CaptureThreadExitCode(), SND_CAPTURE_THREAD_EXIT);
}

TEST_F(Capture, MemoryRecordingKeepsTheNewestDataAtTheStart)
{
    std::vector<uint8_t> mem(8192, 0xEE);
    auto Head = [&](size_t bytes) { return std::string(mem.begin(), mem.begin() + static_cast<long>(bytes)); };
    ASSERT_EQ(Snd_StartRecording(44100, mem.data(), 8192, 0), 0);
    EXPECT_EQ(g_iCaptureBufferBytes, 8192);

    // Each handover leaves the newest half-buffer (4096 bytes) at the start.
    struct Step
    {
        uint64_t totalSamples;
        uint64_t newestFrom;
    };
    for (Step s : {Step{2048, 0}, Step{4096, 2048}, Step{6144, 4096}}) {
        SCOPED_TRACE(s.totalSamples);
        Plat_ManualClockSet(UsFor(s.totalSamples, 44100));
        ASSERT_TRUE(WaitRecorded(static_cast<int32_t>(s.totalSamples * 2)));
        EXPECT_EQ(Head(4096), Generated(s.newestFrom, 2048));
    }

    // A jump past the start of the buffer: the position comes back below the stored one, and the
    // length is position + size - stored. Both parts land in order at the start.
    Plat_ManualClockSet(UsFor(9144, 44100));
    ASSERT_TRUE(WaitRecorded(9144 * 2));
    EXPECT_EQ(Head(3000 * 2), Generated(6144, 3000));
    EXPECT_EQ(g_iCaptureReadPos, (9144 * 2) % 8192);

    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_TRUE(Plat_AudioOutIsOpen());
}

TEST_F(Capture, RecordingStopsAndStartsAgainWithAFreshFile)
{
    ASSERT_EQ(Snd_StartRecording(22050, nullptr, 0, 1), 0);
    Plat_ManualClockAdvance(300000);
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_EQ(Recording().size(), 300000ull * 22050 / 1000000 * 2);

    // The second recording replaces the first, from sample 0 of its own start.
    ASSERT_EQ(Snd_StartRecording(22050, nullptr, 0, 1), 0);
    EXPECT_EQ(g_iRecordedBytes.load(), 0);
    Plat_ManualClockAdvance(100000);
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_EQ(Recording(), Generated(0, 2205));

    // Stopping what is not recording changes nothing.
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_TRUE(Plat_AudioOutIsOpen());
}

TEST_F(Capture, SecondStartIsRefusedAndTheFirstGoesOn)
{
    std::vector<uint8_t> mem(8192);
    ASSERT_EQ(Snd_StartRecording(22050, nullptr, 0, 1), 0);
    EXPECT_EQ(Snd_StartRecording(44100, mem.data(), 8192, 0), -1);
    EXPECT_EQ(g_bRecording.load(), 1);
    Plat_ManualClockAdvance(200000);
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_EQ(Recording(), Generated(0, 4410));
}

TEST_F(Capture, AStaleDeviceNumberRecordsFromTheDefault)
{
    g_iAudioInDevice = 7;
    ASSERT_EQ(Snd_StartRecording(44100, nullptr, 0, 1), 0);
    Plat_ManualClockAdvance(10000);
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_EQ(Recording(), Generated(0, 441));
}

TEST_F(Capture, FailedStartsRecordNothingAndGiveTheOutputBack)
{
    std::vector<uint8_t> mem(8192);
    struct Case
    {
        const char *what;
        int device;
        int rate;
        void *memory;
        int bytes;
        int toFile;
        bool deviceGone;
        bool badFolder;
    };
    const Case cases[] = {
        // The line in offers only 22050 Hz.
        {"rate the device lacks", 1, 44100, nullptr, 0, 1, false, false},
        {"device gone", 0, 22050, nullptr, 0, 1, true, false},
        {"device gone, memory", 0, 44100, mem.data(), 8192, 0, true, false},
        {"file cannot be made", 0, 22050, nullptr, 0, 1, false, true},
        {"no memory buffer", 0, 44100, nullptr, 8192, 0, false, false},
        {"memory too small", 0, 44100, mem.data(), 2, 0, false, false},
        {"no rate", 0, 0, nullptr, 0, 1, false, false},
        {"negative rate", 0, -44100, mem.data(), 8192, 0, false, false},
    };
    // An old recording must not pass for a new one.
    WriteTextFile(m_dir.File(PCMRECORDING), "old");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_iAudioInDevice = c.device;
        Plat_AudioInHeadlessFailOpen(c.deviceGone);
        if (c.badFolder)
            std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s/%s/", m_dir.Path().c_str(), PCMRECORDING);
        EXPECT_EQ(Snd_StartRecording(c.rate, c.memory, c.bytes, c.toFile), -1);
        EXPECT_EQ(g_bRecording.load(), 0);
        EXPECT_TRUE(Plat_AudioOutIsOpen());
        EXPECT_FALSE(Plat_AudioInIsOpen());
        EXPECT_EQ(Snd_StopRecording(), 0);
        Plat_AudioInHeadlessFailOpen(false);
        std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s/", m_dir.Path().c_str());
    }
    EXPECT_EQ(Recording(), "old");
    // The device records once it is back.
    g_iAudioInDevice = 1;
    ASSERT_EQ(Snd_StartRecording(22050, nullptr, 0, 1), 0);
    Plat_ManualClockAdvance(1000);
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_EQ(Recording(), Generated(0, 22));
}

TEST_F(Capture, CaptureBufferPartsWrapAtTheEnd)
{
    ASSERT_EQ(Snd_OpenCaptureDevice(0, 16, 44100), 0);
    const uint8_t *p1, *p2;
    int n1, n2;
    ASSERT_EQ(Plat_AudioInLock(12, 8, &p1, &n1, &p2, &n2), 0);
    EXPECT_EQ(n1, 4);
    EXPECT_EQ(n2, 4);
    ASSERT_EQ(Plat_AudioInLock(0, 16, &p1, &n1, &p2, &n2), 0);
    EXPECT_EQ(n1, 16);
    EXPECT_EQ(n2, 0);
    EXPECT_EQ(p2, nullptr);
    // Ranges outside the buffer are refused.
    EXPECT_EQ(Plat_AudioInLock(16, 1, &p1, &n1, &p2, &n2), -1);
    EXPECT_EQ(Plat_AudioInLock(0, 17, &p1, &n1, &p2, &n2), -1);
    EXPECT_EQ(Plat_AudioInLock(-2, 2, &p1, &n1, &p2, &n2), -1);
    Snd_CloseCaptureDevice();
    EXPECT_FALSE(Plat_AudioInIsOpen());
}

TEST_F(Capture, ReadCopiesTheRingUnderTheDeviceLockAndWraps)
{
    // Sixteen bytes hold eight samples; the ninth would wrap onto the first.
    ASSERT_EQ(Snd_OpenCaptureDevice(0, 16, 44100), 0);
    ASSERT_EQ(Plat_AudioInStart(), 0);
    Plat_ManualClockAdvance(UsFor(8, 44100));
    ASSERT_EQ(Plat_AudioInPosition(), 0);
    const std::string ring = Generated(0, 8);

    struct Case
    {
        int offset, bytes;
        bool ok;
        std::string expected;
    } cases[] = {
        {0, 16, true, ring},
        {12, 8, true, ring.substr(12) + ring.substr(0, 4)},
        {4, 0, true, ""},
        {14, 16, true, ring.substr(14) + ring.substr(0, 14)},
        {16, 1, false, ""},
        {0, 17, false, ""},
        {-2, 2, false, ""},
        {0, -1, false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.bytes));
        std::vector<uint8_t> out(32, 0xEE);
        ASSERT_EQ(Plat_AudioInRead(c.offset, c.bytes, out.data()), c.ok ? 0 : -1);
        if (c.ok)
            EXPECT_EQ(std::string(out.begin(), out.begin() + c.bytes), c.expected);
        else
            EXPECT_EQ(out, std::vector<uint8_t>(32, 0xEE)) << "a refused read writes nothing";
    }
    EXPECT_EQ(Plat_AudioInRead(0, 4, nullptr), -1);
    Snd_CloseCaptureDevice();
    uint8_t one = 0;
    EXPECT_EQ(Plat_AudioInRead(0, 1, &one), -1) << "nothing to read from a closed device";
}

TEST_F(Capture, AReaderBesideTheCaptureThreadSeesOnlyWholeCopies)
{
    // The live input step reads the memory buffer on the tick thread while the capture thread
    // copies into it; under the memory lock it sees the buffer before or after a copy, never
    // half of one (and the thread sanitizer sees no race).
    std::vector<uint8_t> mem(8192, 0xEE);
    const std::string untouched(4096, static_cast<char>(0xEE));
    const std::string copies[] = {untouched, Generated(0, 2048), Generated(2048, 2048), Generated(4096, 2048)};
    struct Reader
    {
        const uint8_t *mem;
        std::string head;
    } reader{mem.data(), {}};
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, reads{0};
    ASSERT_EQ(Snd_StartRecording(44100, mem.data(), 8192, 0), 0);
    std::thread tick([&] {
        while (!stop.load()) {
            Snd_ReadCaptureMemory(
                [](void *context) {
                    Reader *r = static_cast<Reader *>(context);
                    r->head.assign(r->mem, r->mem + 4096);
                },
                &reader);
            if (std::find(std::begin(copies), std::end(copies), reader.head) == std::end(copies))
                torn++;
            reads++;
            std::this_thread::yield();
        }
    });
    // The reader is under way before the first copy.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (reads.load() == 0 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::yield();
    for (uint64_t total : {2048u, 4096u, 6144u}) {
        Plat_ManualClockSet(UsFor(total, 44100));
        ASSERT_TRUE(WaitRecorded(static_cast<int32_t>(total * 2)));
    }
    stop = true;
    tick.join();
    EXPECT_EQ(Snd_StopRecording(), 0);
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0);
}
