#include "platform/cd.h"

#include <atomic>

namespace {

// No drive: nothing is ever found or read, so the disc layer falls back to host files only.
const PLATCDOPS s_noDisc = {
    [] { return 0; },
    [](int) { return 0; },
    [] { return 0; },
    [](int) { return 0; },
    [](PLATCDFILE *, const char *) { return 0; },
    [](int, const uint8_t *, uint8_t *result) {
        if (result)
            result[0] = 0;
        return 0;
    },
    [](int, uint8_t *) { return 0; },
    [] { return 0; },
    [](int, void *, int) { return 0; },
    [](int, uint8_t *) { return -1; },
};

std::atomic<const PLATCDOPS *> s_ops{&s_noDisc};

} // namespace

void Plat_CdSetOps(const PLATCDOPS *ops)
{
    s_ops.store(ops ? ops : &s_noDisc);
}

const PLATCDOPS *Plat_CdOps()
{
    return s_ops.load();
}

int Plat_CdInit() { return s_ops.load()->Init(); }
int Plat_CdCheckStatus(int mode) { return s_ops.load()->CheckStatus(mode); }
int Plat_CdIdentifyDisc() { return s_ops.load()->IdentifyDisc(); }
int Plat_CdCheckReady(int mode) { return s_ops.load()->CheckReady(mode); }
int Plat_CdFindFile(PLATCDFILE *record, const char *name) { return s_ops.load()->FindFile(record, name); }
int Plat_CdCommand(int command, const uint8_t *param, uint8_t *result)
{
    return s_ops.load()->Command(command, param, result);
}
int Plat_CdSync(int mode, uint8_t *result) { return s_ops.load()->Sync(mode, result); }
int Plat_CdStatus() { return s_ops.load()->Status(); }
int Plat_CdReadSectors(int count, void *buffer, int mode) { return s_ops.load()->ReadSectors(count, buffer, mode); }
int Plat_CdReadSync(int mode, uint8_t *result) { return s_ops.load()->ReadSync(mode, result); }
