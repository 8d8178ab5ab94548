// Settings store: the program's named string values, grouped under keys.
//
// Real backend: a text file, $XDG_CONFIG_HOME/tonnivelle/settings.ini ($HOME/.config when
// XDG_CONFIG_HOME is unset), or the file named by TNV_SETTINGS. Layout:
//
//     [Software\Quillstone\Tonnivelle Demo]
//     Name=New Player
//     GfxRes=2
//
// A "[key]" line opens a key; "name=value" lines below it hold its values. The name is trimmed of
// spaces and tabs, the value is kept verbatim to the end of the line (a trailing CR is dropped).
// Keys and names compare without regard to ASCII case. Any other line (comments, other keys,
// junk) is left as it is and written back unchanged. Saves are atomic: a temporary file in the
// same folder, flushed, then renamed over the old one.
//
// Headless backend: an in-memory map with the same rules, empty at start.
//
// Bounds: names and values hold at most PLAT_SETTING_MAX bytes; longer ones are cut on read and
// on write. A file larger than PLAT_SETTINGS_MAX_FILE is not read (every value is missing) and
// never overwritten.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t PLAT_SETTING_MAX = 255;
constexpr size_t PLAT_SETTINGS_MAX_FILE = 1 << 20;

// Copies the value into out (always terminated, cut to outSize - 1). Returns 0 when found, -1 when
// the key, the value or the file is missing (out is then made empty).
int Plat_SettingsRead(const char *key, const char *name, char *out, size_t outSize);
// Stores value under key/name. Returns 0 on success, -1 when the name is empty or holds '=' or a
// line break, the value holds a line break, or the file cannot be written (the old file is kept).
int Plat_SettingsWrite(const char *key, const char *name, const char *value);

// Path of the settings file of the real backend; empty when neither TNV_SETTINGS nor a home
// folder is known.
std::string Plat_SettingsPath();
// Empties the headless map (tests).
void Plat_SettingsClear();

// The text form, shared by both backends and the fuzz target.
int Plat_SettingsFind(const std::string &text, const char *key, const char *name, char *out,
                      size_t outSize);
// Returns text with key/name set to value (the first matching line replaced, or a line added at
// the end of the key, or the key added at the end of the text). Same refusals as
// Plat_SettingsWrite; on refusal returns false and leaves result alone.
bool Plat_SettingsUpdate(const std::string &text, const char *key, const char *name,
                         const char *value, std::string *result);
