#pragma once
// Test pictures: writes 24-bit .bmp files whose pixels a function gives.
#include <windows.h>

#include <functional>
#include <string>

namespace testing_support {

using PixelAt = std::function<COLORREF(int x, int y)>;

// Writes a bottom-up 24-bit bitmap file of width x height pixels.
void WriteBitmapFile(const std::wstring& path, int width, int height, const PixelAt& pixel);

// One colour everywhere.
void WriteBitmapFile(const std::wstring& path, int width, int height, COLORREF colour);

} // namespace testing_support
