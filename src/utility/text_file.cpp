#include "utility/text_file.h"

#include <fstream>
#include <mutex>

#include <windows.h>

#include "utility/file_query.h"
#include "utility/message_window.h"
#include "utility/process_order.h"
#include "utility/string_helpers.h"

namespace File {

namespace {

// The lines of the latest ReadTXTListString call; the lock keeps two callers from mixing them.
std::vector<std::wstring> SharedLines TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_LINE_LIST);
std::mutex SharedLinesLock;

std::wstring NotFound(const std::wstring& path) {
    return L"No find file:" + path;
}

// Opens the file in text mode and hands each line to the sink; false when it does not open.
template <typename Sink> bool ForEachLine(const std::wstring& path, Sink sink) {
    std::ifstream in(path.c_str());
    if (!in.is_open())
        return false;
    std::string line;
    while (std::getline(in, line))
        sink(line);
    return true;
}

bool WriteWithMode(const std::string& text, const std::wstring& path, std::ios::openmode mode) {
    {
        std::ofstream out(path.c_str(), mode);
        if (out.is_open())
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // Success means the file exists afterwards, as the callers have always judged it.
    if (!Exists(path)) {
        WriteError(L"error: No write file: " + path);
        return false;
    }
    return true;
}

} // namespace

bool ReadTXT(std::wstring path, std::vector<std::string>& lines) {
    if (!Exists(path)) {
        WriteError(NotFound(path));
        return false;
    }
    return ForEachLine(path, [&](const std::string& line) { lines.push_back(line); });
}

bool ReadTXT(std::wstring path, LineCallback callback) {
    if (!Exists(path)) {
        WriteError(L"error: " + NotFound(path));
        return false;
    }
    if (callback == nullptr) {
        WriteError(L"error: Function callback: pointer = null");
        return false;
    }
    return ForEachLine(path, [&](const std::string& line) { callback(String::ToWstring(line)); });
}

bool ReadTXT(std::wstring path, LineContextCallback callback, void* context) {
    if (!Exists(path)) {
        MessageBoxW(nullptr, NotFound(path).c_str(), L"Message", MB_OK);
        return false;
    }
    if (callback == nullptr) {
        MessageWindow::Show(std::wstring(L"Function callback: pointer = null"));
        return false;
    }
    return ForEachLine(
        path, [&](const std::string& line) { callback(String::ToWstring(line), context); });
}

std::vector<std::wstring> ReadTXTListString(std::wstring path) {
    std::lock_guard<std::mutex> hold(SharedLinesLock);
    SharedLines.clear();
    const bool read = ReadTXT(path, [](std::wstring line) { SharedLines.push_back(line); });
    if (!read)
        WriteError(L"error : read File " + path);
    return SharedLines;
}

bool WriteText(std::string text, std::wstring path) {
    return WriteWithMode(text, path, std::ios::out | std::ios::trunc);
}

bool AddWriteText(std::string text, std::wstring path) {
    return WriteWithMode(text, path, std::ios::out | std::ios::app);
}

void AddWriteEnd(std::string text, std::wstring path) {
    std::fstream out(path.c_str(), std::ios::in | std::ios::app);
    if (!out.is_open())
        return;
    out.seekp(0, std::ios::end);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.put('\n');
    out.flush();
}

void Delete(std::wstring path) {
    if (!DeleteFileW(path.c_str()))
        WriteError(L"No delete file " + path);
}

} // namespace File
