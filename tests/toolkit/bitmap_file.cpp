#include "bitmap_file.h"

#include <cstdint>
#include <vector>

#include "support/test_files.h"

namespace testing_support {

namespace {

void Put(std::vector<char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

void WriteBitmapFile(const std::wstring& path, int width, int height, const PixelAt& pixel) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
    std::vector<char> out;
    out.push_back('B');
    out.push_back('M');
    Put(out, 14 + 40 + imageBytes, 4);
    Put(out, 0, 4);
    Put(out, 14 + 40, 4);
    Put(out, 40, 4); // BITMAPINFOHEADER
    Put(out, static_cast<std::uint32_t>(width), 4);
    Put(out, static_cast<std::uint32_t>(height), 4);
    Put(out, 1, 2);
    Put(out, 24, 2);
    Put(out, 0, 4); // BI_RGB
    Put(out, imageBytes, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    for (int row = height - 1; row >= 0; --row) {
        std::size_t start = out.size();
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, row);
            out.push_back(static_cast<char>(GetBValue(c)));
            out.push_back(static_cast<char>(GetGValue(c)));
            out.push_back(static_cast<char>(GetRValue(c)));
        }
        while (out.size() - start < rowBytes)
            out.push_back(0);
    }
    WriteBytes(path, std::string(out.begin(), out.end()));
}

void WriteBitmapFile(const std::wstring& path, int width, int height, COLORREF colour) {
    WriteBitmapFile(path, width, height, [colour](int, int) { return colour; });
}

} // namespace testing_support
