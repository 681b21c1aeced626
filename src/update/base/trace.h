#pragma once
// Diagnostic trace lines of the update engine on the standard output streams. The launcher
// has no console, so they are only seen when its output is redirected.
#include <string>

namespace Trace {

// One narrow line (the line handling's traces).
void Narrow(const std::string& line);
// One wide line (folders and download progress).
void Wide(const std::wstring& line);

} // namespace Trace
