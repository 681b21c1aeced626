#pragma once
// The running launcher's side of the proof a new launcher gives (self_check_answer.h): the
// staged launcher is run on the list that brought it, and its answer is judged.
#include <cstdint>
#include <string>

// Runs the staged launcher with the self-check switch on listBytes, without a window, for at
// most 20 s, in the folder's update\ (ending in a backslash), asking for its update servers.
// Empty when it answered for the serial and fetches from servedUrl, the base URL that served
// the list; otherwise the reason, for "error : The new launcher failed its check: <reason>".
std::wstring CheckNewLauncher(const std::wstring& staged, const std::wstring& setupFolder,
                              const std::string& listBytes, std::uint64_t serial,
                              const std::wstring& servedUrl);
