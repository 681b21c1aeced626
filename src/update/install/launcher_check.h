#pragma once
// The proof a new launcher gives before it replaces the running one: started on the list that
// brought it, it must accept that list with its own built-in keys and product and answer with
// the list's serial. A program that is not a launcher, or a launcher that could not take the
// studio's next lists, never becomes the player's launcher.
#include <cstdint>
#include <string>

// The switch that asks a launcher for its answer: "<exe> /selfcheck <list file> <answer file>".
extern const wchar_t kSelfCheckSwitch[];

// The answer of a launcher holding keys (64 bytes each; none for a build without a key) and
// built for product, about the list's bytes: "tolvane-selfcheck serial=N" when it accepts the
// list, "tolvane-selfcheck refused: REASON" when not, "tolvane-selfcheck keyless" without keys.
std::string SelfCheckAnswer(const std::string& listBytes, const std::string& keys,
                            const std::string& product);

// Why an answer does not vouch for the list of that serial; empty when it does.
std::wstring AnswerFailure(const std::string& answer, std::uint64_t serial);

// Runs the staged launcher with the self-check switch on listBytes, without a window, for at
// most 20 s, in the folder's update\ (ending in a backslash). Empty when it answered for the
// serial; otherwise the reason, for "error : The new launcher failed its check: <reason>".
std::wstring CheckNewLauncher(const std::wstring& staged, const std::wstring& setupFolder,
                              const std::string& listBytes, std::uint64_t serial);
