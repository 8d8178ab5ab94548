#include "app/settings.h"

#include "core/file.h"
#include "platform/backend.h"
#include "platform/paths.h"
#include "platform/settings_store.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

char g_szProductName[256];
char g_szLanguage[256];
char g_szBaseDir[256];
char g_szDataDir[256];
char g_szServerName[128] = "New Server";
char g_szPlayerName[64] = "New Player";
int g_iGfxRes = -1;
int g_iGfxDevice;
int g_iAudioInDevice;
int g_iAudioOutDevice;
int g_iMidiInDevice;
char g_szPathBuffer[PATH_BUFFER_SIZE];

namespace {

enum
{
    SET_LANGUAGE,
    SET_BASEDIR,
    SET_DATADIR,
    SET_SERVERNAME,
    SET_GFXRES,
    SET_GFXDEVICE,
    SET_AUDIOIN,
    SET_AUDIOOUT,
    SET_MIDIIN,
    SET_NAME,
    SET_COUNT
};

const char *const s_apszValueNames[SET_COUNT] = {
    "Language",       "BaseDir",       "DataDir",        "Servername", "GfxRes", "GfxDevice",
    "AudioInDevice", "AudioOutDevice", "MIDIInDevice", "Name",
};

void CopyBounded(char *dst, size_t dstSize, const char *src)
{
    size_t n = strnlen(src, dstSize - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// Directory text followed by '\', kept within the 256-byte buffer.
void SetDir(char *dst, const std::string &dir)
{
    size_t n = dir.size() < 254 ? dir.size() : 254;
    std::memcpy(dst, dir.data(), n);
    dst[n] = '\\';
    dst[n + 1] = '\0';
}

const char *s_pszDataDirSource = "";

std::string DefaultDataDir()
{
    if (const char *env = Plat_GetEnv("TNV_DATA_DIR"))
        return env;
    std::string exe = Plat_ExecutableDir();
    return exe.empty() ? std::string("data") : exe + "/data";
}

std::string DefaultBaseDir()
{
    std::string home = Plat_HomeDir();
    return home.empty() ? std::string("Tonnivelle") : home + "/Tonnivelle";
}

char *MakePath(const char *dir, const char *fileName)
{
    char joined[PATH_BUFFER_SIZE];
    size_t d = strnlen(dir, 256);
    size_t f = fileName ? std::strlen(fileName) : 0;
    if (d + f >= sizeof joined) {
        g_szPathBuffer[0] = '\0';
        return g_szPathBuffer;
    }
    std::memcpy(joined, dir, d);
    if (f)
        std::memcpy(joined + d, fileName, f);
    joined[d + f] = '\0';
    if (Sys_HostPath(joined, g_szPathBuffer, sizeof g_szPathBuffer) != 0)
        g_szPathBuffer[0] = '\0';
    return g_szPathBuffer;
}

} // namespace

void Sys_LoadSettings()
{
    CopyBounded(g_szProductName, sizeof g_szProductName, PRODUCT_NAME);

    char values[SET_COUNT][256];
    for (int i = 0; i < SET_COUNT; ++i)
        Plat_SettingsRead(SETTINGS_KEY, s_apszValueNames[i], values[i], sizeof values[i]);

    if (values[SET_LANGUAGE][0] == '\0')
        CopyBounded(values[SET_LANGUAGE], sizeof values[SET_LANGUAGE], "ENGLISH");
    CopyBounded(g_szLanguage, sizeof g_szLanguage, values[SET_LANGUAGE]);
    for (char *p = g_szLanguage; *p; ++p)
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');

    SetDir(g_szBaseDir, values[SET_BASEDIR][0] ? values[SET_BASEDIR] : DefaultBaseDir());
    SetDir(g_szDataDir, values[SET_DATADIR][0] ? values[SET_DATADIR] : DefaultDataDir());
    s_pszDataDirSource = values[SET_DATADIR][0] ? "the \"DataDir\" setting"
                         : Plat_GetEnv("TNV_DATA_DIR") ? "TNV_DATA_DIR"
                                                       : "the default, \"data\" beside tnvpc; TNV_DATA_DIR names another";

    if (values[SET_SERVERNAME][0])
        CopyBounded(g_szServerName, sizeof g_szServerName, values[SET_SERVERNAME]);
    g_iGfxRes = Sys_TextToInt(values[SET_GFXRES]);
    g_iGfxDevice = Sys_TextToInt(values[SET_GFXDEVICE]);
    g_iAudioInDevice = Sys_TextToInt(values[SET_AUDIOIN]);
    g_iAudioOutDevice = Sys_TextToInt(values[SET_AUDIOOUT]);
    g_iMidiInDevice = Sys_TextToInt(values[SET_MIDIIN]);
    if (values[SET_NAME][0])
        CopyBounded(g_szPlayerName, sizeof g_szPlayerName, values[SET_NAME]);
}

int Sys_SaveSetting(const char *valueName, const char *text)
{
    if (!valueName || !text)
        return -1;
    char value[256];
    CopyBounded(value, sizeof value, text);
    return Plat_SettingsWrite(SETTINGS_KEY, valueName, value);
}

const char *Sys_DataDirSource()
{
    return s_pszDataDirSource;
}

char *Sys_MakeDataPath(const char *fileName)
{
    return MakePath(g_szDataDir, fileName);
}

char *Sys_MakeBasePath(const char *fileName)
{
    return MakePath(g_szBaseDir, fileName);
}

// atoi without its undefined overflow: out-of-range numbers clamp.
int Sys_TextToInt(const char *text)
{
    errno = 0;
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}
