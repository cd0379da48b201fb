#pragma once
#include <cstdint>
#include <string>

// One listed file. The address of an entry is its list row's data value; the
// row owns it. Texts are zero-terminated CP949 bytes in fixed buffers; the
// files themselves are reached only through the wide paths, which the texts
// may not spell exactly.
struct MP3FileEntry
{
    int nIndex;              // the row it was created for (0 for the first)
    char szFileName[256];    // last path component, as found on disk
    char szPath[512];        // full path as found by the scan; never updated
    char szArtist[256];
    char szAlbum[256];
    char szTrack[256];       // decimal, "0" when the file has none
    char szTitle[256];
    int nGenre;              // 0..255 from the tag, 255 none, -1 after an edit left none selected
    char szGenre[128];
    char szYear[64];
    char szTargetPath[512];  // set by each organise pass for rows with artist and album
    char szComment[512];
    uint64_t nFileSize;      // bytes, when scanned
    uint32_t nTailSum;       // TailSum of the file's last 128 bytes when scanned; 0 unknown or rewritten since
    std::wstring wstrPath;        // the file, long-path form, its name exactly as on disk
    std::wstring wstrTargetPath;  // where the pass puts it (long-path form); set with szTargetPath
};

// Transfer mode of the organise pass.
enum { MODE_MOVE = 1, MODE_COPY = 2 };
