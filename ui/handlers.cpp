#include "ui/handlers.h"

#include "app/calllog.h"
#include "audio/mixer.h"

#include <cstdio>
#include <set>
#include <string>

uint32_t g_uUnbuiltHandlerRuns = 0;
const char *g_pszLastUnbuiltHandler = nullptr;
void (*g_pfnAfterUnbuilt)() = nullptr;

uint32_t g_uRefusals = 0;

void Ui_PlayRefusal()
{
    ++g_uRefusals;
    Snd_PlayInterfaceSound(3);
}

void Ui_RefuseUnbuilt(const char *name)
{
    static std::set<std::string> s_said;
    ++g_uUnbuiltHandlerRuns;
    g_pszLastUnbuiltHandler = name;
    Sys_CallLog(name);
    Snd_PlayInterfaceSound(3);
    if (s_said.insert(name).second)
        std::fprintf(stderr, "tnvpc: %s is not available yet\n", name);
    if (g_pfnAfterUnbuilt)
        g_pfnAfterUnbuilt();
}

#define UI_UNBUILT_HANDLER(name)                                                                                       \
    void name()                                                                                                        \
    {                                                                                                                  \
        Ui_RefuseUnbuilt(#name);                                                                                       \
    }
#include "ui/unbuilt_handlers.def"
#undef UI_UNBUILT_HANDLER


void Ui_RunPageItemSlot0() { Ui_RunPageItemForSlot(0); }
void Ui_RunPageItemSlot3() { Ui_RunPageItemForSlot(3); }
void Ui_RunPageItemSlot8() { Ui_RunPageItemForSlot(8); }
void Ui_RunPageItemSlot9() { Ui_RunPageItemForSlot(9); }
void Ui_RunPageItemSlot10() { Ui_RunPageItemForSlot(10); }
void Ui_RunPageItemSlot11() { Ui_RunPageItemForSlot(11); }
void Ui_RunPageItemSlot14() { Ui_RunPageItemForSlot(14); }
void Ui_RunPageItemSlot15() { Ui_RunPageItemForSlot(15); }
