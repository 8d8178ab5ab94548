#include "app/cmdline.h"
#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

void ResetCommandLine()
{
    g_bNoCd = g_bNetHost = g_bNetClient = g_bNetSession = 0;
    g_szJoinAddress[0] = g_szAdvertIp[0] = g_szAdvertPort[0] = '\0';
    g_iJamPlayers = 4;
    g_bUserRiffs = g_bUserSamples = 0;
    g_iMaxTemplateSize = 262144;
    std::strcpy(g_szServerName, "New Server");
    std::strcpy(g_szPlayerName, "New Player");
}

struct Outcome
{
    int noCd, host, client, session;
    std::string joinAddress, advertIp, advertPort;
    int players;
    int userRiffs, userSamples;
    std::string serverName, playerName;
    int maxTemplateSize;
};

Outcome Observe()
{
    return {g_bNoCd,        g_bNetHost,      g_bNetClient,   g_bNetSession, g_szJoinAddress,
            g_szAdvertIp,   g_szAdvertPort,  g_iJamPlayers,  g_bUserRiffs,  g_bUserSamples,
            g_szServerName, g_szPlayerName,  g_iMaxTemplateSize};
}

void ExpectSame(const Outcome &got, const Outcome &want, const std::string &line)
{
    SCOPED_TRACE("command line: \"" + line + "\"");
    EXPECT_EQ(got.noCd, want.noCd);
    EXPECT_EQ(got.host, want.host);
    EXPECT_EQ(got.client, want.client);
    EXPECT_EQ(got.session, want.session);
    EXPECT_EQ(got.joinAddress, want.joinAddress);
    EXPECT_EQ(got.advertIp, want.advertIp);
    EXPECT_EQ(got.advertPort, want.advertPort);
    EXPECT_EQ(got.players, want.players);
    EXPECT_EQ(got.userRiffs, want.userRiffs);
    EXPECT_EQ(got.userSamples, want.userSamples);
    EXPECT_EQ(got.serverName, want.serverName);
    EXPECT_EQ(got.playerName, want.playerName);
    EXPECT_EQ(got.maxTemplateSize, want.maxTemplateSize);
}

const std::string k40(40, 'a');
const std::string k31(31, 'a');

struct Case
{
    std::string line;
    Outcome want;
};

const Outcome kNone = {0, 0, 0, 0, "", "", "", 4, 0, 0, "New Server", "New Player", 262144};

Outcome With(void (*edit)(Outcome &))
{
    Outcome o = kNone;
    edit(o);
    return o;
}

const std::vector<Case> &Cases()
{
    static const std::vector<Case> cases = {
        {"", kNone},
        // Joining through the lobby, with and without an address.
        {"-join -ip= 10.0.0.5",
         With([](Outcome &o) { o.client = 1, o.session = 1, o.joinAddress = "10.0.0.5"; })},
        {"-join", With([](Outcome &o) { o.client = 1; })},
        {"-join -ip=", With([](Outcome &o) { o.client = 1, o.session = 1; })},
        // Hosting through the lobby.
        {"-host -advert_ip= 192.168.1.2 -advert_port= 47624", With([](Outcome &o) {
             o.host = 1, o.session = 1, o.advertIp = "192.168.1.2", o.advertPort = "47624";
         })},
        {"-nocd -host", With([](Outcome &o) { o.noCd = 1, o.host = 1, o.session = 1; })},
        {"-host -nocd", With([](Outcome &o) { o.noCd = 1, o.client = 1, o.session = 1; })},
        {"-nocd", With([](Outcome &o) { o.noCd = 1, o.client = 1; })},
        // Players: a value, a missing value at the end, not a number, out of range.
        {"-players= 8", With([](Outcome &o) { o.players = 8; })},
        {"-players=", kNone},
        {"-players= many", With([](Outcome &o) { o.players = 0; })},
        {"-players= 99999999999", With([](Outcome &o) { o.players = 2147483647; })},
        {"-maxtemplatesize= 1000 -userriffs -usersamples", With([](Outcome &o) {
             o.maxTemplateSize = 1000, o.userRiffs = 1, o.userSamples = 1;
         })},
        {"-servername= Studio -name= Ann",
         With([](Outcome &o) { o.serverName = "Studio", o.playerName = "Ann"; })},
        {"-name=", kNone},
        // Case matters; unknown words are skipped; a value is taken even when it looks like an
        // option, and each word is used once.
        {"-HOST -Join -NOCD", kNone},
        {"-host=  host -x --host tnvpc", kNone},
        {"junk -players= 3 more", With([](Outcome &o) { o.players = 3; })},
        {"-ip= -host", With([](Outcome &o) { o.session = 1, o.joinAddress = "-host"; })},
        {"\t-join\n-ip=\r\n 1.2.3.4  ",
         With([](Outcome &o) { o.client = 1, o.session = 1, o.joinAddress = "1.2.3.4"; })},
        // Over-long words are cut to 31 characters; an over-long option matches nothing.
        {"-ip= " + k40, With([](Outcome &o) { o.session = 1, o.joinAddress = k31; })},
        {"-name= " + k40, With([](Outcome &o) { o.playerName = k31; })},
        {"-host" + k40 + " -join", With([](Outcome &o) { o.client = 1; })},
        {"-advert_port= " + std::string(5000, '9'),
         With([](Outcome &o) { o.advertPort = std::string(31, '9'); })},
    };
    return cases;
}

std::vector<std::string> SplitWords(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

} // namespace

TEST(CommandLine, CasesFromTheLine)
{
    for (const Case &c : Cases()) {
        ResetCommandLine();
        EXPECT_EQ(Sys_ParseCommandLine(c.line.c_str()), 1);
        ExpectSame(Observe(), c.want, c.line);
    }
}

TEST(CommandLine, SameCasesFromArguments)
{
    for (const Case &c : Cases()) {
        std::vector<std::string> words = SplitWords(c.line);
        std::vector<const char *> argv = {"tnvpc"};
        for (const std::string &w : words)
            argv.push_back(w.c_str());
        ResetCommandLine();
        EXPECT_EQ(Sys_ParseCommandArgs(static_cast<int>(argv.size()), argv.data()), 1);
        ExpectSame(Observe(), c.want, c.line);
    }
}

TEST(CommandLine, ArgumentsKeepTheirSpacesAndSkipEmptyOnes)
{
    ResetCommandLine();
    const char *argv[] = {"tnvpc", "", "-name=", "Big Band", "-servername=", "", "-players=", "5"};
    Sys_ParseCommandArgs(8, argv);
    EXPECT_STREQ(g_szPlayerName, "Big Band");
    EXPECT_STREQ(g_szServerName, "-players=");
    EXPECT_EQ(g_iJamPlayers, 4);
}

TEST(CommandLine, NullLineChangesNothing)
{
    ResetCommandLine();
    EXPECT_EQ(Sys_ParseCommandLine(nullptr), 1);
    EXPECT_EQ(Sys_ParseCommandArgs(0, nullptr), 1);
    ExpectSame(Observe(), kNone, "(null)");
}
