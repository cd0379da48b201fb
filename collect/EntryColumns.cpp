#include "collect/EntryColumns.h"

#include "collect/FileEntry.h"

void CEntryColumns::GetCellText(int row, LPARAM data, int column, char* buf, int cb)
{
    if (cb <= 0)
        return;
    buf[0] = 0;
    if (column == 0) {
        char number[16];
        wsprintfA(number, "%d", row + 1);
        lstrcpynA(buf, number, cb);
        return;
    }
    const auto* e = reinterpret_cast<const MP3FileEntry*>(data);
    if (!e)
        return;
    const char* text = "";
    switch (column) {
    case 1: text = e->szPath; break;
    case 2: text = e->szArtist; break;
    case 3: text = e->szAlbum; break;
    case 4: text = e->szTrack; break;
    case 5: text = e->szTitle; break;
    case 6: text = e->szGenre; break;
    case 7: text = e->szYear; break;
    case 8: text = e->szComment; break;
    default: break;
    }
    lstrcpynA(buf, text, cb);
}
