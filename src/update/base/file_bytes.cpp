#include "update/base/file_bytes.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "update/base/failure_log.h"

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes) {
    const std::wstring partial = path + L".new";
    bool written = false;
    {
        std::ofstream out(partial.c_str(), std::ios::binary | std::ios::trunc);
        written = static_cast<bool>(
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
    }
    if (written && MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(partial.c_str());
    LogFailure(L"error : No write file " + path);
    return false;
}
