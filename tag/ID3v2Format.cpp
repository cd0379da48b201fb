#include "tag/ID3v2Format.h"

#include <algorithm>
#include <cstring>

namespace id3 {

uint32_t BigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint32_t Synchsafe32(const unsigned char* p)
{
    return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) | (uint32_t(p[2] & 0x7F) << 7) |
           (p[3] & 0x7F);
}

bool IsSynchsafe(const unsigned char* p)
{
    return !((p[0] | p[1] | p[2] | p[3]) & 0x80);
}

void PutBigEndian32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

void PutSynchsafe32(unsigned char* p, uint32_t v)
{
    p[0] = (v >> 21) & 0x7F;
    p[1] = (v >> 14) & 0x7F;
    p[2] = (v >> 7) & 0x7F;
    p[3] = v & 0x7F;
}

std::string Resynchronised(const unsigned char* data, size_t size)
{
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(char(data[i]));
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0)
            ++i;
    }
    return out;
}

std::string Unsynchronised(const std::string& data)
{
    std::string out;
    out.reserve(data.size() + data.size() / 64);
    for (size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        out.push_back(char(c));
        if (c != 0xFF)
            continue;
        const bool bLast = i + 1 == data.size();
        const unsigned char next = bLast ? 0 : static_cast<unsigned char>(data[i + 1]);
        if (bLast || next >= 0xE0 || next == 0)
            out.push_back('\0');
    }
    return out;
}

bool ReadAt(HANDLE hFile, uint64_t offset, void* buffer, DWORD size)
{
    OVERLAPPED at = {};
    at.Offset = DWORD(offset & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD nRead = 0;
    return ::ReadFile(hFile, buffer, size, &nRead, &at) && nRead == size;
}

bool IsFrameId(const unsigned char* id, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9')))
            return false;
    return true;
}

void AppendFrame(std::string& out, int version, const char* id, const std::string& data, unsigned char formatFlags)
{
    const uint32_t n = uint32_t(data.size());
    if (version == 2) {
        out.append(id, 3);
        out.push_back(char(n >> 16));
        out.push_back(char(n >> 8));
        out.push_back(char(n));
    } else {
        unsigned char header[HEADER_SIZE] = {};
        std::memcpy(header, id, 4);
        if (version == 4)
            PutSynchsafe32(header + 4, n);
        else
            PutBigEndian32(header + 4, n);
        header[9] = formatFlags;
        out.append(reinterpret_cast<const char*>(header), HEADER_SIZE);
    }
    out += data;
}

bool CMemoryBody::Read(uint64_t pos, size_t n, unsigned char* out)
{
    if (pos > m_size || n > m_size - pos)
        return false;
    std::memcpy(out, m_data + pos, n);
    return true;
}

bool CFileBody::Read(uint64_t pos, size_t n, unsigned char* out)
{
    if (pos > m_size || n > m_size - pos)
        return false;
    if (pos < m_windowAt || pos + n > m_windowAt + m_window.size()) {
        const size_t len = size_t(std::min<uint64_t>(std::max(n, m_windowBytes), m_size - pos));
        m_window.resize(len);
        m_windowAt = pos;
        if (!ReadAt(m_hFile, m_offset + pos, m_window.data(), DWORD(len))) {
            m_window.clear();
            return false;
        }
    }
    std::memcpy(out, m_window.data() + (pos - m_windowAt), n);
    return true;
}

std::string CFrameSpan::Id(int version) const
{
    const size_t n = version == 2 || bShortId ? 3 : 4;
    return std::string(reinterpret_cast<const char*>(header), n);
}

bool CFrameWalk::Start()
{
    const uint64_t end = m_body.Size();
    m_pos = 0;
    if ((m_tagFlags & TAG_EXTENDED) && m_version >= 3) {
        unsigned char size[4];
        if (!m_body.Read(0, 4, size))
            return false;
        uint64_t extended;
        if (m_version == 3) {
            extended = 4 + uint64_t(BigEndian32(size));   // the size counts what follows it
        } else {
            if (!IsSynchsafe(size))
                return false;
            extended = Synchsafe32(size);   // the size counts itself
            if (extended < 6)
                return false;
        }
        if (extended > end)
            return false;
        m_pos = extended;
    }
    m_first = m_pos;
    return true;
}

bool CFrameWalk::LandsOnFrame(uint64_t next)
{
    const uint64_t end = m_body.Size();
    if (next == end)
        return true;
    unsigned char id[4];
    return next < end && end - next >= 4 && m_body.Read(next, 4, id) && (id[0] == 0 || IsFrameId(id, 4));
}

uint64_t CFrameWalk::V24FrameSize(const CFrameSpan& span, bool& bPlain)
{
    const unsigned char* p = span.header + 4;
    const uint64_t plain = BigEndian32(p);
    bPlain = !IsSynchsafe(p);
    if (bPlain)
        return plain;
    const uint64_t safe = Synchsafe32(p);
    if (safe <= 127)
        return safe;
    const uint64_t at = span.nBegin + HEADER_SIZE;
    bPlain = !LandsOnFrame(at + safe) && LandsOnFrame(at + plain);
    return bPlain ? plain : safe;
}

bool CFrameWalk::Next(CFrameSpan& span)
{
    const uint64_t end = m_body.Size();
    const size_t headerSize = m_version == 2 ? size_t(6) : size_t(HEADER_SIZE);
    while (!m_bEnded && m_nWalked < m_nFrameLimit && end - m_pos >= headerSize) {
        ++m_nWalked;
        span = CFrameSpan();
        span.nBegin = m_pos;
        span.nHeaderSize = headerSize;
        if (!m_body.Read(m_pos, headerSize, span.header) || span.header[0] == 0)
            break;   // padding
        span.bShortId = m_version == 3 && span.header[3] == 0 && IsFrameId(span.header, 3);
        if (m_version == 2)
            span.nDataSize = (uint64_t(span.header[3]) << 16) | (uint64_t(span.header[4]) << 8) | span.header[5];
        else if (m_version == 3)
            span.nDataSize = BigEndian32(span.header + 4);
        else
            span.nDataSize = V24FrameSize(span, span.bPlainSize);
        if (span.nDataSize > end - m_pos - headerSize)
            break;   // larger than the tag: nothing after it can be trusted
        m_pos = span.End();
        if (span.nDataSize == 0)
            continue;
        return true;
    }
    m_bEnded = true;
    return false;
}

bool CFrameWalk::Data(const CFrameSpan& span, std::string& data)
{
    data.assign(size_t(span.nDataSize), '\0');
    if (!data.empty() && !m_body.Read(span.nBegin + span.nHeaderSize, data.size(), reinterpret_cast<unsigned char*>(&data[0])))
        return false;
    const unsigned char flags = span.FormatFlags();
    if (m_version == 3) {
        if (flags & (V23_COMPRESSED | V23_ENCRYPTED))
            return false;
        if (flags & V23_GROUPED) {
            if (data.empty())
                return false;
            data.erase(0, 1);
        }
    } else if (m_version == 4) {
        if (flags & (V24_COMPRESSED | V24_ENCRYPTED))
            return false;
        if ((m_tagFlags & TAG_UNSYNC) || (flags & V24_UNSYNC))
            data = Resynchronised(reinterpret_cast<const unsigned char*>(data.data()), data.size());
        const size_t skip = ((flags & V24_GROUPED) ? 1 : 0) + ((flags & V24_DATA_LENGTH) ? 4 : 0);
        if (data.size() < skip)
            return false;
        data.erase(0, skip);
    }
    return true;
}

} // namespace id3
