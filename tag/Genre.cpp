#include "tag/Genre.h"

// The spellings ("Psychadelic", "Rhytmic Soul", "Trash Metal") are the ones
// files and other tools already carry; they are kept as they are.
const char* const g_GenreNames[GENRE_COUNT] = {
    /*   0 */ "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk",
    /*   6 */ "Grunge", "Hip-Hop", "Jazz", "Metal", "New Age", "Oldies",
    /*  12 */ "Other", "Pop", "R&B", "Rap", "Reggae", "Rock",
    /*  18 */ "Techno", "Industrial", "Alternative", "Ska", "Death Metal", "Pranks",
    /*  24 */ "Soundtrack", "Euro-Techno", "Ambient", "Trip Hop", "Vocal", "Jazz Funk",
    /*  30 */ "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House",
    /*  36 */ "Game", "Sound Clip", "Gospel", "Noise", "Alternative Rock", "Bass",
    /*  42 */ "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
    /*  48 */ "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop Folk",
    /*  54 */ "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",
    /*  60 */ "Top 40", "Christian Rap", "Pop Funk", "Jungle", "Native American", "Cabaret",
    /*  66 */ "New Wave", "Psychadelic", "Rave", "ShowTunes", "Trailer", "Lo-Fi",
    /*  72 */ "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    /*  78 */ "Rock & Roll", "Hard Rock", "Folk", "Folk Rock", "National Folk", "Swing",
    /*  84 */ "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    /*  90 */ "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    /*  96 */ "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech",
    /* 102 */ "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass",
    /* 108 */ "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango",
    /* 114 */ "Samba", "Folklore", "Ballad", "Power Ballad", "Rhytmic Soul", "Freestyle",
    /* 120 */ "Duet", "Punk Rock", "Drum Solo", "A Capella", "Euro House", "Dance Hall",
    /* 126 */ "Goa", "Drum & Bass", "Club House", "Hardcore", "Terror", "Indie",
    /* 132 */ "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    /* 138 */ "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    /* 144 */ "Trash Metal", "Anime", "JPop", "SynthPop",
};

const char* GetGenreName(int nGenre)
{
    if (nGenre < 0 || nGenre >= GENRE_COUNT)
        return "";
    return g_GenreNames[nGenre];
}
