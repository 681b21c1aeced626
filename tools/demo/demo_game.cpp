// The demo's stand-in for the game: a small window saying that the game started. It also
// leaves "TolvaneGame.started" beside itself, so that a script can tell it ran.
#include <windows.h>

#include <string>

namespace {

// Neutral: the launcher also starts the installed game after refusing a list.
const wchar_t kText[] = L"TolvaneGame has started (the demo's stand-in for the game).";

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, kText, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void LeaveMarker() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring marker = self;
    marker = marker.substr(0, marker.rfind(L'\\') + 1) + L"TolvaneGame.started";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    LeaveMarker();
    WNDCLASSW type = {};
    type.lpfnWndProc = Procedure;
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    type.lpszClassName = L"TolvaneGameDemo";
    RegisterClassW(&type);
    HWND window = CreateWindowW(L"TolvaneGameDemo", L"TolvaneGame", WS_OVERLAPPEDWINDOW, 200, 200,
                                640, 240, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
