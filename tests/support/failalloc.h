// Makes the core heap (pools, event registry) fail on demand.
//
//   FailAlloc fail(2);   // the next two allocations succeed, every later one fails
//   fail.Stop();         // or leave scope: allocation works again
#pragma once

#include "core/idpool.h"

#include <cstdlib>

class FailAlloc
{
public:
    explicit FailAlloc(int succeedFirst = 0)
    {
        Left() = succeedFirst;
        Sys_MemSetAllocHook(&Hook);
    }
    ~FailAlloc() { Stop(); }
    FailAlloc(const FailAlloc &) = delete;
    FailAlloc &operator=(const FailAlloc &) = delete;

    void Stop() { Sys_MemSetAllocHook(nullptr); }
    static int &Failed()
    {
        static int n = 0;
        return n;
    }

private:
    static int &Left()
    {
        static int n = 0;
        return n;
    }
    static void *Hook(size_t size)
    {
        if (Left() > 0)
        {
            Left()--;
            return std::malloc(size);
        }
        Failed()++;
        return nullptr;
    }
};
