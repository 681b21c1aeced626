#pragma once
// Folder questions and listings.
#include <string>

#include "utility/api.h"

namespace Path {

// True only when the path, narrowed by String::ToString, names an existing folder.
TOLVANE_API bool Exists(std::wstring path);

} // namespace Path
