#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "tag/MP3Info.h"

// A tag edit saved to both of a song's tags, so that a player that reads
// ID3v2 first shows what the user typed.

// The fields as edited, whole. An empty text, track 0 or a genre outside the
// list means the field is none.
struct CSongEdit
{
    std::wstring strTitle, strArtist, strAlbum, strYear, strComment;
    int nTrack = 0;
    int nGenre = 255;
};

// The ID3v2 tag (whole, header first) with the edited fields set. A field
// whose edit equals what the reader shows for it keeps its frames byte for
// byte; a field set to none loses its frames; every other frame keeps its
// bytes. 2.3 and 2.4 keep their version; 2.2 becomes 2.3. False, out empty,
// when the bytes are no tag the reader reads or the new one cannot be made.
bool EditID3v2(const unsigned char* tag, size_t size, const CSongEdit& edit, std::vector<unsigned char>& out);

// Saves an edit: the ID3v1 record from v1's fields (as CMP3Info::WriteTag
// writes it) and, where the file has a readable ID3v2 tag, that tag set as
// EditID3v2 does. A file without one gets v1.WriteTag alone, in place, as
// ever. One with one is written anew beside itself and replaces the old in
// one rename: after a kill at any moment the file is the whole old one or the
// whole new one. False, the file unchanged, when it cannot be opened for
// writing (missing, read-only, held open by anyone) or the new one cannot be
// made.
bool SaveSongTags(const std::wstring& path, CMP3Info& v1, const CSongEdit& edit);
