#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>
#include <set>

#include "pass_check.h"
#include "support/test_files.h"
#include "update/install/room.h"
#include "update/pass_wait.h"
#include "update/transfer/binding_watch.h"
#include "update/trust/sha256.h"
#include "update/update_worker.h"
#include "utility/string_helpers.h"

using namespace pass_check;
using namespace testing_support;
namespace fs = std::filesystem;

namespace {

using UpdatePass = PassTest;
using ChildProcess = PassTest;

// Every file in the current user's internet cache, and a folder in it for files a test plants.
std::set<std::wstring> CacheFiles(std::wstring* folder = nullptr) {
    wchar_t root[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, root);
    std::set<std::wstring> files;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored))
        if (entry.is_regular_file())
            files.insert(entry.path().wstring());
    if (folder)
        *folder = std::wstring(root) + L"\\Content.IE5\\TOLVTEST\\";
    return files;
}

// The canary lies in the test program's folder, the parent of every scratch folder. Its ending
// is that of download temporaries, which only listed folders are cleared of.
// clang-format off
const PassCase Passes[] = {
    // A Version line that differs from the record is also a file entry.
    {.site = "first-run", .served = "uploadfile.uda:Version = 3;\r\ndata\\textures\\a.png;\r\n"
         "bin\\game.dll;{rw}\r\n'comment\r\nold.pak;{d}\r\nmissing.pak;{d}\r\n"
         "|data\\textures\\a.png:picture|bin\\game.dll:library", .before = "old.pak:old",
     .after = "data\\textures\\a.png:picture|bin\\game.dll:library"
         "|update\\update.info:Version = 3;",
     .errors = "{dl}Version = 3{fail}-2146697211", .count = 6 - 2, .progress = true},
    {.site = "unchanged", .served = "uploadfile.uda:'first line\nVersion=3\nnew.txt;|new.txt:new",
     .before = "update\\update.info:Version = 3;", .after = "update\\update.info:'first line",
     .count = 3 - 2},
    {.site = "changed", .served = "uploadfile.uda:Version = 4;\nkeep.txt;\nrw.txt;{rw}\n"
         "locked.pak;{d}\n|keep.txt:server keep|rw.txt:server rw|Version = 4:v",
     .before = "update\\update.info:Version = 3;|keep.txt:local keep|rw.txt:local rw"
         "|locked.pak:read-only",
     .after = "update\\update.info:Version = 4;|keep.txt:local keep|rw.txt:server rw"
         "|locked.pak:read-only|Version = 4:v",
     .errors = "error : No delete file {folder}/locked.pak", .count = 4 - 2, .progress = true},
    // The mark stays part of the first line: in the record, and in the file the line asks for
    // (nginx refuses that name with a 403).
    {.site = "byte-order-mark", .served = "uploadfile.uda:\xEF\xBB\xBFVersion = 5;\r\na.txt;\r\n"
         "|a.txt:a", .after = "a.txt:a|update\\update.info:\xEF\xBB\xBFVersion = 5;",
     .errors = "{dl}\xEF\xBB\xBFVersion = 5{fail}*", .count = 2 - 1, .progress = true},
    {.site = "empty-list", .served = "uploadfile.uda:", .before = "update\\update.info:kept",
     .after = "update\\update.info:kept", .errors = "error : Launcher data string lines size = 0"},
    // The list copy a killed pass left goes, even when the list cannot be fetched.
    {.site = "no-list", .before = "update\\update.info:kept|update\\cash-of-programm.tmp:old",
     .after = "update\\update.info:kept", .errors = "{nolist}"},
    {.site = "unreachable", .server = L"DEAD", .errors = "Not Connection server... ",
     .ends = false},
    {.site = "untrusted", .server = L"UNTRUSTED", .served = "uploadfile.uda:new.txt;|new.txt:new",
     .errors = "{nolist}"},
    // How much of a dropped body arrives, and so its message, is up to timing.
    {.site = "faults", .server = L"FAULT",
     .served = "uploadfile.uda:drop\\old;{rw}\nshort\\old;{rw}\nshort\\new;\nf500\\old;{rw}\n"
         "f404\\old;{rw}\nreset\\old;{rw}\nredirect\\missing;\nredirect\\good;{rw}\n"
         "|good:server copy",
     .before = "drop\\old:1|short\\old:2|f500\\old:3|f404\\old:4|reset\\old:5|redirect\\good:6",
     .after = "drop\\old:1|short\\old:2|f500\\old:3|f404\\old:4|reset\\old:5"
         "|redirect\\good:server copy|update\\update.info:drop\\old;{rw}",
     .errors = "{dl}drop\\old -> Start progress download: *"
         "|{dl}short\\old{fail}32768 of 65536 bytes arrived"
         "|{dl}short\\new{fail}32768 of 65536 bytes arrived|{dl}f500\\old{fail}HTTP status 500"
         "|{dl}f404\\old{fail}-2146697211|{dl}reset\\old{fail}nothing arrived for 3 s"
         "|{dl}redirect\\missing{fail}-2146697211", .count = 8, .progress = true},
    // Redirects off https or past ten, answers other than a whole 200: the copy stays.
    {.site = "hostile", .server = L"FAULT",
     .served = "uploadfile.uda:tohttp\\a;{rw}\nmoved\\a;{rw}\nloop\\a;{rw}\nhops10\\good;{rw}\n"
         "hops11\\good;{rw}\nf204\\a;{rw}\nf206\\a;{rw}\ngzip\\good;{rw}\ngzipcut\\good;{rw}\n"
         "|good:server copy|tohttp\\a:plain|moved\\a:plain",
     .before = "tohttp\\a:1|moved\\a:2|loop\\a:3|hops10\\good:4|hops11\\good:5|f204\\a:6|f206\\a:7"
         "|gzip\\good:8|gzipcut\\good:9",
     .after = "tohttp\\a:1|moved\\a:2|loop\\a:3|hops10\\good:server copy|hops11\\good:5|f204\\a:6"
         "|f206\\a:7|gzip\\good:server copy|gzipcut\\good:9|update\\update.info:tohttp\\a;{rw}",
     .errors = "{dl}tohttp\\a{fail}the answer did not come over https"
         "|{dl}moved\\a{fail}the answer did not come over https"
         "|{dl}loop\\a{fail}more than 10 redirects|{dl}hops11\\good{fail}more than 10 redirects"
         "|{dl}f204\\a{fail}HTTP status 204|{dl}f206\\a{fail}HTTP status 206"
         "|{dl}gzipcut\\good{fail}the body arrived empty", .count = 9, .progress = true},
    // A list that arrives over plain HTTP, or without end (also through a redirect to a server on
    // another port), is never read.
    {.site = "endless", .server = L"FAULT", .errors = "{nolist}"},
    {.site = "away/endless", .server = L"FAULT", .errors = "{nolist}"},
    {.site = "tohttp", .server = L"FAULT",
     .served = "uploadfile.uda:Version = 666;\nextra.txt;|extra.txt:x", .errors = "{nolist}"},
    {.site = "outside", .served = "uploadfile.uda:..\\canary.tolvane-part;{d}\n"
         "sub/../../canary.tolvane-part;{d}\n..\\canary.tolvane-part;{rw}\n..\\escaped\\f.txt;\n"
         "\\\\?\\{canary};{d}\n{canary};{d}\ninside.txt;\n|inside.txt:fine",
     .after = "inside.txt:fine|update\\update.info:..\\canary.tolvane-part;{d}",
     .errors = "{out}..\\canary.tolvane-part|{out}sub/../../canary.tolvane-part"
         "|{out}..\\canary.tolvane-part|{out}..\\escaped\\f.txt|{out}\\\\?\\{canary}|{out}{canary}",
     .count = 7, .progress = true},
    // Bytes no name may hold are refused before anything is touched, and logged escaped; a file
    // that a running program holds is still a file to delete.
    {.site = "hostile-bytes", .served = "uploadfile.uda:keep\\file.bin{nul};{rw}\nCOM1{nul}.txt;\n"
         "CONIN$;\nsub\\CONOUT$.log;{d}\ncr\r\x01.txt;\nheld.bin;{d}\n|keep\\file.bin:server",
     .before = "keep\\file.bin:good|held.bin:held",
     .after = "keep\\file.bin:good|held.bin:held|update\\update.info:keep\\file.bin{nul};{rw}",
     .errors = "{out}keep\\file.bin<00>|{out}COM1<00>.txt|{out}CONIN$|{out}sub\\CONOUT$.log"
         "|{out}cr<0D><01>.txt|error : No delete file {folder}/held.bin", .count = 6 - 1},
    // A host that cuts a body twice, or is busy once and says when to come back, serves the
    // whole release in the same pass.
    {.site = "flaky", .server = L"FAULT", .served = "uploadfile.uda:cut2\\a.txt;{pin:whole a}\n"
         "busy1\\b.txt;{pin:whole b}\n|cut2\\a.txt:whole a|busy1\\b.txt:whole b",
     .after = "cut2\\a.txt:whole a|busy1\\b.txt:whole b"
         "|update\\update.info:cut2\\a.txt;{pin:whole a}|update\\hashes.cache:*",
     .count = 2, .progress = true,
     .requested = "uploadfile.uda|cut2/a.txt|cut2/a.txt|cut2/a.txt|busy1/b.txt|busy1/b.txt"},
    // Mirrors: the first that answers serves the list; a file missing or cut on the mirror in
    // use comes from the next, which is then in use; one that served wrong bytes is asked
    // nothing more; a 404 is not asked again of the same mirror.
    {.site = "mirror-dead-first", .server = L"DEAD", .mirrors = L"NGINX",
     .served = "uploadfile.uda:a.txt;\n|a.txt:a", .after = "a.txt:a|update\\update.info:a.txt;",
     .count = 1, .progress = true},
    {.site = "mirror-moves", .server = L"FAULT", .mirrors = L"NGINX",
     .served = "uploadfile.uda:f404\\c.txt;\nd.txt;\n|f404\\c.txt:c|d.txt:d",
     .after = "f404\\c.txt:c|d.txt:d|update\\update.info:f404\\c.txt;", .count = 2,
     .progress = true, .requested = "uploadfile.uda|f404/c.txt"},
    {.site = "mirror-wrong-bytes", .server = L"FAULT", .mirrors = L"NGINX",
     .served = "uploadfile.uda:garble\\a.txt;{pin:good a}\nmissing.txt;\n|garble\\a.txt:good a",
     .after = "garble\\a.txt:good a|update\\update.info:garble\\a.txt;{pin:good a}"
         "|update\\hashes.cache:*",
     .errors = "{dl}missing.txt{fail}-2146697211 (mirrors tried: {base1})", .count = 2,
     .progress = true, .requested = "uploadfile.uda|garble/a.txt"},
    {.site = "mirror-all-fail", .server = L"NGINX", .mirrors = L"FAULT",
     .served = "uploadfile.uda:f500\\b.txt;\nd.txt;\n|d.txt:d",
     .after = "d.txt:d|update\\update.info:f500\\b.txt;",
     .errors = "{dl}f500\\b.txt{fail}HTTP status 500 (mirrors tried: {base0} {base1})",
     .count = 2, .progress = true, .requested = "uploadfile.uda|f500/b.txt|d.txt"},
    // A hostile first mirror: its list is the studio's with a byte changed, so it is refused and
    // the mirror asked nothing more; the release comes whole from the next. Another dies in the
    // middle of a large file: nothing cut short takes the file's name, the file comes whole from
    // the next mirror, and so does the rest.
    {.site = "sign-9-flip", .server = L"FAULT", .mirrors = L"NGINX",
     .served = "uploadfile.uda:Version = 9;{d}\r\na.txt;{pin:signed a}\r\n|a.txt:signed a",
     .before = "a.txt:old", .after = "a.txt:signed a|update\\update.info:Version = 9;{d}"
         "|update\\list.serial:9|update\\hashes.cache:*",
     .errors = "error : The update list is not signed by the studio", .count = 1,
     .progress = true, .requested = "uploadfile.uda", .keys = 1},
    {.site = "mirror-dies/die256", .server = L"FAULT", .mirrors = L"NGINX",
     .served = "uploadfile.uda:big.exe;{pin:@record_run.exe}\nafter.txt;{pin:after}\n"
         "|big.exe:@record_run.exe|after.txt:after", .before = "big.exe:previous",
     .after = "big.exe:*|after.txt:after|update\\update.info:big.exe;{pin:@record_run.exe}"
         "|update\\hashes.cache:*", .count = 2, .progress = true,
     .requested = "uploadfile.uda|big.exe"},
    // Held to a bandwidth limit, a pass still installs the whole file it paces.
    {.site = "limited", .served = "uploadfile.uda:paced.bin;{pin:@paced.bin}\n|paced.bin:@paced.bin",
     .after = "paced.bin:pppppppppppppppp...(40960 bytes)"
         "|update\\update.info:paced.bin;{pin:@paced.bin}|update\\hashes.cache:*",
     .count = 1, .progress = true, .limitKiBs = 16},
    // 100,000 lines: "Version = huge;" and comments, each read and counted.
    {.site = "hugelist", .server = L"FAULT", .after = "update\\update.info:Version = huge;",
     .errors = "{dl}Version = huge{fail}-2146697211", .progress = true},
};
// clang-format on

TEST_F(UpdatePass, BringsTheFolderInStepAndFailsCleanlyAndTwoStartsGiveOnePass) {
    const std::wstring canary = Here + L"canary.tolvane-part";
    WriteBytes(canary, "alive");
    WriteBytes(Here + L"paced.bin", std::string(40960, 'p')); // longer than the limit's bucket
    fs::remove_all(Here + L"escaped");                        // left by an earlier failing run
    Network::DownloadStallLimitMs = 3000;                     // for the reset fault
    for (const PassCase& pass : Passes)
        CheckPass(pass, ScratchFolder().path());
    EXPECT_EQ(ReadBytes(canary), "alive");
    EXPECT_FALSE(FileExists(Here + L"escaped"));
    DeleteFileW(canary.c_str());
    DeleteFileW((Here + L"paced.bin").c_str());
}

// Run only as a child process by the test below, which kills it in the middle of a download.
TEST_F(ChildProcess, DISABLED_RunsAPassUntilKilled) {
    DownloadProgressCallback = [](std::uint32_t progress, std::uint32_t, std::uint32_t,
                                  const wchar_t*) {
        if (progress > 0) // body bytes have arrived
            WriteBytes(Here + L"killed\\started", "yes");
    };
    ASSERT_TRUE(BeginUpdatePass({Env(L"TOLVANE_FAULT_URL") + L"killed/", Here + L"killed\\",
                                 L"uploadfile.uda", L"AppGameUpload"}));
    while (UpdatePassRunning())
        Sleep(100);
}

TEST_F(UpdatePass, APassInAnotherProcessIsRespectedAndWhenKilledKeepsThePreviousCopy) {
    const std::wstring folder = Here + L"killed\\";
    fs::remove_all(folder);
    Place(folder, "slow\\x.bin:previous");
    Place(Env(L"TOLVANE_DOCROOT") + L"\\killed\\AppGameUpload\\",
          "uploadfile.uda:slow\\x.bin;{rw}");
    const std::set<std::wstring> cached = CacheFiles();
    const std::wstring exe = Here + L"update_server_tests.exe";
    const auto child = reinterpret_cast<HANDLE>(
        _wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), L"--gtest_also_run_disabled_tests",
                 L"--gtest_filter=ChildProcess.*", nullptr));
    ASSERT_NE(child, INVALID_HANDLE_VALUE);
    // The slow body takes about 50 s; the first progress report comes well before its end.
    for (int i = 0; i < 400 && !FileExists(folder + L"started"); ++i)
        Sleep(100);
    if (!FileExists(folder + L"started"))
        TerminateProcess(child, 9);
    ASSERT_TRUE(FileExists(folder + L"started")) << "the child's download did not start in 40 s";
    // A second launcher in the same folder is refused while the first one's pass runs.
    ClearErrorLog();
    EXPECT_FALSE(BeginUpdatePass(
        {Env(L"TOLVANE_NGINX_URL") + L"killed/", folder, L"uploadfile.uda", L"AppGameUpload"}));
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"error : Another launcher is updating "
                                                        "this folder; the request is refused"});
    {
        // Its wait is woken when the lock goes with the killed process, and then holds the lock.
        PassWait wait(folder);
        EXPECT_FALSE(wait.PassEnded());
        EXPECT_EQ(WaitForSingleObject(wait.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        TerminateProcess(child, 9);
        WaitForSingleObject(child, INFINITE);
        CloseHandle(child);
        EXPECT_EQ(WaitForSingleObject(wait.handle(), 10000), WAIT_OBJECT_0);
        EXPECT_TRUE(wait.PassEnded());
        EXPECT_EQ(PassLock::Take(folder).state(), PassLock::State::Busy);
    }
    // Not a byte of the body went to the internet cache.
    std::vector<std::wstring> added;
    const std::set<std::wstring> after = CacheFiles();
    std::set_difference(after.begin(), after.end(), cached.begin(), cached.end(),
                        std::back_inserter(added));
    EXPECT_TRUE(added.empty()) << "left in the cache: " << String::ToString(added.front());
    // What an earlier launcher, which had the platform write the body to the cache, left when it
    // was killed there goes with the next pass: a file named after the download holding the
    // start of the launcher's copy. Files named otherwise, or holding other bytes, stay.
    std::wstring leftovers;
    CacheFiles(&leftovers);
    fs::create_directories(leftovers);
    const std::pair<const wchar_t*, bool> planted[] = {
        {L"x[7]", false}, {L"x[8]", true}, {L"x[9]", true}, {L"y[0]", true}};
    WriteBytes(leftovers + L"x[7]", "prev");
    WriteBytes(leftovers + L"x[8]", "other");
    WriteBytes(leftovers + L"x[9]", "");
    WriteBytes(leftovers + L"y[0]", "prev");
    // The previous copy is kept (checked below), and so is the temporary the killed download
    // wrote, until this pass removes it.
    // clang-format off
    CheckPass({.site = "killed", .served = "uploadfile.uda:slow\\x.bin;",
               .before = "slow\\x.bin.tolvane-part:half",
               .after = "slow\\x.bin:previous|started:yes|update\\update.info:slow\\x.bin;",
               .count = 1}, folder);
    // clang-format on
    for (const auto& [name, kept] : planted)
        EXPECT_EQ(FileExists(leftovers + name), kept) << String::ToString(name);
    fs::remove_all(leftovers);
    fs::remove_all(folder);
}

// Big pinned files built from chunks: a pack of 48 MiB in which 1 MiB changed, served signed
// with its chunks laid out as the publisher lays them out.
TEST_F(UpdatePass, ABigFileFetchesOnlyTheChunksItMisses) {
    const std::size_t MiB = 1 << 20;
    std::mt19937_64 random(28);
    std::string v1(48 * MiB, '\0');
    for (char& byte : v1)
        byte = static_cast<char>(random());
    std::string v2 = v1, damaged;
    for (std::size_t i = 20 * MiB; i < 21 * MiB; ++i)
        v2[i] = static_cast<char>(random());
    std::string v3 = v2;
    for (std::size_t i = 40 * MiB; i < 41 * MiB; ++i)
        v3[i] = static_cast<char>(random());
    damaged = v2;
    for (std::size_t i = 30 * MiB; i < 30 * MiB + 100; ++i)
        damaged[i] = static_cast<char>(~damaged[i]);
    WriteBytes(Here + L"chunk-v1.bin", v1);
    WriteBytes(Here + L"chunk-v2.bin", v2);
    WriteBytes(Here + L"chunk-damaged.bin", damaged);
    WriteBytes(Here + L"chunk-v3.bin", v3);
    const std::wstring site = Env(L"TOLVANE_DOCROOT") + L"\\sign-7\\";
    fs::remove_all(site + L"TolvaneChunks");
    const std::vector<std::string> hashes3 = ServeChunks(site, v3), v1Hashes = ChunkHashes(v1);
    const std::vector<std::string> hashes = ServeChunks(site, v2);
    // The chunks of v3 that neither v1 nor v2 holds: what a second pack adds to the first's.
    std::uint64_t v3Extra = 0;
    for (const std::string& hash : hashes3)
        if (std::count(v1Hashes.begin(), v1Hashes.end(), hash) +
                std::count(hashes.begin(), hashes.end(), hash) ==
            0)
            v3Extra += fs::file_size(site + L"TolvaneChunks\\" +
                                     String::ToWstring(hash.substr(0, 2) + "\\" + hash));
    // The chunks of v2 that another copy lacks, and their bytes.
    const auto missing = [&](const std::string& bytes, std::uint64_t* size) {
        const std::vector<std::string> had = ChunkHashes(bytes);
        std::vector<std::string> lacked;
        *size = 0;
        for (const std::string& hash : hashes)
            if (std::find(had.begin(), had.end(), hash) == had.end()) {
                lacked.push_back(hash);
                *size += fs::file_size(site + L"TolvaneChunks\\" +
                                       String::ToWstring(hash.substr(0, 2) + "\\" + hash));
            }
        return lacked;
    };
    std::uint64_t changedBytes = 0, damagedBytes = 0;
    const std::vector<std::string> changed = missing(v1, &changedBytes);
    missing(damaged, &damagedBytes);
    ASSERT_FALSE(changed.empty());
    EXPECT_LE(changedBytes, 12 * MiB) << "an edit of 1 MiB moves a few chunks only";
    const std::string chunkUrl =
        "TolvaneChunks/" + changed.back().substr(0, 2) + "/" + changed.back();
    const std::wstring hostChunk = site + L"TolvaneChunks\\" +
                                   String::ToWstring(changed.back().substr(0, 2)) + L"\\" +
                                   String::ToWstring(changed.back());
    const std::string chunk = ReadBytes(hostChunk);
    Sha256 whole;
    whole.Add(v2);
    const std::string sha256 = whole.Finish(),
                      whole404 =
                          "uploadfile.uda|/sign-7/TolvaneChunks/index/" + sha256 + "|pack.bin";
    const std::wstring index = site + L"TolvaneChunks\\index\\" + String::ToWstring(sha256);
    // What a pass killed while it built the file leaves: the build up to the last changed
    // chunk and part of the next one, and a chunk download's temporary.
    std::uint64_t built = 0;
    for (const std::string& hash : hashes) {
        built += fs::file_size(site + L"TolvaneChunks\\" +
                               String::ToWstring(hash.substr(0, 2) + "\\" + hash));
        if (hash == changed.back())
            break;
    }
    WriteBytes(Here + L"chunk-killed.bin", v2.substr(0, built) + std::string(1000, 'k'));
    const std::string
        killed =
            "pack.bin:@chunk-v1.bin|update\\update.info:Version = 1;{d}|update\\chunks\\" + sha256 +
            ".build:@chunk-killed.bin|update\\chunks\\" + changed.front() + ".tolvane-part:half",
        indexOnly = "uploadfile.uda|/sign-7/TolvaneChunks/index/" + sha256;
    // clang-format off
    const char* list = "uploadfile.uda:Version = 2;{d}\r\npack.bin;{pin:@chunk-v2.bin}"
                       "|pack.bin:@chunk-v2.bin";
    const std::string v1Folder = "pack.bin:@chunk-v1.bin|update\\update.info:Version = 1;{d}",
        installed = "pack.bin:*|update\\update.info:Version = 2;{d}|update\\list.serial:7"
                    "|update\\hashes.cache:*",
        // A file built from chunks keeps its index for the next release.
        kept = installed + "|update\\chunks\\*:*",
        twoPacks = kept + "|pack2.bin:*",
        refused = "warning : The chunk index {base0}TolvaneChunks/index/" + sha256 +
                  " is refused (chunk index line 1: not a chunk index header), so "
                  "{base0}AppGameUpload/pack.bin is fetched whole",
        heldBack = "pack.bin:*|update\\update.info:Version = 1;{d}|update\\chunks\\*:*"
                   "|update\\list.serial:7|update\\hashes.cache:*",
        failed = "error : No download file {base0}AppGameUpload/pack.bin -> chunk {base0}" +
                 chunkUrl + " -> Start progress download: download error: ",
        wrong = failed + "content does not match the list", cut = failed + "-2146697211",
        resumed = "uploadfile.uda|/sign-7/" + chunkUrl;
    // (the case, what the host lacks or holds wrong meanwhile, whether it ends with v2 in place)
    // (the case, what the host lacks or holds wrong meanwhile, whether it ends with v2 in place,
    // the volume's free bytes when not 0)
    struct Row {
        PassCase pass;
        const char* host;
        bool same;
        std::uint64_t free = 0;
    } rows[] = {
        {{.site = "sign-7", .served = list, .before = v1Folder.c_str(), .after = kept.c_str(),
          .count = 1, .progress = true, .keys = 1, .sentAtMost = changedBytes + (64 << 10)},
         "", true},
        // It fits by what staging needs (the stage copy, one chunk on its way, the margin), not
        // by an allowance of the file's size again for its chunks.
        {{.site = "sign-7", .served = list, .before = v1Folder.c_str(), .after = kept.c_str(),
          .count = 1, .progress = true, .keys = 1}, "", true, 80 * MiB},
        // Two packs share v2's new chunks: fetched once, kept until the second is built.
        {{.site = "sign-7",
          .served = "uploadfile.uda:Version = 2;{d}\r\npack.bin;{pin:@chunk-v2.bin}"
              "\r\npack2.bin;{pin:@chunk-v3.bin}|pack.bin:@chunk-v2.bin|pack2.bin:@chunk-v3.bin",
          .before = "pack.bin:@chunk-v1.bin|pack2.bin:@chunk-v1.bin"
              "|update\\update.info:Version = 1;{d}",
          .after = twoPacks.c_str(), .count = 2, .progress = true, .keys = 1,
          .sentAtMost = changedBytes + v3Extra + (64 << 10)}, "", true},
        // Another file of the folder holds the bytes: copied, nothing fetched but the list.
        {{.site = "sign-7",
          .served = "uploadfile.uda:Version = 2;{d}\r\npack.bin;{pin:@chunk-v2.bin}"
              "\r\nold\\pack.bin;{d}|pack.bin:@chunk-v2.bin",
          .before = "old\\pack.bin:@chunk-v2.bin|update\\update.info:Version = 1;{d}",
          .after = installed.c_str(), .count = 2, .requested = "uploadfile.uda", .keys = 1},
         "", true},
        // Mended by its damaged chunks alone, read once: hashed and cut in one read.
        {{.site = "sign-7", .served = list, .before = "pack.bin:@chunk-damaged.bin",
          .after = kept.c_str(), .count = 1, .progress = true, .hashed = 1, .keys = 1,
          .sentAtMost = damagedBytes + (64 << 10)}, "", true},
        {{.site = "sign-7", .served = list, .before = killed.c_str(), .after = kept.c_str(),
          .count = 1, .progress = true, .requested = indexOnly.c_str(), .keys = 1}, "", true},
        // No index on the host: the whole file, as an older launcher fetches it, and no error.
        {{.site = "sign-7", .served = list, .before = v1Folder.c_str(), .after = installed.c_str(),
          .count = 1, .progress = true, .requested = whole404.c_str(), .keys = 1}, "index", true},
        // An index that breaks the rules: one warning line, and the file fetched whole.
        {{.site = "sign-7", .served = list, .before = v1Folder.c_str(), .after = installed.c_str(),
          .errors = refused.c_str(), .count = 1, .progress = true, .requested = whole404.c_str(),
          .keys = 1}, "refused", true},
        // A wrong chunk holds the release back with one line naming the file.
        {{.site = "sign-7", .served = list, .before = v1Folder.c_str(), .after = heldBack.c_str(),
          .errors = wrong.c_str(), .count = 1, .progress = true, .keys = 1}, "wrong", false},
        // A host that stops serving mid-file: the chunks that arrived are kept, and the next
        // pass fetches only the one still missing.
        {{.site = "sign-7", .served = list, .before = v1Folder.c_str(), .after = heldBack.c_str(),
          .errors = cut.c_str(), .count = 1, .progress = true, .keys = 1}, "cut", false},
    };
    // clang-format on
    for (const Row& row : rows) {
        const ScratchFolder folder;
        const std::string host = row.host;
        if (host == "index" || host == "refused")
            fs::rename(index, index + L".away");
        if (host == "refused")
            WriteBytes(index, "tolvane-chunk-index 9\n");
        VolumeFreeBytesOverride = row.free;
        if (host == "wrong")
            WriteBytes(hostChunk, std::string(chunk.size(), 'x'));
        if (host == "cut")
            DeleteFileW(hostChunk.c_str());
        CheckPass(row.pass, folder.path());
        VolumeFreeBytesOverride = 0;
        if (host == "index" || host == "refused")
            fs::rename(index + L".away", index);
        WriteBytes(hostChunk, chunk);
        if (row.same) {
            EXPECT_TRUE(ReadBytes(folder / L"pack.bin") == v2) << host;
            if (FileExists(folder / L"pack2.bin")) {
                EXPECT_TRUE(ReadBytes(folder / L"pack2.bin") == v3);
            }
            continue;
        }
        EXPECT_TRUE(ReadBytes(folder / L"pack.bin") == v1) << "held back: " << host;
        // The next pass: only what is still missing, then nothing left of the chunk work.
        CheckPass({.site = "sign-7",
                   .served = list,
                   .after = kept.c_str(),
                   .count = 1,
                   .progress = true,
                   .requested = host == "cut" ? resumed.c_str() : nullptr,
                   .keys = 1},
                  folder.path());
        EXPECT_TRUE(ReadBytes(folder / L"pack.bin") == v2);
    }
    for (const wchar_t* name : {L"chunk-v1.bin", L"chunk-v2.bin", L"chunk-v3.bin",
                                L"chunk-damaged.bin", L"chunk-killed.bin"})
        DeleteFileW((Here + name).c_str());
    fs::remove_all(site + L"TolvaneChunks");
}

} // namespace
