#include "app/cmdline.h"

#include "app/settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const COMMANDLINE g_aCommandLine[12] = {
    {"-nocd", 0},         {"-host", 0},       {"-join", 0},           {"-ip=", 1},
    {"-advert_ip=", 1},   {"-advert_port=", 1}, {"-players=", 1},     {"-userriffs", 0},
    {"-usersamples", 0},  {"-servername=", 1}, {"-name=", 1},         {"-maxtemplatesize=", 1},
};

int g_bNoCd;
int g_bNetHost;
int g_bNetClient;
int g_bNetSession;
char g_szJoinAddress[COMMANDLINE_WORD_MAX + 1];
char g_szAdvertIp[COMMANDLINE_WORD_MAX + 1];
char g_szAdvertPort[COMMANDLINE_WORD_MAX + 1];
int g_iJamPlayers = 4;
int g_bUserRiffs;
int g_bUserSamples;
int g_iMaxTemplateSize = 262144;

namespace {

enum
{
    OPT_NOCD,
    OPT_HOST,
    OPT_JOIN,
    OPT_IP,
    OPT_ADVERT_IP,
    OPT_ADVERT_PORT,
    OPT_PLAYERS,
    OPT_USERRIFFS,
    OPT_USERSAMPLES,
    OPT_SERVERNAME,
    OPT_NAME,
    OPT_MAXTEMPLATESIZE,
};

// Words come either from one line of text or from an argument vector.
struct WORDREADER
{
    const char *pszText;
    size_t uPos;
    int iArgc;
    const char *const *ppszArgv;
    int iArg;
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void TakeWord(const char *start, size_t len, char *out)
{
    if (len > COMMANDLINE_WORD_MAX) {
        std::fprintf(stderr, "tnvpc: command-line word longer than %zu characters cut short: %.*s...\n",
                     COMMANDLINE_WORD_MAX, static_cast<int>(COMMANDLINE_WORD_MAX), start);
        len = COMMANDLINE_WORD_MAX;
    }
    std::memcpy(out, start, len);
    out[len] = '\0';
}

bool NextWord(WORDREADER *r, char *out)
{
    if (r->pszText) {
        const char *p = r->pszText + r->uPos;
        while (*p && IsSpace(*p))
            ++p;
        if (!*p)
            return false;
        const char *start = p;
        while (*p && !IsSpace(*p))
            ++p;
        TakeWord(start, static_cast<size_t>(p - start), out);
        r->uPos = static_cast<size_t>(p - r->pszText);
        return true;
    }
    while (r->ppszArgv && r->iArg < r->iArgc) {
        const char *a = r->ppszArgv[r->iArg++];
        if (a && *a) {
            TakeWord(a, std::strlen(a), out);
            return true;
        }
    }
    return false;
}

void CopyValue(char *dst, size_t dstSize, const char *value)
{
    size_t n = strnlen(value, dstSize - 1);
    std::memcpy(dst, value, n);
    dst[n] = '\0';
}

void ApplyWords(WORDREADER *r)
{
    char word[COMMANDLINE_WORD_MAX + 1];
    char value[COMMANDLINE_WORD_MAX + 1];
    while (NextWord(r, word)) {
        int opt = -1;
        for (int i = 0; i < 12; ++i)
            if (std::strcmp(word, g_aCommandLine[i].pszOption) == 0) {
                opt = i;
                break;
            }
        if (opt < 0)
            continue;
        bool hasValue = g_aCommandLine[opt].bTakesValue && NextWord(r, value);
        switch (opt) {
        case OPT_NOCD:
            g_bNoCd = 1;
            g_bNetHost = 0;
            g_bNetClient = 1;
            break;
        case OPT_HOST:
            g_bNetHost = 1;
            g_bNetClient = 0;
            g_bNetSession = 1;
            break;
        case OPT_JOIN:
            g_bNetClient = 1;
            g_bNetHost = 0;
            break;
        case OPT_IP:
            if (hasValue)
                CopyValue(g_szJoinAddress, sizeof g_szJoinAddress, value);
            g_bNetSession = 1;
            break;
        case OPT_ADVERT_IP:
            if (hasValue)
                CopyValue(g_szAdvertIp, sizeof g_szAdvertIp, value);
            break;
        case OPT_ADVERT_PORT:
            if (hasValue)
                CopyValue(g_szAdvertPort, sizeof g_szAdvertPort, value);
            break;
        case OPT_PLAYERS:
            if (hasValue)
                g_iJamPlayers = Sys_TextToInt(value);
            break;
        case OPT_USERRIFFS:
            g_bUserRiffs = 1;
            break;
        case OPT_USERSAMPLES:
            g_bUserSamples = 1;
            break;
        case OPT_SERVERNAME:
            if (hasValue)
                CopyValue(g_szServerName, sizeof g_szServerName, value);
            break;
        case OPT_NAME:
            if (hasValue)
                CopyValue(g_szPlayerName, sizeof g_szPlayerName, value);
            break;
        case OPT_MAXTEMPLATESIZE:
            if (hasValue)
                g_iMaxTemplateSize = Sys_TextToInt(value);
            break;
        }
    }
}

} // namespace

int Sys_ParseCommandLine(const char *commandLine)
{
    WORDREADER r = {commandLine, 0, 0, nullptr, 0};
    if (commandLine)
        ApplyWords(&r);
    return 1;
}

int Sys_ParseCommandArgs(int argc, const char *const *argv)
{
    WORDREADER r = {nullptr, 0, argc, argv, 1};
    ApplyWords(&r);
    return 1;
}
