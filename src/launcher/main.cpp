#include <windows.h>

// Placeholder entry point until the launcher window is assembled here.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 1;
}
