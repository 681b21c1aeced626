#include "toolkit/image.h"

#include "toolkit/gdi_handles.h"
#include "toolkit/legacy_path.h"
#include "utility/file_query.h"

namespace SystemWindow {

namespace {

BITMAP SizeOf(HBITMAP bitmap) {
    BITMAP info = {};
    GetObjectW(bitmap, sizeof(info), &info);
    return info;
}

} // namespace

Image::Image() = default;

Image::Image(HWND parent, std::wstring caption, int x, int y) : Component(parent, L"BUTTON", x, y) {
    SetCaption(std::move(caption));
    AddComponent(this);
}

HBITMAP Image::Load(std::wstring path) {
    if (!File::Exists(path)) {
        const std::wstring message = L"Error load no find file: " + path;
        MessageBoxW(nullptr, message.c_str(), L"Message", MB_OK);
        return nullptr;
    }
    bitmap =
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), PathForOldCalls(path).c_str(),
                                        IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    return bitmap;
}

int Image::Draw(HDC dc, const RECT* rect) {
    if (dc == nullptr || rect == nullptr)
        return 0;
    const BITMAP size = SizeOf(bitmap);
    MemoryContext source(dc);
    Selection selected(source.get(), bitmap);
    StretchBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               source.get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    return 1;
}

int Image::Draw(HDC dc) {
    if (bitmap == nullptr || dc == nullptr)
        return 0;
    const BITMAP size = SizeOf(bitmap);
    const RECT whole = {0, 0, size.bmWidth, size.bmHeight};
    Draw(dc, &whole);
    return 1;
}

void Image::OnMouseUp(int button, int x, int y) {
    if (onClick != nullptr)
        onClick(button, x, y);
}

} // namespace SystemWindow
