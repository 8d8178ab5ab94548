#include "app/standin_settings.h"

#include "app/calllog.h"

#include <cstdlib>
#include <cstring>
#include <string>

char g_szProductName[256];
int32_t g_iGfxDevice = 0;
int32_t g_iAudioOutDevice = 0;
int32_t g_bNoCd = 0;
int32_t g_bNetHost = 0;
int32_t g_bNetClient = 0;
int32_t g_bNetSession = 0;
int32_t g_iJamPlayers = 4;
char g_szAdvertIp[256];
char g_szAdvertPort[256];
char g_szJoinAddress[256];

namespace {
void CopyBounded(char *dst, size_t size, const std::string &src)
{
    size_t n = src.size() < size - 1 ? src.size() : size - 1;
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}
} // namespace

// Stand-in: only the product name; the settings file comes with the settings service.
void Sys_LoadSettings()
{
    Sys_CallLog("Sys_LoadSettings");
    std::strcpy(g_szProductName, "Tonnivelle Demo");
}

// Stand-in: the switches the start-up reads; the full parser comes with the settings service.
int Sys_ParseCommandLine(const char *commandLine)
{
    Sys_CallLog("Sys_ParseCommandLine");
    const char *p = commandLine;
    auto next = [&p](std::string *tok) {
        while (*p == ' ' || *p == '\t')
            p++;
        const char *start = p;
        while (*p && *p != ' ' && *p != '\t')
            p++;
        tok->assign(start, p);
        return !tok->empty();
    };
    std::string tok, val;
    while (next(&tok)) {
        if (tok == "-nocd") {
            g_bNoCd = 1;
            g_bNetHost = 0;
            g_bNetClient = 1;
        } else if (tok == "-host") {
            g_bNetHost = 1;
            g_bNetClient = 0;
            g_bNetSession = 1;
        } else if (tok == "-join") {
            g_bNetClient = 1;
            g_bNetHost = 0;
        } else if (tok == "-ip=") {
            if (next(&val))
                CopyBounded(g_szJoinAddress, sizeof g_szJoinAddress, val);
            g_bNetSession = 1;
        } else if (tok == "-advert_ip=") {
            if (next(&val))
                CopyBounded(g_szAdvertIp, sizeof g_szAdvertIp, val);
        } else if (tok == "-advert_port=") {
            if (next(&val))
                CopyBounded(g_szAdvertPort, sizeof g_szAdvertPort, val);
        } else if (tok == "-players=") {
            if (next(&val))
                g_iJamPlayers = std::atoi(val.c_str());
        }
    }
    return 1;
}
