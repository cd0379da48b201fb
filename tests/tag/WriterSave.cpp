// Edits one field of each song another program tagged, as the tag dialog
// does: the row's fields as the scan lists them, the user's change to one of
// them, saved. tests/tag/save_roundtrip.sh checks what became of the tags.
// Usage: tag_writer_save FILE FIELD TEXT   (FIELD: title, artist, album,
// year, comment, track; TEXT UTF-8, empty to clear it; a track's a number)
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "afx/WidePath.h"
#include "tag/SongSave.h"

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc != 4) {
        std::fprintf(stderr, "usage: tag_writer_save FILE FIELD TEXT\n");
        return 2;
    }
    const std::wstring fieldNames[SONG_FIELD_COUNT] = {L"title", L"artist", L"album", L"year", L"comment"};
    const bool bTrack = std::wstring(L"track") == argv[2];
    int field = -1;
    for (int f = 0; f < SONG_FIELD_COUNT; ++f)
        if (fieldNames[f] == argv[2])
            field = f;
    if (field < 0 && !bTrack) {
        std::fprintf(stderr, "no such field\n");
        return 2;
    }
    CMP3Info v1;
    CID3v2Fields v2;
    CSongFields song;
    if (!ReadSongFields(argv[1], v1, v2, song)) {
        std::fprintf(stderr, "cannot read the song\n");
        return 1;
    }
    CSongEdit edit;
    for (int f = 0; f < SONG_FIELD_COUNT; ++f)
        edit.texts[f] = song.texts[f];
    edit.nTrack = song.nTrack;
    edit.nGenre = song.nGenre;
    if (bTrack) {
        edit.nTrack = int(std::wcstol(argv[3], nullptr, 10));
        edit.nChanged = EDIT_TRACK;
    } else {
        edit.texts[field] = SongTextOf(argv[3]);
        edit.nChanged = 1u << field;
    }
    if (!SaveSongTags(argv[1], edit)) {
        std::fprintf(stderr, "the save failed\n");
        return 1;
    }
    return 0;
}
