#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/test_files.h"
#include "update/download_progress.h"
#include "update/update_worker.h"
#include "utility/string_helpers.h"

// Whole update passes against the servers that run_with_servers.py started: nginx, the fault
// server and one with an untrusted certificate, all over one document root.
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The folder of the test program, ending in a backslash.
const std::wstring Here = ErrorLogPath().substr(0, ErrorLogPath().rfind(L'\\') + 1);

std::wstring Env(const std::wstring& name) {
    const wchar_t* value = _wgetenv(name.c_str());
    return value ? value : L"";
}

// "a|b|c" -> {"a", "b", "c"}; "" -> {}.
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, '|');)
        parts.push_back(part);
    return parts;
}

// Writes "name:bytes|..." under a folder. A file whose bytes are "read-only" is made so.
void Place(const std::wstring& folder, const std::string& files) {
    for (const std::string& file : Split(files)) {
        const fs::path path = folder + String::ToWstring(file.substr(0, file.find(':')));
        fs::create_directories(path.parent_path());
        WriteBytes(path.wstring(), file.substr(file.find(':') + 1));
        if (file.substr(file.find(':') + 1) == "read-only")
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
}

// Every file under the folder as "name:bytes".
std::set<std::string> Snapshot(const std::wstring& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.insert(String::ToString(entry.path().wstring().substr(folder.size())) + ":" +
                         ReadBytes(entry.path().wstring()));
    return files;
}

std::atomic<int> Ends{0}, Reports{0};
HANDLE EndRelease = CreateEventW(nullptr, FALSE, FALSE, nullptr);

struct PassCase {
    const char* site;      // the site under the server's URL, in the document root
    const wchar_t* server; // NGINX, FAULT, UNTRUSTED or DEAD
    const char* served;    // the site's files, "name:bytes|..."; the list is uploadfile.uda
    const char* before;    // the launcher folder before the pass, in the same form
    const char* after;     // and after it
    const char* errors;    // the error-log lines, "|" between them; "*" ends a line's known part
    int count;             // the change of UpdateEntryCount
    bool ends, progress;   // whether the end callback ran and progress reports arrived
};

// Serves the case's files, runs a pass into the folder and checks the outcome. In the texts,
// {dl} stands for "No download file" and the site's upload URL, {fail} for the start of a
// download failure, {out} for a refused path, {folder} and {canary} for those paths.
void CheckPass(const PassCase& pass, const std::wstring& folder) {
    SCOPED_TRACE(pass.site);
    const std::wstring server =
        Env(L"TOLVANE_" + std::wstring(pass.server) + L"_URL") + String::ToWstring(pass.site);
    const std::map<std::string, std::string> words = {
        {"{dl}", "error : No download file " + String::ToString(server) + "/AppGameUpload/"},
        {"{fail}", " -> Start progress download: download error: "},
        {"{out}", "error : Path outside the launcher folder refused: "},
        {"{folder}", String::ToString(folder)},
        {"{canary}", String::ToString(Here) + "canary.tolvane-part"}};
    auto expand = [&](std::string text) {
        for (const auto& [word, value] : words)
            for (std::size_t at; (at = text.find(word)) != std::string::npos;)
                text.replace(at, word.size(), value);
        return text;
    };
    Place(Env(L"TOLVANE_DOCROOT") + L"\\" + String::ToWstring(pass.site) + L"\\AppGameUpload\\",
          expand(pass.served));
    Place(folder, pass.before);
    ClearErrorLog();
    Ends = Reports = 0;
    ProgressPauseMs = 0;
    const std::uint64_t start = UpdateEntryCount;
    UpdateEndCallback = [] {
        ++Ends;
        WaitForSingleObject(EndRelease, 30000);
    };
    DownloadProgressCallback = [](std::uint32_t, std::uint32_t, std::uint32_t, const wchar_t*) {
        ++Reports;
    };
    ASSERT_TRUE(BeginUpdatePass({server + L"/", folder, L"uploadfile.uda", L"AppGameUpload"}));
    if (pass.ends) { // the pass waits at its end, so a second start meets it running
        StartUpdate();
        EXPECT_EQ(UpdateServerSettings.setupFolder, folder) << "settings changed under a pass";
        SetEvent(EndRelease);
    }
    for (int i = 0; i < 600 && UpdatePassRunning(); ++i)
        Sleep(100);
    const std::vector<std::string> after = Split(pass.after), errors = Split(expand(pass.errors));
    EXPECT_EQ(Snapshot(folder), std::set<std::string>(after.begin(), after.end()));
    std::vector<std::string> log = ErrorLogLines();
    for (std::size_t i = 0; i < std::min(log.size(), errors.size()); ++i)
        if (errors[i].back() == '*' &&
            log[i].rfind(errors[i].substr(0, errors[i].size() - 1), 0) == 0)
            log[i] = errors[i];
    EXPECT_EQ(log, errors);
    EXPECT_EQ(static_cast<std::int64_t>(UpdateEntryCount - start), pass.count);
    EXPECT_EQ(Ends, pass.ends ? 1 : 0) << "a second start ran a pass, or the end was missed";
    EXPECT_EQ(Reports > 0, pass.progress) << "files report progress, the list never does";
}

// The canary lies in the test program's folder, the parent of every scratch folder. Its ending
// is that of download temporaries, which only listed folders are cleared of.
const PassCase Passes[] = {
    {"first-run", L"NGINX",
     "uploadfile.uda:Version = 3;\r\ndata\\textures\\a.png;\r\nbin\\game.dll;{rw}\r\n'comment\r\n"
     "old.pak;{d}\r\nmissing.pak;{d}\r\n|data\\textures\\a.png:picture|bin\\game.dll:library",
     "old.pak:old",
     "data\\textures\\a.png:picture|bin\\game.dll:library|update\\update.info:Version = 3;",
     // A Version line that differs from the record is also a file entry.
     "{dl}Version = 3{fail}-2146697211", 6 - 2, true, true},
    {"unchanged", L"NGINX", "uploadfile.uda:'first line\nVersion=3\nnew.txt;|new.txt:new",
     "update\\update.info:Version = 3;", "update\\update.info:'first line", "", 3 - 2, true, false},
    {"changed", L"NGINX",
     "uploadfile.uda:Version = 4;\nkeep.txt;\nrw.txt;{rw}\nlocked.pak;{d}\n"
     "|keep.txt:server keep|rw.txt:server rw|Version = 4:v",
     "update\\update.info:Version = 3;|keep.txt:local keep|rw.txt:local rw|locked.pak:read-only",
     "update\\update.info:Version = 4;|keep.txt:local keep|rw.txt:server rw|locked.pak:read-only"
     "|Version = 4:v",
     "error : No delete file {folder}/locked.pak", 4 - 2, true, true},
    // The mark stays part of the first line: in the record, and in the file the line asks for
    // (nginx refuses that name with a 403).
    {"byte-order-mark", L"NGINX", "uploadfile.uda:\xEF\xBB\xBFVersion = 5;\r\na.txt;\r\n|a.txt:a",
     "", "a.txt:a|update\\update.info:\xEF\xBB\xBFVersion = 5;",
     "{dl}\xEF\xBB\xBFVersion = 5{fail}*", 2 - 1, true, true},
    {"empty-list", L"NGINX", "uploadfile.uda:", "update\\update.info:kept",
     "update\\update.info:kept", "error : Launcher data string lines size = 0", 0, true, false},
    // The list copy a killed pass left goes, even when the list cannot be fetched.
    {"no-list", L"NGINX", "", "update\\update.info:kept|update\\cash-of-programm.tmp:old",
     "update\\update.info:kept", "error :No possibility to download data", 0, true, false},
    {"unreachable", L"DEAD", "", "", "", "Not Connection server... ", 0, false, false},
    {"untrusted", L"UNTRUSTED", "uploadfile.uda:new.txt;|new.txt:new", "", "",
     "error :No possibility to download data", 0, true, false},
    // How much of a dropped body arrives, and so its message, is up to timing.
    {"faults", L"FAULT",
     "uploadfile.uda:drop\\old;{rw}\nshort\\old;{rw}\nshort\\new;\nf500\\old;{rw}\n"
     "f404\\old;{rw}\nreset\\old;{rw}\nredirect\\missing;\nredirect\\good;{rw}\n|good:server copy",
     "drop\\old:1|short\\old:2|f500\\old:3|f404\\old:4|reset\\old:5|redirect\\good:6",
     "drop\\old:1|short\\old:2|f500\\old:3|f404\\old:4|reset\\old:5|redirect\\good:server copy"
     "|update\\update.info:drop\\old;{rw}",
     "{dl}drop\\old -> Start progress download: *|{dl}short\\old{fail}32768 of 65536 bytes arrived"
     "|{dl}short\\new{fail}32768 of 65536 bytes arrived|{dl}f500\\old{fail}HTTP status 500"
     "|{dl}f404\\old{fail}-2146697211|{dl}reset\\old{fail}nothing arrived for 3 s"
     "|{dl}redirect\\missing{fail}-2146697211",
     8, true, true},
    {"outside", L"NGINX",
     "uploadfile.uda:..\\canary.tolvane-part;{d}\nsub/../../canary.tolvane-part;{d}\n"
     "..\\canary.tolvane-part;{rw}\n..\\escaped\\f.txt;\n\\\\?\\{canary};{d}\n{canary};{d}\n"
     "inside.txt;\n|inside.txt:fine",
     "", "inside.txt:fine|update\\update.info:..\\canary.tolvane-part;{d}",
     "{out}..\\canary.tolvane-part|{out}sub/../../canary.tolvane-part|{out}..\\canary.tolvane-part"
     "|{out}..\\escaped\\f.txt|{out}\\\\?\\{canary}|{out}{canary}",
     7, true, true},
    // 100,000 lines: "Version = huge;" and comments, each read and counted.
    {"hugelist", L"FAULT", "", "", "update\\update.info:Version = huge;",
     "{dl}Version = huge{fail}-2146697211", 0, true, true},
};

TEST(UpdatePass, BringsTheFolderInStepAndFailsCleanlyAndTwoStartsGiveOnePass) {
    const std::wstring canary = Here + L"canary.tolvane-part";
    WriteBytes(canary, "alive");
    fs::remove_all(Here + L"escaped");    // left by an earlier failing run
    Network::DownloadStallLimitMs = 3000; // for the reset fault
    for (const PassCase& pass : Passes)
        CheckPass(pass, ScratchFolder().path());
    EXPECT_EQ(ReadBytes(canary), "alive");
    EXPECT_FALSE(FileExists(Here + L"escaped"));
    DeleteFileW(canary.c_str());
}

// Run only as a child process by the test below, which kills it in the middle of a download.
TEST(ChildProcess, DISABLED_RunsAPassUntilKilled) {
    DownloadProgressCallback = [](std::uint32_t progress, std::uint32_t, std::uint32_t,
                                  const wchar_t*) {
        if (progress > 0) // body bytes have arrived
            WriteBytes(Here + L"killed\\started", "yes");
    };
    UpdateServerSettings = {Env(L"TOLVANE_FAULT_URL") + L"killed/", Here + L"killed\\",
                            L"uploadfile.uda", L"AppGameUpload"};
    UpdateWorker();
}

TEST(UpdatePass, AKilledPassKeepsThePreviousCopyAndTheNextRemovesItsLeftover) {
    const std::wstring folder = Here + L"killed\\";
    fs::remove_all(folder);
    Place(folder, "slow\\x.bin:previous");
    Place(Env(L"TOLVANE_DOCROOT") + L"\\killed\\AppGameUpload\\",
          "uploadfile.uda:slow\\x.bin;{rw}");
    std::wstring exe(MAX_PATH, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, &exe[0], MAX_PATH));
    const auto child = reinterpret_cast<HANDLE>(
        _wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), L"--gtest_also_run_disabled_tests",
                 L"--gtest_filter=ChildProcess.*", nullptr));
    ASSERT_NE(child, INVALID_HANDLE_VALUE);
    // The slow body takes about 50 s; the first progress report comes well before its end.
    for (int i = 0; i < 400 && !FileExists(folder + L"started"); ++i)
        Sleep(100);
    TerminateProcess(child, 9);
    WaitForSingleObject(child, INFINITE);
    CloseHandle(child);
    // The previous copy is kept (checked below). Under Wine the download goes to the cache first,
    // so a killed pass leaves its temporary only when killed while the copy is made.
    CheckPass({"killed", L"NGINX", "uploadfile.uda:slow\\x.bin;", "slow\\x.bin.tolvane-part:half",
               "slow\\x.bin:previous|started:yes|update\\update.info:slow\\x.bin;", "", 1, true,
               false},
              folder);
    fs::remove_all(folder);
}

} // namespace
