#pragma once
// The update pass's one reporting channel: one error-log line per failure.
#include <string>

// The text with every control unit (below U+0020, and U+007F) written as "<HH>" in hex, so
// that bytes from a list never split a line or forge another one.
std::wstring EscapeControlUnits(const std::wstring& text);

// Appends the failure to errors.err as one line, its control units escaped.
void LogFailure(const std::wstring& message);
