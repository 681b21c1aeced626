#pragma once
// Starting a launcher of the folder's from the running one (its self-check, the hand-over of its
// replacement, the launcher again once that is done), and reading such a start's command line.
#include <windows.h>

#include <string>
#include <vector>

// How the started program's window shows: as the program asks, or hidden.
enum class StartWindow { Default, Hidden };

// Starts the program with the arguments (a console never shows), inheriting this process's
// inheritable handles when asked. Wine's process start cannot hold an image path past MAX_PATH:
// a deeper one is named relative to the short form of its folder, made the current folder
// until it has started. False when it did not start, with GetLastError saying why.
bool StartProgram(const std::wstring& program, const std::wstring& arguments, bool inherit,
                  StartWindow window, PROCESS_INFORMATION& started);

// The words of a command line as the platform splits them, the program's name first; empty
// when it cannot be split.
std::vector<std::wstring> CommandWords(const wchar_t* commandLine);
