#pragma once
// The ID3v2 format's bytes, for this folder alone: the numbers, the
// (un)synchronisation, and the one walk of a tag's frames that the reader
// and the save both go by, so that they can never disagree about where a
// frame ends.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace id3 {

constexpr size_t HEADER_SIZE = 10, RECORD_SIZE = 128;

// Header flags (byte 5 of the header).
enum : unsigned char { TAG_UNSYNC = 0x80, TAG_EXTENDED = 0x40, TAG_EXPERIMENTAL = 0x20, TAG_FOOTER = 0x10 };

// Frame format flags (the second flag byte of a v2.3 or v2.4 frame).
enum : unsigned char {
    V23_COMPRESSED = 0x80,
    V23_ENCRYPTED = 0x40,
    V23_GROUPED = 0x20,
    V24_GROUPED = 0x40,
    V24_COMPRESSED = 0x08,
    V24_ENCRYPTED = 0x04,
    V24_UNSYNC = 0x02,
    V24_DATA_LENGTH = 0x01,
};

uint32_t BigEndian32(const unsigned char* p);
uint32_t Synchsafe32(const unsigned char* p);
bool IsSynchsafe(const unsigned char* p);
void PutBigEndian32(unsigned char* p, uint32_t v);
void PutSynchsafe32(unsigned char* p, uint32_t v);

// Drops the zero unsynchronisation puts after every 0xFF.
std::string Resynchronised(const unsigned char* data, size_t size);
// A zero after every 0xFF that a sync (0xFF followed by 0xE0 or more) or a
// zero could follow, and after a last 0xFF: what a reader resynchronises
// back to data.
std::string Unsynchronised(const std::string& data);

// Reads size bytes at offset; the handle's own position is left alone.
bool ReadAt(HANDLE hFile, uint64_t offset, void* buffer, DWORD size);

// Four (v2.3, v2.4) or three (v2.2) capitals or digits.
bool IsFrameId(const unsigned char* id, size_t n);

// A frame of that version: its id, its size (v2.2 24 bits, v2.3 plain, v2.4
// synchsafe), in v2.3 and v2.4 two flag bytes, then its data.
void AppendFrame(std::string& out, int version, const char* id, const std::string& data, unsigned char formatFlags = 0);

// A tag's body (what follows its header: the extended header, the frames
// and padding), read at offsets within it.
class CTagBody
{
public:
    virtual ~CTagBody() = default;
    virtual uint64_t Size() const = 0;
    virtual bool Read(uint64_t pos, size_t n, unsigned char* out) = 0;
};

class CMemoryBody : public CTagBody
{
public:
    CMemoryBody(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t pos, size_t n, unsigned char* out) override;

private:
    const unsigned char* m_data;
    size_t m_size;
};

// A body on the disk, read through a window of windowBytes, so that a frame
// header costs a request only where the window does not hold it.
class CFileBody : public CTagBody
{
public:
    CFileBody(HANDLE hFile, uint64_t offset, uint64_t size, size_t windowBytes)
        : m_hFile(hFile), m_offset(offset), m_size(size), m_windowBytes(windowBytes)
    {
    }
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t pos, size_t n, unsigned char* out) override;
    // The body's first n bytes, read already.
    void Seed(const unsigned char* data, size_t n)
    {
        m_window.assign(data, data + size_t(std::min<uint64_t>(n, m_size)));
        m_windowAt = 0;
    }

private:
    HANDLE m_hFile;
    uint64_t m_offset, m_size;
    size_t m_windowBytes;
    std::vector<unsigned char> m_window;
    uint64_t m_windowAt = 0;
};

// One frame of a tag: where its header lies in the body, how long the
// header and the data are, and its id as stored.
struct CFrameSpan
{
    uint64_t nBegin = 0;
    size_t nHeaderSize = 0;
    uint64_t nDataSize = 0;
    unsigned char header[HEADER_SIZE] = {};
    // A v2.2 frame (a three-letter id and a zero) in a v2.3 tag, as some
    // versions of a well-known player wrote them.
    bool bShortId = false;
    // A v2.4 frame whose size is a plain number, as some writers made it.
    bool bPlainSize = false;

    uint64_t End() const { return nBegin + nHeaderSize + nDataSize; }
    // The id as the frame's version names it: three letters for v2.2 and
    // for a short id, else four.
    std::string Id(int version) const;
    unsigned char FormatFlags() const { return nHeaderSize == HEADER_SIZE ? header[9] : 0; }
};

// The walk of a tag's frames, in the body as readers see it: for v2.2 and
// v2.3 tags unsynchronised as a whole, the body resynchronised first.
//
// - An extended header is passed over (one that does not fit makes the tag
//   broken).
// - A v2.4 frame's size is synchsafe, or plain where only the plain reading
//   lands on the next frame, the end of the tag or padding.
// - A frame of size 0 is passed over; so is a frame of an id no version
//   defines, by its size.
// - The frames end at padding (a zero where an id would start), at a size
//   reaching past the tag, or after a bounded number of frames.
class CFrameWalk
{
public:
    CFrameWalk(int version, unsigned char tagFlags, CTagBody& body, int nFrameLimit = 10000)
        : m_version(version), m_tagFlags(tagFlags), m_body(body), m_nFrameLimit(nFrameLimit)
    {
    }

    // Passes over the extended header; false when the tag is broken.
    bool Start();
    // The next frame; false when the frames have ended.
    bool Next(CFrameSpan& span);
    // Where the frames ended: padding or bytes no frame holds from here on.
    uint64_t End() const { return m_pos; }
    // Where the first frame starts.
    uint64_t FirstFrame() const { return m_first; }
    // The frames ended at the bound on their number, not at the tag's end.
    bool ReachedLimit() const { return m_nWalked >= m_nFrameLimit; }

    // A frame's data as stored, made plain: the frame's own unsynchronisation
    // undone (and a whole v2.4 tag's), a grouping byte and a data length
    // taken off. False where compression or encryption hide it.
    bool Data(const CFrameSpan& span, std::string& data);

private:
    uint64_t V24FrameSize(const CFrameSpan& span, bool& bPlain);
    bool LandsOnFrame(uint64_t next);

    const int m_version;
    const unsigned char m_tagFlags;
    CTagBody& m_body;
    const int m_nFrameLimit;
    int m_nWalked = 0;
    uint64_t m_pos = 0;
    uint64_t m_first = 0;
    bool m_bEnded = false;
};

} // namespace id3
