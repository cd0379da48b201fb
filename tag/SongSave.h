#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "tag/SongTag.h"

// A tag edit saved to both of a song's tags: the ID3v1 record as ever, and
// in the ID3v2 tag exactly the fields the user changed, so that a player
// that reads ID3v2 first shows what the user typed, and nothing the user did
// not touch (a picture, a year, a comment the record lacked) is lost.

// The fields an edit changes, as bits of CSongEdit::nChanged.
enum : unsigned {
    EDIT_TITLE = 1u << SONG_TITLE,
    EDIT_ARTIST = 1u << SONG_ARTIST,
    EDIT_ALBUM = 1u << SONG_ALBUM,
    EDIT_YEAR = 1u << SONG_YEAR,
    EDIT_COMMENT = 1u << SONG_COMMENT,
    EDIT_TRACK = 1u << SONG_FIELD_COUNT,
    EDIT_GENRE = 1u << (SONG_FIELD_COUNT + 1),
};

// A song's fields after an edit, and which of them the user changed.
struct CSongEdit
{
    // Every text as the edited row holds it (an empty one for none): the
    // CP949 bytes the record is written from, and the whole text where
    // those bytes cannot spell it.
    CSongText texts[SONG_FIELD_COUNT];
    int nTrack = 0;     // 0: none
    int nGenre = 255;   // a number of the list; any other is none (the record gets its low byte)
    unsigned nChanged = 0;

    // A text whole, as the ID3v2 tag is to hold it.
    std::wstring Whole(SongField field) const;
};

// The ID3v2 tag (whole, header first) with the changed fields set: a changed
// field's frames go and one new frame holds its text (none where it was
// cleared), in the place of the first of them. Every other frame keeps its
// bytes, and so does a field whose new text is what the reader already shows
// for it. v2.2, v2.3 and v2.4 keep their version. False, out empty, when the
// bytes are no tag the reader reads or the new one cannot be made.
bool EditID3v2(const unsigned char* tag, size_t size, const CSongEdit& edit, std::vector<unsigned char>& out);

// Saves an edit: the ID3v1 record from every field (as CMP3Info::WriteTag
// writes it) and, where the file has a readable ID3v2 tag, that tag set as
// EditID3v2 does. A file without one gets its record written in place, as
// ever. One with one is written anew beside itself and replaces the old in
// one step: after a kill at any moment the file is the whole old one or the
// whole new one, and no temporary is left. False, the file unchanged, when it
// cannot be opened for writing (missing, read-only, held open by anyone) or
// the new one cannot be made.
bool SaveSongTags(const std::wstring& path, const CSongEdit& edit);
