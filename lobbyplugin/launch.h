// Starting the studio from the lobby: the install values read from the studio's settings file,
// the checks on what the lobby hands over, the program search and the spawn.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t EKX_PATH_SIZE = 256;
// The studio cuts each command-line word at 31 characters; a longer address would silently
// become another one, so it is refused instead.
constexpr size_t EKX_LAUNCH_WORD_MAX = 31;
// A settings file larger than this is not read (as the studio's own reader).
constexpr size_t EKX_SETTINGS_MAX_FILE = 1 << 20;

#define EKX_SETTINGS_KEY "Software\\Quillstone\\Tonnivelle"

// The install values, as the lobby plug-in keeps them: the language upper-cased and the data
// folder followed by '/'. Empty when the settings do not have them.
struct EKXINSTALL
{
    char szLanguage[EKX_PATH_SIZE];
    char szDataPath[EKX_PATH_SIZE];
};

// Finds name under [key] in settings text of len bytes, in the studio's settings file format
// (the first copy of the key, the first line with the name, both without regard to ASCII case).
// Copies the value, cut to outSize - 1 and at 255 bytes, into out. 0 when found, else -1 and out
// empty.
int Ekx_FindSetting(const char *text, size_t len, const char *key, const char *name, char *out,
                    size_t outSize);
// Reads the settings file (TNV_SETTINGS, else $XDG_CONFIG_HOME/tonnivelle/settings.ini, else
// $HOME/.config/tonnivelle/settings.ini) into install. A missing, unreadable or oversized file
// leaves every value empty.
void Ekx_ReadInstallPaths(EKXINSTALL *install);

// True when text may go on the studio's command line as one word: 1 to 31 characters, none of
// them white space or a control character.
bool Ekx_LaunchWordOk(const char *text);
// Fills argv (at least 7 entries) with the studio's arguments for a launch type, argv[0] being
// "tnvpc", and a null after the last. Returns the count, or -1 when the type is not 1 or 2 or a
// word is refused.
int Ekx_BuildLaunchArgs(int32_t type, const char *address, const char *port, const char *argv[7]);
// Finds the program "tnvpc": in folder (when not null or empty), else in the folders of
// pathList (a PATH value; null means the system's default). Only an executable regular file
// counts; empty and relative PATH entries are skipped. 0 and the path in out, or -1.
int Ekx_FindProgram(const char *folder, const char *pathList, char *out, size_t outSize);
// Starts program with argv and this process's environment, detached: a short-lived middle child
// spawns it and is reaped before this returns, so no zombie is left behind whatever the caller
// does with SIGCHLD. 0 when the program was started, -1 otherwise.
int Ekx_Spawn(const char *program, const char *const *argv);

// The whole launch: reads the install values, then for type 1 or 2 checks the words, finds the
// program (libraryFolder first) and starts it. Returns what EkestrixExitLaunch returns.
int32_t Ekx_Launch(const char *libraryFolder, int32_t type, const char *address, const char *port);
// The install values read by the last launch.
void Ekx_LastInstall(EKXINSTALL *install);
