#pragma once
// The launcher's process-wide display state. The update worker writes the status line and the
// bar while the main thread paints them, so every read and write happens under DisplayLock.
#include <mutex>
#include <string>

namespace Application {

class GameWindow;

// The status line: empty, "Start", the download reports, the engine's notes, the wait for
// another launcher, "End Process Download." (kPassEndStatus).
extern std::wstring StatusText;
// The studio's contact lines; fixed.
extern const std::wstring ContactMessengerLine;
extern const std::wstring ContactMailLine;
// The launcher window, once SetupApplication has made it.
extern GameWindow* TheGameWindow;
// The bar's full length in pixels, half the client width; written by every paint.
extern int ProgressBarLength;

// False when the launcher cannot write in its folder (CheckInstallFolder): a click on the game
// tile then starts the installed game without a pass. Main thread only.
extern bool FolderWritable;

// Held while the display state is written and for the whole of every paint.
std::unique_lock<std::mutex> LockDisplay();

// Set under the lock when the process is ending; nothing is painted or reported after it.
extern bool DisplayClosed;

} // namespace Application
