#include "render/avireader.h"

#include "core/file.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kRiff = AVI_FOURCC('R', 'I', 'F', 'F');
constexpr uint32_t kAvi = AVI_FOURCC('A', 'V', 'I', ' ');
constexpr uint32_t kList = AVI_FOURCC('L', 'I', 'S', 'T');
constexpr uint32_t kHdrl = AVI_FOURCC('h', 'd', 'r', 'l');
constexpr uint32_t kStrl = AVI_FOURCC('s', 't', 'r', 'l');
constexpr uint32_t kStrh = AVI_FOURCC('s', 't', 'r', 'h');
constexpr uint32_t kStrf = AVI_FOURCC('s', 't', 'r', 'f');
constexpr uint32_t kStrn = AVI_FOURCC('s', 't', 'r', 'n');
constexpr uint32_t kMovi = AVI_FOURCC('m', 'o', 'v', 'i');
constexpr uint32_t kRec = AVI_FOURCC('r', 'e', 'c', ' ');
constexpr uint32_t kIdx1 = AVI_FOURCC('i', 'd', 'x', '1');
constexpr uint32_t kVids = AVI_FOURCC('v', 'i', 'd', 's');

// Lists nest only a few deep in any real file.
constexpr int kMaxDepth = 4;
// Chunks walked in one list before the file is taken as hostile.
constexpr uint32_t kMaxChunks = 4 * AVI_MAX_FRAMES;

uint16_t U16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int ReadMemory(void *context, uint64_t offset, void *dst, uint32_t size)
{
    const AVIREADER *m = static_cast<const AVIREADER *>(context);
    if (offset > m->memSize || size > m->memSize - offset)
        return -1;
    std::memcpy(dst, m->memData + offset, size);
    return 0;
}

int ReadFileAt(void *context, uint64_t offset, void *dst, uint32_t size)
{
    FILE *f = static_cast<FILE *>(context);
    if (offset > 0x7fffffffffffLL || fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0)
        return -1;
    return std::fread(dst, 1, size, f) == size ? 0 : -1;
}

int Fail(AVIREADER *reader, const char *why)
{
    std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load Video File. %s", why);
    reader->frames.clear();
    reader->info = AVISTREAMINFO{};
    return -1;
}

struct PARSE
{
    AVIREADER *reader;
    int32_t streamCount;
    int32_t videoStream; // -1 until found
    bool haveFormat;
    uint64_t moviStart; // offset of the "movi" type word
    uint64_t moviEnd;
    uint64_t idx1Start;
    uint32_t idx1Size;
    bool haveIdx1;
};

bool Read(PARSE &p, uint64_t offset, void *dst, uint32_t size)
{
    return p.reader->read(p.reader->context, offset, dst, size) == 0;
}

// Stream header: type, handler, flags, priority, language, initial frames, scale, rate, start,
// length, buffer size, quality, sample size, then the frame rectangle as four 16-bit numbers.
bool ParseStreamHeader(PARSE &p, uint64_t at, uint32_t size, AVISTREAMINFO &info)
{
    uint8_t b[56] = {};
    if (size < 48 || !Read(p, at, b, std::min<uint32_t>(size, sizeof b)))
        return false;
    info = AVISTREAMINFO{};
    info.fccType = U32(b);
    info.fccHandler = U32(b + 4);
    info.dwFlags = U32(b + 8);
    info.wPriority = U16(b + 12);
    info.wLanguage = U16(b + 14);
    info.dwInitialFrames = U32(b + 16);
    info.dwScale = U32(b + 20);
    info.dwRate = U32(b + 24);
    info.dwStart = U32(b + 28);
    info.dwLength = U32(b + 32);
    info.dwSuggestedBufferSize = U32(b + 36);
    info.dwQuality = U32(b + 40);
    info.dwSampleSize = U32(b + 44);
    if (size >= 56) {
        for (int i = 0; i < 4; i++)
            info.rcFrame[i] = static_cast<int16_t>(U16(b + 48 + 2 * i));
    }
    return true;
}

// Picture format: a 40-byte bitmap header, then up to 256 colours (blue, green, red, 0).
bool ParseFormat(PARSE &p, uint64_t at, uint32_t size)
{
    AVIREADER *r = p.reader;
    uint8_t b[AVI_DIB_HEADER_SIZE];
    if (size < AVI_DIB_HEADER_SIZE || !Read(p, at, b, sizeof b))
        return false;
    const uint32_t headerSize = U32(b);
    const int32_t width = static_cast<int32_t>(U32(b + 4));
    const int32_t height = static_cast<int32_t>(U32(b + 8));
    r->bitCount = U16(b + 14);
    r->compression = U32(b + 16);
    uint32_t colours = U32(b + 32);
    if (headerSize < AVI_DIB_HEADER_SIZE || headerSize > size || width <= 0 || width > AVI_MAX_DIMENSION ||
        height == 0 || height < -AVI_MAX_DIMENSION || height > AVI_MAX_DIMENSION)
        return false;
    r->width = width;
    r->height = height < 0 ? -height : height;
    r->topDown = height < 0;
    r->paletteCount = 0;
    if (r->bitCount == 8) {
        if (colours == 0 || colours > 256)
            colours = 256;
        colours = std::min<uint32_t>(colours, (size - headerSize) / 4);
        uint8_t table[1024];
        if (colours > 0 && !Read(p, at + headerSize, table, colours * 4))
            return false;
        for (uint32_t i = 0; i < 256; i++) {
            const uint8_t *c = table + 4 * i;
            r->palette[i] = i < colours ? static_cast<uint32_t>(c[2]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[0]
                                        : i * 0x010101u;
        }
        r->paletteCount = static_cast<int32_t>(colours);
    }
    return true;
}

bool ParseStreamList(PARSE &p, uint64_t at, uint64_t end)
{
    AVISTREAMINFO info{};
    bool haveHeader = false;
    bool isVideo = false;
    const int32_t number = p.streamCount++;
    uint32_t chunks = 0;
    while (at + 8 <= end && chunks++ < kMaxChunks) {
        uint8_t h[8];
        if (!Read(p, at, h, 8))
            return false;
        const uint32_t id = U32(h), size = U32(h + 4);
        if (size > end - at - 8)
            return false;
        if (id == kStrh) {
            if (!ParseStreamHeader(p, at + 8, size, info))
                return false;
            haveHeader = true;
            isVideo = info.fccType == kVids && p.videoStream < 0;
        } else if (id == kStrf && isVideo) {
            if (!ParseFormat(p, at + 8, size))
                return false;
            p.haveFormat = true;
        } else if (id == kStrn && isVideo) {
            uint32_t n = std::min<uint32_t>(size, sizeof info.szName - 1);
            if (!Read(p, at + 8, info.szName, n))
                return false;
            info.szName[n] = 0;
        }
        at += 8 + static_cast<uint64_t>(size) + (size & 1);
    }
    if (haveHeader && isVideo && p.haveFormat) {
        p.videoStream = number;
        p.reader->info = info;
    }
    return true;
}

bool ParseHeaderList(PARSE &p, uint64_t at, uint64_t end)
{
    uint32_t chunks = 0;
    while (at + 8 <= end && chunks++ < kMaxChunks) {
        uint8_t h[12];
        if (!Read(p, at, h, 8))
            return false;
        const uint32_t id = U32(h), size = U32(h + 4);
        if (size > end - at - 8)
            return false;
        if (id == kList && size >= 4) {
            if (!Read(p, at + 8, h + 8, 4))
                return false;
            if (U32(h + 8) == kStrl && !ParseStreamList(p, at + 12, at + 8 + size))
                return false;
        }
        at += 8 + static_cast<uint64_t>(size) + (size & 1);
    }
    return true;
}

// "nndb" (uncompressed) or "nndc" (coded) for stream nn.
bool IsFrameChunk(uint32_t id, int32_t stream)
{
    const uint32_t number = AVI_FOURCC(static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), 0, 0);
    if ((id & 0xFFFF) != number)
        return false;
    const uint32_t kind = id >> 16;
    return kind == (AVI_FOURCC('d', 'b', 0, 0) & 0xFFFF) || kind == (AVI_FOURCC('d', 'c', 0, 0) & 0xFFFF);
}

bool AddFrame(PARSE &p, uint64_t offset, uint32_t size)
{
    if (p.reader->frames.size() >= AVI_MAX_FRAMES)
        return false;
    p.reader->frames.push_back({offset, size});
    return true;
}

bool ScanMovi(PARSE &p, uint64_t at, uint64_t end, int depth)
{
    uint32_t chunks = 0;
    while (at + 8 <= end && chunks++ < kMaxChunks) {
        uint8_t h[12];
        if (!Read(p, at, h, 8))
            return false;
        const uint32_t id = U32(h), size = U32(h + 4);
        if (size > end - at - 8)
            return false;
        if (id == kList && size >= 4 && depth < kMaxDepth) {
            if (!Read(p, at + 8, h + 8, 4))
                return false;
            if (U32(h + 8) == kRec && !ScanMovi(p, at + 12, at + 8 + size, depth + 1))
                return false;
        } else if (IsFrameChunk(id, p.videoStream) && !AddFrame(p, at + 8, size)) {
            return false;
        }
        at += 8 + static_cast<uint64_t>(size) + (size & 1);
    }
    return true;
}

// The index gives offsets from the "movi" type word, or (some writers) from the file's start.
// Which one is told by the first frame entry: its chunk header must be found where it points.
bool ReadIndex(PARSE &p)
{
    const uint32_t count = p.idx1Size / 16;
    std::vector<uint8_t> entries;
    const uint32_t kBatch = 4096;
    bool baseKnown = false;
    uint64_t base = 0;
    for (uint32_t first = 0; first < count; first += kBatch) {
        const uint32_t n = std::min(kBatch, count - first);
        entries.resize(static_cast<size_t>(n) * 16);
        if (!Read(p, p.idx1Start + static_cast<uint64_t>(first) * 16, entries.data(), n * 16))
            return false;
        for (uint32_t i = 0; i < n; i++) {
            const uint8_t *e = entries.data() + 16 * i;
            const uint32_t id = U32(e), offset = U32(e + 8), size = U32(e + 12);
            if (!IsFrameChunk(id, p.videoStream))
                continue;
            if (!baseKnown) {
                for (uint64_t candidate : {p.moviStart, uint64_t{0}}) {
                    uint8_t h[8];
                    if (Read(p, candidate + offset, h, 8) && U32(h) == id && U32(h + 4) == size) {
                        base = candidate;
                        baseKnown = true;
                        break;
                    }
                }
                if (!baseKnown)
                    return false;
            }
            const uint64_t data = base + offset + 8;
            if (data < p.moviStart + 4 || data > p.moviEnd || size > p.moviEnd - data || !AddFrame(p, data, size))
                return false;
        }
    }
    return true;
}

bool SupportedCoding(const AVIREADER *r)
{
    if (r->compression == AVI_BI_RGB)
        return r->bitCount == 8 || r->bitCount == 16 || r->bitCount == 24 || r->bitCount == 32;
    if (r->compression == AVI_BI_RLE8)
        return r->bitCount == 8 && !r->topDown;
    return false;
}

uint32_t StoredStride(const AVIREADER *r)
{
    return ((static_cast<uint32_t>(r->width) * static_cast<uint32_t>(r->bitCount) + 31) / 32) * 4;
}

// One stored row of an uncompressed frame to blue, green, red bytes.
void ConvertRow(const AVIREADER *r, const uint8_t *src, uint8_t *dst)
{
    for (int32_t x = 0; x < r->width; x++, dst += 3) {
        uint32_t rgb;
        switch (r->bitCount) {
        case 8:
            rgb = r->palette[src[x]];
            break;
        case 16: {
            const uint32_t v = U16(src + 2 * x);
            const uint32_t r5 = (v >> 10) & 31, g5 = (v >> 5) & 31, b5 = v & 31;
            rgb = ((r5 << 3 | r5 >> 2) << 16) | ((g5 << 3 | g5 >> 2) << 8) | (b5 << 3 | b5 >> 2);
            break;
        }
        case 24:
            rgb = static_cast<uint32_t>(src[3 * x + 2]) << 16 | static_cast<uint32_t>(src[3 * x + 1]) << 8 | src[3 * x];
            break;
        default:
            rgb = static_cast<uint32_t>(src[4 * x + 2]) << 16 | static_cast<uint32_t>(src[4 * x + 1]) << 8 | src[4 * x];
            break;
        }
        dst[0] = static_cast<uint8_t>(rgb);
        dst[1] = static_cast<uint8_t>(rgb >> 8);
        dst[2] = static_cast<uint8_t>(rgb >> 16);
    }
}

// Run-length coded rows (bottom row first) drawn over the indices of the frame before.
bool DecodeRle8(const uint8_t *src, uint32_t size, int32_t width, int32_t height, uint8_t *indices)
{
    int32_t x = 0, y = 0;
    uint32_t i = 0;
    while (i + 1 < size) {
        const uint8_t count = src[i], value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (int32_t k = 0; k < count && y < height; k++, x++) {
                if (x < width)
                    indices[static_cast<size_t>(y) * width + x] = value;
            }
        } else if (value == 0) {
            x = 0;
            y++;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (i + 1 >= size)
                return false;
            x += src[i];
            y += src[i + 1];
            i += 2;
        } else {
            if (value > size - i)
                return false;
            for (int32_t k = 0; k < value && y < height; k++, x++) {
                if (x < width)
                    indices[static_cast<size_t>(y) * width + x] = src[i + k];
            }
            i += value + (value & 1u);
        }
        if (y >= height)
            return true;
    }
    return true;
}

void WriteDibHeader(AVIREADER *r)
{
    uint8_t *h = r->decoded.data();
    std::memset(h, 0, AVI_DIB_HEADER_SIZE);
    Put32(h, AVI_DIB_HEADER_SIZE);
    Put32(h + 4, static_cast<uint32_t>(r->width));
    Put32(h + 8, static_cast<uint32_t>(r->height));
    h[12] = 1;
    h[14] = 24;
    Put32(h + 20, static_cast<uint32_t>(Gfx_AviDecodedStride(r)) * static_cast<uint32_t>(r->height));
}

// Reads frame n's stored bytes into r->chunk; a frame stored empty repeats the nearest earlier
// stored one.
bool ReadChunk(AVIREADER *r, int32_t n)
{
    while (n > 0 && r->frames[static_cast<size_t>(n)].size == 0)
        n--;
    const AVIFRAMEREF &ref = r->frames[static_cast<size_t>(n)];
    r->chunk.resize(ref.size);
    return ref.size == 0 || r->read(r->context, ref.offset, r->chunk.data(), ref.size) == 0;
}

} // namespace

int32_t Gfx_AviDecodedStride(const AVIREADER *reader)
{
    return (reader->width * 3 + 3) & ~3;
}

int32_t Gfx_AviOpenReader(AVIREADER *reader, AVIREADFN read, void *context, uint64_t fileSize)
{
    if (!reader || !read)
        return -1;
    Gfx_AviCloseReader(reader);
    reader->read = read;
    reader->context = context;
    reader->fileSize = fileSize;
    PARSE p{};
    p.reader = reader;
    p.videoStream = -1;
    uint8_t h[12];
    if (fileSize < 12 || !Read(p, 0, h, 12) || U32(h) != kRiff || U32(h + 8) != kAvi)
        return Fail(reader, "Not a video file.");
    const uint64_t end = std::min<uint64_t>(fileSize, 8 + static_cast<uint64_t>(U32(h + 4)));
    uint64_t at = 12;
    uint32_t chunks = 0;
    bool haveMovi = false;
    while (at + 8 <= end && chunks++ < kMaxChunks) {
        if (!Read(p, at, h, 8))
            return Fail(reader, "The file is cut short.");
        const uint32_t id = U32(h), size = U32(h + 4);
        if (size > end - at - 8)
            return Fail(reader, "The file is cut short.");
        if (id == kList && size >= 4) {
            if (!Read(p, at + 8, h + 8, 4))
                return Fail(reader, "The file is cut short.");
            const uint32_t type = U32(h + 8);
            if (type == kHdrl && !ParseHeaderList(p, at + 12, at + 8 + size))
                return Fail(reader, "Its stream headers are broken.");
            if (type == kMovi && !haveMovi) {
                haveMovi = true;
                p.moviStart = at + 8;
                p.moviEnd = at + 8 + size;
            }
        } else if (id == kIdx1 && !p.haveIdx1) {
            p.haveIdx1 = true;
            p.idx1Start = at + 8;
            p.idx1Size = size;
        }
        at += 8 + static_cast<uint64_t>(size) + (size & 1);
    }
    if (p.videoStream < 0)
        return Fail(reader, "It holds no video stream.");
    if (p.videoStream > 99)
        return Fail(reader, "Too many streams.");
    // The picture format decides the coding; writers fill the handler code in many ways.
    if (!SupportedCoding(reader))
        return Fail(reader, "Its pictures are coded in a way this studio cannot read.");
    if (reader->info.dwScale == 0 || reader->info.dwRate == 0)
        return Fail(reader, "It has no frame rate.");
    if (!haveMovi)
        return Fail(reader, "It holds no frames.");
    bool indexed = p.haveIdx1 && ReadIndex(p) && !reader->frames.empty();
    if (!indexed) {
        reader->frames.clear();
        if (!ScanMovi(p, p.moviStart + 4, p.moviEnd, 0))
            return Fail(reader, "Its frame list is broken.");
    }
    if (reader->frames.empty())
        return Fail(reader, "It holds no frames.");
    // Only as many frames as the header announces and the file holds.
    if (reader->info.dwLength > 0 && reader->info.dwLength < reader->frames.size())
        reader->frames.resize(reader->info.dwLength);
    reader->info.dwLength = static_cast<uint32_t>(reader->frames.size());
    reader->info.rcFrame[0] = 0;
    reader->info.rcFrame[1] = 0;
    reader->info.rcFrame[2] = reader->width;
    reader->info.rcFrame[3] = reader->height;
    reader->decodedFrame = -1;
    return 0;
}

int32_t Gfx_AviOpenMemory(AVIREADER *reader, const uint8_t *data, size_t size)
{
    if (!reader)
        return -1;
    Gfx_AviCloseReader(reader);
    reader->memData = data;
    reader->memSize = data ? size : 0;
    return Gfx_AviOpenReader(reader, ReadMemory, reader, reader->memSize);
}

int32_t Gfx_AviOpenFile(AVIREADER *reader, FILE *file)
{
    if (!reader || !file || fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t size = ftello(file);
    if (size < 0)
        return -1;
    return Gfx_AviOpenReader(reader, ReadFileAt, file, static_cast<uint64_t>(size));
}

void Gfx_AviCloseReader(AVIREADER *reader)
{
    if (!reader)
        return;
    reader->info = AVISTREAMINFO{};
    reader->frames.clear();
    reader->frames.shrink_to_fit();
    reader->decoded.clear();
    reader->decoded.shrink_to_fit();
    reader->chunk.clear();
    reader->chunk.shrink_to_fit();
    reader->indices.clear();
    reader->indices.shrink_to_fit();
    reader->read = nullptr;
    reader->context = nullptr;
    reader->decodedFrame = -1;
    reader->width = reader->height = 0;
}

const uint8_t *Gfx_AviDecodeFrame(AVIREADER *reader, int32_t frame)
{
    if (!reader || !reader->read || frame < 0 || static_cast<size_t>(frame) >= reader->frames.size())
        return nullptr;
    if (frame == reader->decodedFrame)
        return reader->decoded.data();
    const int32_t w = reader->width, h = reader->height;
    const int32_t outStride = Gfx_AviDecodedStride(reader);
    // Made at the first decode, so opening a large hostile file costs nothing.
    if (reader->decoded.empty()) {
        reader->decoded.assign(AVI_DIB_HEADER_SIZE + static_cast<size_t>(outStride) * h, 0);
        WriteDibHeader(reader);
    }
    uint8_t *out = reader->decoded.data() + AVI_DIB_HEADER_SIZE;

    if (reader->compression == AVI_BI_RLE8) {
        // Each frame draws over the one before: decode forward from the last decoded frame, or
        // from the start after a jump back.
        std::vector<uint8_t> &s_indices = reader->indices;
        int32_t from = reader->decodedFrame >= 0 && reader->decodedFrame < frame ? reader->decodedFrame + 1 : 0;
        if (from == 0 || s_indices.size() != static_cast<size_t>(w) * h)
            s_indices.assign(static_cast<size_t>(w) * h, 0), from = 0;
        for (int32_t n = from; n <= frame; n++) {
            const AVIFRAMEREF &ref = reader->frames[static_cast<size_t>(n)];
            if (ref.size == 0)
                continue;
            reader->chunk.resize(ref.size);
            if (reader->read(reader->context, ref.offset, reader->chunk.data(), ref.size) != 0 ||
                !DecodeRle8(reader->chunk.data(), ref.size, w, h, s_indices.data())) {
                reader->decodedFrame = -1;
                return nullptr;
            }
        }
        for (int32_t y = 0; y < h; y++) {
            uint8_t *dst = out + static_cast<size_t>(y) * outStride;
            for (int32_t x = 0; x < w; x++) {
                const uint32_t rgb = reader->palette[s_indices[static_cast<size_t>(y) * w + x]];
                dst[3 * x] = static_cast<uint8_t>(rgb);
                dst[3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
                dst[3 * x + 2] = static_cast<uint8_t>(rgb >> 16);
            }
        }
        reader->decodedFrame = frame;
        return reader->decoded.data();
    }

    if (!ReadChunk(reader, frame)) {
        reader->decodedFrame = -1;
        return nullptr;
    }
    const uint32_t inStride = StoredStride(reader);
    // A frame shorter than its picture is broken (some writers leave off the last row's padding).
    const uint64_t need = static_cast<uint64_t>(inStride) * (h - 1) + (static_cast<uint64_t>(w) * reader->bitCount + 7) / 8;
    if (reader->chunk.size() < need) {
        reader->decodedFrame = -1;
        return nullptr;
    }
    for (int32_t y = 0; y < h; y++) {
        // Output rows run bottom row first, like the stored rows of a bottom-up frame.
        const int32_t storedRow = reader->topDown ? h - 1 - y : y;
        ConvertRow(reader, reader->chunk.data() + static_cast<size_t>(storedRow) * inStride,
                   out + static_cast<size_t>(y) * outStride);
    }
    reader->decodedFrame = frame;
    return reader->decoded.data();
}
