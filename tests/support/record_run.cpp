// A stand-in program for tests that start executables: it leaves an empty file
// "<its own path>.ran", then ends. It may lie in a folder of any path length.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::wstring self(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size()))) ==
               self.size() &&
           self.size() < 65536)
        self.resize(2 * self.size());
    self.resize(length);
    // Started through its short name (as from a folder past MAX_PATH), it names itself in full.
    std::wstring full(self.size() + MAX_PATH, L'\0');
    full.resize(GetLongPathNameW(self.c_str(), &full[0], static_cast<DWORD>(full.size())));
    if (!full.empty())
        self = full;
    CloseHandle(CreateFileW((self + L".ran").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return 0;
}
