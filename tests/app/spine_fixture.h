// Puts the spine's globals back to their load-time values and turns the call log on, so each
// test runs the program from a clean start.
#pragma once

#include "app/calllog.h"
#include "app/mainwindow.h"
#include "app/devices.h"
#include "app/cmdline.h"
#include "app/settings.h"
#include "app/timers.h"
#include "app/startup.h"
#include "core/padbind.h"
#include "editors/jukebox.h"
#include "jam/netobjects.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/kescomms.h"
#include "platform/window.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "ui/msgbox.h"
#include "render/display.h"
#include "video/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The menu pages as at start: no items, page 0, no page menu descriptions.
inline void ResetPageMenus()
{
    Ui_ResetMenuItems();
    Ui_SetMenuPage(0);
    for (POPUPDESC &d : g_atPageMenuDescs)
        d = POPUPDESC{};
}

class SpineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        unsetenv("TNV_INPUT_SCRIPT");
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        // Start-up writes the language files into the user's folder: keep them in the test's own.
        setenv("HOME", ::testing::TempDir().c_str(), 1);
        g_bQuitRequested = 0;
        g_bAppActive = 0;
        g_bMainLoopStarted = 0;
        g_bAudioMixEnabled = 0;
        g_iMainFrameCount = 0;
        g_iFrameState = FRAMESTATE_INTERFACE;
        g_iFrameStateCountdown = 0;
        g_pPointerShape = nullptr;
        g_bNoCd = g_bNetHost = g_bNetClient = g_bNetSession = 0;
        g_iJamPlayers = 4;
        g_szAdvertIp[0] = g_szAdvertPort[0] = g_szJoinAddress[0] = '\0';
        g_pCurrentPopup = nullptr;
        g_ucPopupReturn = 0;
        g_bDisplayOpen = 0;
        g_ucFullScreenVideo = 0;
        g_bJamSessionOn = 0;
        g_wPadButtons = 0xFFFF;
        g_iCurrentOverlay = -1;
        g_iScreen = 0;
        Sys_PadClearBindings();
        g_uKeyModifiers = 0;
        g_iLastKeyCode = 0;
        Sys_EndTextEntry();
        g_uTextEntryFilter = 0;
        Kes_UseFake(false);
        Plat_MessageBoxLogClear();
        // A box left open by an earlier run in this process would hold the pad and the keys.
        Ui_ResetMessageBoxes();
        Sys_CallLogEnable(true);
    }

    void TearDown() override
    {
        Sys_CallLogEnable(false);
        Kes_UseFake(false);
        unsetenv("TNV_INPUT_SCRIPT");
        unsetenv("TNV_EXIT_AFTER_FRAMES");
    }

    // Runs the program with the given command line; frames: TNV_EXIT_AFTER_FRAMES; script: the
    // lines of TNV_INPUT_SCRIPT (none when empty).
    int Run(const char *commandLine, int frames, const std::vector<std::string> &script = {})
    {
        if (frames >= 0)
            setenv("TNV_EXIT_AFTER_FRAMES", std::to_string(frames).c_str(), 1);
        if (!script.empty()) {
            scriptPath_ = ::testing::TempDir() + "spine_script_" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
            FILE *f = std::fopen(scriptPath_.c_str(), "w");
            for (const std::string &line : script)
                std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
            setenv("TNV_INPUT_SCRIPT", scriptPath_.c_str(), 1);
        }
        return Sys_RunApplication(nullptr, nullptr, commandLine, 1);
    }

    static const std::vector<std::string> &Log() { return Sys_CallLogGet(); }

    static int Count(const std::string &name)
    {
        return static_cast<int>(std::count(Log().begin(), Log().end(), name));
    }

    static bool Has(const std::string &name) { return Count(name) > 0; }

    // The log entries after the last occurrence of `after`.
    static std::vector<std::string> After(const std::string &after)
    {
        auto it = std::find(Log().rbegin(), Log().rend(), after);
        return std::vector<std::string>(it.base(), Log().end());
    }

    // The log entries before the first occurrence of `before`.
    static std::vector<std::string> Before(const std::string &before)
    {
        auto it = std::find(Log().begin(), Log().end(), before);
        return std::vector<std::string>(Log().begin(), it);
    }

    // One name a line, so a failed comparison shows a line diff instead of a cut-off list.
    static std::string Lines(const std::vector<std::string> &names)
    {
        std::string out;
        for (const std::string &n : names)
            out += n + "\n";
        return out;
    }

    std::string scriptPath_;
};
