#pragma once
// Facts about the running program.
#include <string>

#include "utility/api.h"

namespace Environment {

// The executable's folder with its trailing backslash (for example C:\Games\Launcher\), read
// through a 119-unit buffer, so paths of up to 118 units fit. A longer path is cut to 118 units
// and gives the folder up to the last backslash within them. Empty when the platform call fails
// or the cut path holds no backslash.
TOLVANE_API std::wstring GetSetupExe();
// The two units tab and line feed.
TOLVANE_API std::wstring NewLine();

#if defined(TOLVANE_BUILDING_LIBRARY)
// Not exported: for the programs built with the library itself. The executable's folder with
// its trailing backslash, whatever its length. Empty when the platform call fails.
std::wstring ExecutableFolder();
// The executable's full path, whatever its length. Empty when the platform call fails.
std::wstring ExecutablePath();
#endif

} // namespace Environment
