#pragma once
// A visible element: position, size, text, click handler, visibility and the last known client
// rectangle. Top-level windows and images derive from it. Objects are created with new and live
// until the process ends; no class of the toolkit has a virtual destructor.
#include <string>
#include <vector>

#include "toolkit/event.h"

namespace SystemWindow {

// Called with (button, x, y) when an image button is clicked.
using ClickHandler = void (*)(int button, int x, int y);

class Component : public Event {
  public:
    int x = 0;
    int y = 0;
    int width = 800;
    int height = 600;
    std::wstring text;
    ClickHandler onClick = nullptr;
    bool visible = false;
    RECT clientRect = {0, 0, 0, 0};

    // No platform window; not registered.
    Component() = default;
    // A visible child window of the given class, 455 x 256 at (x, y) in the parent's client
    // area, control identifier 0, registered so that the parent's WM_COMMAND finds it.
    Component(HWND parent, std::wstring className, int x, int y);

    // The setters store the values and refresh clientRect; the platform window keeps its place
    // and size (a top-level window moves it too). The getters return the stored values.
    virtual void SetPosition(int x, int y);
    virtual int GetX();
    virtual int GetY();
    virtual void SetWidth(int width);
    virtual int GetWidth();
    virtual void SetHeight(int height);
    virtual int GetHeight();
    // GetDC of the platform window: a toolkit window's own private context.
    virtual HDC GetDeviceContext();
    // Widens byte by byte (0xE9 becomes U+FFE9), stores and sets the window text.
    virtual void SetText(std::string text);
    virtual void SetText(std::wstring text);
    // Stores the text and sends it with WM_SETTEXT: window titles and button labels.
    virtual void SetCaption(std::wstring text);
    // Reads the platform window's text into text and returns it; empty without a window.
    virtual std::wstring GetText();
    // SW_SHOW or SW_HIDE; returns ShowWindow's result.
    virtual BOOL SetVisible(bool show);

  protected:
    void RefreshClientRect();
};

// Every object the window procedure must reach, in registration order, without duplicates.
// Entries are never removed.
extern std::vector<Event*> ComponentList;

// Appends the object unless it is listed already. Returns it when appended, else null.
Event* AddComponent(Event* object);

} // namespace SystemWindow
