#include "jam/jamrecord.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings.h"
#include "core/file.h"
#include "core/padbind.h"
#include "jam/jamplay.h"
#include "jam/jamsession.h"
#include "jam/netcommand.h"
#include "jam/netjam.h"
#include "jam/netobjects.h"
#include "jam/netsession.h"
#include "ui/langtext.h"

namespace {

constexpr int kTextCannotPlay = 698;

void PutU32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void PutEvent(std::vector<uint8_t> &out, const JAMEVENT &e)
{
    uint8_t bytes[JAM_EVENT_BYTES];
    Jam_EncodeEvent(e, bytes);
    out.insert(out.end(), bytes, bytes + JAM_EVENT_BYTES);
}

void Status(const char *text)
{
    std::snprintf(g_aszJamCaptions[JAM_CAPTION_STATUS], JAM_CAPTION_BYTES, "%s", text);
}

const char *Text(int id, const char *fallback)
{
    const char *t = Ui_Text(id);
    return t && *t ? t : fallback;
}

// Writes all of it, going on after interrupted or short writes. False when any byte failed.
bool WriteAll(int fd, const uint8_t *data, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= size_t(w);
    }
    return true;
}

// The head goes beside the file and replaces it only once it is whole on disk, so a crash
// leaves either the older recording or the new head, never half a head.
bool WriteHead(const std::string &path, const std::vector<uint8_t> &head)
{
    if (path.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const std::string part = path + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, head.data(), head.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(part.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(part.c_str());
    return false;
}

// Appends one record after the `good` bytes that end in a whole record: a torn tail left by an
// earlier failure is cut off first, so every record stays where a reader looks for it. The file
// is cut back again when this write fails. False when the record is not on disk.
bool AppendRecord(const std::string &path, uint64_t good, const std::vector<uint8_t> &record)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) >= good;
    if (ok && uint64_t(st.st_size) > good)
        ok = ::ftruncate(fd, off_t(good)) == 0;
    ok = ok && ::lseek(fd, off_t(good), SEEK_SET) == off_t(good);
    if (ok) {
        // Written through to the system before the next phrase, which is what outlives a crash
        // of the studio; no sync to the disk, which could hold up the jam step.
        ok = WriteAll(fd, record.data(), record.size());
        if (!ok && ::ftruncate(fd, off_t(good)) != 0) {
            // Nothing more to do: the next append cuts the tail off.
        }
    }
    ok = ::close(fd) == 0 && ok;
    return ok;
}

std::string BasePath(const char *name)
{
    if (!g_szBaseDir[0])
        return {};
    const std::string joined = std::string(g_szBaseDir) + name;
    char host[PATH_BUFFER_SIZE];
    if (Sys_HostPath(joined.c_str(), host, sizeof host) != 0)
        return {};
    return host;
}

void StopReplay(NETNODE *node)
{
    JAMNET *net = node->pJam;
    if (net->iJamReplay == 2)
        g_bNetJamImmediate = 1;
    net->iJamReplay = 0;
    net->ReplayBytes.clear();
    net->ReplayBytes.shrink_to_fit();
    net->uReplayAt = 0;
    Net_ResetJamState(node);
    // The reset empties the slot copies, and the server's slot messages were not heard during
    // the replay: ask for them again so the players in the session are shown.
    if (node->pSessionA)
        Net_SendToServer(node, Net_BuildIdOnly(NET_MSG_SLOT_LIST_REQUEST));
    Status("Stopping Playback...");
}

} // namespace

// ==== Layout ====

std::vector<uint8_t> Jam_EncodeSaveHead(const JAMPLAYER players[JAM_NET_SLOTS])
{
    std::vector<uint8_t> out;
    out.reserve(JAM_SAVE_HEAD_BYTES);
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        PutU32(out, uint32_t(p));
        uint8_t block[JAM_PLAYER_BYTES];
        Jam_EncodePlayer(players[p], block);
        out.insert(out.end(), block, block + JAM_PLAYER_BYTES);
    }
    return out;
}

std::vector<uint8_t> Jam_EncodeSavePhrase(const JAMEVENTLIST *const lists[JAM_NET_SLOTS])
{
    std::vector<uint8_t> out;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        PutU32(out, uint32_t(p));
        const JAMEVENTLIST *l = lists[p];
        if (l)
            for (size_t i = l->uCursor; i < l->Events.size(); ++i)
                PutEvent(out, l->Events[i]);
        PutEvent(out, JAMEVENT{0, p + 1 < JAM_NET_SLOTS ? JAM_SAVE_NEXT_PLAYER : JAM_SAVE_END_PHRASE, 0});
    }
    return out;
}

int32_t Jam_DecodeSaveHead(const uint8_t *data, size_t size, JAMPLAYER players[JAM_NET_SLOTS])
{
    if (!data || size < JAM_SAVE_HEAD_BYTES)
        return -1;
    JAMPLAYER read[JAM_NET_SLOTS]{};
    for (size_t i = 0; i < JAM_NET_SLOTS; ++i) {
        const uint8_t *pair = data + i * JAM_SAVE_PAIR_BYTES;
        const uint32_t p = GetU32(pair);
        if (p >= uint32_t(JAM_NET_SLOTS))
            return -1; // 4 would be the local player's block, which a recording never holds
        Jam_DecodePlayer(pair + 4, &read[p]);
    }
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
        players[p] = read[p];
    return 0;
}

int32_t Jam_DecodeSavePhrase(const uint8_t *data, size_t size, size_t *at, JAMSAVEPHRASE *out)
{
    if (!data || !at || *at >= size)
        return JAM_SAVE_END;
    size_t pos = *at;
    JAMSAVEPHRASE phrase;
    for (;;) {
        if (size - pos < 4)
            return JAM_SAVE_BROKEN;
        const uint32_t p = GetU32(data + pos);
        pos += 4;
        if (p >= uint32_t(JAM_NET_SLOTS))
            return JAM_SAVE_BROKEN;
        for (;;) {
            if (size - pos < JAM_EVENT_BYTES)
                return JAM_SAVE_BROKEN;
            JAMEVENT e;
            Jam_DecodeEvent(data + pos, &e);
            pos += JAM_EVENT_BYTES;
            if (e.iCommand == JAM_SAVE_END_PHRASE) {
                if (out)
                    *out = std::move(phrase);
                *at = pos;
                return JAM_SAVE_PHRASE;
            }
            if (e.iCommand == JAM_SAVE_NEXT_PLAYER)
                break;
            if (e.iCommand > 0 && phrase.aEvents[p].size() < NET_MAX_LIST_EVENTS)
                phrase.aEvents[p].push_back(e);
        }
    }
}

// ==== Recording and replay ====

std::string Jam_SavePath() { return BasePath(JAM_SAVE_FILE); }
std::string Jam_DumpPath() { return BasePath(JAM_DUMP_FILE); }

static bool Jam_WriteSavePlayers(JAMNET *net)
{
    if (!WriteHead(net->RecordPath, Jam_EncodeSaveHead(net->aPlayers)))
        return false;
    net->uRecordedBytes = JAM_SAVE_HEAD_BYTES;
    return true;
}

void Jam_SaveToggle(NETNODE *node, const std::string &path)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    if (net->bJamRecording) {
        net->bJamRecording = 0;
        Status("Finished Saving Jam Session...");
        return;
    }
    net->RecordPath = path;
    net->uRecordedBytes = 0;
    Status("Saving Jam Session...");
    Jam_WriteSavePlayers(net);
    net->bJamRecording = 1;
}

void Jam_WriteSaveEvents(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !net->bJamRecording)
        return;
    // A head that could not be written when recording started begins the recording here.
    if (net->uRecordedBytes == 0 && !Jam_WriteSavePlayers(net))
        return;
    const JAMEVENTLIST *lists[JAM_NET_SLOTS];
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
        lists[p] = &net->aEventLists[net->iEventSetNow & 1][p];
    const std::vector<uint8_t> record = Jam_EncodeSavePhrase(lists);
    if (AppendRecord(net->RecordPath, net->uRecordedBytes, record))
        net->uRecordedBytes += record.size();
}

// Reads the whole recording: it is small (a few kilobytes a phrase), and a replay then never
// touches the disk on the jam step.
static bool LoadRecording(const std::string &path, std::vector<uint8_t> *out)
{
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st{};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) <= JAM_SAVE_MAX_BYTES;
    if (ok) {
        out->resize(size_t(st.st_size));
        size_t got = 0;
        while (ok && got < out->size()) {
            const ssize_t r = ::read(fd, out->data() + got, out->size() - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += size_t(r);
        }
        out->resize(got);
    }
    ::close(fd);
    return ok;
}

int32_t Jam_PlaySavedToggle(NETNODE *node, const std::string &path)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return -1;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    if (net->bJamRecording)
        return -1;
    if (net->iJamReplay) {
        StopReplay(node);
        return 0;
    }
    std::vector<uint8_t> bytes;
    JAMPLAYER head[JAM_NET_SLOTS];
    if (!LoadRecording(path, &bytes) || Jam_DecodeSaveHead(bytes.data(), bytes.size(), head) != 0) {
        Status(Text(kTextCannotPlay, "The saved jam session cannot be played"));
        return -1;
    }
    Status("Playing Saved Jam Session...");
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        Jam_ApplyPlayerBlock(node, p, net->aPlayers[p], head[p]);
        net->aPlayers[p] = head[p];
        net->aPlayers[6 + p] = head[p];
    }
    net->ReplayBytes = std::move(bytes);
    net->uReplayAt = JAM_SAVE_HEAD_BYTES;
    if (g_bNetJamImmediate) {
        g_bNetJamImmediate = 0;
        net->iJamReplay = 2;
    } else {
        net->iJamReplay = 1;
    }
    return 0;
}

void Jam_ReadSaveEvents(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !net->iJamReplay)
        return;
    JAMSAVEPHRASE phrase;
    // The end of the recording, a torn last record or a bad player number: the replay ends,
    // and no part of a broken record is played.
    if (Jam_DecodeSavePhrase(net->ReplayBytes.data(), net->ReplayBytes.size(), &net->uReplayAt, &phrase) !=
        JAM_SAVE_PHRASE) {
        StopReplay(node);
        return;
    }
    const int32_t set = net->iEventSetNext & 1;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
        for (const JAMEVENT &e : phrase.aEvents[p])
            Net_QueueJamEvent(net, e, p, set);
}

void Jam_EndRecordingAndReplay(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    net->bJamRecording = 0;
    if (net->iJamReplay == 2)
        g_bNetJamImmediate = 1;
    net->iJamReplay = 0;
    net->ReplayBytes.clear();
    net->ReplayBytes.shrink_to_fit();
    net->uReplayAt = 0;
}

void Jam_SaveToggle()
{
    Jam_SaveToggle(&g_NetNode, Jam_SavePath());
    g_iNextScreen = 10;
}

void Jam_PlaySavedToggle()
{
    Jam_PlaySavedToggle(&g_NetNode, Jam_SavePath());
    g_iNextScreen = 10;
}

// ==== Dump ====

int32_t Jam_WriteDump(const JAMNET *net, int32_t player, const std::string &path)
{
    if (!net || player < 0 || player >= JAM_NET_SLOTS || path.empty())
        return -1;
    FILE *f = std::fopen(path.c_str(), "a");
    if (!f)
        return -1;
    char name[sizeof net->aClientSlots[0].szName];
    const char *slotName = net->aClientSlots[player].szName;
    const size_t n = strnlen(slotName, sizeof name - 1);
    std::memcpy(name, slotName, n);
    name[n] = '\0';
    std::fprintf(f, "Play data for player %d...\n", player);
    std::fprintf(f, "\nData for track %d\n\n", 0);
    const std::vector<JAMEVENT> &events = net->aTrackEvents[player][0].Events;
    auto block = [&](const JAMEVENT &e) {
        std::fprintf(f, "Data at heartbeat=%d...\n\tplayer=%s\n\tcommand=%d\n\tdata=%d\n", int32_t(e.uHeartbeat), name,
                     e.iCommand, int32_t(e.uData));
    };
    // An empty list is its head alone: one block of zeros.
    if (events.empty())
        block(JAMEVENT{0, 0, 0});
    for (const JAMEVENT &e : events)
        block(e);
    const bool ok = !std::ferror(f);
    return std::fclose(f) == 0 && ok ? 0 : -1;
}

void Jam_WriteDump(int32_t player)
{
    JAMNET *net = g_NetNode.pJam;
    if (!net)
        return;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    Jam_WriteDump(net, player, Jam_DumpPath());
}
