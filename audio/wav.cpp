#include "audio/wav.h"

#include "core/file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct WavWriter
{
    FILE *file = nullptr;
    int rate = 0;
    int channels = 0;
    uint64_t dataBytes = 0;
    bool failed = false;
    std::string target; // host path the file replaces when it is closed whole
    std::string temp;   // named temporary beside it; empty for a nameless one
};

struct WavReader
{
    FILE *file = nullptr;
    WAVFILE format{};
    long dataOffset = 0;
    uint32_t dataSize = 0;
};

WavWriter s_write;
WavReader s_read;
char s_szError[256];

constexpr uint32_t kHeaderBytes = 56;
constexpr uint32_t kFactOffset = 44;
constexpr uint32_t kDataSizeOffset = 52;

int32_t Fail(const char *fmt, const char *arg = "")
{
    std::snprintf(s_szError, sizeof s_szError, fmt, arg);
    return SND_E_FAIL;
}

void Put16(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void Put32(unsigned char *p, uint32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

uint16_t Get16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const unsigned char *p)
{
    return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

bool WriteAt(FILE *f, long offset, uint32_t v)
{
    unsigned char b[4];
    Put32(b, v);
    return std::fseek(f, offset, SEEK_SET) == 0 && std::fwrite(b, 1, 4, f) == 4;
}

// The file being written lives beside its target until it is whole: nameless where the file
// system allows (a killed writer then leaves nothing behind), else under a temporary name. The
// new file keeps an old target's permissions.
FILE *OpenBeside(const char *host, std::string *temp)
{
    temp->clear();
    struct stat old;
    const bool exists = stat(host, &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    std::string dir = host;
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::string name = std::string(host) + ".XXXXXX";
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        *temp = name;
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    if (exists)
        fchmod(fd, old.st_mode & 07777);
    FILE *f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        if (!temp->empty())
            unlink(temp->c_str());
    }
    return f;
}

// Gives the written file the target's name, replacing the old file in one step.
bool PutInPlace(FILE *f, const std::string &temp, const std::string &target)
{
    if (!temp.empty())
        return std::rename(temp.c_str(), target.c_str()) == 0;
    // A nameless file gets a temporary name first: a link cannot replace an existing file.
    const std::string self = "/proc/self/fd/" + std::to_string(fileno(f));
    for (int attempt = 0; attempt < 100; attempt++) {
        const std::string name = target + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(attempt);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (std::rename(name.c_str(), target.c_str()) == 0)
                return true;
            unlink(name.c_str());
            return false;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool IsPcm(const WAVFILE &fmt)
{
    if (fmt.wFormatTag == 1)
        return true;
    // The extensible format names its coding in the sub-format; its first word 1 is PCM.
    return fmt.wFormatTag == 0xFFFE && fmt.wExtraSize >= 22 && Get16(fmt.abExtra + 6) == 1;
}

int16_t *Alloc(size_t frames)
{
    return static_cast<int16_t *>(std::malloc(frames * sizeof(int16_t)));
}

// Linear interpolation of frames samples at rate onto 44100 Hz; null when out of memory.
int16_t *ToStandardRate(const int16_t *src, int frames, int rate, int *outFrames)
{
    uint64_t n = (static_cast<uint64_t>(frames) - 1) * 44100u / static_cast<uint64_t>(rate) + 1;
    if (n > 0x7FFFFFFFu)
        return nullptr;
    int16_t *out = Alloc(n);
    if (!out)
        return nullptr;
    for (uint64_t i = 0; i < n; ++i) {
        uint64_t pos = i * static_cast<uint64_t>(rate);
        uint64_t at = pos / 44100u;
        int64_t frac = static_cast<int64_t>(pos % 44100u);
        int64_t a = src[at];
        int64_t b = at + 1 < static_cast<uint64_t>(frames) ? src[at + 1] : a;
        out[i] = static_cast<int16_t>(a + (b - a) * frac / 44100);
    }
    *outFrames = static_cast<int>(n);
    return out;
}

} // namespace

const char *Snd_WavErrorText()
{
    return s_szError;
}

int32_t Snd_WavOpenWrite(const char *fileName, int rate, int channels)
{
    s_szError[0] = 0;
    if (s_write.file)
        return Fail("a WAV file is already being written");
    if (!fileName || rate <= 0 || channels < 1 || channels > 8)
        return Fail("bad WAV format");
    char host[SYS_HOSTPATH_SIZE];
    if (Sys_HostPath(fileName, host, sizeof host) != 0)
        return Fail("Couldn't create file (%s)", fileName);
    std::string temp;
    FILE *f = OpenBeside(host, &temp);
    if (!f)
        return Fail("Couldn't create file (%s)", fileName);
    unsigned char h[kHeaderBytes] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    uint32_t align = static_cast<uint32_t>(channels) * 2u;
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, static_cast<uint32_t>(channels));
    Put32(h + 24, static_cast<uint32_t>(rate));
    Put32(h + 28, static_cast<uint32_t>(rate) * align);
    Put16(h + 32, align);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "fact", 4);
    Put32(h + 40, 4);
    Put32(h + kFactOffset, 0xFFFFFFFFu);
    std::memcpy(h + 48, "data", 4);
    if (std::fwrite(h, 1, sizeof h, f) != sizeof h) {
        std::fclose(f);
        if (!temp.empty())
            unlink(temp.c_str());
        return Fail("Couldn't write file (%s)", fileName);
    }
    s_write = WavWriter{f, rate, channels, 0, false, host, temp};
    return 0;
}

int32_t Snd_WavWrite(const void *buffer, int frames)
{
    if (!s_write.file || (!buffer && frames > 0) || frames < 0)
        return Fail("no WAV file open for writing");
    size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(s_write.channels);
    // The RIFF size field must still hold the whole file.
    if (s_write.dataBytes + samples * 2 > 0xFFFFFFFFu - kHeaderBytes) {
        s_write.failed = true;
        return Fail("WAV file too large");
    }
    const int16_t *src = static_cast<const int16_t *>(buffer);
    unsigned char buf[4096];
    size_t done = 0;
    while (done < samples) {
        size_t k = samples - done < sizeof buf / 2 ? samples - done : sizeof buf / 2;
        for (size_t i = 0; i < k; ++i)
            Put16(buf + i * 2, static_cast<uint16_t>(src[done + i]));
        if (std::fwrite(buf, 2, k, s_write.file) != k) {
            s_write.failed = true;
            return Fail("Couldn't write WAV data");
        }
        done += k;
    }
    s_write.dataBytes += samples * 2;
    return 0;
}

int32_t Snd_WavCloseWrite(uint32_t total)
{
    if (!s_write.file)
        return Fail("no WAV file open for writing");
    FILE *f = s_write.file;
    uint32_t data = static_cast<uint32_t>(s_write.dataBytes);
    bool ok = !s_write.failed && std::fflush(f) == 0 && WriteAt(f, 4, kHeaderBytes - 8 + data) &&
              WriteAt(f, kFactOffset, total) && WriteAt(f, kDataSizeOffset, data) && std::fflush(f) == 0 &&
              fsync(fileno(f)) == 0;
    // Only a whole file takes the target's place; until then the old one stays as it was.
    if (ok)
        ok = PutInPlace(f, s_write.temp, s_write.target);
    ok = (std::fclose(f) == 0) && ok;
    if (!ok && !s_write.temp.empty())
        unlink(s_write.temp.c_str());
    s_write = WavWriter{};
    if (!ok)
        return Fail("Couldn't write WAV file");
    return 0;
}

int32_t Snd_WavOpenRead(const char *fileName)
{
    s_szError[0] = 0;
    if (s_read.file)
        return Fail("a WAV file is already being read");
    if (!fileName)
        return Fail("no file name");
    // Names go through the one path translation ('\\' and any case); only regular files open,
    // so a pipe or a folder is refused instead of blocking or failing later.
    char host[SYS_HOSTPATH_SIZE];
    struct stat st;
    if (Sys_HostPath(fileName, host, sizeof host) != 0 || stat(host, &st) != 0 || !S_ISREG(st.st_mode))
        return Fail("Couldn't open file (%s)", fileName);
    FILE *f = std::fopen(host, "rb");
    if (!f)
        return Fail("Couldn't open file (%s)", fileName);
    auto refuse = [&](const char *why) {
        std::fclose(f);
        return Fail("Not a usable WAV file: %s", why);
    };
    if (std::fseek(f, 0, SEEK_END) != 0)
        return refuse("cannot seek");
    long fileSize = std::ftell(f);
    std::rewind(f);
    unsigned char h[12];
    if (fileSize < 12 || std::fread(h, 1, 12, f) != 12)
        return refuse("file too short");
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVE", 4) != 0)
        return refuse("not RIFF/WAVE");
    // The RIFF may claim more than the file holds; only what is there counts.
    uint64_t riffEnd = 8 + static_cast<uint64_t>(Get32(h + 4));
    if (riffEnd > static_cast<uint64_t>(fileSize))
        riffEnd = static_cast<uint64_t>(fileSize);

    WAVFILE fmt{};
    bool haveFmt = false, haveData = false;
    uint64_t dataOffset = 0, dataSize = 0;
    uint64_t pos = 12;
    while (pos + 8 <= riffEnd && !(haveFmt && haveData)) {
        unsigned char c[8];
        if (std::fseek(f, static_cast<long>(pos), SEEK_SET) != 0 || std::fread(c, 1, 8, f) != 8)
            return refuse("cannot read chunk header");
        uint64_t size = Get32(c + 4);
        uint64_t avail = riffEnd - (pos + 8);
        if (!haveFmt && std::memcmp(c, "fmt ", 4) == 0) {
            if (size < 16)
                return refuse("format chunk too short");
            if (size > avail)
                return refuse("format chunk larger than the file");
            unsigned char b[16 + 2 + sizeof fmt.abExtra];
            size_t want = size < sizeof b ? static_cast<size_t>(size) : sizeof b;
            if (std::fread(b, 1, want, f) != want)
                return refuse("cannot read format chunk");
            fmt.wFormatTag = Get16(b);
            fmt.wChannels = Get16(b + 2);
            fmt.dwSampleRate = Get32(b + 4);
            fmt.dwBytesPerSec = Get32(b + 8);
            fmt.wBlockAlign = Get16(b + 12);
            fmt.wBitsPerSample = Get16(b + 14);
            // A plain PCM record, or one too short to hold it, has no extra size.
            if (fmt.wFormatTag != 1 && want >= 18) {
                fmt.wExtraSize = Get16(b + 16);
                size_t extra = want - 18 < fmt.wExtraSize ? want - 18 : fmt.wExtraSize;
                std::memcpy(fmt.abExtra, b + 18, extra);
            }
            haveFmt = true;
        } else if (!haveData && std::memcmp(c, "data", 4) == 0) {
            dataOffset = pos + 8;
            // A data chunk cut short yields the frames that are there.
            dataSize = size < avail ? size : avail;
            haveData = true;
        }
        if (size > avail)
            break;
        pos += 8 + size + (size & 1);
    }
    if (!haveFmt)
        return refuse("no format chunk");
    if (!haveData)
        return refuse("no data chunk");
    s_read.file = f;
    s_read.format = fmt;
    s_read.dataOffset = static_cast<long>(dataOffset);
    s_read.dataSize = static_cast<uint32_t>(dataSize);
    return 0;
}

const WAVFILE *Snd_WavReadFormat()
{
    return s_read.file ? &s_read.format : nullptr;
}

int32_t Snd_WavReadData(int16_t **left, int16_t **right, int *frames, int *rate)
{
    if (!left || !right || !frames || !rate)
        return Fail("bad arguments");
    *left = *right = nullptr;
    *frames = 0;
    if (!s_read.file)
        return Fail("no WAV file open for reading");
    const WAVFILE &fmt = s_read.format;
    *rate = static_cast<int>(fmt.dwSampleRate);
    s_szError[0] = 0;
    if (!IsPcm(fmt)) {
        Fail("unsupported WAV coding");
        return 0;
    }
    int channels = fmt.wChannels, bits = fmt.wBitsPerSample;
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16)) {
        Fail("unsupported WAV layout");
        return 0;
    }
    bool standard = fmt.dwSampleRate == 44100 || fmt.dwSampleRate == 22050 || fmt.dwSampleRate == 11025;
    if (!standard && (fmt.dwSampleRate < 1000 || fmt.dwSampleRate > 768000)) {
        Fail("unsupported WAV sample rate");
        return 0;
    }
    size_t size = s_read.dataSize;
    unsigned char *raw = static_cast<unsigned char *>(std::malloc(size ? size : 1));
    if (!raw)
        return Fail("out of memory");
    if (std::fseek(s_read.file, s_read.dataOffset, SEEK_SET) != 0 ||
        std::fread(raw, 1, size, s_read.file) != size) {
        std::free(raw);
        return Fail("Couldn't read WAV data");
    }
    size_t bytesPerFrame = static_cast<size_t>(channels * bits / 8);
    size_t n = size / bytesPerFrame;
    if (n == 0 || n > 0x7FFFFFFFu) {
        std::free(raw);
        return 0;
    }
    int16_t *side[2] = {Alloc(n), channels == 2 ? Alloc(n) : nullptr};
    if (!side[0] || (channels == 2 && !side[1])) {
        std::free(side[0]);
        std::free(side[1]);
        std::free(raw);
        return Fail("out of memory");
    }
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) {
            size_t at = i * static_cast<size_t>(channels) + static_cast<size_t>(c);
            side[c][i] = bits == 8 ? static_cast<int16_t>((raw[at] - 128) * 256)
                                   : static_cast<int16_t>(Get16(raw + at * 2));
        }
    std::free(raw);
    int outFrames = static_cast<int>(n);
    if (!standard) {
        // The mixer only knows the three standard rates; anything else would play at the wrong speed.
        for (int c = 0; c < channels; ++c) {
            int16_t *conv = ToStandardRate(side[c], static_cast<int>(n), *rate, &outFrames);
            std::free(side[c]);
            side[c] = conv;
        }
        if (!side[0] || (channels == 2 && !side[1])) {
            std::free(side[0]);
            std::free(side[1]);
            return Fail("out of memory");
        }
        *rate = 44100;
    }
    *left = side[0];
    *right = side[1];
    *frames = outFrames;
    return 0;
}

int32_t Snd_WavCloseRead()
{
    if (s_read.file)
        std::fclose(s_read.file);
    s_read = WavReader{};
    return 0;
}
