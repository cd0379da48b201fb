#pragma once

// Genre numbers of the ID3v1 tag and their names. A number is an index into
// g_GenreNames; anything outside the table has no name.
enum { GENRE_COUNT = 148, GENRE_NONE = 255 };

extern const char* const g_GenreNames[GENRE_COUNT];

// The name of a genre number, or "" for a number the table does not hold.
const char* GetGenreName(int nGenre);
