#include "utility/file_query.h"

#include <cstdio>

#include <windows.h>
#include <shellapi.h>

#include "utility/string_helpers.h"

namespace File {

namespace {

template <typename Text> Text AfterLast(const Text& path, typename Text::value_type mark) {
    const std::size_t p = path.rfind(mark);
    return p == Text::npos ? Text() : path.substr(p + 1);
}

} // namespace

bool Exists(std::wstring path, bool report) {
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        std::fclose(file);
        return true;
    }
    (void)report; // kept for callers of the flagged form; a missing file is not reported
    return false;
}

bool Exists(std::string path, bool report) {
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return true;
    }
    (void)report;
    return false;
}

bool Exists(std::wstring path) {
    return Exists(std::move(path), true);
}

bool Exists(std::string path) {
    return Exists(String::ToWstring(std::move(path)), true);
}

std::string GetName(std::string path) {
    return AfterLast(path, '\\');
}

std::wstring GetName(std::wstring path) {
    return AfterLast(path, L'\\');
}

std::string GetExtension(std::string path) {
    return AfterLast(path, '.');
}

std::wstring GetExtension(std::wstring path) {
    return AfterLast(path, L'.');
}

void RunProcess(std::wstring path) {
    ShellExecuteW(reinterpret_cast<HWND>(GetModuleHandleW(nullptr)), L"open", path.c_str(), nullptr,
                  nullptr, SW_SHOWDEFAULT);
}

} // namespace File
