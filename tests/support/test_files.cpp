#include "support/test_files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testing_support {

// The test program's folder, from a checkout at any path length.
static std::wstring ExeFolder() {
    std::wstring path(MAX_PATH, L'\0');
    while (GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())) == path.size())
        path.resize(2 * path.size());
    return path.substr(0, path.rfind(L'\\') + 1);
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = ExeFolder() + L"scratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++) + L"\\";
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directory(path_, ignored);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary) << bytes;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16)));
    return bytes;
}

std::wstring ErrorLogPath() {
    return ExeFolder() + L"errors.err";
}

void ClearErrorLog() {
    DeleteFileW(ErrorLogPath().c_str());
}

std::vector<std::string> ErrorLogLines() {
    const std::string bytes = ReadBytes(ErrorLogPath());
    std::vector<std::string> lines;
    for (std::size_t start = 0, end = 0; start < bytes.size(); start = end + 2) {
        end = std::min(bytes.find("\r\n", start), bytes.size());
        lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
}

} // namespace testing_support
