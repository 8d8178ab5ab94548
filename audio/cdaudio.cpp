#include "audio/cdaudio.h"

#include "app/settings.h"
#include "app/startup.h"
#include "audio/capture.h"
#include "audio/soundout.h"
#include "audio/import.h"
#include "core/file.h"
#include "core/soundlib.h"
#include "platform/cd.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

int32_t g_iCdDeviceId = -1;
int32_t g_iCdState = CD_STATE_NONE;
int32_t g_iCdLastError = 0;
char g_szCdErrorText[256];
int32_t g_iCdTrackCount = 0;
uint32_t g_auCdTrackStart[CD_MAX_TRACKS + 2];
uint32_t g_auCdTrackLength[CD_MAX_TRACKS + 2];
uint32_t g_uCdDiscEnd = 0;
int32_t g_iCdCurrentTrack = 1;
int32_t g_iCdStepForwardSeconds = 5;
int32_t g_iCdStepBackSeconds = 5;
int32_t g_iCdSampleRate = 44100;
int32_t g_iCdSampleRateCode = 2;
int32_t g_bMixWasOnBeforeSampling = 0;

namespace {

constexpr int64_t kFramesPerSector = PLAT_CDA_SECTOR_FRAMES;
constexpr int32_t kSectorsPerSecond = PLAT_CDA_SECTORS_PER_SECOND;
// Packed positions stop below 100 minutes.
constexpr int32_t kLastSector = 100 * 60 * kSectorsPerSecond - CD_LEAD_IN_SECTORS - 1;
// The mix follows the clock; it jumps to it when further off than this (frames).
constexpr int64_t kResyncFrames = 4410;
constexpr int32_t kChunkSectors = kSectorsPerSecond;

enum Mode { MODE_STOPPED, MODE_PAUSED, MODE_PLAYING };

// Player state, shared with the mix pump's thread.
std::mutex s_lock;
Mode s_mode = MODE_STOPPED;
int64_t s_posFrame = 0;      // 44100 Hz frames from sector 0; the start of play while playing
uint64_t s_playStartUs = 0;
int64_t s_endFrame = 0;       // end of the last track
int64_t s_heardFrame = -1;    // next frame the mix adds
std::vector<int16_t> s_chunk; // sectors [s_chunkSector, + kChunkSectors) as read for the mix
int32_t s_chunkSector = -1;
int32_t s_chunkSectors = 0;

// Track table in sectors (index 1..count).
int32_t s_aTrackStart[CD_MAX_TRACKS + 2];
int32_t s_aTrackLength[CD_MAX_TRACKS + 2];
bool s_bTocRead = false;

// Sampling.
bool s_bDigitalSampling = false;
bool s_bLineSampling = false;
int64_t s_sampleFromFrame = 0;

const char *ErrorText(int code)
{
    switch (code) {
    case CDERR_NO_DEVICE: return "There is no CD drive.";
    case CDERR_NO_DISC: return "There is no disc in the CD drive.";
    case CDERR_DOOR_OPEN: return "The CD drive's door is open.";
    case CDERR_READ: return "The disc could not be read.";
    case CDERR_BAD_POSITION: return "That position is not on the disc.";
    case CDERR_BAD_TRACK: return "There is no such track on the disc.";
    case CDERR_BAD_TOC: return "The disc's table of contents is damaged.";
    default: return "The CD drive failed.";
    }
}

int Fail(int code)
{
    g_iCdLastError = code;
    std::snprintf(g_szCdErrorText, sizeof g_szCdErrorText, "%s", ErrorText(code));
    return code;
}

int FromPlatform(int result)
{
    switch (result) {
    case PLAT_CDA_OK: return 0;
    case PLAT_CDA_NO_DRIVE: return CDERR_NO_DEVICE;
    case PLAT_CDA_NO_DISC: return CDERR_NO_DISC;
    case PLAT_CDA_DOOR_OPEN: return CDERR_DOOR_OPEN;
    case PLAT_CDA_BAD_RANGE: return CDERR_BAD_POSITION;
    default: return CDERR_READ;
    }
}

uint32_t PackLength(int32_t sectors)
{
    return (uint32_t)(sectors / 4500) | (uint32_t)((sectors / 75) % 60) << 8 | (uint32_t)(sectors % 75) << 16;
}

// Position in frames; a play that reached the end stops there. Under s_lock.
int64_t PositionLocked()
{
    if (s_mode != MODE_PLAYING)
        return s_posFrame;
    uint64_t now = Plat_ClockNowUs();
    uint64_t us = now > s_playStartUs ? now - s_playStartUs : 0;
    int64_t at = s_posFrame + (int64_t)(us * 44100 / 1000000);
    if (at >= s_endFrame) {
        s_mode = MODE_STOPPED;
        s_posFrame = s_endFrame;
        return s_endFrame;
    }
    return at;
}

void SetModeLocked(Mode mode, int64_t frame)
{
    s_posFrame = frame;
    s_mode = mode;
    s_playStartUs = Plat_ClockNowUs();
    s_heardFrame = -1;
}

void StopPlayer()
{
    std::lock_guard<std::mutex> lock(s_lock);
    SetModeLocked(MODE_STOPPED, PositionLocked());
    s_chunkSector = -1;
}

void ForgetDisc()
{
    StopPlayer();
    s_bTocRead = false;
    g_iCdTrackCount = 0;
    std::lock_guard<std::mutex> lock(s_lock);
    s_endFrame = 0;
    s_posFrame = 0;
}

// Checks a table of contents the drive gave: 1..99 tracks in order, each at least a sector long,
// none overlapping, all inside 100 minutes.
bool TocIsSound(const PLATCDTOC &toc)
{
    if (toc.iTrackCount < 1 || toc.iTrackCount > CD_MAX_TRACKS)
        return false;
    int64_t lastEnd = 0;
    for (int n = 0; n < toc.iTrackCount; ++n) {
        int64_t start = toc.aiStart[n], length = toc.aiLength[n];
        if (start < lastEnd || length < 1 || start + length > kLastSector)
            return false;
        lastEnd = start + length;
    }
    return true;
}

// The disc must be in and its table read. 0 or an error code (already kept).
int NeedDisc()
{
    if (g_iCdDeviceId == -1)
        return Fail(CDERR_NO_DEVICE);
    int state = Plat_CdAudioDiscState();
    if (state != PLAT_CDA_OK) {
        if (g_iCdState == CD_STATE_PLAYING || g_iCdState == CD_STATE_PAUSED)
            g_iCdState = CD_STATE_STOPPED;
        ForgetDisc();
        return Fail(FromPlatform(state));
    }
    if (s_bTocRead)
        return 0;
    PLATCDTOC toc;
    std::memset(&toc, 0, sizeof toc);
    int result = Plat_CdAudioReadToc(&toc);
    if (result != PLAT_CDA_OK)
        return Fail(FromPlatform(result));
    if (!TocIsSound(toc))
        return Fail(CDERR_BAD_TOC);
    g_iCdTrackCount = toc.iTrackCount;
    int32_t total = 0;
    for (int t = 1; t <= toc.iTrackCount; ++t) {
        s_aTrackStart[t] = toc.aiStart[t - 1];
        s_aTrackLength[t] = toc.aiLength[t - 1];
        g_auCdTrackStart[t] = Snd_CdPackSector(s_aTrackStart[t]);
        g_auCdTrackLength[t] = PackLength(s_aTrackLength[t]);
        total += s_aTrackLength[t];
    }
    int32_t end = s_aTrackStart[toc.iTrackCount] + s_aTrackLength[toc.iTrackCount];
    s_aTrackStart[toc.iTrackCount + 1] = end;
    g_auCdTrackStart[toc.iTrackCount + 1] = Snd_CdPackSector(end);
    g_uCdDiscEnd = PackLength(total);
    s_bTocRead = true;
    std::lock_guard<std::mutex> lock(s_lock);
    s_endFrame = (int64_t)end * kFramesPerSector;
    s_posFrame = std::clamp<int64_t>(s_posFrame, (int64_t)s_aTrackStart[1] * kFramesPerSector, s_endFrame);
    return 0;
}

int32_t CurrentSector()
{
    std::lock_guard<std::mutex> lock(s_lock);
    return (int32_t)(PositionLocked() / kFramesPerSector);
}

// Brings g_iCdState in line with a play that ended by itself.
void FollowPlayer()
{
    std::lock_guard<std::mutex> lock(s_lock);
    PositionLocked();
    if (g_iCdState == CD_STATE_PLAYING && s_mode != MODE_PLAYING)
        g_iCdState = CD_STATE_STOPPED;
}

int PlayFromSector(int32_t sector)
{
    if (sector < s_aTrackStart[1] || sector >= s_aTrackStart[g_iCdTrackCount + 1])
        return Fail(CDERR_BAD_POSITION);
    bool wasPlaying = g_iCdState == CD_STATE_PLAYING;
    {
        std::lock_guard<std::mutex> lock(s_lock);
        SetModeLocked(MODE_PLAYING, (int64_t)sector * kFramesPerSector);
    }
    g_iCdState = CD_STATE_PLAYING;
    if (!wasPlaying)
        return Snd_CdPause();
    return 0;
}

int CurrentTrackOf(int32_t sector)
{
    for (int t = g_iCdTrackCount; t >= 1; --t)
        if (s_aTrackStart[t] <= sector)
            return t;
    return 0;
}

bool MakeParent(const std::string &path)
{
    std::error_code ec;
    auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    return true;
}

// Takes the disc's sound of frames [from, to) as mono at rate and writes it to the recording
// file. 0, or an error code (the old file kept).
int WriteDigitalRange(int64_t from, int64_t to, int rate)
{
    int step = 44100 / rate;
    int64_t samples = (to - from) / step;
    if (samples <= 0)
        return Fail(CDERR_BAD_POSITION);
    std::string path = Sys_MakeBasePath(PCMRECORDING);
    MakeParent(path);
    FILE *file = Sys_OpenFileWrite(path.c_str(), 1, 0);
    if (!file)
        return Fail(CDERR_READ);
    std::vector<int16_t> sectors((size_t)kChunkSectors * kFramesPerSector * 2);
    std::vector<uint8_t> out;
    int32_t chunkSector = -1;
    int64_t sum = 0;
    int in = 0;
    for (int64_t f = from; f < from + samples * step; ++f) {
        int32_t sector = (int32_t)(f / kFramesPerSector);
        if (chunkSector < 0 || sector >= chunkSector + kChunkSectors) {
            int32_t count = (int32_t)std::min<int64_t>(kChunkSectors, (to + kFramesPerSector - 1) / kFramesPerSector - sector);
            int result = Plat_CdAudioRead(sector, count, sectors.data());
            if (result != PLAT_CDA_OK) {
                Sys_DiscardFile(file);
                return Fail(FromPlatform(result));
            }
            chunkSector = sector;
        }
        size_t at = (size_t)(f - (int64_t)chunkSector * kFramesPerSector) * 2;
        sum += (sectors[at] + sectors[at + 1]) >> 1;
        if (++in == step) {
            // The mean of each group of frames, so lower rates do not fold high sounds back.
            int16_t v = (int16_t)(sum / step);
            out.push_back((uint8_t)(v & 0xFF));
            out.push_back((uint8_t)((uint16_t)v >> 8));
            sum = 0;
            in = 0;
        }
    }
    if (Sys_WriteFile(file, out.data(), (int)out.size()) != (int)out.size()) {
        Sys_DiscardFile(file);
        return Fail(CDERR_READ);
    }
    if (Sys_CloseFile(file) != 0)
        return Fail(CDERR_READ);
    return 0;
}

void GiveMixBack()
{
    if (g_bMixWasOnBeforeSampling)
        Sys_ResumeAudioMix(0);
}

} // namespace

uint32_t Snd_CdPackSector(int32_t sector)
{
    int32_t a = std::clamp(sector, 0, kLastSector) + CD_LEAD_IN_SECTORS;
    return (uint32_t)(a / 4500) | (uint32_t)((a / 75) % 60) << 8 | (uint32_t)(a % 75) << 16;
}

int32_t Snd_CdSectorFromMsf(int minute, int second, int frame)
{
    if (minute < 0 || minute > 99 || second < 0 || second > 59 || frame < 0 || frame > 74)
        return -1;
    return minute * 4500 + second * 75 + frame - CD_LEAD_IN_SECTORS;
}

int Snd_CdOpenDevice()
{
    Snd_ClearStreamBuffer();
    if (g_iCdDeviceId == -1) {
        int result = Plat_CdAudioOpen();
        // State 1 even without a drive: line-in sampling runs in it. CD calls then fail.
        g_iCdState = CD_STATE_STOPPED;
        if (result != PLAT_CDA_OK)
            return Fail(FromPlatform(result));
        g_iCdDeviceId = 1;
        ForgetDisc();
    }
    g_iCdState = CD_STATE_STOPPED;
    return 0;
}

int Snd_CdCloseDevice()
{
    if (g_iCdDeviceId == -1)
        return 0;
    ForgetDisc();
    Plat_CdAudioClose();
    g_iCdDeviceId = -1;
    return 0;
}

int Snd_CdPlay()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (int error = NeedDisc())
        return error;
    {
        std::lock_guard<std::mutex> lock(s_lock);
        int64_t at = PositionLocked();
        if (at >= s_endFrame)
            return Fail(CDERR_BAD_POSITION);
        if (s_mode != MODE_PLAYING)
            SetModeLocked(MODE_PLAYING, at);
    }
    g_iCdState = CD_STATE_PLAYING;
    return 0;
}

int Snd_CdPlayFrom(int minute, int second, int frame)
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (int error = NeedDisc())
        return error;
    int32_t sector = Snd_CdSectorFromMsf(minute, second, frame);
    if (sector < 0)
        return Fail(CDERR_BAD_POSITION);
    return PlayFromSector(sector);
}

int Snd_CdStop()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (g_iCdDeviceId == -1)
        return Fail(CDERR_NO_DEVICE);
    StopPlayer();
    g_iCdState = CD_STATE_STOPPED;
    return 0;
}

int Snd_CdPause()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (int error = NeedDisc())
        return error;
    {
        std::lock_guard<std::mutex> lock(s_lock);
        SetModeLocked(MODE_PAUSED, PositionLocked());
    }
    g_iCdState = CD_STATE_PAUSED;
    return 0;
}

int Snd_CdSeek(int minute, int second, int frame)
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (int error = NeedDisc())
        return error;
    int32_t sector = Snd_CdSectorFromMsf(minute, second, frame);
    if (sector < s_aTrackStart[1] || sector >= s_aTrackStart[g_iCdTrackCount + 1])
        return Fail(CDERR_BAD_POSITION);
    // Moves the position; a playing disc goes on playing from there.
    std::lock_guard<std::mutex> lock(s_lock);
    PositionLocked();
    SetModeLocked(s_mode, (int64_t)sector * kFramesPerSector);
    return 0;
}

int Snd_CdEject()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (int error = Snd_CdStop())
        return error;
    ForgetDisc();
    int result = Plat_CdAudioEject();
    return result == PLAT_CDA_OK ? 0 : Fail(FromPlatform(result));
}

int Snd_CdGetStatus()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (g_iCdDeviceId == -1)
        return Fail(CDERR_NO_DEVICE);
    int error = NeedDisc();
    if (error == CDERR_DOOR_OPEN)
        return 0x10;
    if (error == CDERR_NO_DISC || error == CDERR_BAD_TOC)
        return 0x02; // not ready
    if (error)
        return error;
    FollowPlayer();
    std::lock_guard<std::mutex> lock(s_lock);
    switch (s_mode) {
    case MODE_PLAYING: return 0x80;
    case MODE_PAUSED: return 0x02;
    default: return 0;
    }
}

int Snd_CdGetPosition()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (int error = NeedDisc())
        return error;
    return (int)Snd_CdPackSector(CurrentSector());
}

int Snd_CdGetTrackCount()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (NeedDisc())
        return 0;
    return g_iCdTrackCount;
}

int Snd_CdGetCurrentTrack()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (NeedDisc())
        return 0;
    // Whole sectors: comparing whole seconds put the last frames of a track into the next.
    g_iCdCurrentTrack = CurrentTrackOf(CurrentSector());
    return g_iCdCurrentTrack;
}

int Snd_CdReadTrackList()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    s_bTocRead = false; // read it afresh
    if (int error = NeedDisc())
        return error;
    return (int)g_auCdTrackStart[g_iCdTrackCount + 1];
}

int Snd_CdStepForward()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (NeedDisc())
        return 0;
    FollowPlayer();
    int32_t at = CurrentSector();
    int32_t end = s_aTrackStart[g_iCdTrackCount + 1];
    if (at < end) {
        int32_t to = std::min(at + g_iCdStepForwardSeconds * kSectorsPerSecond, end - 1);
        PlayFromSector(to);
    }
    return Snd_CdGetCurrentTrack();
}

int Snd_CdStepBack()
{
    if (g_iCdState == CD_STATE_NONE)
        return 0;
    if (NeedDisc())
        return 0;
    FollowPlayer();
    int32_t at = CurrentSector();
    if (at > s_aTrackStart[1]) {
        // Never before the first track.
        int32_t to = std::max(at - g_iCdStepBackSeconds * kSectorsPerSecond, s_aTrackStart[1]);
        PlayFromSector(to);
    }
    return Snd_CdGetCurrentTrack();
}

int Snd_CdCommand(int command, const uint8_t *param, uint8_t *result)
{
    switch (command) {
    case 1:
        if (result)
            result[0] = (uint8_t)Snd_CdGetStatus();
        return 0;
    case 2:
        if (param)
            Snd_CdPlayFrom(param[0], param[1], param[2]);
        return 0;
    case 3: Snd_CdPlay(); return 0;
    case 4: return Snd_CdStepForward();
    case 5: return Snd_CdStepBack();
    case 8: Snd_CdStop(); return 0;
    case 9: Snd_CdPause(); return 0;
    default: return 0;
    }
}

int Snd_CdPositionCommand(int command, const uint8_t *param, uint8_t *result)
{
    switch (command) {
    case 2:
        if (param)
            Snd_CdSeek(param[0], param[1], param[2]);
        return 0;
    case 3: Snd_CdPlay(); return 0;
    case 17: {
        if (g_iCdState == CD_STATE_NONE)
            return 0;
        int track = Snd_CdGetCurrentTrack();
        int count = Snd_CdGetTrackCount();
        if (result) {
            uint32_t at = count ? Snd_CdPackSector(CurrentSector()) : 0;
            result[0] = (uint8_t)track;
            result[1] = 0;
            result[2] = (uint8_t)(at & 0xFF);
            result[3] = (uint8_t)(at >> 8 & 0xFF);
        }
        return count;
    }
    default: return 0;
    }
}

int Snd_CdGetTrackTable(CDTRACKENTRY *table)
{
    if (g_iCdState == CD_STATE_NONE || !table)
        return 0;
    int end = Snd_CdReadTrackList();
    if (end <= 0 || !s_bTocRead)
        return 0;
    for (int t = 1; t <= g_iCdTrackCount + 1; ++t) {
        uint32_t at = g_auCdTrackStart[t];
        table[t] = {(uint8_t)(at & 0xFF), (uint8_t)(at >> 8 & 0xFF), (uint8_t)(at >> 16 & 0xFF), (uint8_t)t};
    }
    return g_iCdTrackCount;
}

int Snd_CdInit()
{
    Snd_CdOpenDevice();
    return 0;
}

int Snd_CdReinit()
{
    Snd_CdCloseDevice();
    return Snd_CdOpenDevice();
}

int Snd_CdStatus() { return Snd_CdGetStatus(); }
int Snd_CdCheckStatus(int) { return Snd_CdGetStatus(); }

int Snd_CdFindFile(void *, const char *) { return 0; }
int Snd_CdIdentifyDisc() { return 0; }
int Snd_CdCheckReady(int) { return 0; }
int Snd_CdReadSectors(int, void *, int) { return 0; }
int Snd_CdSetFlags(int) { return 0; }
int Snd_CdReadSync(int, uint8_t *) { return 0; }
int Snd_CdSetHandler(void *) { return 0; }
int Snd_CdSync(int, uint8_t *) { return 0; }

int Snd_CdStartSampling(int rateCode)
{
    if (s_bDigitalSampling || s_bLineSampling)
        return -1; // one at a time; the first goes on
    static const int32_t rates[3] = {11025, 22050, 44100};
    if (rateCode >= 0 && rateCode <= 2)
        g_iCdSampleRate = rates[rateCode];
    g_iCdSampleRateCode = rateCode;
    g_bMixWasOnBeforeSampling = g_bAudioMixEnabled.load();
    Sys_PauseAudioMix(0);
    if (g_iCdDeviceId != -1 && g_iCdState == CD_STATE_PLAYING && NeedDisc() == 0) {
        // The disc's own sound, read digitally from here to where it is at stop.
        std::lock_guard<std::mutex> lock(s_lock);
        s_sampleFromFrame = PositionLocked();
        s_bDigitalSampling = true;
        return 0;
    }
    if (Snd_StartRecording(g_iCdSampleRate, nullptr, 0, 1) != 0) {
        GiveMixBack();
        return -1;
    }
    s_bLineSampling = true;
    return 0;
}

int Snd_CdStopSampling()
{
    int slot = -1;
    std::string path = Sys_MakeBasePath(PCMRECORDING);
    if (s_bDigitalSampling) {
        s_bDigitalSampling = false;
        int64_t to;
        {
            std::lock_guard<std::mutex> lock(s_lock);
            to = PositionLocked();
        }
        if (WriteDigitalRange(s_sampleFromFrame, to, g_iCdSampleRate) == 0)
            slot = Snd_ImportRawSample(path.c_str(), nullptr, 0, g_iCdSampleRate);
    } else if (s_bLineSampling) {
        s_bLineSampling = false;
        Snd_StopRecording();
        if (g_iRecordedBytes.load() > 0)
            slot = Snd_ImportRawSample(path.c_str(), nullptr, 0, g_iCdSampleRate);
        else
            std::snprintf(g_szCdErrorText, sizeof g_szCdErrorText, "Nothing was recorded.");
    } else {
        return -1;
    }
    GiveMixBack();
    return slot;
}

void Snd_CdMixInto(int16_t *block, int32_t frames)
{
    if (!block || frames <= 0)
        return;
    std::lock_guard<std::mutex> lock(s_lock);
    if (s_mode != MODE_PLAYING)
        return;
    int64_t clock = PositionLocked();
    if (s_mode != MODE_PLAYING)
        return;
    if (s_heardFrame < 0 || s_heardFrame > clock + kResyncFrames || s_heardFrame < clock - kResyncFrames)
        s_heardFrame = clock;
    for (int32_t i = 0; i < frames && s_heardFrame < s_endFrame; ++i, ++s_heardFrame) {
        int32_t sector = (int32_t)(s_heardFrame / kFramesPerSector);
        if (s_chunkSector < 0 || sector < s_chunkSector || sector >= s_chunkSector + s_chunkSectors) {
            int32_t count = (int32_t)std::min<int64_t>(kChunkSectors, s_endFrame / kFramesPerSector - sector);
            s_chunk.resize((size_t)kChunkSectors * kFramesPerSector * 2);
            if (count <= 0 || Plat_CdAudioRead(sector, count, s_chunk.data()) != PLAT_CDA_OK) {
                // Disc gone or unreadable: the player stops; the next status query tells.
                s_chunkSector = -1;
                SetModeLocked(MODE_STOPPED, clock);
                return;
            }
            s_chunkSector = sector;
            s_chunkSectors = count;
        }
        size_t at = (size_t)(s_heardFrame - (int64_t)s_chunkSector * kFramesPerSector) * 2;
        for (int c = 0; c < 2; ++c) {
            int32_t v = block[2 * i + c] + s_chunk[at + c];
            block[2 * i + c] = (int16_t)std::clamp(v, -32768, 32767);
        }
    }
}
