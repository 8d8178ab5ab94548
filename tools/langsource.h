// The interface texts are kept as UTF-8 sources in data/lang, one file per language, one text a
// line: "id<TAB>text". Lines that are empty or start with '#' are comments. "\n" in a text stands
// for a line break. The studio and its language files hold the texts in the Windows Western code
// page (1252), so every character must exist there.
#pragma once

#include <string>
#include <vector>

constexpr int LANG_TEXT_COUNT = 700;

// One character of UTF-8 to code page 1252; false when the text is not UTF-8 or holds a character
// the code page lacks.
bool Lang_Utf8ToCp1252(const std::string &utf8, std::string &out, std::string &err);

// Parses a source into 700 texts (ids it does not name stay empty and are flagged false in
// present). Fails on a malformed line, an id outside 0..699, an id given twice or a character
// the code page lacks; err names the line.
bool Lang_ParseSource(const std::string &utf8, std::vector<std::string> &texts, std::vector<bool> &present,
                      std::string &err);

// The sources' file names under data/lang, in the built-in table order (English, French, Italian,
// Spanish, German).
extern const char *const g_apszLangSourceNames[5];
