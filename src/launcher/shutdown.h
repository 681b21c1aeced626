#pragma once
// Every way the launcher ends itself. The process always ends from the main thread, through
// the runtime's normal exit, so that the objects the message loop uses are torn down only after
// nothing else can reach them; while an update pass still runs, without tearing them down, and
// only once a switch of the folder to the next release that runs has finished.
#include <windows.h>

namespace Application {

// The private message that hands the end of the process to the main thread. A posted message
// reaches the window from every loop of that thread, a message box's or a title bar drag's too.
constexpr UINT kProcessEndMessage = WM_APP + 1;

// Escape released: frees the main window object, posts the quit message and ends the process
// with exit code 0.
[[noreturn]] void QuitApplication();

// Ends the process with this exit code. Painting and reports stop first. Main thread only.
[[noreturn]] void EndProcess(int code);

// The session is about to end: a switch of the folder that runs finishes, and none starts
// after it. Main thread only.
void PrepareForSessionEnd();

// The session ends (true): the process ends with exit code 0, as on Escape. Or it goes on after
// all (false), and so may the pass. Main thread only.
void EndSession(bool ending);

// The window that receives kProcessEndMessage; set once, before any update worker starts.
void SetProcessEndWindow(HWND window);

// Ends the process with exit code 0 from any thread. On the main thread at once; from an
// update worker the request goes to the main thread as kProcessEndMessage and the worker waits
// there for the end, never returning.
[[noreturn]] void HandOverProcessEnd();

// True once an update worker has asked for the end of the process.
bool ProcessEndHandedOver();

} // namespace Application
