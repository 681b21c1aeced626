#pragma once
// The launcher's handlers: the two tiles' clicks (main thread) and the update engine's
// progress, note and end reports (update worker thread; the end also on the main thread).
#include <cstdint>

namespace Application {

// Paints the window at once on the calling thread, through its own device context.
void Repaint();

// The CAD tile: a notice box; nothing else changes.
void OnCadTileClick(int button, int x, int y);
// The game tile: status "Start", repaint, and an update pass on a worker thread; in a folder
// the launcher cannot write, StartInstalledGame instead. While another launcher runs a pass in
// the folder, the status line says so and the launcher waits for it (folder_wait.h); a click
// while waiting does nothing.
void OnGameTileClick(int button, int x, int y);
// When TolvaneGame.exe is in the launcher's folder, starts it and ends the launcher with exit
// code 0; otherwise nothing.
void StartInstalledGame();
// A download report: rewrites the status line, moves the bar for a file, repaints.
void OnDownloadProgress(std::uint32_t progress, std::uint32_t progressMax, std::uint32_t statusCode,
                        const wchar_t* statusText);
// A note of the engine's (a retry, a move to another update server): shown on the status line
// as StatusAfterNote decides, then a repaint.
void OnPassNote(const wchar_t* text);
// The end of a pass, this launcher's (on its worker thread) or the one it waited for (on the
// main thread): status "End Process Download.", repaint, StartInstalledGame.
void OnUpdateEnd();

} // namespace Application
