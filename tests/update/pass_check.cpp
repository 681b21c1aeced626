#include "pass_check.h"
#include "update/install/install.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "support/test_files.h"
#include "update/transfer/binding_watch.h"
#include "update/transfer/internet_cache.h"
#include "update/base/channel_name.h"
#include "update/chunks/chunker.h"
#include "update/trust/sha256.h"
#include "update/update_worker.h"
#include "utility/string_helpers.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace pass_check {

const std::wstring Here = ErrorLogPath().substr(0, ErrorLogPath().rfind(L'\\') + 1);

namespace {

// "a|b|c" -> {"a", "b", "c"}; "" -> {}.
std::vector<std::string> Split(const std::string& text, char separator = '|') {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

std::vector<HANDLE> Held;

// The bytes a text stands for: "@file" for those of that file beside the test program.
std::string Bytes(const std::string& text) {
    return text.rfind('@', 0) == 0 ? ReadBytes(Here + String::ToWstring(text.substr(1))) : text;
}

// Every file under the folder as "name:bytes", a long file as its start and its size; a file
// that expected takes with any content as "name:*"; any chunk work as one "update\\chunks\\*:*"
// and any kept index as one "update\\chunks\\index\\*:*" when expected holds those.
std::set<std::string> Snapshot(const std::wstring& folder, const std::set<std::string>& expected) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = String::ToString(entry.path().wstring().substr(folder.size()));
        bool wild = false;
        for (const char* area : {"update\\chunks\\index\\", "update\\chunks\\"})
            if (!wild && name.rfind(area, 0) == 0 && expected.count(area + std::string("*:*"))) {
                files.insert(area + std::string("*:*"));
                wild = true;
            }
        if (wild)
            continue;
        std::string bytes = ReadBytes(entry.path().wstring());
        if (expected.count(name + ":*"))
            bytes = "*";
        else if (bytes.size() > 256)
            bytes = bytes.substr(0, 16) + "...(" + std::to_string(bytes.size()) + " bytes)";
        files.insert(name + ":" + bytes);
    }
    return files;
}

std::atomic<int> Ends{0}, Reports{0};
HANDLE EndRelease = CreateEventW(nullptr, FALSE, FALSE, nullptr);

// Another program's internet-cache entry, on another host, filed while a pass runs.
const wchar_t kForeignEntry[] = L"https://other-program.example/tolvane-test/kept.bin";

bool FileCacheEntry(const wchar_t* url) {
    wchar_t file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url, 4, L"bin", file, 0))
        return false;
    WriteBytes(file, "kept");
    const FILETIME none = {};
    return CommitUrlCacheEntryW(url, file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr,
                                nullptr) != FALSE;
}

// The chunk ends of bytes, as the publisher cuts them.
std::vector<std::uint64_t> ChunkEnds(const std::string& bytes) {
    Chunker chunker;
    std::vector<std::uint64_t> ends;
    chunker.Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), ends);
    chunker.Finish(ends);
    return ends;
}

} // namespace

std::vector<std::string> ChunkHashes(const std::string& bytes) {
    std::vector<std::string> hashes;
    std::uint64_t start = 0;
    for (std::uint64_t end : ChunkEnds(bytes)) {
        Sha256 chunk;
        chunk.Add(bytes.data() + start, end - start);
        hashes.push_back(chunk.Finish());
        start = end;
    }
    return hashes;
}

std::vector<std::string> ServeChunks(const std::wstring& site, const std::string& bytes) {
    const std::vector<std::uint64_t> ends = ChunkEnds(bytes);
    const std::vector<std::string> hashes = ChunkHashes(bytes);
    Sha256 whole;
    whole.Add(bytes);
    const std::string sha256 = whole.Finish();
    std::string index = "tolvane-chunk-index 1 size=" + std::to_string(bytes.size()) +
                        " sha256=" + sha256 + " chunks=" + std::to_string(ends.size()) + "\n";
    const fs::path root = site + L"TolvaneChunks";
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        index +=
            std::to_string(start) + " " + std::to_string(ends[i] - start) + " " + hashes[i] + "\n";
        fs::create_directories(root / hashes[i].substr(0, 2));
        WriteBytes((root / hashes[i].substr(0, 2) / hashes[i]).wstring(),
                   bytes.substr(start, ends[i] - start));
        start = ends[i];
    }
    fs::create_directories(root / "index");
    WriteBytes((root / "index" / sha256).wstring(), index);
    return hashes;
}

PassTest::PassTest()
    : stallLimitMs_(Network::DownloadStallLimitMs), progressPauseMs_(ProgressPauseMs),
      retryPolicy_(PassRetryPolicy), endCallback_(UpdateEndCallback),
      progressCallback_(DownloadProgressCallback) {
    // Scratch folders come back under the same names in a later run of the same prefix; their
    // rollback records in the registry must not.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TolvaneSoft\\Launcher");
}

PassTest::~PassTest() {
    VolumeFreeBytesOverride = 0;
    Network::DownloadStallLimitMs = stallLimitMs_;
    ProgressPauseMs = progressPauseMs_;
    PassRetryPolicy = retryPolicy_;
    UpdateEndCallback = endCallback_;
    DownloadProgressCallback = progressCallback_;
}

std::wstring Env(const std::wstring& name) {
    const wchar_t* value = _wgetenv(name.c_str());
    return value ? value : L"";
}

void Place(const std::wstring& folder, const std::string& files) {
    for (const std::string& file : Split(files)) {
        const fs::path path = folder + String::ToWstring(file.substr(0, file.find(':')));
        if (file.find(':') == std::string::npos) {
            Held.push_back(
                CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            continue;
        }
        const std::string bytes = Bytes(file.substr(file.find(':') + 1));
        fs::create_directories(path.parent_path());
        WriteBytes(path.wstring(), bytes);
        if (bytes == "read-only")
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        if (bytes == "held")
            Held.push_back(
                CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
}

namespace {

// The server's URL for the case's site, and its mirrors' (each ending in /).
std::wstring ServerOf(const PassCase& pass) {
    return Env(L"TOLVANE_" + std::wstring(pass.server) + L"_URL") + String::ToWstring(pass.site);
}
std::vector<std::wstring> MirrorsOf(const PassCase& pass) {
    std::vector<std::wstring> mirrors;
    for (const std::string& name : Split(String::ToString(pass.mirrors), ';'))
        mirrors.push_back(Env(L"TOLVANE_" + String::ToWstring(name) + L"_URL") +
                          String::ToWstring(pass.site) + L"/");
    return mirrors;
}

// The case's texts with the words CheckPass names replaced.
std::string Expand(const PassCase& pass, const std::wstring& folder, std::string text) {
    const std::wstring server = ServerOf(pass);
    const std::vector<std::wstring> mirrors = MirrorsOf(pass);
    const std::string siteFolder = ChannelFolder(pass.channel);
    std::map<std::string, std::string> words = {
        {"{base0}", String::ToString(server) + "/"},
        {"{dl}", "error : No download file " + String::ToString(server) + "/" + siteFolder + "/"},
        {"{fail}", " -> Start progress download: download error: "},
        {"{out}", "error : Path outside the launcher folder refused: "},
        {"{nolist}", "error :No possibility to download data"},
        {"{folder}", String::ToString(folder)},
        {"{nul}", std::string(1, '\0')},
        {"{wrong}", ";size=65536;sha256=" + std::string(64, 'a')},
        {"{canary}", String::ToString(Here) + "canary.tolvane-part"}};
    for (std::size_t i = 0; i < mirrors.size(); ++i)
        words["{base" + std::to_string(i + 1) + "}"] = String::ToString(mirrors[i]);
    for (const auto& [word, value] : words)
        for (std::size_t at; (at = text.find(word)) != std::string::npos;)
            text.replace(at, word.size(), value);
    for (std::size_t at; (at = text.find("{pin:")) != std::string::npos;) {
        const std::size_t end = text.find('}', at);
        const std::string bytes = Bytes(text.substr(at + 5, end - at - 5));
        Sha256 hash;
        hash.Add(bytes);
        text.replace(at, end + 1 - at,
                     "size=" + std::to_string(bytes.size()) + ";sha256=" + hash.Finish());
    }
    return text;
}

} // namespace

bool Serve(const PassCase& pass) {
    const std::string siteFolder = ChannelFolder(pass.channel);
    std::wstring upload = Env(L"TOLVANE_DOCROOT") + L"\\" + String::ToWstring(pass.site) + L"\\" +
                          String::ToWstring(siteFolder) + L"\\";
    std::replace(upload.begin(), upload.end(), L'/', L'\\');
    Place(upload, Expand(pass, L"", pass.served));
    // nginx serves a "sign-N" site's list as the fault server signs it, untampered; the fault
    // server, as a mirror of nginx, then tampers with that copy as the site's name says.
    const bool nginxServes = std::wstring(pass.server) == L"NGINX" ||
                             std::wstring(pass.mirrors).find(L"NGINX") != std::wstring::npos;
    if (nginxServes && std::string(pass.site).rfind("sign-", 0) == 0) {
        const std::wstring signer = Env(L"TOLVANE_FAULT_URL") + String::ToWstring(pass.site) +
                                    L"/" + String::ToWstring(siteFolder) +
                                    L"/uploadfile.uda?published";
        const std::wstring signedList = upload + L"signed.uda";
        const HRESULT fetched =
            URLDownloadToFileW(nullptr, signer.c_str(), signedList.c_str(), 0, nullptr);
        DeleteUrlCacheEntryW(signer.c_str());
        EXPECT_EQ(fetched, S_OK) << "the list was not signed";
        return fetched == S_OK &&
               MoveFileExW(signedList.c_str(), (upload + L"uploadfile.uda").c_str(),
                           MOVEFILE_REPLACE_EXISTING);
    }
    return true;
}

void CheckPass(const PassCase& pass, const std::wstring& folder) {
    SCOPED_TRACE(pass.site);
    const std::wstring serverName(pass.server), server = ServerOf(pass);
    const std::vector<std::wstring> mirrors = MirrorsOf(pass);
    const auto expand = [&](const std::string& text) { return Expand(pass, folder, text); };
    const std::string siteFolder = ChannelFolder(pass.channel);
    ASSERT_TRUE(Serve(pass));
    Place(folder, pass.before);
    ClearErrorLog();
    Ends = Reports = 0;
    ProgressPauseMs = 0;
    // Retries wait as the pass's policy says, only shorter; a Retry-After is still honoured.
    PassRetryPolicy.firstWaitMs = 50;
    const std::uint64_t start = UpdateEntryCount;
    const std::wstring accessLog = Env(L"TOLVANE_" + serverName + L"_LOG");
    const std::size_t logStart = Split(ReadBytes(accessLog), '\n').size();
    UpdateEndCallback = [] {
        ++Ends;
        WaitForSingleObject(EndRelease, 30000);
    };
    DeleteUrlCacheEntryW(kForeignEntry);
    static std::atomic<bool> foreignFiled;
    foreignFiled = false;
    DownloadProgressCallback = [](std::uint32_t, std::uint32_t, std::uint32_t, const wchar_t*) {
        if (Reports++ == 0)
            foreignFiled = FileCacheEntry(kForeignEntry);
    };
    // The pass's trace lines, to count what it hashed.
    std::ostringstream trace;
    std::streambuf* const console = std::cout.rdbuf(trace.rdbuf());
    PassOptions options{
        pass.repair, pass.keys > 0 ? BuiltInListKey() : "", pass.product, {}, pass.limitKiBs};
    if (pass.keys > 1)
        options.listKey += FromHex(String::ToString(Env(L"TOLVANE_OTHER_LIST_KEY")));
    // A kill is the commit stopped dead at that moment.
    const std::string act = expand(pass.act);
    options.commitWatch = [act, folder, at = pass.actAt, kill = pass.killAt](int moment) {
        if (moment == at)
            Place(folder, act);
        return moment != kill;
    };
    const bool began = BeginUpdatePass({server + L"/", folder, L"uploadfile.uda",
                                        String::ToWstring(siteFolder), mirrors, pass.channel},
                                       options);
    if (began && pass.ends) { // the pass waits at its end, so a second start meets it running
        StartUpdate();
        EXPECT_EQ(UpdateServerSettings.setupFolder, folder) << "settings changed under a pass";
        SetEvent(EndRelease);
    }
    for (int i = 0; i < 600 && UpdatePassRunning(); ++i) // up to 60 s
        Sleep(100);
    const bool ended = !UpdatePassRunning();
    if (ended && pass.killAt >= 0) {
        // What the platform filed for a killed pass goes at the next start (checked below).
        EXPECT_TRUE(FileCacheEntry((server + L"/AppGameUpload/left-by-a-kill.bin").c_str()));
        RecoverInterruptedUpdate(UpdateServerSettings);
    }
    std::cout.rdbuf(console);
    ASSERT_TRUE(began);
    ASSERT_TRUE(ended) << "the pass did not end within 60 s";
    for (HANDLE file : Held)
        CloseHandle(file);
    Held.clear();

    const std::vector<std::string> after = Split(expand(pass.after)),
                                   errors = Split(expand(pass.errors));
    const std::set<std::string> expected(after.begin(), after.end());
    EXPECT_EQ(Snapshot(folder, expected), expected);
    std::vector<std::string> log = ErrorLogLines();
    for (std::size_t i = 0; i < std::min(log.size(), errors.size()); ++i)
        if (errors[i].back() == '*' &&
            log[i].rfind(errors[i].substr(0, errors[i].size() - 1), 0) == 0)
            log[i] = errors[i];
    EXPECT_EQ(log, errors);
    EXPECT_EQ(static_cast<std::int64_t>(UpdateEntryCount - start), pass.count);
    EXPECT_EQ(Ends, pass.ends ? 1 : 0) << "a second start ran a pass, or the end was missed";
    EXPECT_EQ(Reports > 0, pass.progress) << "files report progress, the list never does";
    // Access log lines: "... \"GET /path HTTP/1.1\" ...".
    const std::vector<std::string> served = Split(ReadBytes(accessLog), '\n');
    const std::string site = "/" + std::string(pass.site) + "/" + siteFolder + "/";
    std::map<std::string, int> times;
    std::vector<std::string> requested; // below the site's upload folder
    std::uint64_t sent = 0;
    for (std::size_t i = logStart; i < served.size(); ++i) {
        EXPECT_EQ(served[i].find("ENDLESS BODY RAN OUT"), std::string::npos) << served[i];
        const std::size_t get = served[i].find("\"GET ");
        if (get == std::string::npos)
            continue;
        const std::string path = served[i].substr(get + 5, served[i].find(' ', get + 5) - get - 5);
        ++times[path];
        // "... HTTP/1.1" status bytes "referer" ...
        std::istringstream answer(served[i].substr(served[i].find('"', get + 1) + 1));
        int status = 0;
        std::uint64_t bytes = 0;
        answer >> status >> bytes;
        sent += bytes;
        requested.push_back(path.rfind(site, 0) == 0 ? path.substr(site.size()) : path);
    }
    // Each path is asked for once per hop at most: a redirect loop ends at its 11th request.
    for (const auto& [path, count] : times)
        EXPECT_LE(count, 11) << "asked for " << count << " times: " << path;
    if (pass.requested) {
        EXPECT_EQ(requested, Split(pass.requested));
    }
    if (pass.sentAtMost) {
        EXPECT_LE(sent, pass.sentAtMost) << "bytes sent";
    }
    if (pass.hashed >= 0) {
        int hashed = 0;
        for (const std::string& line : Split(trace.str(), '\n'))
            hashed += line.rfind("hashing ", 0) == 0;
        EXPECT_EQ(hashed, pass.hashed) << trace.str();
    }
    bool foreignKept = false;
    for (const CacheEntry& entry : CacheEntries()) {
        EXPECT_NE(entry.url.rfind(server, 0), 0u) << "cached: " << entry.url;
        for (const std::wstring& mirror : mirrors)
            EXPECT_NE(entry.url.rfind(mirror, 0), 0u) << "cached: " << entry.url;
        foreignKept = foreignKept || entry.url == kForeignEntry;
    }
    EXPECT_EQ(foreignFiled, pass.progress) << "another program's entry was not filed";
    EXPECT_EQ(foreignKept, foreignFiled.load()) << "the pass removed another program's entry";
    DeleteUrlCacheEntryW(kForeignEntry);
    // So that the folder can be removed.
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace pass_check
