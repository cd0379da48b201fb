#include "tag/MP3Info.h"

#include <windows.h>

#include <cstring>

#include "afx/Handle.h"
#include "afx/WidePath.h"
#include "tag/Genre.h"

namespace {

// Record layout, walked in the same order by reading and writing.
enum : int {
    TAG_SIZE = 128,
    OFS_MAGIC = 0, LEN_MAGIC = 3,
    OFS_TITLE = 3, LEN_TITLE = 30,
    OFS_ARTIST = 33, LEN_ARTIST = 30,
    OFS_ALBUM = 63, LEN_ALBUM = 30,
    OFS_YEAR = 93, LEN_YEAR = 4,
    OFS_COMMENT = 97, LEN_COMMENT = 30,
    // ID3v1.1: a zero at 125 turns the comment's last two bytes into a zero
    // marker and a track number.
    LEN_COMMENT_WITH_TRACK = 28,
    OFS_TRACK_MARKER = 125,
    OFS_TRACK = 126,
    OFS_GENRE = 127,
};

std::string FieldText(const unsigned char* record, int offset, int size)
{
    const char* p = reinterpret_cast<const char*>(record + offset);
    const void* zero = std::memchr(p, 0, size);
    return std::string(p, zero ? static_cast<const char*>(zero) - p : size);
}

void PutField(unsigned char* record, int offset, int size, const std::string& text)
{
    std::memcpy(record + offset, text.data(), text.size() < size_t(size) ? text.size() : size_t(size));
}

// Leaves the file pointer just after the last 128 bytes and returns true when
// they were read whole and begin with "TAG".
bool ReadLastRecord(HANDLE hFile, unsigned char* record, bool& bFoundTag, uint64_t* pFileSize = nullptr)
{
    bFoundTag = false;
    LARGE_INTEGER back, at;
    back.QuadPart = -TAG_SIZE;
    if (!::SetFilePointerEx(hFile, back, &at, FILE_END))
        return false;
    // The move had to learn the file's size; whoever reads on need not ask again.
    if (pFileSize)
        *pFileSize = uint64_t(at.QuadPart) + TAG_SIZE;
    DWORD nRead = 0;
    if (!::ReadFile(hFile, record, TAG_SIZE, &nRead, nullptr) || nRead != TAG_SIZE)
        return false;
    bFoundTag = std::memcmp(record + OFS_MAGIC, "TAG", LEN_MAGIC) == 0;
    return true;
}

} // namespace

CMP3Info::CMP3Info(const std::string& strPath)
{
    Reset();
    if (!strPath.empty())
        ReadTag(strPath);
}

void CMP3Info::Reset()
{
    m_strPath.clear();
    m_wstrPath.clear();
    m_dwFlags = 0;
    m_strArtist.clear();
    m_strTitle.clear();
    m_strAlbum.clear();
    m_strComment.clear();
    m_strYear.clear();
    m_nTrack = 0;
    m_nGenre = GENRE_NONE;
    m_nTailSum = 0;
    m_nFileSize = 0;
}

bool CMP3Info::ReadTag(const std::string& strPath)
{
    if (!ReadTag(LongPath(strPath)))
        return false;
    m_strPath = strPath;
    return true;
}

bool CMP3Info::ReadTag(const std::wstring& strPath)
{
    Reset();
    const std::wstring path = LongPath(strPath);
    CHandle hFile(OpenForTagRead(path));
    if (!hFile.IsValid())
        return false;
    ReadTagFrom(hFile, path);
    return true;
}

HANDLE CMP3Info::OpenForTagRead(const std::wstring& longPath)
{
    return ::CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

void CMP3Info::ReadTagFrom(HANDLE hFile, const std::wstring& path)
{
    Reset();
    unsigned char record[TAG_SIZE];
    bool bFoundTag = false;
    if (ReadLastRecord(hFile, record, bFoundTag, &m_nFileSize))
        m_nTailSum = TailSum(record);
    if (bFoundTag) {
        m_strTitle = FieldText(record, OFS_TITLE, LEN_TITLE);
        m_strArtist = FieldText(record, OFS_ARTIST, LEN_ARTIST);
        m_strAlbum = FieldText(record, OFS_ALBUM, LEN_ALBUM);
        m_strYear = FieldText(record, OFS_YEAR, LEN_YEAR);
        if (record[OFS_TRACK_MARKER] != 0) {
            m_strComment = FieldText(record, OFS_COMMENT, LEN_COMMENT);
        } else {
            m_strComment = FieldText(record, OFS_COMMENT, LEN_COMMENT_WITH_TRACK);
            m_nTrack = record[OFS_TRACK];
        }
        m_nGenre = record[OFS_GENRE];
        m_dwFlags |= FLAG_HAS_TAG;
    }
    m_wstrPath = path;
    m_strPath = TextFromWide(PlainPath(path));
}

bool CMP3Info::WriteTag(const std::string& strPath, bool bRemove)
{
    return WriteTag(strPath.empty() ? m_wstrPath : LongPath(strPath), bRemove);
}

bool CMP3Info::WriteTag(const std::wstring& strPath, bool bRemove, bool bCreate)
{
    const std::wstring path = LongPath(strPath.empty() ? m_wstrPath : strPath);
    if (path.empty())
        return false;
    CHandle hFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                bCreate ? OPEN_ALWAYS : OPEN_EXISTING, 0, nullptr));
    if (!hFile.IsValid())
        return false;

    // Over an old record, or after the last byte when there is none.
    unsigned char record[TAG_SIZE];
    bool bFoundTag = false;
    ReadLastRecord(hFile, record, bFoundTag);
    DWORD pos = bFoundTag ? ::SetFilePointer(hFile, -TAG_SIZE, nullptr, FILE_END)
                          : ::SetFilePointer(hFile, 0, nullptr, FILE_END);
    if (pos == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR)
        return false;

    if (bRemove)
        return ::SetEndOfFile(hFile) != FALSE;

    RenderRecord(record);
    DWORD nWritten = 0;
    return ::WriteFile(hFile, record, TAG_SIZE, &nWritten, nullptr) && nWritten == TAG_SIZE;
}

void CMP3Info::RenderRecord(unsigned char* record) const
{
    std::memset(record, 0, TAG_SIZE);
    std::memcpy(record + OFS_MAGIC, "TAG", LEN_MAGIC);
    PutField(record, OFS_TITLE, LEN_TITLE, m_strTitle);
    PutField(record, OFS_ARTIST, LEN_ARTIST, m_strArtist);
    PutField(record, OFS_ALBUM, LEN_ALBUM, m_strAlbum);
    PutField(record, OFS_YEAR, LEN_YEAR, m_strYear);
    if (m_nTrack != 0) {
        PutField(record, OFS_COMMENT, LEN_COMMENT_WITH_TRACK, m_strComment);
        record[OFS_TRACK] = static_cast<unsigned char>(m_nTrack > 255 ? 255 : m_nTrack < 0 ? 0 : m_nTrack);
    } else {
        PutField(record, OFS_COMMENT, LEN_COMMENT, m_strComment);
    }
    record[OFS_GENRE] = static_cast<unsigned char>(m_nGenre & 0xFF);
}

uint32_t TailSum(const unsigned char* last128)
{
    // FNV-1a: cheap, and spreads the small differences of tags well.
    uint32_t h = 2166136261u;
    for (int i = 0; i < TAG_SIZE; ++i)
        h = (h ^ last128[i]) * 16777619u;
    return h ? h : 1;
}

uint32_t ReadTailSum(const std::wstring& path)
{
    CHandle hFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr));
    unsigned char record[TAG_SIZE];
    bool bFoundTag = false;
    if (!hFile.IsValid() || !ReadLastRecord(hFile, record, bFoundTag))
        return 0;
    return TailSum(record);
}
