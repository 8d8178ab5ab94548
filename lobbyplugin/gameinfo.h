// What the lobby plug-in tells the lobby about the studio's jams: the game header, the two game
// fields, the compatibility test and the remote game dialog. Kept apart from the exports so that
// the tests and the fuzz target reach them without loading the library.
#pragma once

#include "lobbyplugin/ekestrix.h"

#include <cstdint>

constexpr int32_t EKX_GAME_NUMBER = 6;
constexpr int32_t EKX_BANNER_ID = 109;
constexpr uint16_t EKX_VERSION = 256;
extern const char g_szEkxGameName[];

extern const char g_aszEkxFieldNames[EKESTRIX_FIELD_COUNT][EKESTRIX_FIELD_NAME_SIZE];
extern const int32_t g_aiEkxFieldTypes[EKESTRIX_FIELD_COUNT];
extern const uint16_t g_awEkxFieldBits[EKESTRIX_FIELD_COUNT];

int32_t Ekx_HeaderEx(int32_t index);
int32_t Ekx_FieldType(int32_t field);
const char *Ekx_FieldName(int32_t field);
int32_t Ekx_Compatibility(const void *data, int32_t size);

// Dialogs are kept in a list of open ones, so that closing one twice, or closing something
// that is not a dialog, is harmless (as a close sent to a window that is gone).
EkestrixDialog *Ekx_DialogOpen(void *parent, const void *data, int32_t size);
// 0 when the dialog was open and is now freed, -1 when it was not one of ours.
int Ekx_DialogClose(EkestrixDialog *dialog);
