#pragma once
// A component that holds one bitmap loaded from a .bmp file. Windowless, it is a picture that
// its owner draws; with a parent window, it is a 455 x 256 bitmap push button whose click
// reaches onClick.
#include <string>

#include "toolkit/component.h"

namespace SystemWindow {

class Image : public Component {
  public:
    HBITMAP bitmap = nullptr;

    // A windowless image; not registered in ComponentList.
    Image();
    // An image button: a visible "BUTTON" child with the bitmap style at (x, y) in the parent's
    // client area, labelled with text. The caller puts the bitmap on it with BM_SETIMAGE.
    Image(HWND parent, std::wstring text, int x, int y);

    // Loads the .bmp file into bitmap and returns it. A missing file shows "Error load no find
    // file: " + path and returns null with bitmap unchanged; a file that is no loadable bitmap
    // returns null silently and leaves bitmap null.
    HBITMAP Load(std::wstring path);
    // Draws the whole bitmap stretched into rect. 0 without drawing when dc or rect is null,
    // else 1. A bitmap must be loaded.
    int Draw(HDC dc, const RECT* rect);
    // Draws the bitmap at (0, 0) in its own size. 0 when dc or bitmap is null, else 1.
    int Draw(HDC dc);
    // The click of an image button: calls onClick with the same values when it is set.
    void OnMouseUp(int button, int x, int y) override;
};

} // namespace SystemWindow
