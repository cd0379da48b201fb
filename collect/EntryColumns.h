#pragma once
#include "afx/Controls.h"

// The nine columns of a file-list row, drawn from the row's MP3FileEntry:
// number (row + 1), path, artist, album, track, title, genre, year, comment.
class CEntryColumns : public IListTextSource
{
public:
    enum { COLUMN_COUNT = 9 };
    void GetCellText(int row, LPARAM data, int column, char* buf, int cb) override;
};
