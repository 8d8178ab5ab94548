// Audio drive backends: libcdio with paranoia reads, and the virtual disc of WAV tracks.
#include "platform/backend.h"
#include "platform/cd.h"

#include "audio/wav.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

// ---- libcdio ----

std::mutex s_driveLock;
CdIo_t *s_cdio = nullptr;
cdrom_drive_t *s_cdda = nullptr;
cdrom_paranoia_t *s_paranoia = nullptr;

void DropReader()
{
    if (s_paranoia)
        cdio_paranoia_free(s_paranoia);
    s_paranoia = nullptr;
    if (s_cdda)
        cdio_cddap_close_no_free_cdio(s_cdda);
    s_cdda = nullptr;
}

int DriveOpen()
{
    std::lock_guard<std::mutex> lock(s_driveLock);
    if (s_cdio)
        return PLAT_CDA_OK;
    cdio_loglevel_default = CDIO_LOG_ERROR;
    s_cdio = cdio_open(nullptr, DRIVER_DEVICE);
    return s_cdio ? PLAT_CDA_OK : PLAT_CDA_NO_DRIVE;
}

void DriveClose()
{
    std::lock_guard<std::mutex> lock(s_driveLock);
    DropReader();
    if (s_cdio)
        cdio_destroy(s_cdio);
    s_cdio = nullptr;
}

int DriveDiscState()
{
    std::lock_guard<std::mutex> lock(s_driveLock);
    if (!s_cdio)
        return PLAT_CDA_NO_DRIVE;
    if (cdio_get_media_changed(s_cdio) == 1)
        DropReader(); // a new disc needs a new reader
    return cdio_get_num_tracks(s_cdio) == CDIO_INVALID_TRACK ? PLAT_CDA_NO_DISC : PLAT_CDA_OK;
}

int DriveReadToc(PLATCDTOC *toc)
{
    std::lock_guard<std::mutex> lock(s_driveLock);
    if (!s_cdio)
        return PLAT_CDA_NO_DRIVE;
    track_t first = cdio_get_first_track_num(s_cdio);
    track_t count = cdio_get_num_tracks(s_cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        return PLAT_CDA_NO_DISC;
    toc->iTrackCount = 0;
    for (int n = 0; n < count && n < PLAT_CDA_MAX_TRACKS; ++n) {
        track_t t = (track_t)(first + n);
        toc->aiStart[n] = (int32_t)cdio_get_track_lsn(s_cdio, t);
        toc->aiLength[n] = (int32_t)cdio_get_track_sec_count(s_cdio, t);
        toc->iTrackCount = n + 1;
    }
    return PLAT_CDA_OK;
}

int DriveRead(int32_t sector, int32_t count, void *buffer)
{
    std::lock_guard<std::mutex> lock(s_driveLock);
    if (!s_cdio)
        return PLAT_CDA_NO_DRIVE;
    if (!s_paranoia) {
        s_cdda = cdio_cddap_identify_cdio(s_cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (!s_cdda || cdio_cddap_open(s_cdda) != 0) {
            DropReader();
            return PLAT_CDA_NO_DISC;
        }
        s_paranoia = cdio_paranoia_init(s_cdda);
        if (!s_paranoia) {
            DropReader();
            return PLAT_CDA_READ_ERROR;
        }
        // Correct what can be corrected but never retry one sector without end.
        cdio_paranoia_modeset(s_paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }
    cdio_paranoia_seek(s_paranoia, sector, SEEK_SET);
    uint8_t *out = (uint8_t *)buffer;
    for (int32_t n = 0; n < count; ++n) {
        int16_t *data = cdio_paranoia_read_limited(s_paranoia, nullptr, 3);
        if (!data)
            return PLAT_CDA_READ_ERROR;
        std::memcpy(out + (size_t)n * PLAT_CDA_SECTOR_BYTES, data, PLAT_CDA_SECTOR_BYTES);
    }
    return PLAT_CDA_OK;
}

int DriveEject()
{
    std::lock_guard<std::mutex> lock(s_driveLock);
    if (!s_cdio)
        return PLAT_CDA_NO_DRIVE;
    DropReader();
    // Ejecting through the handle frees it; open the drive again so later calls still have one.
    if (cdio_eject_media(&s_cdio) != DRIVER_OP_SUCCESS && s_cdio)
        return PLAT_CDA_READ_ERROR;
    s_cdio = cdio_open(nullptr, DRIVER_DEVICE);
    return PLAT_CDA_OK;
}

const PLATCDAUDIOOPS s_drive = {DriveOpen, DriveClose, DriveDiscState, DriveReadToc, DriveRead, DriveEject};

// ---- virtual disc ----

struct VirtualDisc
{
    std::mutex lock;
    bool open = false;
    bool doorOpen = false;
    std::string dir;
    std::vector<int32_t> start;        // sector of each track
    std::vector<int16_t> frames;        // the whole disc, interleaved stereo
};
VirtualDisc s_virtual;

std::string TrackName(const std::string &dir, int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "/track%02d.wav", n);
    return dir + name;
}

bool DiscIn(const std::string &dir)
{
    std::error_code ec;
    return !dir.empty() && std::filesystem::is_regular_file(TrackName(dir, 1), ec);
}

// Appends one WAV file as stereo 44100 Hz, padded with silence to a whole sector. False when it
// cannot be read.
bool AppendTrack(const std::string &path, std::vector<int16_t> &frames)
{
    if (Snd_WavOpenRead(path.c_str()) != 0)
        return false;
    int16_t *left = nullptr, *right = nullptr;
    int count = 0, rate = 0;
    Snd_WavReadData(&left, &right, &count, &rate);
    Snd_WavCloseRead();
    bool ok = left && count > 0 && rate > 0 && rate <= 44100;
    if (ok) {
        // 22050 and 11025 Hz come back at their own rate: repeat each frame.
        int repeat = 44100 / rate;
        for (int i = 0; i < count; ++i)
            for (int r = 0; r < repeat; ++r) {
                frames.push_back(left[i]);
                frames.push_back(right ? right[i] : left[i]);
            }
        while ((frames.size() / 2) % PLAT_CDA_SECTOR_FRAMES)
            frames.push_back(0);
    }
    free(left);
    free(right);
    return ok;
}

int VirtualOpen()
{
    std::lock_guard<std::mutex> lock(s_virtual.lock);
    const char *dir = Plat_GetEnv("TNV_CD_DIR");
    if (!dir || !*dir)
        return PLAT_CDA_NO_DRIVE;
    s_virtual.open = true;
    s_virtual.doorOpen = false;
    s_virtual.dir = dir;
    return PLAT_CDA_OK;
}

void VirtualClose()
{
    std::lock_guard<std::mutex> lock(s_virtual.lock);
    s_virtual.open = false;
    s_virtual.start.clear();
    s_virtual.frames.clear();
}

int VirtualStateLocked()
{
    if (!s_virtual.open)
        return PLAT_CDA_NO_DRIVE;
    if (s_virtual.doorOpen)
        return PLAT_CDA_DOOR_OPEN;
    return DiscIn(s_virtual.dir) ? PLAT_CDA_OK : PLAT_CDA_NO_DISC;
}

int VirtualDiscState()
{
    std::lock_guard<std::mutex> lock(s_virtual.lock);
    return VirtualStateLocked();
}

int VirtualReadToc(PLATCDTOC *toc)
{
    std::lock_guard<std::mutex> lock(s_virtual.lock);
    int state = VirtualStateLocked();
    if (state != PLAT_CDA_OK)
        return state;
    // Read the disc again: the folder may hold another one now.
    s_virtual.start.clear();
    s_virtual.frames.clear();
    std::error_code ec;
    for (int n = 1; n <= PLAT_CDA_MAX_TRACKS; ++n) {
        std::string path = TrackName(s_virtual.dir, n);
        if (!std::filesystem::is_regular_file(path, ec))
            break;
        int32_t at = (int32_t)(s_virtual.frames.size() / 2 / PLAT_CDA_SECTOR_FRAMES);
        if (!AppendTrack(path, s_virtual.frames))
            break; // an unreadable track ends the disc
        s_virtual.start.push_back(at);
    }
    if (s_virtual.start.empty())
        return PLAT_CDA_NO_DISC;
    toc->iTrackCount = (int32_t)s_virtual.start.size();
    int32_t end = (int32_t)(s_virtual.frames.size() / 2 / PLAT_CDA_SECTOR_FRAMES);
    for (size_t n = 0; n < s_virtual.start.size(); ++n) {
        toc->aiStart[n] = s_virtual.start[n];
        int32_t next = n + 1 < s_virtual.start.size() ? s_virtual.start[n + 1] : end;
        toc->aiLength[n] = next - s_virtual.start[n];
    }
    return PLAT_CDA_OK;
}

int VirtualRead(int32_t sector, int32_t count, void *buffer)
{
    std::lock_guard<std::mutex> lock(s_virtual.lock);
    int state = VirtualStateLocked();
    if (state != PLAT_CDA_OK)
        return state;
    int64_t sectors = (int64_t)(s_virtual.frames.size() / 2 / PLAT_CDA_SECTOR_FRAMES);
    if (sector < 0 || count < 0 || (int64_t)sector + count > sectors || !buffer)
        return PLAT_CDA_BAD_RANGE;
    std::memcpy(buffer, s_virtual.frames.data() + (size_t)sector * PLAT_CDA_SECTOR_FRAMES * 2,
                (size_t)count * PLAT_CDA_SECTOR_BYTES);
    return PLAT_CDA_OK;
}

int VirtualEject()
{
    std::lock_guard<std::mutex> lock(s_virtual.lock);
    if (!s_virtual.open)
        return PLAT_CDA_NO_DRIVE;
    s_virtual.doorOpen = true;
    return PLAT_CDA_OK;
}

const PLATCDAUDIOOPS s_virtualOps = {VirtualOpen,    VirtualClose, VirtualDiscState,
                                     VirtualReadToc, VirtualRead,  VirtualEject};

std::atomic<const PLATCDAUDIOOPS *> s_audioOps{nullptr};

const PLATCDAUDIOOPS *Ops()
{
    const PLATCDAUDIOOPS *ops = s_audioOps.load();
    if (ops)
        return ops;
    return Plat_IsHeadless() ? &s_virtualOps : &s_drive;
}

} // namespace

void Plat_CdAudioSetOps(const PLATCDAUDIOOPS *ops) { s_audioOps.store(ops); }

int Plat_CdAudioOpen() { return Ops()->Open(); }
void Plat_CdAudioClose() { Ops()->Close(); }
int Plat_CdAudioDiscState() { return Ops()->DiscState(); }
int Plat_CdAudioReadToc(PLATCDTOC *toc)
{
    if (!toc)
        return PLAT_CDA_BAD_RANGE;
    toc->iTrackCount = 0;
    return Ops()->ReadToc(toc);
}
int Plat_CdAudioRead(int32_t sector, int32_t count, void *buffer) { return Ops()->Read(sector, count, buffer); }
int Plat_CdAudioEject() { return Ops()->Eject(); }
