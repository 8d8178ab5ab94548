#include "core/asyncfile.h"
#include "scratch_dir.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct DONE
{
    std::atomic<int> calls{0};
    uintptr_t arg = 0;
};

void OnDone(uintptr_t arg, uint32_t)
{
    DONE *done = reinterpret_cast<DONE *>(arg);
    done->arg = arg;
    done->calls++;
}

} // namespace

class FileQueue : public ScratchDir
{
protected:
    void TearDown() override
    {
        Sys_StopFileThread();
        ScratchDir::TearDown();
    }
};

TEST_F(FileQueue, WriteMovesInChunksThenFinishesOnce)
{
    // Between two and three chunks: three running steps, then one finishing step.
    std::vector<uint8_t> data(2 * ASYNCFILE_CHUNK + 100);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    Write("out.bin", "previous");
    DONE done;
    ASSERT_GE(Sys_QueueFileTransfer(data.data(), static_cast<int>(data.size()), "out.bin", ASYNCFILE_WRITE, OnDone,
                                    reinterpret_cast<uintptr_t>(&done)),
              0);
    data.assign(data.size(), 0); // the queue keeps its own copy
    EXPECT_EQ(Sys_PendingFileTransfers(), 1);

    EXPECT_EQ(Sys_FileThreadStep(), 1); // takes the request
    EXPECT_EQ(Sys_FileThreadStep(), 1); // new -> running
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Read("out.bin"), "previous");
        EXPECT_EQ(Sys_FileThreadStep(), 1);
    }
    EXPECT_EQ(done.calls, 0);
    EXPECT_EQ(Sys_FileThreadStep(), 1); // finishing step
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(done.arg, reinterpret_cast<uintptr_t>(&done));
    EXPECT_EQ(Sys_PendingFileTransfers(), 0);
    EXPECT_EQ(Sys_FileThreadStep(), 0);

    std::string written = Read("out.bin");
    ASSERT_EQ(written.size(), 2u * ASYNCFILE_CHUNK + 100);
    for (size_t i = 0; i < written.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(written[i]), static_cast<uint8_t>(i * 7)) << i;
}

TEST_F(FileQueue, BadRequestsLeaveNothingBehind)
{
    char buf[16];
    Write("in.bin", "abc");
    EXPECT_EQ(Sys_QueueFileTransfer(buf, 3, "in.bin", 0, nullptr, 0), -1);
    EXPECT_EQ(Sys_QueueFileTransfer(buf, 3, "missing.bin", ASYNCFILE_READ, nullptr, 0), -1);
    EXPECT_EQ(Sys_QueueFileTransfer(buf, -1, "in.bin", ASYNCFILE_READ, nullptr, 0), -1);
    EXPECT_EQ(Sys_QueueFileTransfer(nullptr, 3, "in.bin", ASYNCFILE_READ, nullptr, 0), -1);
    EXPECT_EQ(Sys_PendingFileTransfers(), 0);
}

TEST_F(FileQueue, ShortFileEndsTheReadInsteadOfSpinning)
{
    Write("in.bin", "abc");
    char buf[16] = {};
    DONE done;
    ASSERT_GE(Sys_QueueFileTransfer(buf, 10, "in.bin", ASYNCFILE_READ, OnDone, reinterpret_cast<uintptr_t>(&done)), 0);
    for (int i = 0; i < 4; ++i)
        Sys_FileThreadStep();
    EXPECT_EQ(done.calls, 1);
    EXPECT_STREQ(buf, "abc");
}

TEST_F(FileQueue, StoppingDropsUnfinishedWritesWithoutTouchingTheTarget)
{
    Write("keep.bin", "keep");
    std::string data(3 * ASYNCFILE_CHUNK, 'n');
    DONE done;
    ASSERT_GE(Sys_QueueFileTransfer(data.data(), static_cast<int>(data.size()), "keep.bin", ASYNCFILE_WRITE, OnDone,
                                    reinterpret_cast<uintptr_t>(&done)),
              0);
    Sys_FileThreadStep();
    Sys_FileThreadStep();
    Sys_FileThreadStep(); // one chunk written
    Sys_StopFileThread();
    EXPECT_EQ(done.calls, 0);
    EXPECT_EQ(Sys_PendingFileTransfers(), 0);
    EXPECT_EQ(Read("keep.bin"), "keep");
    EXPECT_EQ(CountEntries(), 1u);
}

TEST_F(FileQueue, TheThreadRunsStepsWhenWoken)
{
    Write("in.bin", std::string(5000, 'r'));
    std::vector<char> buf(5000);
    DONE done;
    ASSERT_GE(Sys_QueueFileTransfer(buf.data(), 5000, "in.bin", ASYNCFILE_READ, OnDone,
                                    reinterpret_cast<uintptr_t>(&done)),
              0);
    ASSERT_EQ(Sys_StartFileThread(), 0);
    for (long i = 0; i < 100000000 && done.calls == 0; ++i) {
        Sys_SignalFileThread();
        std::this_thread::yield();
    }
    Sys_StopFileThread();
    EXPECT_EQ(done.calls, 1);
    EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string(5000, 'r'));
}
