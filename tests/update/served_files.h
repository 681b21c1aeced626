#pragma once
// What the server tests share: the servers that run_with_servers.py started, files placed in
// their document root, and a pass run synchronously with an end-callback count.
#include <string>

#include "support/test_files.h"
#include "update/update_pass.h"

namespace served {

// An environment variable that run_with_servers.py sets; empty when missing.
std::wstring Env(const wchar_t* name);
inline std::wstring NginxUrl() {
    return Env(L"TOLVANE_NGINX_URL");
}
inline std::wstring FaultUrl() {
    return Env(L"TOLVANE_FAULT_URL");
}

// Puts bytes at docroot\site\AppGameUpload\relativePath, making its folders.
void Serve(const std::wstring& site, const std::wstring& relativePath, const std::string& bytes);
// The list file of a site.
inline void ServeList(const std::wstring& site, const std::string& bytes) {
    Serve(site, L"uploadfile.uda", bytes);
}

// Settings for a pass from server + site + "/" into the folder.
ServerSettings SettingsFor(const std::wstring& server, const std::wstring& site,
                           const std::wstring& folder);

// Runs one pass synchronously; returns how often the end callback ran.
int RunPass(const ServerSettings& settings);

// How many requests nginx has logged whose request line contains the text.
int NginxRequests(const std::string& text);

} // namespace served
