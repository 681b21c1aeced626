#include <clocale>
#include <io.h>
#include <mutex>

#include <windows.h>

#include "utility/path.h"
#include "utility/process_order.h"
#include "utility/string_helpers.h"

namespace Path {

namespace {

// The result of the latest listing of either kind; the lock keeps two listings apart.
std::vector<std::wstring> SharedFiles TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_FILE_LIST);
std::mutex SharedFilesLock;

// Owns a search handle of the C runtime's directory interface.
class FindHandle {
  public:
    explicit FindHandle(intptr_t handle) : handle_(handle) {}
    ~FindHandle() {
        if (valid())
            _findclose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return handle_ != -1; }
    intptr_t get() const { return handle_; }

  private:
    intptr_t handle_;
};

enum class Naming { FullPath, NameOnly };

// The listings leave the whole process in the Russian locale, whose decimal separator is the
// comma; Convert::Float and Convert::Double depend on that. msvcrt.dll knows the language
// name; the full Windows name and the RFC 4646 name serve a runtime that does not.
void SelectRussianLocale() {
    for (const char* name : {"Russian", "Russian_Russia.1251", "ru-RU"})
        if (std::setlocale(LC_ALL, name) != nullptr)
            return;
}

// The folder with backslashes only, followed by one separator unless it is empty or already
// ends with a separator or a drive colon.
std::string FolderPrefix(std::string folder) {
    String::Replace(folder, '/', '\\');
    if (!folder.empty() && folder.back() != '\\' && folder.back() != ':')
        folder.push_back('\\');
    return folder;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void Collect(const std::string& folder, Naming naming) {
    // A zero byte (from a unit such as U+0100) would cut the path short and name another
    // folder; such a path names nothing.
    if (folder.empty() || folder.find('\0') != std::string::npos)
        return;
    const std::string prefix = FolderPrefix(folder);
    _finddata_t entry;
    FindHandle search(_findfirst((prefix + "*").c_str(), &entry));
    if (!search.valid())
        return;
    do {
        const std::string name = entry.name;
        if (name == "." || name == "..")
            continue;
        const std::string path = prefix + name;
        // An entry whose type cannot be told is taken.
        if (IsFolder(path))
            continue;
        SharedFiles.push_back(String::ToWstring(naming == Naming::FullPath ? path : name));
    } while (_findnext(search.get(), &entry) == 0);
}

std::vector<std::wstring> List(const std::wstring& folder, Naming naming) {
    std::lock_guard<std::mutex> hold(SharedFilesLock);
    SelectRussianLocale();
    SharedFiles.clear();
    Collect(String::ToString(folder), naming);
    return SharedFiles;
}

} // namespace

std::vector<std::wstring> GetListFiles(std::wstring folder) {
    return List(folder, Naming::FullPath);
}

std::vector<std::wstring> GetListFilesOnlyName(std::wstring folder) {
    return List(folder, Naming::NameOnly);
}

} // namespace Path
