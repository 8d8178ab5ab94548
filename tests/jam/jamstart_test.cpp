#include <gtest/gtest.h>

#include "app/cmdline.h"
#include "jam/jamsession.h"
#include "jam/jamstart.h"

// Command-line and set-up values outside what the jam works with are brought into range before a
// jam starts; the parser itself keeps what it read.
TEST(JamStartSettings, ValuesAreHeldToTheirRanges)
{
    struct Case
    {
        int players, tempo, maxTemplate;
        int wantPlayers, wantTempo, wantMaxTemplate;
    };
    const Case cases[] = {
        {2, 130, 262144, 2, 130, 262144},
        {0, 39, -1, 1, 40, 0},
        {-5, -100, -2147483647, 1, 40, 0},
        {5, 241, 2097152, 4, 240, 2097151},
        {2147483647, 2147483647, 2147483647, 4, 240, 2097151},
        {1, 40, 0, 1, 40, 0},
        {4, 240, 2097151, 4, 240, 2097151},
    };
    const int savedPlayers = g_iJamPlayers, savedTemplate = g_iMaxTemplateSize;
    const int32_t savedTempo = g_iJamTempo;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.players << " " << c.tempo << " " << c.maxTemplate);
        g_iJamPlayers = c.players;
        g_iJamTempo = c.tempo;
        g_iMaxTemplateSize = c.maxTemplate;
        Jam_ClampSettings();
        EXPECT_EQ(g_iJamPlayers, c.wantPlayers);
        EXPECT_EQ(g_iJamTempo, c.wantTempo);
        EXPECT_EQ(g_iMaxTemplateSize, c.wantMaxTemplate);
    }
    g_iJamPlayers = savedPlayers;
    g_iJamTempo = savedTempo;
    g_iMaxTemplateSize = savedTemplate;
}
