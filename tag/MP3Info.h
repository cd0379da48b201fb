#pragma once
#include <cstdint>
#include <string>

#include <windows.h>

// The ID3v1 tag of one MP3 file: the 128-byte record at the very end of the
// file that begins with "TAG". Texts are raw CP949 bytes, never converted.
class CMP3Info
{
public:
    explicit CMP3Info(const std::string& strPath = std::string());
    virtual ~CMP3Info() = default;

    void Reset();

    // True when the file opens, whether it holds a tag or not. A CP949 path
    // is made absolute first; a wide one in the long-path form is taken
    // exactly as it is.
    bool ReadTag(const std::string& strPath);
    bool ReadTag(const std::wstring& strPath);
    // The open ReadTag makes (shared reading), and its read on a file
    // opened so; the path is the one it was opened by, long-path form.
    static HANDLE OpenForTagRead(const std::wstring& longPath);
    void ReadTagFrom(HANDLE hFile, const std::wstring& longPath);
    // An empty path stands for the path of the last successful ReadTag.
    // bRemove cuts the tag off instead of writing the fields.
    bool WriteTag(const std::string& strPath, bool bRemove);
    // bCreate false: a missing file is a failure, not a new file holding
    // only the record.
    bool WriteTag(const std::wstring& strPath, bool bRemove, bool bCreate = true);
    // The 128 bytes WriteTag writes for the fields.
    void RenderRecord(unsigned char* record128) const;

    std::string GetArtist() const { return m_strArtist; }
    std::string GetTitle() const { return m_strTitle; }
    std::string GetAlbum() const { return m_strAlbum; }
    std::string GetComment() const { return m_strComment; }
    std::string GetYear() const { return m_strYear; }
    void SetArtist(std::string s) { m_strArtist = std::move(s); }
    void SetTitle(std::string s) { m_strTitle = std::move(s); }
    void SetAlbum(std::string s) { m_strAlbum = std::move(s); }
    void SetComment(std::string s) { m_strComment = std::move(s); }
    void SetYear(std::string s) { m_strYear = std::move(s); }

    enum { FLAG_HAS_TAG = 1 };

    std::string m_strPath;     // as the user reads it
    std::wstring m_wstrPath;   // the way to reach it
    unsigned long m_dwFlags = 0;

private:
    std::string m_strArtist;
    std::string m_strTitle;
    std::string m_strAlbum;
    std::string m_strComment;
    std::string m_strYear;

public:
    int m_nTrack = 0;     // 0: none
    int m_nGenre = 255;   // GENRE_NONE: none
    // TailSum of the last 128 bytes ReadTag found, tag or not; 0 when none.
    uint32_t m_nTailSum = 0;
    // The file's size as the last ReadTag learned it; 0 when it did not
    // (a file shorter than its record).
    uint64_t m_nFileSize = 0;
};

// A fingerprint of a file's last 128 bytes, where the tag lives: two files
// whose fingerprints differ cannot hold the same bytes. Never 0, which stands
// for "not known".
uint32_t TailSum(const unsigned char* last128);
// The fingerprint of a file as it is now; 0 when it cannot be read or is
// shorter than 128 bytes.
uint32_t ReadTailSum(const std::wstring& path);
