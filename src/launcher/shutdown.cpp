#include "launcher/shutdown.h"

#include <atomic>
#include <cstdlib>

#include <windows.h>

#include "launcher/launcher_state.h"
#include "toolkit/window.h"

namespace Application {

namespace {

// Static initialisation runs on the main thread.
const DWORD MainThread = GetCurrentThreadId();
std::atomic<bool> EndRequested{false};

void CloseDisplay() {
    const auto lock = LockDisplay();
    DisplayClosed = true;
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
    std::exit(0);
}

void EndProcess(int code) {
    CloseDisplay();
    std::exit(code);
}

void HandOverProcessEnd() {
    if (GetCurrentThreadId() == MainThread)
        EndProcess(0);
    EndRequested = true;
    // The worker must not run on into objects that the exit destroys.
    for (;;)
        Sleep(INFINITE);
}

bool ProcessEndHandedOver() {
    return EndRequested;
}

} // namespace Application
