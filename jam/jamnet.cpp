#include "jam/jamnet.h"

#include <cstring>

void Net_InitJamNet(JAMNET *net, JamActions *actions)
{
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    net->pActions = actions;
    for (JAMPLAYER &p : net->aPlayers)
        p = JAMPLAYER{};
    for (auto &set : net->aEventLists)
        for (JAMEVENTLIST &l : set)
            l.Clear();
    net->iEventSetNow = 0;
    net->iEventSetNext = 1;
    for (JAMEVENTLIST &l : net->aImmediateEvents)
        l.Clear();
    for (auto &player : net->aTrackEvents)
        for (JAMEVENTLIST &l : player)
            l.Clear();
    std::memset(net->auTrackCounter, 0, sizeof net->auTrackCounter);
    net->uBatchSent = 0;
    for (int s = 0; s < JAM_NET_SLOTS; ++s) {
        for (NETPLAYERSLOT *table : {net->aClientSlots, net->aSlotNames, net->aServerSlots}) {
            table[s] = NETPLAYERSLOT{};
            std::strcpy(table[s].szName, "EMPTY");
        }
        net->aTemplateCopies[s].clear();
    }
    net->iNetTemplateSlot = -1;
    net->iNetMySlot = 0;
    net->uJamHeartbeat = 0;
    net->bNetJamHold = 0;
    net->iJamReplay = 0;
    net->bJamRecording = 0;
    net->RecordPath.clear();
    net->uRecordedBytes = 0;
    net->ReplayBytes.clear();
    net->uReplayAt = 0;
    std::memset(net->aTally, 0, sizeof net->aTally);
    for (JAMDIAL &d : net->aDials)
        d = JAMDIAL{};
    net->iLastPartPosition = net->iLastRiffPosition = 128;
    net->iLastPad = net->iLastRiffKey = 0;
    net->uRefusedEvents = 0;
    std::memset(net->auSentMask, 0, sizeof net->auSentMask);
    net->iLocalController = 0;
    net->bTabWasDown = 0;
    net->iMidiCtrlSent = -1;
    std::memset(net->auLocalCount, 0, sizeof net->auLocalCount);
    std::memset(net->auLocalRing, 0, sizeof net->auLocalRing);
    net->iTallyRing = 0;
    std::memset(net->abServerSlotRunning, 0, sizeof net->abServerSlotRunning);
    net->iTemplatePhase = 0;
}
