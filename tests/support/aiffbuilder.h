// Builds small AIFF images for tests, chunk by chunk.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace aiff {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes &b, uint32_t v)
{
    b.push_back((uint8_t)(v >> 8));
    b.push_back((uint8_t)v);
}

inline void Put32(Bytes &b, uint32_t v)
{
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
}

// The 80-bit extended form of a positive rate: exponent word, then a 64-bit mantissa with its
// top bit set.
inline Bytes Extended(double rate)
{
    int e = 0;
    double m = std::frexp(rate, &e); // rate = m x 2^e, 0.5 <= m < 1
    uint32_t exponent = (uint32_t)(16383 + e - 1);
    uint64_t mantissa = (uint64_t)std::ldexp(m, 64);
    uint8_t b[10] = {(uint8_t)(exponent >> 8), (uint8_t)exponent};
    for (int i = 0; i < 8; i++)
        b[2 + i] = (uint8_t)(mantissa >> (56 - 8 * i));
    return Bytes(b, b + 10);
}

inline Bytes Chunk(const char *id, const Bytes &body)
{
    Bytes b(id, id + 4);
    Put32(b, (uint32_t)body.size());
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1)
        b.push_back(0);
    return b;
}

inline Bytes Comm(uint16_t channels, uint32_t frames, uint16_t bits, double rate)
{
    Bytes b;
    Put16(b, channels);
    Put32(b, frames);
    Put16(b, bits);
    Bytes r = Extended(rate);
    b.insert(b.end(), r.begin(), r.end());
    return Chunk("COMM", b);
}

// Samples as stored: big-endian, (bits + 7) / 8 bytes each, channels interleaved.
inline Bytes Ssnd(const Bytes &samples, uint32_t offset = 0)
{
    Bytes b;
    Put32(b, offset);
    Put32(b, 0);
    b.insert(b.end(), offset, 0xEE);
    b.insert(b.end(), samples.begin(), samples.end());
    return Chunk("SSND", b);
}

struct Marker
{
    uint16_t id;
    uint32_t position;
    std::string name;
};

inline Bytes Mark(const std::vector<Marker> &markers)
{
    Bytes b;
    Put16(b, (uint32_t)markers.size());
    for (const Marker &m : markers) {
        Put16(b, m.id);
        Put32(b, m.position);
        b.push_back((uint8_t)m.name.size());
        b.insert(b.end(), m.name.begin(), m.name.end());
        if (!(m.name.size() & 1))
            b.push_back(0); // count byte + name padded to even
    }
    return Chunk("MARK", b);
}

inline Bytes Form(const std::vector<Bytes> &chunks, const char *type = "AIFF")
{
    Bytes body(type, type + 4);
    for (const Bytes &c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b{'F', 'O', 'R', 'M'};
    Put32(b, (uint32_t)body.size());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline Bytes Words16(const std::vector<int16_t> &samples)
{
    Bytes b;
    for (int16_t s : samples)
        Put16(b, (uint16_t)s);
    return b;
}

} // namespace aiff
