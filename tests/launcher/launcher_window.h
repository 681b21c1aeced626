#pragma once
// The launcher window of a test process, assembled by SetupApplication from test pictures
// written to Images\ beside the test program. One per process: the window class registers once.
#include <windows.h>

#include <string>

#include "canvas.h"
#include "launcher/game_window.h"

namespace testing_support {

constexpr COLORREF kBackgroundColour = RGB(30, 60, 90);
constexpr COLORREF kCadTileColour = RGB(220, 120, 0);
constexpr COLORREF kGameTileColour = RGB(0, 160, 60);
constexpr COLORREF kBarFill = 0x00C84664;
constexpr COLORREF kContactColour = 0x00FFB4D2;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Writes the three pictures into folder (ending in a backslash).
void WriteLauncherPictures(const std::wstring& folder);

// Built on first use.
Application::GameWindow& LauncherWindow();

// Sets the bar and the status line under the display lock.
void SetDisplay(int progress, const std::wstring& status);

constexpr POINT kShadowOffset = {1, 0};

// Draws the launcher's background and a status line as the description of the window has it:
// white at (40, 140), its black shadow moved by shadowOffset (none with a null pointer).
void DrawStatusLine(Canvas& canvas, const std::wstring& status,
                    const POINT* shadowOffset = &kShadowOffset);

// True when the two canvases agree around the status line.
bool SameStatusLine(const Canvas& painted, const Canvas& expected);

} // namespace testing_support
