#pragma once
// The launcher's four handlers: the two tiles' clicks (main thread) and the update engine's
// progress and end reports (update worker thread).
#include <cstdint>

namespace Application {

// Paints the window at once on the calling thread, through its own device context.
void Repaint();

// The CAD tile: a notice box; nothing else changes.
void OnCadTileClick(int button, int x, int y);
// The game tile: status "Start", repaint, and an update pass on a worker thread; in a folder
// the launcher cannot write, StartInstalledGame instead.
void OnGameTileClick(int button, int x, int y);
// When TolvaneGame.exe is in the launcher's folder, starts it and ends the launcher with exit
// code 0; otherwise nothing.
void StartInstalledGame();
// A download report: rewrites the status line, moves the bar for a file, repaints.
void OnDownloadProgress(std::uint32_t progress, std::uint32_t progressMax, std::uint32_t statusCode,
                        const wchar_t* statusText);
// The end of a pass: status "End Process Download.", repaint, StartInstalledGame.
void OnUpdateEnd();

} // namespace Application
