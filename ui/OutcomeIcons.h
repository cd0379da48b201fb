#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

// The small pictures the file list shows in front of a row for what the last
// pass made of its song (collect/EntryColumns.h, OutcomeImage): a green disc
// with a tick (transferred), a blue one with an equals sign (duplicate), a red
// one with an exclamation mark (stayed behind), a grey one with three dots
// (not reached). Coloured discs with white marks read on the list's white
// rows and on the blue of a selected one; the marks tell them apart without
// their colours. Drawn in code at the size the screen needs.

// The side of a picture for the screen's dots per inch: 16 at 96, 24 at 144.
int OutcomeIconSize(int nDpi);

// The pictures, IMAGE_TRANSFERRED first, side by side, size pixels square
// each: rows of BGRA pixels, top row first, alpha not premultiplied.
std::vector<uint32_t> DrawOutcomeIcons(int size);

// An image list of them for the list's state images (LVSIL_STATE).
HIMAGELIST MakeOutcomeImages(int size);
