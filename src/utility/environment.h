#pragma once
// Facts about the running program.
#include <string>

#include "utility/api.h"

namespace Environment {

// The executable's folder with its trailing backslash (for example C:\Games\Launcher\), read
// through a 119-unit buffer, so paths of up to 118 units fit. Empty when the platform call
// fails or the path holds no backslash.
TOLVANE_API std::wstring GetSetupExe();
// The two units tab and line feed.
TOLVANE_API std::wstring NewLine();

} // namespace Environment
