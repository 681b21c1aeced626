#pragma once
// A memory device context over a 32-bit top-down bitmap whose pixels a test can read.
#include <windows.h>

namespace testing_support {

class Canvas {
  public:
    // Every pixel starts as fill.
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The pixel as a COLORREF (0x00BBGGRR); drawing is flushed first.
    COLORREF At(int x, int y) const;
    void Fill(COLORREF colour);

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const DWORD* bits_ = nullptr;
};

} // namespace testing_support
