// Background file transfers: a file moved to or from memory in 4096-byte chunks by a file thread,
// with a callback when done. The studio never starts the thread; the queue and its steps are here
// for the callers that name them.
#pragma once

#include <cstdint>
#include <cstdio>

enum
{
    ASYNCFILE_READ = 0x01, // read into the caller's buffer
    ASYNCFILE_WRITE = 0x02, // write from a private copy of the caller's data
    ASYNCFILE_CHAIN = 0x08, // after each chunk go on with the next request in the list
    ASYNCFILE_SENDING = 0x10, // label the transfer as "Sending"

    ASYNCFILE_STATE_NEW = 0,
    ASYNCFILE_STATE_FINISHED = 1,
    ASYNCFILE_STATE_RUNNING = 2,

    ASYNCFILE_CHUNK = 4096,
};

typedef void (*ASYNCFILEDONE)(uintptr_t arg, uint32_t elapsedMs);

struct ASYNCFILEREQ
{
    uint32_t uFlags;
    uint32_t uState;
    int32_t iPosition;
    int32_t iRemaining;
    int32_t iTotal;
    uint32_t uStart;
    FILE *pFile;
    char szName[32];
    uint8_t *pData;
    ASYNCFILEDONE pfnDone;
    uintptr_t uArg;
    ASYNCFILEREQ *pNext;
    ASYNCFILEREQ *pPrev;
};

// Queues a transfer of size bytes between buffer and the data file name. -1 when neither read
// nor write is asked, the arguments are bad or the file cannot be opened; else the start time.
int Sys_QueueFileTransfer(void *buffer, int size, const char *name, uint32_t flags, ASYNCFILEDONE done,
                          uintptr_t arg);
// One step of the file thread (what it does per wake). Returns 0 when there was nothing to do.
int Sys_FileThreadStep();
// Wakes the file thread for one step (the 1 ms timer does this when the thread runs).
void Sys_SignalFileThread();
// 0, or -1 when the thread could not start.
int Sys_StartFileThread();
// Stops and joins the thread, then drops what is still queued: files are closed, unfinished
// writes leave their targets untouched, and no callback runs.
void Sys_StopFileThread();
// Number of requests queued and not finished.
int Sys_PendingFileTransfers();
