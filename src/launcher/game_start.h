#pragma once
// Starting the installed game, from a launcher folder of any length.
#include <string>

namespace Application {

// Starts the game at path through File::RunProcess, in its own folder. From a folder past
// MAX_PATH, where the shell's start searches paths it cannot hold (Wine then starts nothing),
// it is started directly by its short name with its folder's short name as current folder.
void StartGame(const std::wstring& path);

} // namespace Application
