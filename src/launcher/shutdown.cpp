#include "launcher/shutdown.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <windows.h>

#include "launcher/launcher_state.h"
#include "toolkit/window.h"
#include "update/install/folder_switch.h"
#include "update/update_worker.h"

namespace Application {

namespace {

// Static initialisation runs on the main thread.
const DWORD MainThread = GetCurrentThreadId();
std::atomic<bool> EndRequested{false};
std::atomic<HWND> EndWindow{nullptr};

void CloseDisplay() {
    const auto lock = LockDisplay();
    DisplayClosed = true;
}

// The runtime's normal exit destroys the process-wide objects, the update settings among them.
// A pass that is still downloading reads those, so while one runs (and has not parked itself
// to hand the end over) the process ends without destroying them, its output flushed first.
// A commit that runs then finishes first: the folder holds one whole release when it ends.
[[noreturn]] void Exit(int code) {
    if (UpdatePassRunning() && !EndRequested) {
        HoldOffFolderSwitches();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    std::exit(code);
}

} // namespace

void QuitApplication() {
    CloseDisplay();
    if (SystemWindow::MainWindow != nullptr) {
        // Destroyed as a component: its text is released; the platform window stays.
        SystemWindow::Component* window = SystemWindow::MainWindow;
        window->~Component();
        ::operator delete(window);
        SystemWindow::MainWindow = nullptr;
    }
    PostQuitMessage(0);
    Exit(0);
}

void EndProcess(int code) {
    CloseDisplay();
    Exit(code);
}

void PrepareForSessionEnd() {
    HoldOffFolderSwitches();
}

void EndSession(bool ending) {
    if (ending)
        EndProcess(0);
    AllowFolderSwitches();
}

void SetProcessEndWindow(HWND window) {
    EndWindow = window;
}

void HandOverProcessEnd() {
    if (GetCurrentThreadId() == MainThread)
        EndProcess(0);
    EndRequested = true;
    // A message, because a modal loop on the main thread (a message box, a title bar drag)
    // dispatches it but never lets the launcher's own loop go idle.
    PostMessageW(EndWindow, kProcessEndMessage, 0, 0);
    // The worker must not run on into objects that the exit destroys.
    for (;;)
        Sleep(INFINITE);
}

bool ProcessEndHandedOver() {
    return EndRequested;
}

} // namespace Application
