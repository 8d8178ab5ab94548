// Stand-ins for the settings and the command line, until they are built. Delete with their .cpp
// when the real ones land.
#pragma once

#include <cstdint>

extern char g_szProductName[256];
extern int32_t g_iGfxDevice;
extern int32_t g_iAudioOutDevice;
extern int32_t g_bNoCd;
extern int32_t g_bNetHost;
extern int32_t g_bNetClient;
extern int32_t g_bNetSession;
extern int32_t g_iJamPlayers;
extern char g_szAdvertIp[256];
extern char g_szAdvertPort[256];
extern char g_szJoinAddress[256];

void Sys_LoadSettings();
int Sys_ParseCommandLine(const char *commandLine);
