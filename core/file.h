// Host files: the wrapper over stdio that every data file goes through, the one place where the
// studio's paths become host paths, and the millisecond clock and waits.
//
// Paths are written with '\' throughout the studio and data names are mixed case. Sys_HostPath
// turns such a path into a host path: '\' becomes '/', and each component that exists on disk
// under another case is replaced by its spelling on disk. Every open goes through it. Nothing
// calls chdir: relative paths are relative to the process's starting folder.
//
// Failures return -1 (or null) and leave a readable text in g_szErrorText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum
{
    SYS_ERRORTEXT_SIZE = 512,
    SYS_HOSTPATH_SIZE = 1024,
    SYS_WINTEXTURE_SIZE = 131072,
};

// Last error or log message of the file layer (other layers write it too).
extern char g_szErrorText[SYS_ERRORTEXT_SIZE];
// The file of the last successful open.
extern FILE *g_pLastOpenedFile;
// The studio's content folder, ending in a separator (owned by the settings).
extern char g_szDataDir[256];
// The interface texture file, loaded whole at start-up.
extern uint8_t g_abWinTexture[SYS_WINTEXTURE_SIZE];
// Bytes of g_abWinTexture that hold the loaded file (0 when none is loaded).
extern int32_t g_iWinTextureSize;

// Writes the host form of path into out. Components that do not exist are kept as given (a file
// about to be created). Returns 0, or -1 when the result does not fit.
int Sys_HostPath(const char *path, char *out, size_t outSize);

// Opens g_szDataDir + name for binary reading. Only regular files open.
FILE *Sys_OpenFileRead(const char *name);
// Older callers pass two more arguments that mean nothing.
FILE *Sys_OpenFileRead(const char *name, int unused1, int unused2);
// Opens name (nameIsFullPath) or g_szDataDir + name for writing. The file is written beside its
// final name and only replaces it at Sys_CloseFile, so a failed save leaves the old file whole.
FILE *Sys_OpenFileWrite(const char *name, int nameIsFullPath, int textMode);

// Bytes read, or -1. A short count at the end of the file also leaves a text.
int Sys_ReadFile(FILE *file, void *buffer, int size);
// Bytes written, or -1.
int Sys_WriteFile(FILE *file, const void *buffer, int size);
// fseek (whence 0 start, 1 current, 2 end), then the new position; -1 on failure.
long Sys_SeekFile(FILE *file, long offset, int whence);
// Closes the file; a file opened for writing replaces its target now. 0, or -1 when the data
// could not be saved (the old file is then kept).
int Sys_CloseFile(FILE *file);
// Closes a file without saving: a file opened for writing leaves its target as it was.
void Sys_DiscardFile(FILE *file);

// Loads g_szDataDir + name whole into buffer. The size, or -1 when the file is missing or does
// not fit capacity (the buffer is then left alone).
long Sys_LoadFileToBuffer(const char *name, void *buffer, size_t capacity);
// Loads "win.tx" into g_abWinTexture. 0, or -1 (nothing read).
int Sys_LoadWinTexture();

// Lets seconds pass; returns the clock in milliseconds afterwards.
uint32_t Sys_WaitSeconds(int seconds);
uint32_t Sys_GetMilliseconds();
