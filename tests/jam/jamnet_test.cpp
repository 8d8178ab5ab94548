// The network-facing jam context: each program's own, reset to an empty jam.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "jam/jamnet.h"

namespace {

TEST(JamNet, InitEmptiesEveryTableAndKeepsInstancesApart)
{
    auto a = std::make_unique<JAMNET>();
    auto b = std::make_unique<JAMNET>();
    a->aPlayers[4].auRiffKey[0] = 7;
    a->aEventLists[1][4].Events.push_back({1, 2, 3});
    a->aEventLists[1][4].uCursor = 1;
    a->aImmediateEvents[2].Events.push_back({1, 2, 3});
    a->aTrackEvents[3][1].Events.push_back({1, 2, 3});
    a->aTemplateCopies[1].assign(10, 1);
    a->iNetMySlot = 3;
    a->uJamHeartbeat = 99;
    a->aTally[2].auCount[24][15] = 5;
    a->iEventSetNow = 1;
    a->iEventSetNext = 0;
    Net_InitJamNet(a.get(), nullptr);
    Net_InitJamNet(b.get(), nullptr);
    b->iNetMySlot = 2;

    EXPECT_TRUE(a->aPlayers[4] == JAMPLAYER{});
    EXPECT_TRUE(a->aEventLists[1][4].Events.empty());
    EXPECT_EQ(a->aEventLists[1][4].uCursor, 0u);
    EXPECT_TRUE(a->aImmediateEvents[2].Events.empty());
    EXPECT_TRUE(a->aTrackEvents[3][1].Events.empty());
    EXPECT_TRUE(a->aTemplateCopies[1].empty());
    EXPECT_EQ(a->iEventSetNow, 0);
    EXPECT_EQ(a->iEventSetNext, 1);
    EXPECT_EQ(a->uJamHeartbeat, 0u);
    EXPECT_EQ(a->aTally[2].auCount[24][15], 0);
    EXPECT_EQ(a->iNetTemplateSlot, -1);
    for (int s = 0; s < JAM_NET_SLOTS; ++s) {
        EXPECT_STREQ(a->aClientSlots[s].szName, "EMPTY");
        EXPECT_STREQ(a->aSlotNames[s].szName, "EMPTY");
        EXPECT_EQ(a->aSlotNames[s].uState, 0u);
        EXPECT_EQ(a->aServerSlots[s].uPlayerId, 0u);
    }
    EXPECT_EQ(a->iNetMySlot, 0);
    EXPECT_EQ(b->iNetMySlot, 2);
}

} // namespace
