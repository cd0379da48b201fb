// Saves a tag edit into one song over and over, alternating two edits, and
// prints how long each save took. The save's kill test runs it to be killed
// in mid-save (tests/tag/kill_mid_save.sh); bench/README.md tells its use as
// a measure.
// Usage: sorvane_bench_save FILE COUNT [FIRST]   (COUNT 0: until killed;
// FIRST 0 or 1: the edit to start with)
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "afx/WidePath.h"
#include "tag/SongSave.h"

namespace {

// Two edits of every field, so that each save rewrites the same frames in
// place and the file alternates between two images.
CSongEdit MakeEdit(int which)
{
    const std::wstring texts[SONG_FIELD_COUNT] = {
        which ? L"\uC0C8 \uB178\uB798" : L"Old song", which ? L"Sigur R\u00F3s" : L"Band", which ? L"Takk" : L"Disc",
        which ? L"2005" : L"1999", which ? L"\uBA54\uBAA8" : L"note"};
    CSongEdit edit;
    for (int f = 0; f < SONG_FIELD_COUNT; ++f)
        edit.texts[f] = SongTextOf(texts[f]);
    edit.nTrack = which ? 7 : 1;
    edit.nGenre = which ? 17 : 13;
    edit.nChanged = ~0u;
    return edit;
}

} // namespace

int main()
{
    // Wide arguments: the path may hold any character.
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 3) {
        std::fprintf(stderr, "usage: sorvane_bench_save FILE COUNT [FIRST]\n");
        return 2;
    }
    const std::wstring path = LongPath(argv[1]);
    const long count = std::wcstol(argv[2], nullptr, 10);
    const int first = argc > 3 ? int(std::wcstol(argv[3], nullptr, 10)) & 1 : 0;
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    for (long i = 0; count == 0 || i < count; ++i) {
        const CSongEdit edit = MakeEdit(int((i + first) & 1));
        // Said before it starts, so that a kill is known to have come in mid-save.
        std::printf("begin %ld\n", i);
        std::fflush(stdout);
        LARGE_INTEGER t0, t1;
        ::QueryPerformanceCounter(&t0);
        const bool bSaved = SaveSongTags(path, edit);
        ::QueryPerformanceCounter(&t1);
        if (!bSaved) {
            std::fprintf(stderr, "save %ld failed\n", i);
            return 1;
        }
        std::printf("save %ld: %.1f ms\n", i, double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(freq.QuadPart));
        std::fflush(stdout);
    }
    return 0;
}
