#pragma once
// The frames of an ID3v2 tag as a reader apart from the code under test
// lists them, to compare a tag before and after a save.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace saved_frames {

using testing_support::Bytes;

struct Frame
{
    std::string id;     // as stored: three letters for v2.2 and a v2.2 frame in v2.3
    // The id, with ":" after it for a comment without a description (the
    // one the list shows).
    std::string key;
    Bytes stored;       // header and data, as on the disk (v2.2, v2.3: after the tag's unsynchronisation)
    Bytes data;         // the data made plain
    bool operator==(const Frame& o) const { return key == o.key && stored == o.stored && data == o.data; }
};

inline uint32_t Synchsafe(const unsigned char* p)
{
    return (uint32_t(p[0]) << 21) | (uint32_t(p[1]) << 14) | (uint32_t(p[2]) << 7) | p[3];
}

inline uint32_t Plain(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline Bytes Resync(const Bytes& b)
{
    Bytes out;
    for (size_t i = 0; i < b.size(); ++i) {
        out.push_back(b[i]);
        if (b[i] == 0xFF && i + 1 < b.size() && b[i + 1] == 0)
            ++i;
    }
    return out;
}

// A frame's id, with ":" after it for a comment without a description (the
// one the list shows).
inline std::string KeyOf(const std::string& id, const Bytes& data)
{
    if ((id != "COMM" && id != "COM") || data.size() < 5)
        return id;
    const unsigned char* d = &data[4];
    const size_t left = data.size() - 4;
    const bool wide = data[0] == 1 || data[0] == 2;
    const bool bom = wide && left >= 2 && ((d[0] == 0xFF && d[1] == 0xFE) || (d[0] == 0xFE && d[1] == 0xFF));
    const size_t at0 = bom ? 2 : 0;
    const bool empty = wide ? left >= at0 + 2 && d[at0] == 0 && d[at0 + 1] == 0 : d[0] == 0;
    return empty ? id + ":" : id;
}

// The tag's whole size (header, body, footer) at offset at; 0 for none.
inline size_t TagSize(const Bytes& file, size_t at)
{
    if (file.size() < at + 10 || file[at] != 'I' || file[at + 1] != 'D' || file[at + 2] != '3')
        return 0;
    const bool footer = file[at + 3] == 4 && (file[at + 5] & 0x10);
    return 10 + Synchsafe(&file[at + 6]) + (footer ? 10 : 0);
}

// The frames of the tag at offset at; plainSizes reads v2.4 sizes as plain
// numbers, as some writers made them.
inline std::vector<Frame> List(const Bytes& file, size_t at, bool plainSizes = false)
{
    std::vector<Frame> frames;
    if (!TagSize(file, at))
        return frames;
    const int version = file[at + 3];
    const unsigned char flags = file[at + 5];
    const size_t size = Synchsafe(&file[at + 6]);
    Bytes body(file.begin() + at + 10, file.begin() + at + 10 + size);
    if (version < 4 && (flags & 0x80))
        body = Resync(body);
    size_t pos = 0;
    if (flags & 0x40)   // an extended header (v2.3's size leaves itself out)
        pos = version == 3 ? 4 + Plain(&body[0]) : Synchsafe(&body[0]);
    const size_t headSize = version == 2 ? 6 : 10;
    while (pos + headSize <= body.size() && body[pos]) {
        const unsigned char* h = &body[pos];
        size_t n;
        if (version == 2)
            n = (size_t(h[3]) << 16) | (size_t(h[4]) << 8) | h[5];
        else if (version == 3 || plainSizes)
            n = Plain(h + 4);
        else
            n = Synchsafe(h + 4);
        if (n > body.size() - pos - headSize)
            break;
        Frame f;
        const bool shortId = version == 2 || (version == 3 && h[3] == 0);
        f.id = std::string(reinterpret_cast<const char*>(h), shortId ? 3 : 4);
        f.stored = Bytes(h, h + headSize + n);
        f.data = Bytes(h + headSize, h + headSize + n);
        if (version == 4) {
            if ((flags & 0x80) || (h[9] & 0x02))
                f.data = Resync(f.data);
            const size_t skip = ((h[9] & 0x40) ? 1 : 0) + ((h[9] & 0x01) ? 4 : 0);
            f.data.erase(f.data.begin(), f.data.begin() + std::min(skip, f.data.size()));
        } else if (version == 3 && (h[9] & 0x20) && !f.data.empty()) {
            f.data.erase(f.data.begin());
        }
        f.key = KeyOf(f.id, f.data);
        if (n > 0)
            frames.push_back(f);
        pos += headSize + n;
    }
    return frames;
}

// The frames but those whose key is among keys.
inline std::vector<Frame> Without(const std::vector<Frame>& frames, const std::vector<std::string>& keys)
{
    std::vector<Frame> out;
    for (const Frame& f : frames) {
        bool gone = false;
        for (const std::string& k : keys)
            gone = gone || f.key == k;
        if (!gone)
            out.push_back(f);
    }
    return out;
}

// Each frame's id and plain data, for tags whose stored form may differ.
inline std::vector<std::pair<std::string, Bytes>> Data(const std::vector<Frame>& frames)
{
    std::vector<std::pair<std::string, Bytes>> out;
    for (const Frame& f : frames)
        out.emplace_back(f.id, f.data);
    return out;
}

} // namespace saved_frames
