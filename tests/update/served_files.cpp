#include "served_files.h"

#include <windows.h>

#include "update/update_worker.h"

namespace served {

namespace {

int EndCalls = 0;
void CountEnd() {
    ++EndCalls;
}

} // namespace

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

void Serve(const std::wstring& site, const std::wstring& relativePath, const std::string& bytes) {
    std::wstring path =
        Env(L"TOLVANE_DOCROOT") + L"\\" + site + L"\\AppGameUpload\\" + relativePath;
    for (std::size_t p = path.find(L'\\', 3); p != std::wstring::npos; p = path.find(L'\\', p + 1))
        CreateDirectoryW(path.substr(0, p).c_str(), nullptr);
    testing_support::WriteBytes(path, bytes);
}

ServerSettings SettingsFor(const std::wstring& server, const std::wstring& site,
                           const std::wstring& folder) {
    return ServerSettings{server + site + L"/", folder, L"uploadfile.uda", L"AppGameUpload"};
}

int RunPass(const ServerSettings& settings) {
    UpdateServerSettings = settings;
    UpdateEndCallback = CountEnd;
    EndCalls = 0;
    UpdateWorker();
    UpdateEndCallback = nullptr;
    return EndCalls;
}

int NginxRequests(const std::string& text) {
    const std::string log = testing_support::ReadBytes(Env(L"TOLVANE_NGINX_LOG"));
    int count = 0;
    for (std::size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
        ++count;
    return count;
}

} // namespace served
