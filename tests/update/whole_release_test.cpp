#include <gtest/gtest.h>
#include <windows.h>

#include <process.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "pass_check.h"
#include "support/test_files.h"
#include "update/install/install.h"
#include "update/trust/sha256.h"
#include "update/update_worker.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

// Signed releases (signed lists, served as in signed_list_test.cpp) installed whole into a
// folder: whatever stops a commit, a kill at any of its moments or a file another program holds
// at any step, and whatever shape the release gives the folder, the folder holds the previous
// release or the new one.
using namespace pass_check;
using namespace testing_support;

namespace {

using WholeRelease = PassTest;

// Release 2 over release 1: two files change, one is new in a new folder, one goes.
const std::string kRelease1 = "a.txt:a1|b.txt:b1|gone.txt:g|update\\update.info:Version = 1;{d}";
constexpr const char* kList2 =
    "uploadfile.uda:Version = 2;{d}\r\na.txt;{pin:a2}\r\nb.txt;{pin:b2}"
    "\r\nc\\new.txt;{pin:c2}\r\ngone.txt;{d}|a.txt:a2|b.txt:b2|c\\new.txt:c2";
constexpr const char* kStaged2 =
    "|update\\stage\\a.txt:a2|update\\stage\\b.txt:b2|update\\stage\\c\\new.txt:c2";
constexpr const char* kRecords = "|update\\list.serial:5|update\\hashes.cache:*";
const std::string kInstalled2 =
    "a.txt:a2|b.txt:b2|c\\new.txt:c2|update\\update.info:Version = 2;{d}" + std::string(kRecords);
constexpr const char* kJournalHeld = "error : The journal {folder}update\\release.journal cannot be"
                                     " deleted (error 32); no release is installed until it is";

// A first pass, what the next one fetches after the list ("" nothing) and its count, the
// volume's free bytes during the first (0: as they are), and what the player deletes between.
struct Step {
    PassCase pass;
    const char* refetched;
    int count;
    std::uint64_t free = 0;
    const wchar_t* deleted = L"";
};

// Each step's pass into a fresh folder, then a pass of served (on the step's site) that must
// leave installed.
void CheckThenFinish(const std::vector<Step>& steps, const char* served,
                     const std::string& installed) {
    for (const auto& [pass, refetched, count, free, deleted] : steps) {
        SCOPED_TRACE(testing::Message() << "kill " << pass.killAt << ", act " << pass.actAt);
        const ScratchFolder folder;
        VolumeFreeBytesOverride = free;
        CheckPass(pass, folder.path());
        VolumeFreeBytesOverride = 0;
        if (*deleted) {
            EXPECT_TRUE(DeleteFileW((folder.path() + deleted).c_str()));
        }
        const std::string requested = std::string("uploadfile.uda") + refetched;
        CheckPass({.site = pass.site,
                   .served = served,
                   .after = installed.c_str(),
                   .count = count,
                   .progress = *refetched != 0,
                   .requested = requested.c_str(),
                   .keys = 1},
                  folder.path());
    }
}

// The folder holds release 1 or release 2, never a mix: a volume without room (refused before
// any request), a wrong file, a file another program holds at any step, or a kill at any moment
// of the commit holds release 2 back whole (keeping what was staged), and the next pass
// finishes it, fetching only what is still missing.
TEST_F(WholeRelease, AFolderHoldsOneWholeReleaseAtAnyMoment) {
    // clang-format off
    const std::string staged = kRelease1 + kStaged2 + kRecords, installed = kInstalled2,
        // Stage copies of a release no longer served go, those an earlier launcher left beside
        // their targets too, and so do the download temporaries of a pass killed while staging;
        // a wrong body is not staged.
        stale = kRelease1 + "|update\\stage\\old\\y.txt:y|update\\stage\\b.txt.tolvane-part:b"
            "|old\\x.txt.tolvane-stage:x|update\\staged:old\\x.txt|b.txt.tolvane-stage.tolvane-part:b",
        partly = kRelease1 + "|update\\stage\\b.txt:b2|update\\stage\\c\\new.txt:c2" + kRecords,
        wrong = kList2 + std::string("|a.txt:wrong"),
        hashed = kRelease1 + "|update\\hashes.cache:*",
        held = "a.txt:a1|b.txt:held|gone.txt:g|update\\update.info:Version = 1;{d}",
        heldKept = held + kStaged2 + kRecords,
        unfinished = installed + "|update\\release.journal:*";
    const char* all = "uploadfile.uda|a.txt|b.txt|c/new.txt";
    std::vector<Step> steps = {
        // The three new files of 2 bytes need 16 MiB with the margin.
        {{.site = "sign-5", .served = kList2, .before = kRelease1.c_str(), .after = hashed.c_str(),
          .errors = "error : Not enough room for the update: 16777222 bytes needed, 1048576 free",
          .requested = "uploadfile.uda", .keys = 1}, "|a.txt|b.txt|c/new.txt", 4, 1 << 20},
        {{.site = "sign-5", .served = wrong.c_str(), .before = stale.c_str(),
          .after = partly.c_str(), .errors = "{dl}a.txt{fail}content does not match the list",
          .count = 4, .progress = true, .requested = all, .keys = 1}, "|a.txt", 4},
        // Held when its copy goes aside, and a stage copy held when it moves in.
        {{.site = "sign-5", .served = kList2, .before = held.c_str(), .after = heldKept.c_str(),
          .errors = "error : The release was not installed: b.txt is held by another program"
              " (error 32)", .count = 4, .progress = true, .requested = all, .keys = 1}, "", 4},
        {{.site = "sign-5", .served = kList2, .before = kRelease1.c_str(), .after = staged.c_str(),
          .errors = "error : The release was not installed: c\\new.txt is held by another program"
              " (error 32)", .count = 4, .progress = true, .keys = 1, .actAt = 7,
          .act = "update\\stage\\c\\new.txt"}, "", 4},
        // The journal held once every file is in: the release is, but no commit starts until
        // the journal is gone, and the next pass's recovery deletes it first.
        {{.site = "sign-5", .served = kList2, .before = kRelease1.c_str(),
          .after = unfinished.c_str(), .errors = kJournalHeld, .count = 4, .progress = true,
          .keys = 1, .actAt = 9, .act = "update\\release.journal"}, "", 5},
    };
    // Moments of the commit: before its journal (0), before each step (a.txt, b.txt and
    // gone.txt aside, the folder c made, a.txt, b.txt and c\new.txt placed), before the version
    // line (8), before the version record (9). From moment 9 on the version is journalled, and
    // the start completes the commit (after which the next pass stops at the version line);
    // before it, the start undoes it.
    for (int moment = 0; moment <= 9; ++moment)
        steps.push_back({{.site = "sign-5", .served = kList2, .before = kRelease1.c_str(),
                          .after = (moment < 9 ? staged : installed).c_str(), .count = 4,
                          .progress = true, .keys = 1, .killAt = moment}, "", moment < 9 ? 4 : 5});
    // clang-format on
    CheckThenFinish(steps, kList2, installed);
}

// Release B over release A turns the file data\foo into a folder of two levels and the folder
// data\x, two levels deep, into a file, through the same stage, journal and recovery; release A
// over B turns them back. A kill at any moment leaves A or B.
constexpr const char* kShapeA =
    "data\\foo:foo|data\\x\\y\\z.bin:z|update\\update.info:Version = 1;{d}";
constexpr const char* kListB =
    "uploadfile.uda:Version = 2;{d}\r\ndata\\foo\\bar.bin;{pin:bar}\r\ndata\\foo\\deep\\er.bin;"
    "{pin:er}\r\ndata\\x;{pin:x}\r\ndata\\foo;{d}\r\ndata\\x\\y\\z.bin;{d}"
    "|data\\foo\\bar.bin:bar|data\\foo\\deep\\er.bin:er|data\\x:x";

TEST_F(WholeRelease, AFileBecomesAFolderAndAFolderAFileInOneRelease) {
    // clang-format off
    const std::string a = kShapeA, b = "data\\foo\\bar.bin:bar|data\\foo\\deep\\er.bin:er|"
            "data\\x:x|update\\update.info:Version = 2;{d}" + std::string(kRecords),
        staged = a + "|update\\stage\\data\\foo\\bar.bin:bar|update\\stage\\data\\foo\\deep\\"
            "er.bin:er|update\\stage\\data\\x:x" + kRecords,
        // What a player keeps in the folder that becomes a file is not removed: the release
        // waits until it is gone, as it does for a file dropped there after the plan.
        kept = a + "|data\\x\\y\\mine.sav:m", keptStaged = staged + "|data\\x\\y\\mine.sav:m",
        late = staged + "|data\\x\\y\\late.log:l", hashed = a + "|update\\hashes.cache:*",
        // A list that keeps data\foo a file has no folder for data\foo\bar.bin; one that lists
        // a file under a file holds nothing.
        keeps = std::string(kListB).replace(std::string(kListB).find("\r\ndata\\foo;"), 14, ""),
        both = std::string(kListB).insert(std::string(kListB).find('|'), "\r\ndata\\x\\q;{pin:q}");
    const char* all = "uploadfile.uda|data/foo/bar.bin|data/foo/deep/er.bin|data/x";
    const char* notEmpty = "error : The release was not installed: data\\x\\y is a folder that"
        " holds files the release does not name (error 145)";
    std::vector<Step> steps = {
        {{.site = "sign-5-shape", .served = kListB, .before = kShapeA, .after = b.c_str(), .count = 5,
          .progress = true, .requested = all, .keys = 1}, "", 6},
        {{.site = "sign-5-shape", .served = kListB, .before = kept.c_str(), .after = keptStaged.c_str(),
          .errors = "error : The release was not installed: the folder data\\x, which becomes a"
              " file, holds a file the release does not remove: data\\x\\y\\mine.sav",
          .count = 5, .progress = true, .requested = all, .keys = 1}, "", 5, 0,
         L"data\\x\\y\\mine.sav"},
        {{.site = "sign-5-shape", .served = kListB, .before = kShapeA, .after = late.c_str(),
          .errors = notEmpty, .count = 5, .progress = true, .keys = 1, .actAt = 3,
          .act = "data\\x\\y\\late.log:l"}, "", 5, 0, L"data\\x\\y\\late.log"},
        {{.site = "sign-5-shape", .served = keeps.c_str(), .before = kShapeA, .after = staged.c_str(),
          .errors = "error : The release was not installed: data\\foo is a file the release keeps,"
              " where its files need a folder", .count = 4, .progress = true, .requested = all,
          .keys = 1}, "", 5},
        {{.site = "sign-5-shape", .served = both.c_str(), .before = kShapeA, .after = hashed.c_str(),
          .errors = "error : The release was not installed: it lists data\\x as a file and as the"
              " folder of data\\x\\q", .requested = "uploadfile.uda", .keys = 1},
         "|data/foo/bar.bin|data/foo/deep/er.bin|data/x", 5},
    };
    // Moments: the journal (0); data\foo and data\x\y\z.bin aside, data\x\y and data\x removed,
    // data\foo and data\foo\deep made, the three files placed (1 to 9); the version line (10);
    // the version record (11).
    for (int moment = 0; moment <= 11; ++moment)
        steps.push_back({{.site = "sign-5-shape", .served = kListB, .before = kShapeA,
                          .after = (moment < 11 ? staged : b).c_str(), .count = 5,
                          .progress = true, .keys = 1, .killAt = moment}, "", moment < 11 ? 5 : 6});
    // clang-format on
    CheckThenFinish(steps, kListB, b);
}

// Release A again over B (as the publisher lists it, with the names that went as {d} lines):
// the folder data\foo becomes a file again and the file data\x a folder of two levels.
TEST_F(WholeRelease, AFolderBecomesAFileAndAFileAFolderAgain) {
    // clang-format off
    const char* listA =
        "uploadfile.uda:Version = 3;{d}\r\ndata\\foo;{pin:foo}\r\ndata\\x\\y\\z.bin;{pin:z}\r\n"
        "data\\foo\\bar.bin;{d}\r\ndata\\foo\\deep\\er.bin;{d}\r\ndata\\x;{d}"
        "|data\\foo:foo|data\\x\\y\\z.bin:z";
    const std::string b = "data\\foo\\bar.bin:bar|data\\foo\\deep\\er.bin:er|data\\x:x|"
            "update\\update.info:Version = 2;{d}",
        staged = b + "|update\\stage\\data\\foo:foo|update\\stage\\data\\x\\y\\z.bin:z" + kRecords,
        a = "data\\foo:foo|data\\x\\y\\z.bin:z|update\\update.info:Version = 3;{d}" +
            std::string(kRecords);
    // Moments: the journal (0); the three files of B aside, data\foo\deep and data\foo
    // removed, data\x and data\x\y made, the two files placed (1 to 9); the version line (10);
    // the version record (11).
    std::vector<Step> steps;
    for (int moment = -1; moment <= 11; ++moment)
        steps.push_back({{.site = "sign-5-back", .served = listA, .before = b.c_str(),
                          .after = (moment >= 0 && moment < 11 ? staged : a).c_str(), .count = 5,
                          .progress = true, .keys = 1, .killAt = moment}, "",
                         moment >= 0 && moment < 11 ? 5 : 6});
    // clang-format on
    CheckThenFinish(steps, listA, a);
}

// A launcher built before the stage and aside areas left its temporaries beside the targets.
// Its journal is still undone, or finished once its version line was written, and its records
// are read back like list lines: a name no list may hold is left alone, with one line.
TEST_F(WholeRelease, AJournalAnEarlierLauncherLeftIsFinishedOrUndone) {
    // clang-format off
    const char* steps = "update\\release.journal:replace a.txt\nreplace b.txt\nin c\\new.txt\n"
        "remove gone.txt\n";
    const std::string record = "|update\\staged:a.txt\nb.txt\nc\\new.txt\n..\\x\n",
        // Killed after a.txt was replaced: undone, its copies dropped, release 2 staged anew.
        cut = "a.txt:a2|a.txt.tolvane-old:a1|b.txt:b1|b.txt.tolvane-stage:b2|c\\new.txt.tolvane-stage:c2"
            "|gone.txt:g|update\\update.info:Version = 1;{d}|" + std::string(steps) + record,
        // Killed after its version line: finished, with the asides its leftovers record names.
        done = "a.txt:a2|a.txt.tolvane-old:a1|b.txt:b2|b.txt.tolvane-old:b1|c\\new.txt:c2"
            "|gone.txt.tolvane-old:g|update\\update.info:Version = 1;{d}|" + std::string(steps) +
            "version Version = 2;{d}\n|update\\leftovers:x.exe\n..\\y.exe\n|x.exe.tolvane-old:x" + record,
        installed = kInstalled2,
        finished = "a.txt:a2|b.txt:b2|c\\new.txt:c2|update\\update.info:Version = 2;{d}"
            "|update\\list.serial:5",
        outside = kRelease1 + "|update\\release.journal:in a.txt\nin ..\\a.txt\n";
    const PassCase passes[] = {
        {.site = "sign-5", .served = kList2, .before = cut.c_str(), .after = installed.c_str(),
         .errors = "error : update\\staged names a path no list may name, which is left alone: ..\\x",
         .count = 4, .progress = true, .requested = "uploadfile.uda|a.txt|b.txt|c/new.txt",
         .keys = 1},
        {.site = "sign-5", .served = kList2, .before = done.c_str(), .after = finished.c_str(),
         .errors = "error : update\\leftovers names a path no list may name, which is left alone:"
             " ..\\y.exe", .count = 5, .requested = "uploadfile.uda", .keys = 1},
        {.site = "sign-5", .served = kList2, .before = outside.c_str(), .after = outside.c_str(),
         .errors = "error : The journal update\\release.journal is left as it is: it names a path"
             " no list may name: ..\\a.txt", .requested = "uploadfile.uda", .keys = 1},
    };
    // clang-format on
    for (const PassCase& pass : passes)
        CheckPass(pass, ScratchFolder().path());
}

// No commit starts while an earlier one can be neither finished nor undone. A stage copy held
// as it moves in fails the commit, and a.txt, already in and held as well, keeps the undo from
// putting the previous release back: the journal stays. While a.txt is held, the next pass's
// recovery fails the same way, and the pass goes no further than the list (one line); once it
// is free, the next pass puts release 1 back and then installs release 2 from what was staged.
TEST_F(WholeRelease, NoCommitStartsWhileAnEarlierOneIsLeft) {
    const ScratchFolder folder;
    // clang-format off
    const std::string unfinished = "a.txt:a2|update\\aside\\a.txt:a1|update\\aside\\b.txt:b1"
            "|update\\aside\\gone.txt:g|update\\stage\\b.txt:b2|update\\stage\\c\\new.txt:c2"
            "|update\\release.journal:*|update\\update.info:Version = 1;{d}" + std::string(kRecords),
        installed = kInstalled2;
    const char* notBack = "error : The previous release could not be put back: a.txt is held by"
        " another program (error 32)";
    const std::string both = std::string("error : The release was not installed: c\\new.txt is"
        " held by another program (error 32)|") + notBack;
    const PassCase passes[] = {
        {.site = "sign-5", .served = kList2, .before = kRelease1.c_str(),
         .after = unfinished.c_str(), .errors = both.c_str(), .count = 4, .progress = true,
         .keys = 1, .actAt = 7, .act = "update\\stage\\c\\new.txt|a.txt"},
        {.site = "sign-5", .served = kList2, .before = "a.txt", .after = unfinished.c_str(),
         .errors = notBack, .requested = "uploadfile.uda", .keys = 1},
        {.site = "sign-5", .served = kList2, .after = installed.c_str(), .count = 4,
         .requested = "uploadfile.uda", .keys = 1},
    };
    // clang-format on
    for (const PassCase& pass : passes)
        CheckPass(pass, folder.path());
}

} // namespace

namespace {

// A big pack built from chunks: 24 MiB in which eight places of 64 KiB change, served signed
// on sign-8 with its chunks laid out as the publisher lays them out.
struct BigPack {
    std::string v1, v2, sha256;
    std::vector<std::string> changed; // the chunks of v2 that v1 lacks
    std::wstring site = Env(L"TOLVANE_DOCROOT") + L"\\sign-8\\";

    BigPack() {
        std::mt19937_64 random(8);
        v1.resize(24 << 20);
        for (char& byte : v1)
            byte = static_cast<char>(random());
        v2 = v1;
        for (std::size_t place = 0; place < 8; ++place)
            for (std::size_t i = 0; i < 64 << 10; ++i)
                v2[(place * 3 + 1) * (1 << 20) + i] = static_cast<char>(random());
        WriteBytes(Here + L"pack-v1.bin", v1);
        WriteBytes(Here + L"pack-v2.bin", v2);
        std::filesystem::remove_all(site + L"TolvaneChunks");
        const std::vector<std::string> had = ChunkHashes(v1);
        for (const std::string& hash : ServeChunks(site, v2))
            if (std::find(had.begin(), had.end(), hash) == had.end())
                changed.push_back(hash);
        Sha256 whole;
        whole.Add(v2);
        sha256 = whole.Finish();
    }
    ~BigPack() {
        std::filesystem::remove_all(site + L"TolvaneChunks");
        DeleteFileW((Here + L"pack-v1.bin").c_str());
        DeleteFileW((Here + L"pack-v2.bin").c_str());
    }
    // The nginx log's chunk requests (not the index's) from line `from` on.
    static std::vector<std::string> ChunksAsked(std::size_t from) {
        std::vector<std::string> asked;
        std::istringstream log(ReadBytes(Env(L"TOLVANE_NGINX_LOG")));
        std::size_t at = 0;
        for (std::string line; std::getline(log, line); ++at) {
            const std::size_t chunk = line.find("/sign-8/TolvaneChunks/");
            if (at >= from && chunk != std::string::npos && line.find("/index/") == line.npos)
                asked.push_back(line.substr(chunk + 25, 64));
        }
        return asked;
    }
    static std::size_t Lines() {
        const std::string log = ReadBytes(Env(L"TOLVANE_NGINX_LOG"));
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
    }
};

constexpr const char* kPackList = "uploadfile.uda:Version = 2;{d}\r\npack.bin;{pin:@pack-v2.bin}"
                                  "|pack.bin:@pack-v2.bin";
constexpr const char* kPackV1 = "pack.bin:@pack-v1.bin|update\\update.info:Version = 1;{d}";
// Installed: fetched whole, or built from chunks, with the index of the pack kept for the next
// patch.
#define TOLVANE_PACK_V2                                                                            \
    "pack.bin:*|update\\update.info:Version = 2;{d}|update\\list.serial:8|update\\hashes.cache:*"
constexpr const char* kPackV2Whole = TOLVANE_PACK_V2;
constexpr const char* kPackV2 = TOLVANE_PACK_V2 "|update\\chunks\\index\\*:*";
#undef TOLVANE_PACK_V2

// Writes a file of no use on the volume of folder until `room` bytes are left on it.
void FillVolume(const std::wstring& folder, std::uint64_t room) {
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr));
    const std::wstring path = folder + L"filler.bin";
    const ScopedFile filler(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::string block(1 << 20, 'f');
    DWORD written = 0;
    for (std::uint64_t left = free.QuadPart; left > room + block.size(); left -= block.size())
        ASSERT_TRUE(WriteFile(filler.get(), block.data(), block.size(), &written, nullptr));
}

} // namespace

// Whatever goes wrong on the player's side while a big file is built from chunks (a disk that
// fills, a previous copy another program holds, files planted in update\chunks\), the folder
// holds the previous release or the new one, nothing planted lands, and the next pass installs
// the release.
TEST_F(WholeRelease, ABigFileBuiltFromChunksLandsWholeOrNotAtAll) {
    const BigPack pack;
    ASSERT_GE(pack.changed.size(), 3u);
    const std::wstring small = Env(L"TOLVANE_SMALL_VOLUME");
    const std::string chunks = "update\\chunks\\", v1 = kPackV1,
                      records = "|update\\list.serial:8|update\\hashes.cache:*",
                      // The disk stays full: the hashes cannot be recorded either.
        full = "pack.bin:*|update\\update.info:Version = 1;{d}|update\\chunks\\*:*"
               "|update\\list.serial:8",
                      fullErrors = "{dl}pack.bin -> chunk *|error : No write file {folder}update"
                                   "\\hashes.cache",
                      held = v1 + "|pack.bin",
                      heldAfter = "pack.bin:*|update\\update.info:Version = 1;{d}"
                                  "|update\\stage\\pack.bin:*|update\\chunks\\*:*" +
                                  records,
                      planted = v1 + "|" + chunks + pack.changed[0] + ":wrong bytes|" + chunks +
                                pack.changed[1] + "\\x:planted",
                      plantedAfter = std::string(kPackV2) + "|" + chunks + pack.changed[1] +
                                     ".planted\\x:planted",
                      index = v1 + "|" + chunks + pack.sha256 + ".index:@pack-v1.index";
    // The chunk lines of the previous copy under the header of the new one.
    ServeChunks(Here + L"aside\\", pack.v1);
    for (const auto& entry :
         std::filesystem::directory_iterator(Here + L"aside\\TolvaneChunks\\index")) {
        std::string text = ReadBytes(entry.path().wstring());
        const std::size_t at = text.find("sha256=") + 7;
        WriteBytes(Here + L"pack-v1.index", text.replace(at, 64, pack.sha256));
    }
    std::filesystem::remove_all(Here + L"aside");
    // clang-format off
    struct Row {
        const char* what;
        PassCase pass;
        const char* next; // what the next pass asks for below the upload folder; null: unchecked
    } rows[] = {
        // The disk fills after the room check: the build cannot be written; the next pass,
        // with room again, goes on from what was built.
        {"full disk", {.site = "sign-8", .served = kPackList, .before = kPackV1,
          .after = full.c_str(), .errors = fullErrors.c_str(), .count = 1, .progress = true,
          .keys = 1}, nullptr},
        // Held without sharing: no chunk is read from it, so the file comes whole and waits in
        // the stage until the copy is free.
        {"held", {.site = "sign-8", .served = kPackList, .before = held.c_str(),
          .after = heldAfter.c_str(), .errors = "error : The release was not installed: pack.bin"
              " is held by another program (error 32)", .count = 1, .progress = true, .keys = 1},
         "uploadfile.uda"},
        // A chunk under its name with wrong bytes, a folder and a huge file where chunks go:
        // each is fetched; the chunk lines of the previous copy under the new one's header:
        // the chunks do not make the pinned file, which comes whole.
        {"planted", {.site = "sign-8", .served = kPackList, .before = planted.c_str(),
          .after = plantedAfter.c_str(), .count = 1, .progress = true, .keys = 1}, nullptr},
        {"planted index", {.site = "sign-8", .served = kPackList, .before = index.c_str(),
          .after = kPackV2Whole, .count = 1, .progress = true,
          .requested = "uploadfile.uda|pack.bin", .keys = 1}, nullptr},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string what = row.what;
        const ScratchFolder scratch;
        std::wstring folder = scratch.path();
        if (what == "full disk") {
            if (small.empty()) {
                std::cout << "no volume to fill: this user may not mount one\n";
                continue;
            }
            folder = small + L"\\folder\\";
            std::filesystem::remove_all(folder);
            Place(folder, kPackV1);
            FillVolume(small + L"\\", 8 << 20);
            VolumeFreeBytesOverride = std::uint64_t{1} << 40; // the room check saw room
        }
        if (what == "planted") { // 256 MiB, sparse
            std::filesystem::create_directories(folder + L"update\\chunks");
            const ScopedFile file(
                CreateFileW((folder + String::ToWstring(chunks + pack.changed[2])).c_str(),
                            GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            LARGE_INTEGER end;
            end.QuadPart = std::int64_t{256} << 20;
            ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) &&
                        SetEndOfFile(file.get()));
        }
        CheckPass(row.pass, folder);
        VolumeFreeBytesOverride = 0;
        DeleteFileW((small + L"\\filler.bin").c_str());
        const bool installed = std::string(row.pass.after).find("Version = 2") != std::string::npos;
        EXPECT_TRUE(ReadBytes(folder + L"pack.bin") == (installed ? pack.v2 : pack.v1));
        if (!installed) {
            CheckPass({.site = "sign-8",
                       .served = kPackList,
                       .after = kPackV2,
                       .count = 1,
                       .progress = row.next == nullptr,
                       .requested = row.next,
                       .keys = 1},
                      folder);
            EXPECT_TRUE(ReadBytes(folder + L"pack.bin") == pack.v2);
        }
        if (what == "full disk")
            std::filesystem::remove_all(folder);
    }
    DeleteFileW((Here + L"pack-v1.index").c_str());
}

using BigFileChild = PassTest;

// Run only as a child process by the case below, which kills it while it builds the pack.
TEST_F(BigFileChild, DISABLED_BuildsABigFileUntilKilled) {
    PassOptions options;
    options.listKey = BuiltInListKey();
    options.limitKiBs = 2048; // half a second a chunk, so that the kill falls mid-file
    ASSERT_TRUE(BeginUpdatePass({Env(L"TOLVANE_NGINX_URL") + L"sign-8/", Here + L"pack-killed\\",
                                 L"uploadfile.uda", L"AppGameUpload"},
                                options));
    while (UpdatePassRunning())
        Sleep(100);
}

// A pass killed hard in another process while it builds a big file from chunks leaves the
// previous release; the next pass fetches only what was still missing (at most the chunk that
// was in flight once more) and installs the release whole, with nothing of the chunk work left.
TEST_F(WholeRelease, APassKilledWhileItBuildsABigFileResumesWhereItStopped) {
    const BigPack pack;
    const std::wstring folder = Here + L"pack-killed\\";
    std::filesystem::remove_all(folder);
    Place(folder, kPackV1);
    ASSERT_TRUE(Serve({.site = "sign-8", .served = kPackList}));
    const std::size_t start = BigPack::Lines();
    const std::wstring exe = Here + L"update_server_tests.exe";
    const auto child = reinterpret_cast<HANDLE>(
        _wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), L"--gtest_also_run_disabled_tests",
                 L"--gtest_filter=BigFileChild.DISABLED_BuildsABigFileUntilKilled", nullptr));
    ASSERT_NE(child, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 600 && BigPack::ChunksAsked(start).size() < 3; ++i)
        Sleep(100);
    TerminateProcess(child, 9);
    WaitForSingleObject(child, INFINITE);
    CloseHandle(child);
    Sleep(1000); // nginx logs the request the kill cut once it sees the connection gone
    const std::vector<std::string> first = BigPack::ChunksAsked(start);
    ASSERT_GE(first.size(), 3u) << "the child fetched no chunks in 60 s";
    ASSERT_LT(first.size(), pack.changed.size()) << "the child finished before the kill";
    EXPECT_TRUE(ReadBytes(folder + L"pack.bin") == pack.v1);
    EXPECT_EQ(ReadBytes(folder + L"update\\update.info"), "Version = 1;{d}");
    const std::size_t resumed = BigPack::Lines();
    CheckPass({.site = "sign-8",
               .served = kPackList,
               .after = kPackV2,
               .count = 1,
               .progress = true,
               .keys = 1},
              folder);
    EXPECT_TRUE(ReadBytes(folder + L"pack.bin") == pack.v2);
    const std::vector<std::string> second = BigPack::ChunksAsked(resumed);
    EXPECT_LE(second.size(), pack.changed.size() - first.size() + 1) << "fetched again";
    for (const std::string& hash : pack.changed)
        EXPECT_TRUE(std::count(first.begin(), first.end(), hash) +
                        std::count(second.begin(), second.end(), hash) >
                    0)
            << hash;
    std::filesystem::remove_all(folder);
}
