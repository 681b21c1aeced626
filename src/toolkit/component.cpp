#include "toolkit/component.h"

#include <algorithm>

#include "utility/process_order.h"
#include "utility/string_helpers.h"

namespace SystemWindow {

TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_COMPONENT_LIST) std::vector<Event*> ComponentList;

namespace {
// Image buttons have this size whatever their picture's size is.
constexpr int kChildWidth = 455;
constexpr int kChildHeight = 256;
} // namespace

Event* AddComponent(Event* object) {
    if (std::find(ComponentList.begin(), ComponentList.end(), object) != ComponentList.end())
        return nullptr;
    ComponentList.push_back(object);
    return object;
}

Component::Component(HWND parent, std::wstring className, int x, int y)
    : x(x), y(y), width(kChildWidth), height(kChildHeight) {
    hwnd = CreateWindowExW(WS_EX_APPWINDOW, className.c_str(), nullptr,
                           WS_CHILD | WS_VISIBLE | BS_BITMAP, x, y, kChildWidth, kChildHeight,
                           parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr)
        MessageBoxW(nullptr, L"hwnd = null", L"", MB_OK);
    AddComponent(this);
}

void Component::RefreshClientRect() {
    GetClientRect(hwnd, &clientRect);
}

void Component::SetPosition(int newX, int newY) {
    x = newX;
    y = newY;
    RefreshClientRect();
}

int Component::GetX() {
    return x;
}

int Component::GetY() {
    return y;
}

void Component::SetWidth(int newWidth) {
    width = newWidth;
    RefreshClientRect();
}

int Component::GetWidth() {
    RefreshClientRect();
    return width;
}

void Component::SetHeight(int newHeight) {
    height = newHeight;
    RefreshClientRect();
}

int Component::GetHeight() {
    RefreshClientRect();
    return height;
}

HDC Component::GetDeviceContext() {
    return GetDC(hwnd);
}

void Component::SetText(std::string narrow) {
    SetText(String::ToWstring(std::move(narrow)));
}

void Component::SetText(std::wstring wide) {
    text = std::move(wide);
    SetWindowTextW(hwnd, text.c_str());
}

void Component::SetCaption(std::wstring caption) {
    text = std::move(caption);
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring Component::GetText() {
    const int room = GetWindowTextLengthW(hwnd) + 1;
    text.assign(static_cast<std::size_t>(room), L'\0');
    GetWindowTextW(hwnd, &text[0], room);
    text.resize(text.find(L'\0'));
    return text;
}

BOOL Component::SetVisible(bool show) {
    visible = show;
    return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
}

} // namespace SystemWindow
