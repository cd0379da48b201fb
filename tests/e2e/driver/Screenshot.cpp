#include "tests/e2e/driver/Screenshot.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "tests/e2e/driver/Window.h"

namespace e2e {

namespace {

using Bytes = std::vector<unsigned char>;

void Put32(Bytes& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

uint32_t Crc32(const unsigned char* p, size_t n, uint32_t crc = 0)
{
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutChunk(Bytes& out, const char* type, const Bytes& data)
{
    Put32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc32(&out[start], out.size() - start));
}

// Rows of RGB bytes, top first, as an RGB PNG. The image data is a zlib
// stream of stored (uncompressed) blocks: larger files, but no library.
Bytes EncodePng(int width, int height, const Bytes& rgbRows)
{
    Bytes raw;
    const size_t stride = static_cast<size_t>(width) * 3;
    raw.reserve((stride + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        raw.insert(raw.end(), rgbRows.begin() + y * stride, rgbRows.begin() + (y + 1) * stride);
    }
    Bytes z = {0x78, 0x01};
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
        if (pos == raw.size())
            break;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    Put32(ihdr, static_cast<uint32_t>(width));
    Put32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

Bytes EncodeBmp(int width, int height, const Bytes& bgrRowsTopFirst, size_t dibStride)
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height; // bottom-up, the form every viewer reads
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(dibStride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    Bytes out(reinterpret_cast<unsigned char*>(&file), reinterpret_cast<unsigned char*>(&file) + sizeof(file));
    out.insert(out.end(), reinterpret_cast<unsigned char*>(&info), reinterpret_cast<unsigned char*>(&info) + sizeof(info));
    for (int y = height - 1; y >= 0; --y)
        out.insert(out.end(), bgrRowsTopFirst.begin() + y * dibStride, bgrRowsTopFirst.begin() + (y + 1) * dibStride);
    return out;
}

bool IsPngName(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return tail == ".png";
}

} // namespace

::testing::AssertionResult SaveScreenshot(const std::string& path)
{
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0)
        return ::testing::AssertionFailure() << "no screen to capture";

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);

    Bytes pixels;
    {
        HDC screen = ::GetDC(nullptr);
        if (!screen)
            return ::testing::AssertionFailure() << "no screen DC";
        HDC mem = ::CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bool ok = mem && bmp;
        if (ok) {
            HGDIOBJ old = ::SelectObject(mem, bmp);
            ok = ::BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT) != 0;
            ::GdiFlush();
            if (ok)
                pixels.assign(static_cast<unsigned char*>(bits), static_cast<unsigned char*>(bits) + stride * height);
            ::SelectObject(mem, old);
        }
        if (bmp)
            ::DeleteObject(bmp);
        if (mem)
            ::DeleteDC(mem);
        ::ReleaseDC(nullptr, screen);
        if (!ok)
            return ::testing::AssertionFailure() << "cannot copy the screen: error " << ::GetLastError();
    }

    Bytes file;
    if (IsPngName(path)) {
        Bytes rgb(static_cast<size_t>(width) * 3 * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = pixels[y * stride + x * 3 + (2 - c)];
        file = EncodePng(width, height, rgb);
    } else {
        file = EncodeBmp(width, height, pixels, stride);
    }

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return ::testing::AssertionFailure() << "cannot write \"" << path << "\"";
    bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    written = std::fclose(f) == 0 && written;
    if (!written)
        return ::testing::AssertionFailure() << "cannot write \"" << path << "\"";
    return ::testing::AssertionSuccess();
}

std::string ShotsDir()
{
#ifdef E2E_SHOTS_DIR
    return HostPath(E2E_SHOTS_DIR);
#else
    return "shots";
#endif
}

void SaveShotIfFailed(const std::string& label)
{
    if (!::testing::Test::HasFailure())
        return;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "unknown";
    if (!label.empty())
        name += "-" + label;
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            c = '_';
    const std::string dir = ShotsDir();
    ::CreateDirectoryA(dir.c_str(), nullptr);
    const std::string path = dir + "\\" + name + ".png";
    ::testing::AssertionResult saved = SaveScreenshot(path);
    std::printf("[ screenshot ] %s\n", saved ? path.c_str() : saved.message());
    std::fflush(stdout);
}

} // namespace e2e
