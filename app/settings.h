// The program's settings: ten values read at start-up, some written back by the options and jam
// screens, and the data and base paths built from two of them.
#pragma once

#include <cstddef>

// The key all values live under (the settings store compares it without regard to case).
#define SETTINGS_KEY "Software\\Quillstone\\Tonnivelle Demo"
// Window class and title; Sys_LoadSettings sets it.
#define PRODUCT_NAME "Tonnivelle Demo"

extern char g_szProductName[256];
extern char g_szLanguage[256];  // upper-cased ("ENGLISH")
extern char g_szBaseDir[256];   // the user's folder, ending in '\'
extern char g_szDataDir[256];   // the content folder, ending in '\'
extern char g_szServerName[128];
extern char g_szPlayerName[64];
extern int g_iGfxRes;
extern int g_iGfxDevice;
extern int g_iAudioInDevice;
extern int g_iAudioOutDevice;
extern int g_iMidiInDevice;

constexpr size_t PATH_BUFFER_SIZE = 1024;
extern char g_szPathBuffer[PATH_BUFFER_SIZE];

// Reads the ten values and fills the globals above. A missing "Language", "BaseDir" or "DataDir"
// takes the first-start default: ENGLISH, $HOME/Tonnivelle, and the content built beside the
// program (the folder "data" next to the executable, or TNV_DATA_DIR).
void Sys_LoadSettings();
// Writes one value (text is read up to 255 characters or its terminator, whichever comes first).
// Returns 0 on success, non-zero when it could not be stored.
int Sys_SaveSetting(const char *valueName, const char *text);

// What chose g_szDataDir at the last Sys_LoadSettings, for messages: the "DataDir" setting,
// TNV_DATA_DIR, or the default.
const char *Sys_DataDirSource();
// g_szDataDir / g_szBaseDir followed by fileName, as a host path in g_szPathBuffer (overwritten
// by the next call, so use it at once). A path that does not fit comes back empty.
char *Sys_MakeDataPath(const char *fileName);
char *Sys_MakeBasePath(const char *fileName);

// A decimal number from settings or command-line text; out-of-range values clamp to int.
int Sys_TextToInt(const char *text);
