#pragma once
// Assembling the launcher: its window, pictures and tiles, and its place in the update engine.
#include <windows.h>

namespace Application {

// Builds the launcher window (hidden), centres it, loads the background and the two tiles from
// Images\ beside the executable, and installs the handlers into the update engine. A picture
// that yields no bitmap ends the process with exit code 0; the later pictures are not tried.
// Then checks that the launcher can write in its folder (CheckInstallFolder); last, shows a
// followed channel other than stable on the status line.
void SetupApplication();

// Centres TheGameWindow on the screen, a little below the middle.
void CenterWindow();

// The top-left corner that centres a width x height window on a screenWidth x screenHeight
// area, moved down by two caption heights and 4 pixels.
POINT CenteredPosition(int screenWidth, int screenHeight, int captionHeight, int width, int height);

} // namespace Application
