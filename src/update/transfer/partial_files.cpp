#include "update/transfer/partial_files.h"

#include <windows.h>

#include "update/base/trace.h"

namespace {

const wchar_t kEnding[] = L".tolvane-part";

bool EndsWith(const std::wstring& text, const std::wstring& ending) {
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

class FindHandle {
  public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

} // namespace

std::wstring PartialName(const std::wstring& target) {
    return target + kEnding;
}

void RemoveLeftoverDownloads(const std::wstring& folder) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base.push_back(L'\\');
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW((base + L"*" + kEnding).c_str(), &entry));
    if (find.get() == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring file = base + entry.cFileName;
        // The pattern also matches short names; only a real ending counts.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !EndsWith(file, kEnding))
            continue;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(file.c_str()))
            Trace::Wide(L"removed unfinished download: " + file);
    } while (FindNextFileW(find.get(), &entry));
}
