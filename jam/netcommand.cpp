#include "jam/netcommand.h"

#include <algorithm>
#include <cstdlib>

#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/netobjects.h"

static void Append(JAMEVENTLIST &list, const JAMEVENT &event)
{
    if (list.Events.size() < NET_MAX_LIST_EVENTS)
        list.Events.push_back(event);
}

void Net_QueueJamEvent(JAMNET *net, const JAMEVENT &event, int32_t player, int32_t set)
{
    if (g_iJamStartState != JAM_START_RUNNING || player < 0 || player >= JAM_PLAYERS || set < 0 || set > 1)
        return;
    Append(net->aEventLists[set][player], event);
}

void Net_QueueImmediateEvent(JAMNET *net, const JAMEVENT &event, int32_t player)
{
    if (player < 0 || player >= JAM_NET_SLOTS)
        return;
    Append(net->aImmediateEvents[player], event);
}

void Net_ClearEventList(JAMNET *net, int32_t set, int32_t player)
{
    if (player < 0 || player >= JAM_PLAYERS || set < 0 || set > 1)
        return;
    net->aEventLists[set][player].Clear();
    net->aEventLists[net->iEventSetNow & 1][player].uCursor = 0;
}

void Net_ClearImmediateEvents(JAMNET *net, int32_t player)
{
    if (player >= 0 && player < JAM_NET_SLOTS)
        net->aImmediateEvents[player].Clear();
}

void Net_InsertTrackEvent(JAMNET *net, const JAMEVENT &event, int32_t player, int32_t track)
{
    if (player < 0 || player >= JAM_NET_SLOTS || track < 0 || track > 3)
        return;
    JAMEVENTLIST &list = net->aTrackEvents[player][track];
    if (list.Events.size() >= NET_MAX_LIST_EVENTS)
        return;
    std::vector<JAMEVENT> &ev = list.Events;
    if (ev.empty() || event.uHeartbeat <= ev.front().uHeartbeat) {
        ev.insert(ev.begin(), event);
        return;
    }
    // Behind every record of a heartbeat not above the event's, so the list stays in order.
    auto at = std::upper_bound(ev.begin() + 1, ev.end(), event.uHeartbeat,
                               [](uint32_t hb, const JAMEVENT &e) { return hb < e.uHeartbeat; });
    ev.insert(at, event);
}

void Net_ResetTrackEvents(JAMNET *net)
{
    for (int p = 0; p < JAM_NET_SLOTS; ++p) {
        net->auTrackCounter[p] = 0;
        for (JAMEVENTLIST &l : net->aTrackEvents[p])
            l.uCursor = 0;
    }
}

void Net_SendJamCommand(NETNODE *node, uint32_t heartbeat, int32_t command, uint32_t value)
{
    if (g_bJamSinglePlayer || !node->pJam)
        return;
    if (!g_bNetJamImmediate) {
        JAMEVENT ev{heartbeat, command & 255, value};
        Net_QueueJamEvent(node->pJam, ev, JAM_LOCAL_PLAYER, node->pJam->iEventSetNext & 1);
        return;
    }
    Net_SendToServer(node, Net_BuildCommand(heartbeat, (uint32_t)command, value));
}

int32_t Net_SendEventBatch(NETNODE *node) { return Net_SendEventBatchAt(node, g_iJamBar, g_iJamStep); }

int32_t Net_SendEventBatchAt(NETNODE *node, int32_t bar, int32_t step)
{
    JAMNET *net = node->pJam;
    if (!net)
        return 0;
    const std::vector<JAMEVENT> &ev = net->aEventLists[net->iEventSetNext & 1][JAM_LOCAL_PLAYER].Events;
    size_t first = std::min(net->uBatchSent, ev.size());
    if (first == ev.size() || ev[first].iCommand == 0)
        return 0;
    // More than 200 new events go out as several batches of the same bar.
    size_t sent = first;
    while (sent < ev.size()) {
        uint32_t n = (uint32_t)std::min<size_t>(NET_MAX_BATCH_EVENTS, ev.size() - sent);
        Net_SendToServer(node, Net_BuildEventBatch(NET_MSG_COMMAND_BATCH, 0, bar + 4, step,
                                                   ev.data() + sent, n));
        sent += n;
    }
    net->uBatchSent = sent;
    return (int32_t)(sent - first);
}

void Net_SendPlayerState(NETNODE *node)
{
    JAMNET *net = node->pJam;
    if (g_bJamSinglePlayer || !net)
        return;
    // Scheduled players are heard one phrase late, so they send the block of the boundary before.
    const JAMPLAYER &block = net->aPlayers[g_bNetJamImmediate ? 5 : 10];
    Net_SendToServer(node, Net_BuildPlayerState(NET_MSG_PLAYER_STATE, net->uJamHeartbeat, (uint32_t)net->iNetMySlot,
                                                block));
}

int32_t Net_QueueRelayedBatch(JAMNET *net, uint32_t senderSlot, int32_t barPlus4, int32_t step,
                              const JAMEVENT *events, uint32_t count)
{
    if (senderSlot >= (uint32_t)JAM_NET_SLOTS || count > NET_MAX_BATCH_EVENTS || (count && !events))
        return 0;
    // A player waiting for its known start takes the batches of the phrase before it: they are
    // what the others play in its first phrase.
    const int32_t state = g_iJamStartState;
    const bool waitingForStart = (state == JAM_START_WAITING || state == JAM_START_NOW) &&
                                 g_iJamSyncKind == JAM_SYNC_AT_TIME;
    if (state != JAM_START_RUNNING && !waitingForStart)
        return 0;
    int32_t player = (int32_t)senderSlot;
    int32_t set;
    if ((int64_t)barPlus4 > (int64_t)g_iJamPhraseBar + 3)
        set = net->iEventSetNext & 1;
    else if (barPlus4 >= g_iJamPhraseBar)
        set = net->iEventSetNow & 1;
    else
        return 0; // a whole phrase late
    int32_t bar = (int32_t)((uint32_t)std::llabs((int64_t)step) % 64 / 16);
    for (uint32_t i = 0; i < count; ++i) {
        Append(net->aEventLists[set][player], events[i]);
        Jam_CountPlayerKeys(net, events[i], player, bar);
    }
    if (count)
        for (int32_t group = 0; group < 4; ++group)
            Jam_UpdatePlayerTally(net, player, bar, group);
    return (int32_t)count;
}

void Net_QueueRelayedCommand(JAMNET *net, uint32_t heartbeat, uint32_t senderSlot, uint32_t packed)
{
    if (!g_bNetJamImmediate)
        return;
    JAMEVENT ev{heartbeat, (int32_t)(packed & 255), packed >> 8};
    Net_QueueImmediateEvent(net, ev, (int32_t)senderSlot);
}
