// Draws the launcher's three pictures with GDI and saves them as 24-bit bitmaps:
//   draw_pictures OUTPUT_FOLDER
// gives back_1366x854.bmp, TolvaneCAD_455.bmp and TolvaneGame_455.bmp in that folder.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

// A 24-bit top-down DIB section with a memory DC selected on it.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return (width_ * 3 + 3) & ~3; }

    void Pixel(int x, int y, COLORREF colour) {
        auto* row = static_cast<unsigned char*>(bits_) + y * stride();
        row[x * 3 + 0] = GetBValue(colour);
        row[x * 3 + 1] = GetGValue(colour);
        row[x * 3 + 2] = GetRValue(colour);
    }

    bool Save(const std::wstring& path) {
        GdiFlush();
        const DWORD imageSize = static_cast<DWORD>(stride() * height_);
        BITMAPFILEHEADER file = {};
        BITMAPINFOHEADER header = {};
        file.bfType = 0x4D42; // "BM"
        file.bfOffBits = sizeof(file) + sizeof(header);
        file.bfSize = file.bfOffBits + imageSize;
        header.biSize = sizeof(header);
        header.biWidth = width_;
        header.biHeight = height_; // bottom-up on disk, as most readers expect
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biCompression = BI_RGB;
        header.biSizeImage = imageSize;
        FILE* out = _wfopen(path.c_str(), L"wb");
        if (out == nullptr)
            return false;
        std::fwrite(&file, sizeof(file), 1, out);
        std::fwrite(&header, sizeof(header), 1, out);
        for (int y = height_ - 1; y >= 0; --y)
            std::fwrite(static_cast<unsigned char*>(bits_) + y * stride(), 1, stride(), out);
        return std::fclose(out) == 0;
    }

  private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

COLORREF Mix(COLORREF a, COLORREF b, double t) {
    auto lerp = [t](int x, int y) { return static_cast<BYTE>(x + (y - x) * t); };
    return RGB(lerp(GetRValue(a), GetRValue(b)), lerp(GetGValue(a), GetGValue(b)),
               lerp(GetBValue(a), GetBValue(b)));
}

void Gradient(Canvas& canvas, COLORREF top, COLORREF bottom) {
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            canvas.Pixel(
                x, y, Mix(top, bottom, (y + 0.3 * x) / (canvas.height() + 0.3 * canvas.width())));
}

void Text(Canvas& canvas, const wchar_t* text, int x, int y, int size, COLORREF colour,
          int weight = FW_BOLD) {
    HFONT font = CreateFontW(-size, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH, L"Tahoma");
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), colour);
    TextOutW(canvas.dc(), x, y, text, static_cast<int>(wcslen(text)));
    SelectObject(canvas.dc(), old);
    DeleteObject(font);
}

void Line(Canvas& canvas, int x1, int y1, int x2, int y2, COLORREF colour, int width = 1) {
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ old = SelectObject(canvas.dc(), pen);
    MoveToEx(canvas.dc(), x1, y1, nullptr);
    LineTo(canvas.dc(), x2, y2);
    SelectObject(canvas.dc(), old);
    DeleteObject(pen);
}

void Background(Canvas& c) {
    Gradient(c, RGB(18, 16, 42), RGB(52, 30, 84));
    // Soft rings behind the tiles, and a horizon line under the title.
    for (int r = 120; r < 900; r += 60)
        for (int a = 0; a < 720; ++a) {
            const double t = a * 3.14159265 / 360.0;
            const int x = 683 + static_cast<int>(r * std::cos(t)),
                      y = 900 + static_cast<int>(r * std::sin(t) * 0.6);
            if (x >= 0 && x < c.width() && y >= 0 && y < c.height())
                c.Pixel(x, y, RGB(70, 56, 120));
        }
    Text(c, L"TolvaneSoft", 880, 60, 64, RGB(235, 225, 255));
    Text(c, L"launcher", 1090, 132, 28, RGB(170, 150, 220), FW_NORMAL);
    Line(c, 880, 176, 1320, 176, RGB(120, 90, 200), 2);
}

void CadTile(Canvas& c) {
    Gradient(c, RGB(20, 70, 130), RGB(10, 30, 60));
    // A wireframe box, the way a CAD program shows a part.
    const POINT p[] = {{150, 90}, {290, 90}, {290, 190}, {150, 190},
                       {200, 60}, {340, 60}, {340, 160}, {200, 160}};
    const int edges[][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                            {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (const auto& e : edges)
        Line(c, p[e[0]].x, p[e[0]].y, p[e[1]].x, p[e[1]].y, RGB(140, 210, 255), 2);
    Text(c, L"TolvaneCAD", 24, 200, 36, RGB(255, 255, 255));
}

void GameTile(Canvas& c) {
    Gradient(c, RGB(200, 80, 40), RGB(90, 20, 60));
    // A play triangle.
    for (int y = 50; y < 170; ++y)
        for (int x = 190; x < 190 + (y < 110 ? (y - 50) : (170 - y)) * 3 / 2; ++x)
            c.Pixel(x, y, RGB(255, 235, 200));
    Text(c, L"TolvaneGame", 24, 200, 36, RGB(255, 255, 255));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: draw_pictures OUTPUT_FOLDER\n");
        return 2;
    }
    std::wstring folder = argv[1];
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    Canvas back(1366, 854), cad(455, 256), game(455, 256);
    Background(back);
    CadTile(cad);
    GameTile(game);
    const bool saved = back.Save(folder + L"back_1366x854.bmp") &&
                       cad.Save(folder + L"TolvaneCAD_455.bmp") &&
                       game.Save(folder + L"TolvaneGame_455.bmp");
    if (!saved) {
        std::fwprintf(stderr, L"cannot write the pictures into %ls\n", folder.c_str());
        return 1;
    }
    return 0;
}
