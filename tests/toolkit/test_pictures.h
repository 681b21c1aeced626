#pragma once
// Test pictures: .bmp files for the toolkit to load, and drawing surfaces whose pixels a test
// reads back.
#include <windows.h>

#include <string>
#include <vector>

#include "support/test_files.h"
#include "toolkit/gdi_handles.h"

namespace testing_support {

// What a canvas holds where nothing was drawn.
constexpr COLORREF kUnpainted = RGB(1, 2, 3);

// Writes a 32-bit bitmap file, its left half one colour and its right half another.
inline void WriteBitmap(const std::wstring& path, int width, int height, COLORREF left,
                        COLORREF right) {
    std::vector<DWORD> bits;
    for (int i = 0; i < width * height; ++i) {
        const COLORREF c = i % width < width / 2 ? left : right;
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
    Canvas(int width, int height) : width_(width) {
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
    // Fills area, by default the whole canvas.
    void Fill(COLORREF colour, RECT area = {0, 0, 1 << 15, 1 << 15}) {
        FillRect(dc_, &area, SystemWindow::SolidBrush(colour).get());
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD bgr = static_cast<const DWORD*>(bits_)[y * width_ + x];
        return RGB(bgr >> 16 & 0xFF, bgr >> 8 & 0xFF, bgr & 0xFF);
    }
    // The first place inside area where the two canvases differ, or "" when they agree.
    std::string Difference(const Canvas& other, RECT area) const {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (At(x, y) != other.At(x, y))
                    return "differs at " + std::to_string(x) + "," + std::to_string(y);
        return "";
    }

  private:
    int width_;
    HDC dc_ = CreateCompatibleDC(nullptr);
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
};

} // namespace testing_support
