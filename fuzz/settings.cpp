// The settings file reader and writer on arbitrary file contents: lookups stay bounded and
// terminated, and a value written can always be read back.
#include "platform/settings_store.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > PLAT_SETTINGS_MAX_FILE)
        return 0;
    std::string text(reinterpret_cast<const char *>(data), size);
    const char *key = "Software\\Quillstone\\Tonnivelle Demo";
    const char *names[] = {"Language", "BaseDir", "DataDir", "Servername", "GfxRes", "Name", ""};
    for (const char *name : names) {
        char out[256];
        std::memset(out, 'x', sizeof out);
        if (Plat_SettingsFind(text, key, name, out, sizeof out) != 0 && out[0] != '\0')
            abort();
        if (strnlen(out, sizeof out) >= sizeof out)
            abort();
    }
    // Use the input's first line as a value when it can be one.
    std::string value = text.substr(0, text.find_first_of("\r\n"));
    value = value.substr(0, strnlen(value.c_str(), value.size()));
    std::string updated;
    if (Plat_SettingsUpdate(text, key, "ServerName", value.c_str(), &updated)) {
        char back[256];
        if (Plat_SettingsFind(updated, key, "servername", back, sizeof back) != 0)
            abort();
        if (value.substr(0, PLAT_SETTING_MAX) != back)
            abort();
    }
    return 0;
}
