#pragma once
// Test pictures: .bmp files for the toolkit to load, and drawing surfaces whose pixels a test
// reads back.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "toolkit/gdi_handles.h"

namespace testing_support {

// What a canvas holds where nothing was drawn.
constexpr COLORREF kUnpainted = RGB(1, 2, 3);

// Writes a bottom-up 32-bit bitmap file whose pixel (x, y) is pixel(x, y).
inline void WriteBitmap(const std::wstring& path, int width, int height,
                        const std::function<COLORREF(int x, int y)>& pixel) {
    std::vector<DWORD> bits;
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            bits.push_back(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
        }
    const BITMAPINFOHEADER info = {sizeof(info), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
    const DWORD size = static_cast<DWORD>(bits.size() * sizeof(DWORD));
    const BITMAPFILEHEADER file = {0x4D42, offset + size, 0, 0, offset};
    WriteBytes(path, std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
                         std::string(reinterpret_cast<const char*>(&info), sizeof(info)) +
                         std::string(reinterpret_cast<const char*>(bits.data()), size));
}

// A memory device context over a 32-bit top-down bitmap, every pixel kUnpainted at first.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        SelectObject(dc_, bitmap_);
        Fill(kUnpainted);
    }
    ~Canvas() {
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    HDC dc() const { return dc_; }
    void Fill(COLORREF colour) {
        const RECT all = {0, 0, width_, height_};
        FillRect(dc_, &all, SystemWindow::SolidBrush(colour).get());
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD bgr = static_cast<const DWORD*>(bits_)[y * width_ + x];
        return RGB(bgr >> 16 & 0xFF, bgr >> 8 & 0xFF, bgr & 0xFF);
    }

  private:
    int width_, height_;
    HDC dc_ = CreateCompatibleDC(nullptr);
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
};

struct Pixel {
    int x, y;
    COLORREF colour;
};

// Checks each pixel of the canvas, naming the place of each that differs.
inline void ExpectPixels(const Canvas& canvas, std::initializer_list<Pixel> pixels) {
    for (const Pixel& p : pixels)
        EXPECT_EQ(canvas.At(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
}

} // namespace testing_support
