// The command line: how the lobby plug-in starts the program to host or join a network jam.
//
// Words are separated by white space and matched exactly, case included. An option ending in
// "=" takes the following word as its value; at the end of the line it changes nothing (except
// "-ip=", which starts a session in any case). Other words are skipped. A word holds at most
// COMMANDLINE_WORD_MAX characters; a longer one is cut there.
#pragma once

#include <cstddef>

constexpr size_t COMMANDLINE_WORD_MAX = 31;

// One option of the command line.
struct COMMANDLINE
{
    const char *pszOption;
    int bTakesValue;
};

extern const COMMANDLINE g_aCommandLine[12];

extern int g_bNoCd;
extern int g_bNetHost;
extern int g_bNetClient;
extern int g_bNetSession;
extern char g_szJoinAddress[COMMANDLINE_WORD_MAX + 1];
extern char g_szAdvertIp[COMMANDLINE_WORD_MAX + 1];
extern char g_szAdvertPort[COMMANDLINE_WORD_MAX + 1];
extern int g_iJamPlayers;       // 4 unless "-players=" says otherwise
extern int g_bUserRiffs;        // set by "-userriffs"; nothing reads it
extern int g_bUserSamples;      // set by "-usersamples"; nothing reads it
extern int g_iMaxTemplateSize;  // 262144 unless "-maxtemplatesize=" says otherwise

// Applies the words of commandLine in order. Returns 1.
int Sys_ParseCommandLine(const char *commandLine);
// The same over the program's arguments (argv[1..argc-1]), each argument one word.
int Sys_ParseCommandArgs(int argc, const char *const *argv);
