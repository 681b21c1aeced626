#include "launcher_window.h"

#include "bitmap_file.h"
#include "launcher/launcher_state.h"
#include "launcher/setup.h"
#include "toolkit/window.h"
#include "utility/environment.h"

namespace testing_support {

void WriteLauncherPictures(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteBitmapFile(folder + L"back_1366x854.bmp", 1366, 854, kBackgroundColour);
    WriteBitmapFile(folder + L"TolvaneCAD_455.bmp", 455, 256, kCadTileColour);
    WriteBitmapFile(folder + L"TolvaneGame_455.bmp", 455, 256, kGameTileColour);
}

Application::GameWindow& LauncherWindow() {
    static Application::GameWindow* window = [] {
        WriteLauncherPictures(Environment::GetSetupExe() + L"Images\\");
        SystemWindow::InstanceHandle = GetModuleHandleW(nullptr);
        Application::SetupApplication();
        return Application::TheGameWindow;
    }();
    return *window;
}

void DrawStatusLine(Canvas& canvas, const std::wstring& status, const POINT* shadowOffset) {
    canvas.Fill(RGB(1, 2, 3));
    // A bitmap can be selected into one context at a time, and the window may be painting.
    const auto lock = Application::LockDisplay();
    LauncherWindow().background->Draw(canvas.dc());
    const int length = static_cast<int>(status.size());
    SetBkMode(canvas.dc(), TRANSPARENT);
    if (shadowOffset != nullptr) {
        SetTextColor(canvas.dc(), kBlack);
        TextOutW(canvas.dc(), 40 + shadowOffset->x, 140 + shadowOffset->y, status.c_str(), length);
    }
    SetTextColor(canvas.dc(), kWhite);
    TextOutW(canvas.dc(), 40, 140, status.c_str(), length);
}

bool SameStatusLine(const Canvas& painted, const Canvas& expected) {
    for (int y = 136; y < 172; ++y)
        for (int x = 30; x < 600; ++x)
            if (painted.At(x, y) != expected.At(x, y))
                return false;
    return true;
}

void SetDisplay(int progress, const std::wstring& status) {
    const auto lock = Application::LockDisplay();
    LauncherWindow().progress = progress;
    Application::StatusText = status;
}

} // namespace testing_support
