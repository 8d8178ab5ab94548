#include "core/asyncfile.h"

#include "core/file.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// The pending list hangs off a sentinel: new requests go in at the head.
ASYNCFILEREQ s_stHead;
ASYNCFILEREQ *s_pCurrent;
int s_iChunkSize = ASYNCFILE_CHUNK;
// The main thread queues while the file thread walks the list.
std::mutex s_queueLock;

// The thread's two auto-reset events.
std::mutex s_eventLock;
std::condition_variable s_eventCv;
bool s_bWork;
bool s_bStop;
std::thread s_thread;

void Unlink(ASYNCFILEREQ *req)
{
    if (req->pPrev)
        req->pPrev->pNext = req->pNext;
    if (req->pNext)
        req->pNext->pPrev = req->pPrev;
    req->pNext = req->pPrev = nullptr;
}

void FreeRequest(ASYNCFILEREQ *req)
{
    // A finished write replaces its target now.
    Sys_CloseFile(req->pFile);
    if (!(req->uFlags & ASYNCFILE_READ))
        std::free(req->pData);
    std::free(req);
}

void ThreadMain()
{
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(s_eventLock);
            s_eventCv.wait(lock, [] { return s_bWork || s_bStop; });
            if (s_bStop) {
                s_bStop = false;
                return;
            }
            s_bWork = false;
        }
        Sys_FileThreadStep();
    }
}

} // namespace

int Sys_QueueFileTransfer(void *buffer, int size, const char *name, uint32_t flags, ASYNCFILEDONE done,
                          uintptr_t arg)
{
    const bool reading = (flags & ASYNCFILE_READ) != 0;
    if (!(flags & (ASYNCFILE_READ | ASYNCFILE_WRITE)) || !name || size < 0 || (!buffer && size > 0))
        return -1;
    ASYNCFILEREQ *req = static_cast<ASYNCFILEREQ *>(std::calloc(1, sizeof(ASYNCFILEREQ)));
    if (!req)
        return -1;
    if (reading) {
        req->pData = static_cast<uint8_t *>(buffer);
    } else if (size > 0) {
        // The caller may reuse its buffer at once.
        req->pData = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size)));
        if (!req->pData) {
            std::free(req);
            return -1;
        }
        std::memcpy(req->pData, buffer, static_cast<size_t>(size));
    }
    req->pFile = reading ? Sys_OpenFileRead(name) : Sys_OpenFileWrite(name, 0, 0);
    if (!req->pFile) {
        if (!reading)
            std::free(req->pData);
        std::free(req);
        return -1;
    }
    std::snprintf(req->szName, sizeof(req->szName), "%s", name);
    req->uFlags = flags;
    req->iPosition = 0;
    req->iRemaining = req->iTotal = size;
    req->pfnDone = done;
    req->uArg = arg;
    req->uStart = Sys_GetMilliseconds();
    req->uState = ASYNCFILE_STATE_NEW;
    std::lock_guard<std::mutex> lock(s_queueLock);
    req->pNext = s_stHead.pNext;
    if (req->pNext)
        req->pNext->pPrev = req;
    req->pPrev = &s_stHead;
    s_stHead.pNext = req;
    return static_cast<int>(req->uStart & 0x7fffffff);
}

int Sys_FileThreadStep()
{
    ASYNCFILEREQ *req;
    {
        std::lock_guard<std::mutex> lock(s_queueLock);
        if (!s_pCurrent) {
            s_pCurrent = s_stHead.pNext;
            return s_pCurrent != nullptr;
        }
        req = s_pCurrent;
    }
    switch (req->uState) {
    case ASYNCFILE_STATE_NEW: {
        // A label for a progress display; nothing shows it.
        char label[48];
        const char *verb = (req->uFlags & ASYNCFILE_READ)      ? "Reading"
                           : (req->uFlags & ASYNCFILE_SENDING) ? "Sending"
                                                                 : "Writing";
        std::snprintf(label, sizeof(label), "%s %d Bytes", verb, req->iTotal);
        req->uState = req->iRemaining > 0 ? ASYNCFILE_STATE_RUNNING : ASYNCFILE_STATE_FINISHED;
        break;
    }
    case ASYNCFILE_STATE_RUNNING: {
        int chunk = req->iRemaining < s_iChunkSize ? req->iRemaining : s_iChunkSize;
        int moved = (req->uFlags & ASYNCFILE_READ) ? Sys_ReadFile(req->pFile, req->pData + req->iPosition, chunk)
                                                   : Sys_WriteFile(req->pFile, req->pData + req->iPosition, chunk);
        if (moved < 0)
            moved = 0;
        req->iPosition += moved;
        req->iRemaining -= moved;
        // A short chunk (end of file, full disc) ends the transfer instead of retrying forever.
        if (req->iRemaining == 0 || moved < chunk)
            req->uState = ASYNCFILE_STATE_FINISHED;
        if (req->uFlags & ASYNCFILE_CHAIN) {
            std::lock_guard<std::mutex> lock(s_queueLock);
            s_pCurrent = req->pNext;
        }
        break;
    }
    default: {
        if (req->pfnDone)
            req->pfnDone(req->uArg, Sys_GetMilliseconds() - req->uStart);
        {
            std::lock_guard<std::mutex> lock(s_queueLock);
            Unlink(req);
            if (s_pCurrent == req)
                s_pCurrent = nullptr;
        }
        FreeRequest(req);
        break;
    }
    }
    return 1;
}

void Sys_SignalFileThread()
{
    std::lock_guard<std::mutex> lock(s_eventLock);
    s_bWork = true;
    s_eventCv.notify_one();
}

int Sys_StartFileThread()
{
    if (s_thread.joinable())
        return 0;
    {
        std::lock_guard<std::mutex> lock(s_eventLock);
        s_bWork = s_bStop = false;
    }
    try {
        s_thread = std::thread(ThreadMain);
    } catch (...) {
        return -1;
    }
    return 0;
}

void Sys_StopFileThread()
{
    if (s_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(s_eventLock);
            s_bStop = true;
            s_eventCv.notify_one();
        }
        s_thread.join();
    }
    std::lock_guard<std::mutex> lock(s_queueLock);
    while (ASYNCFILEREQ *req = s_stHead.pNext) {
        Unlink(req);
        if (req->uState != ASYNCFILE_STATE_FINISHED && !(req->uFlags & ASYNCFILE_READ))
            Sys_DiscardFile(req->pFile);
        else
            Sys_CloseFile(req->pFile);
        if (!(req->uFlags & ASYNCFILE_READ))
            std::free(req->pData);
        std::free(req);
    }
    s_pCurrent = nullptr;
}

int Sys_PendingFileTransfers()
{
    std::lock_guard<std::mutex> lock(s_queueLock);
    int n = 0;
    for (ASYNCFILEREQ *req = s_stHead.pNext; req; req = req->pNext)
        ++n;
    return n;
}
