#include "utility/path.h"

#include <windows.h>

#include "utility/string_helpers.h"

namespace Path {

bool Exists(std::wstring path) {
    // The narrow interface takes the bytes as they are; no code-page conversion can fail here.
    const DWORD attributes = GetFileAttributesA(String::ToString(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace Path
