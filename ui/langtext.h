// The interface's numbered texts in five languages. At start-up the built-in tables are written
// as language files into the user's "language" folder and the selected one is read back, so a
// texts file is always in use; a file that cannot be written or read falls back to the built-in
// English texts, with a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int TEXT_COUNT = 700;
constexpr int TEXT_EMPTY = 666;               // the empty menu item's label
constexpr int TEXT_LANGUAGE_FALLBACK = 699;   // "could not read the language file" notice

enum : uint8_t
{
    LANGUAGE_ENGLISH = 0,
    LANGUAGE_FRANCAIS = 1,
    LANGUAGE_DEUTSCH = 2,
    LANGUAGE_ESPANOL = 3,
    LANGUAGE_ITALIANO = 4,
};

extern const char *g_apszText[TEXT_COUNT];
extern uint8_t g_ucLanguage;
extern char *g_pLanguageBlock;
// Built-in tables in the order English, French, Italian, Spanish, German (not g_ucLanguage's).
extern const char *const g_aapszBuiltinText[5][TEXT_COUNT];

// Text id -> text of the current language; never null (before texts are loaded, the built-in
// English; an unknown id gives "").
const char *Ui_Text(int id);

// g_ucLanguage from g_szLanguage: exact compare with ENGLISH, FRANCAIS, DEUTSCH, ESPANOL,
// ITALIANO; anything else is English.
void Ui_SelectLanguageByName();

// The bytes of a language file for a table of 700 texts (null entries count as empty).
std::vector<uint8_t> Ui_BuildLanguageFile(const char *const *table);
// Checks a language file: at least the 2800-byte offset table, offsets ascending and inside the
// text block, the block ending in NUL. On success *block gets a copy of the text block (caller
// frees with delete[]) and texts[] points into it.
bool Ui_ParseLanguageFile(const uint8_t *data, size_t size, char **block, const char **texts);

// Writes a table as a language file ("language\english.txt" style, relative to the user's
// folder). Returns 0 on success.
int Ui_WriteLanguageFile(const char *fileName, const char *const *table);
// Reads a language file into g_pLanguageBlock / g_apszText (freeing the previous block). Returns 0
// on success; on failure the current texts stay as they were.
int Ui_LoadLanguageFile(const char *fileName);
// Frees the loaded language block; the texts become the built-in English ones. Safe to repeat.
void Ui_FreeLanguageTexts();
// Uses a built-in table directly (no file).
void Ui_UseBuiltinTexts(int tableIndex);

// Reads the file g_ucLanguage selects; when it is missing or damaged, the built-in English texts
// (g_ucLanguage becomes English). Returns 0, or 1 after falling back.
int Ui_ReadSelectedLanguage();
// Writes the five files and loads the one g_ucLanguage selects. When the selected file cannot be
// written its built-in table is used as it is; returns 1 when it fell back to English.
int Ui_LoadLanguage();
// The language setting's whole start-up step: select by name, write and load, set the new song's
// title and author, and (not for a network session or -nocd) show the introduction.
void Ui_SetLanguage();
// The busy box "Introduction" that loads and shows the introduction pages.
void Ui_ShowIntroduction();
