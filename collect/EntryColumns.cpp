#include "collect/EntryColumns.h"

#include "collect/FileEntry.h"

const CColumnDef g_EntryColumns[COLUMN_COUNT] = {
    {"번호", 40}, {"파일경로", 280}, {"가수", 80}, {"앨범", 100}, {"트랙", 50},
    {"제목", 100}, {"장르", 80}, {"연도", 80}, {"Comment", 210},
};

void CEntryColumns::GetCellText(int row, LPARAM data, int column, char* buf, int cb)
{
    if (cb <= 0)
        return;
    buf[0] = 0;
    if (column == COLUMN_NUMBER) {
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
    case COLUMN_PATH: text = e->szPath; break;
    case COLUMN_ARTIST: text = e->szArtist; break;
    case COLUMN_ALBUM: text = e->szAlbum; break;
    case COLUMN_TRACK: text = e->szTrack; break;
    case COLUMN_TITLE: text = e->szTitle; break;
    case COLUMN_GENRE: text = e->szGenre; break;
    case COLUMN_YEAR: text = e->szYear; break;
    case COLUMN_COMMENT: text = e->szComment; break;
    default: break;
    }
    lstrcpynA(buf, text, cb);
}
