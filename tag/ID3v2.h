#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The ID3v2 tag most tools write today, read through the tag library. Only
// this folder sees that library; the rest of the program gets these types.

// The fields of an ID3v2 tag the program lists, whole (UTF-16) and as the
// tag holds them: nothing trimmed, nothing cut.
struct CID3v2Fields
{
    int nVersion = 0;   // 2, 3 or 4; 0 when there is no tag, or a broken one
    std::wstring strTitle;
    std::wstring strArtist;
    std::wstring strAlbum;
    std::wstring strYear;      // the first four digits of the recording time
    std::wstring strComment;   // the first comment without a description
    int nTrack = 0;            // 0: none
    // What follows the number where it is one of a count ("/12" of
    // "3/12"): an edit of the number keeps the count.
    std::wstring strTrackCount;
    // A number of the genre list where the tag names one; otherwise 255
    // (none) with the genre's text, if any, in strGenre.
    int nGenre = 255;
    std::wstring strGenre;
};

// Where a file's ID3v2 tag lies: at its start, or appended at its end (just
// before the ID3v1 record, if any) behind a footer. nSize spans the header,
// frames, padding and footer.
struct CID3v2Place
{
    uint64_t nOffset = 0;
    uint64_t nSize = 0;
    int nVersion = 0;   // 0: none found
    // The file's first bytes where finding the tag read them (a tag at the
    // start): its header and as much of it as the reader reads at once, so
    // that reading it asks for none of them again.
    std::vector<unsigned char> start;
};

// The tag's size from its 10-byte header (or footer), or 0 when the bytes
// are no sound header: a version the library does not read, a size that is
// no synchsafe integer. The header and footer are counted in.
uint64_t ID3v2TagSize(const unsigned char* header10, bool bFooter);

// Finds the tag of an open file of nFileSize bytes; bHasID3v1 says whether
// its last 128 bytes are an ID3v1 record. A tag that would reach past the end
// of the file (or into the record) is broken and not found. Moves the file
// pointer.
bool FindID3v2(HANDLE hFile, uint64_t nFileSize, bool bHasID3v1, CID3v2Place& place);

// Reads and parses the tag found at place. False, with out empty, when it is
// broken or cannot be read.
bool ReadID3v2(HANDLE hFile, const CID3v2Place& place, CID3v2Fields& out);

// Parses a whole tag held in memory, header first. False for a broken one.
bool ParseID3v2(const unsigned char* data, size_t size, CID3v2Fields& out);
