#include "ui/OutcomeIcons.h"

#include <algorithm>
#include <cmath>

#include "collect/EntryColumns.h"

namespace {

// Shapes are laid out on a 16-unit square and scaled to the picture's size,
// each pixel covered by 4 x 4 samples so that round edges are smooth at any
// size.
const float kUnits = 16.0f;
const int kSamples = 4;
const float kCentre = 8.0f;
const float kRadius = 7.5f;
const float kRim = 1.0f;

struct Rgb
{
    float r, g, b;
};

struct Stroke
{
    float x0, y0, x1, y1;
    float halfWidth;
};

struct Dot
{
    float x, y, r;
};

struct Icon
{
    Rgb fill;
    Rgb rim;
    std::vector<Stroke> strokes;
    std::vector<Dot> dots;
};

float DistanceToStroke(float x, float y, const Stroke& s)
{
    const float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((x - s.x0) * dx + (y - s.y0) * dy) / len2 : 0.0f;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return std::hypot(x - (s.x0 + t * dx), y - (s.y0 + t * dy));
}

bool InMark(const Icon& icon, float x, float y)
{
    for (const Stroke& s : icon.strokes)
        if (DistanceToStroke(x, y, s) <= s.halfWidth)
            return true;
    for (const Dot& d : icon.dots)
        if (std::hypot(x - d.x, y - d.y) <= d.r)
            return true;
    return false;
}

// By OutcomeImage, from IMAGE_TRANSFERRED on.
std::vector<Icon> Icons()
{
    const Rgb green = {46, 157, 72}, greenRim = {30, 110, 50};
    const Rgb blue = {47, 110, 211}, blueRim = {32, 76, 148};
    const Rgb red = {214, 51, 42}, redRim = {150, 34, 28};
    const Rgb grey = {140, 140, 140}, greyRim = {98, 98, 98};
    return {
        // A tick.
        {green, greenRim, {{4.6f, 8.2f, 7.0f, 10.6f, 1.0f}, {7.0f, 10.6f, 11.4f, 5.8f, 1.0f}}, {}},
        // An equals sign: the same song is there.
        {blue, blueRim, {{4.8f, 6.3f, 11.2f, 6.3f, 0.95f}, {4.8f, 9.7f, 11.2f, 9.7f, 0.95f}}, {}},
        // An exclamation mark: something to fix.
        {red, redRim, {{8.0f, 4.0f, 8.0f, 8.6f, 1.05f}}, {{8.0f, 11.6f, 1.2f}}},
        // Three dots: not got to.
        {grey, greyRim, {}, {{4.9f, 8.0f, 1.15f}, {8.0f, 8.0f, 1.15f}, {11.1f, 8.0f, 1.15f}}},
    };
}

// A width in pixels for a mark's width in units. Where the mark sits on the
// picture's middle line, its width has the parity of the picture's side, so
// that it is centred and its edges still fall between pixels.
float SnappedWidth(float units, float scale, bool bOnAxis, int size)
{
    int w = int(std::lround(units * scale));
    if (bOnAxis && (w - size) % 2 != 0)
        w = units * scale >= float(w) ? w + 1 : w - 1;
    return float(w < 1 ? 1 : w);
}

// A centre in pixels, so that a mark of that width covers whole pixels.
float SnappedCentre(float units, float scale, float width)
{
    const float c = units * scale;
    return int(width) % 2 ? std::floor(c) + 0.5f : std::round(c);
}

// The picture's marks in pixels at its size, straight marks moved onto the
// pixel grid: a stroke one and a half pixels wide across two rows of pixels
// reads as a blur at 16 pixels.
Icon AtSize(const Icon& icon, int size)
{
    const float scale = float(size) / kUnits;
    Icon out = icon;
    for (Stroke& s : out.strokes) {
        const bool bHorizontal = s.y0 == s.y1, bVertical = s.x0 == s.x1;
        s.x0 *= scale, s.y0 *= scale, s.x1 *= scale, s.y1 *= scale, s.halfWidth *= scale;
        if (bHorizontal || bVertical) {
            const float across = bHorizontal ? s.y0 / scale : s.x0 / scale;
            const float w = SnappedWidth(2 * s.halfWidth / scale, scale, across == kCentre, size);
            const float c = SnappedCentre(across, scale, w);
            (bHorizontal ? s.y0 : s.x0) = c;
            (bHorizontal ? s.y1 : s.x1) = c;
            s.halfWidth = w / 2;
        }
    }
    for (Dot& d : out.dots) {
        const float w = SnappedWidth(2 * d.r, scale, d.x == kCentre || d.y == kCentre, size);
        d.x = SnappedCentre(d.x, scale, w);
        d.y = SnappedCentre(d.y, scale, w);
        d.r = w / 2;
    }
    return out;
}

uint32_t Pixel(const Icon& marks, int px, int py, int size)
{
    const float scale = float(size) / kUnits;
    const float centre = kCentre * scale, radius = kRadius * scale, rim = kRim * scale;
    const Rgb white = {255, 255, 255};
    float covered = 0, r = 0, g = 0, b = 0;
    for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
            const float x = float(px) + (float(sx) + 0.5f) / kSamples;
            const float y = float(py) + (float(sy) + 0.5f) / kSamples;
            const float d = std::hypot(x - centre, y - centre);
            if (d > radius)
                continue;
            const Rgb& c = InMark(marks, x, y) ? white : (d > radius - rim ? marks.rim : marks.fill);
            covered += 1;
            r += c.r;
            g += c.g;
            b += c.b;
        }
    }
    if (covered == 0)
        return 0;
    // Not premultiplied: the colour of what is covered, and how much is.
    const auto channel = [covered](float sum) { return uint32_t(sum / covered + 0.5f); };
    const uint32_t alpha = uint32_t(covered * 255.0f / (kSamples * kSamples) + 0.5f);
    return alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

} // namespace

int OutcomeIconSize(int nDpi)
{
    return nDpi > 0 ? MulDiv(16, nDpi, 96) : 16;
}

std::vector<uint32_t> DrawOutcomeIcons(int size)
{
    const std::vector<Icon> icons = Icons();
    const int width = size * int(icons.size());
    std::vector<uint32_t> pixels(size_t(width) * size_t(size), 0);
    for (size_t i = 0; i < icons.size(); ++i) {
        const Icon marks = AtSize(icons[i], size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                pixels[size_t(y) * width + i * size + x] = Pixel(marks, x, y, size);
    }
    return pixels;
}

HIMAGELIST MakeOutcomeImages(int size)
{
    static_assert(IMAGE_COUNT - 1 == 4, "one picture per outcome shown");
    const std::vector<uint32_t> pixels = DrawOutcomeIcons(size);
    const int count = IMAGE_COUNT - 1;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size * count;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32, count, 0);
    if (images && ImageList_Add(images, bitmap, nullptr) < 0) {
        ImageList_Destroy(images);
        images = nullptr;
    }
    ::DeleteObject(bitmap);
    return images;
}
