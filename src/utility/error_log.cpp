#include <mutex>

#include <windows.h>

#include "utility/environment.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

namespace File {

namespace {

// Serialises appends of this process, so that lines from several threads never tear.
// A constant-initialised mutex, usable before any constructor has run.
std::mutex LogLock;

// Beside the executable at any folder depth; GetSetupExe would cut a long folder short.
std::wstring LogPath() {
    return Environment::ExecutableFolder() + L"errors.err";
}

} // namespace

void WriteError(std::wstring message) {
    const std::wstring path = LogPath();
    std::lock_guard<std::mutex> hold(LogLock);
    AddWriteEnd(String::ToString(message), path);
}

void DeleteFileError() {
    if (!DeleteFileW(LogPath().c_str()))
        WriteError(L"No delete file errors.err");
}

} // namespace File
