#pragma once
#include "collect/FileEntry.h"

class CMP3Info;
struct CSongFields;

// The texts an entry shows for a tag: each field trimmed of blanks at both
// ends, an empty field as its placeholder ("no artist", "no album", ...; a
// field of blanks alone becomes an empty text),
// the genre by name, the track as a number ("0" for none). Each cut by bytes
// to its kFieldBytes.
// Each text keeps its whole form where its CP949 bytes cannot spell it.
void PutEntryTexts(MP3FileEntry& e, const CSongFields& song);
// The same for an ID3v1 record alone.
void PutEntryTexts(MP3FileEntry& e, const CMP3Info& info);

// The tag texts of one entry (title, artist, album, track, genre, year,
// comment) given those of another; the file, its fingerprint and its target
// stay.
void CopyTagTexts(MP3FileEntry& to, const MP3FileEntry& from);
