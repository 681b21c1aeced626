#include "toolkit/window.h"

namespace SystemWindow {

namespace {

// By index with the length read again after every call: a handler may register new objects.
template <typename Action> void ForEachListed(Action action) {
    for (std::size_t i = 0; i < ComponentList.size(); ++i) {
        if (Event* object = ComponentList[i])
            action(*object);
    }
}

} // namespace

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Every flagged object sees every message of every window of the class.
    ForEachListed([&](Event& object) {
        if (object.isWindow)
            object.HandleMessage(message, wParam, lParam);
    });

    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
    case WM_CLOSE:
        // A close request only stops the loops; the platform window stays.
        for (std::size_t i = 0; i < WindowList.size(); ++i)
            WindowList[i]->RunMessageLoop(false);
        return 0;
    case WM_PAINT:
        // Each listed object paints through its own window's context; the default procedure
        // then validates the update region.
        ForEachListed([&](Event& object) { object.HandleMessage(WM_PAINT, wParam, lParam); });
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_COMMAND:
        // A child control's notification goes to the object that owns the control. A menu or
        // accelerator command names no control and reaches no object.
        ForEachListed([&](Event& object) {
            if (lParam != 0 && object.hwnd == reinterpret_cast<HWND>(lParam) && LOWORD(wParam) == 0)
                object.OnMouseUp(static_cast<int>(wParam), static_cast<int>(wParam),
                                 static_cast<int>(lParam));
        });
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace SystemWindow
