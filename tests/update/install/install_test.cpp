#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <tuple>

#include <map>

#include "update/install/commit_journal.h"
#include "update/install/commit_plan.h"
#include "update/install/folder_switch.h"
#include "update/install/launcher_check.h"
#include "update/install/room.h"
#include "update/install/self_check_answer.h"
#include "support/sample_list.h"
#include "utility/string_helpers.h"

namespace {

TEST(Room, AReleaseNeedsItsBytesAndAMarginAndIsRefusedSayingBoth) {
    constexpr std::uint64_t MiB = 1ull << 20, most = ~0ull;
    // Bytes to fetch, free bytes, and the refusal ("" when it fits).
    const std::wstring refused = L"error : Not enough room for the update: ";
    // clang-format off
    const std::tuple<std::uint64_t, std::uint64_t, std::wstring> cases[] = {
        {1, 16 * MiB + 1, L""}, {1, 16 * MiB, refused + L"16777217 bytes needed, 16777216 free"},
        {4000 * MiB, 4040 * MiB, L""}, // 1% above 1600 MiB
        {4000 * MiB, 4040 * MiB - 1, refused + L"4236247040 bytes needed, 4236247039 free"},
        {most - 5, most, L""}, // the margin never wraps past the largest count
    };
    // clang-format on
    for (const auto& [bytes, free, refusal] : cases)
        EXPECT_EQ(RoomRefusal(RoomNeeded(bytes), free), refusal) << bytes << " in " << free;
}

// A journal cut anywhere (a power loss mid-line) is read up to its last whole line, and the
// next start completes a commit only once its version line was written.
TEST(CommitJournal, OnlyWholeLinesCountAndTheVersionLineDecides) {
    const std::string whole = "replace a.txt\nin c\\new.txt\nremove gone.txt\n"
                              "version Version = 2;{d}\ndone \n";
    // Bytes of the journal kept, steps read, and what the next start does.
    // clang-format off
    const std::tuple<std::size_t, std::size_t, Recovery> cases[] = {
        {0, 0, Recovery::Nothing}, {13, 0, Recovery::Nothing}, {14, 1, Recovery::Undo},
        {44, 3, Recovery::Undo}, {60, 3, Recovery::Undo}, {68, 4, Recovery::Complete},
        {whole.size(), 5, Recovery::Complete},
    };
    // clang-format on
    for (const auto& [kept, count, recovery] : cases) {
        const std::vector<JournalStep> steps = ParseJournal(whole.substr(0, kept));
        EXPECT_EQ(steps.size(), count) << kept;
        EXPECT_EQ(RecoveryFor(steps), recovery) << kept;
    }
    const std::vector<JournalStep> steps = ParseJournal(whole);
    std::string written;
    for (const JournalStep& step : steps)
        written += JournalLine(step);
    EXPECT_EQ(written, whole);
    EXPECT_EQ(steps[3].text, "Version = 2;{d}");
    // An unknown line ends the journal: nothing after it is trusted.
    EXPECT_EQ(ParseJournal("replace a\nmove b\nin c\n").size(), 1u);
    // A journal is read back like a list: a path no list may name leaves it alone.
    const std::vector<JournalStep> now = ParseJournal("aside a\nunmake d\nmake d\nplace d\n"
                                                      "own L.exe\nversion Version = 2;{d}\n");
    EXPECT_EQ(now.size(), 6u);
    EXPECT_EQ(RecoveryFor(now), Recovery::Complete);
    EXPECT_EQ(JournalRefusal(now), L"");
    EXPECT_EQ(JournalRefusal(ParseJournal("place a\nplace update\\list.serial\n")),
              L"error : The journal update\\release.journal is left as it is: it names a path no "
              L"list may name: update\\list.serial");
}

ReleaseFile Listed(const std::string& relativePath) {
    ReleaseFile file;
    file.relativePath = relativePath;
    return file;
}

// The steps of a commit from the folder's shape: "path" a file now, "path\\" a folder now; a
// release of files ("name", "*name" for the launcher's own) and removals; the journal lines
// of the plan, or its refusal.
TEST(CommitPlan, FilesAndFoldersTradePlacesThroughJournalledSteps) {
    const std::string refused = "error : The release was not installed: ";
    // clang-format off
    const std::tuple<std::vector<std::string>, std::vector<std::string>, std::vector<std::string>,
                     std::string> cases[] = {
        // A changed file and a new one in a new folder, a removal; the launcher in one rename.
        {{"a", "gone", "L.exe"}, {"a", "c/new", "*L.exe"}, {"gone"},
         "aside a\naside gone\nmake c\nplace a\nplace c/new\nown L.exe\n"},
        // A file becomes a folder two levels deep; the new folder is made once.
        {{"d\\", "d\\foo"}, {"d\\foo\\bar", "d\\foo\\deep\\er"}, {"D\\FOO"},
         "aside D\\FOO\nmake d\\foo\nmake d\\foo\\deep\nplace d\\foo\\bar\n"
         "place d\\foo\\deep\\er\n"},
        // A folder becomes a file once what it holds is removed, deepest folder first.
        {{"d\\", "d\\x\\", "d\\x\\y\\", "d\\x\\y\\z"}, {"d\\x"}, {"d/x/y/z"},
         "aside d/x/y/z\nunmake d\\x\\y\nunmake d\\x\nplace d\\x\n"},
        {{"d\\", "d\\x\\", "d\\x\\mine"}, {"d\\x"}, {},
         refused + "the folder d\\x, which becomes a file, holds a file the release does not "
             "remove: d\\x\\mine"},
        {{"d\\", "d\\x\\", "d\\x\\Save~1\\"}, {"d\\x"}, {},
         refused + "the folder d\\x, which becomes a file, holds a file the release does not "
             "remove: d\\x\\Save~1"},
        {{"d\\", "d\\foo"}, {"d\\foo\\bar"}, {},
         refused + "d\\foo is a file the release keeps, where its files need a folder"},
    };
    // clang-format on
    for (const auto& [present, files, removals, expected] : cases) {
        std::map<std::string, Shape> shapes;
        for (const std::string& path : present)
            shapes[path.back() == '\\' ? path.substr(0, path.size() - 1) : path] =
                path.back() == '\\' ? Shape::Folder : Shape::File;
        const FolderView view{[&](const std::string& path) {
                                  const auto found = shapes.find(path);
                                  return found == shapes.end() ? Shape::None : found->second;
                              },
                              [&](const std::string& folder) {
                                  std::vector<std::pair<std::string, Shape>> below;
                                  for (const auto& [path, shape] : shapes)
                                      if (path.rfind(folder + "\\", 0) == 0)
                                          below.push_back({path, shape});
                                  return below;
                              }};
        Release release;
        for (const std::string& file : files) {
            release.files.push_back(Listed(file.substr(file[0] == '*')));
            release.files.back().launcher = file[0] == '*';
        }
        for (const std::string& file : removals)
            release.removals.push_back(Listed(file));
        const CommitPlan plan = PlanCommit(release, view);
        std::string lines;
        for (const JournalStep& step : plan.steps)
            lines += JournalLine(step);
        EXPECT_EQ(plan.refusal.empty() ? lines : String::ToString(plan.refusal), expected)
            << expected;
    }
    // One path listed as a file and as a folder of another file holds the release back.
    Release both;
    both.files = {Listed("d\\x"), Listed("d/X/q")};
    EXPECT_EQ(ShapeConflict(both), L"error : The release was not installed: it lists d/X as a file"
                                   L" and as the folder of d/X/q");
}

// The answer a new launcher gives vouches only for the serial of the list that brought it, and
// only when the update server that served the list is among its own.
TEST(LauncherCheck, OnlyAnAnswerForTheListsSerialFromItsServerPasses) {
    const std::wstring served = L"https://cdn.example/game/",
                       other = L"it fetches from another update server: ";
    const std::string ok = "tolvane-selfcheck serial=7\nhosts=";
    // clang-format off
    const std::pair<std::string, std::wstring> cases[] = {
        {ok + "https://cdn.example/game/", L""},
        // The same server spelt otherwise, among mirrors, or before a later launcher's lines.
        {ok + "HTTPS://CDN.Example:443/game/", L""},
        {ok + "https://mirror.example/game/;https://cdn.example/game/", L""},
        {ok + "https://cdn.example/game/\nmirrors-tried=first", L""},
        // Another path, port, scheme or host, or none.
        {ok + "https://cdn.example/Game/", other + L"https://cdn.example/Game/"},
        {ok + "https://cdn.example:8443/game/", other + L"https://cdn.example:8443/game/"},
        {ok + "http://cdn.example:443/game/", other + L"http://cdn.example:443/game/"},
        {ok + "https://cdn.example.net/game/;", other + L"https://cdn.example.net/game/;"},
        {ok, other}, {ok + "https://a/\x01", other + L"https://a/<01>"},
        // A launcher older than the question answers with the serial alone.
        {"tolvane-selfcheck serial=7", L"it does not say which update server it fetches from"},
        {"tolvane-selfcheck serial=6\nhosts=https://cdn.example/game/",
         L"it answered for another list"},
        {"tolvane-selfcheck serial=77", L"it answered for another list"},
        {"", L"it gave no answer"}, {kHostsQuestion, L"it gave no answer"},
        {"MZ\x90", L"its answer is not a launcher's"},
        {"tolvane-selfcheck keyless", L"it was built without a list key"},
        {"tolvane-selfcheck refused: The update list is for another product",
         L"The update list is for another product"},
        {"tolvane-selfcheck refused: a\nb", L"a<0A>b"},
    };
    // clang-format on
    for (const auto& [answer, failure] : cases)
        EXPECT_EQ(AnswerFailure(answer, 7, served), failure) << answer;
    // A launcher's own answer passes; asked without the question, as a launcher older than it
    // asks, it answers with the serial alone, which such a launcher requires to the byte.
    using namespace testing_support;
    const std::string list =
        kSampleSigned + "'signature ecdsa-p256-sha256 " + kSampleSignatureB64 + "\r\n";
    const LauncherBuild build{kSampleKey, "", served};
    EXPECT_EQ(AnswerFailure(SelfCheckAnswer(list, build, true), 42, served), L"");
    EXPECT_EQ(SelfCheckAnswer(list, build, false), "tolvane-selfcheck serial=42");
    // Without keys a launcher says so, whatever the list; with them an unsigned list is refused.
    EXPECT_EQ(SelfCheckAnswer(list, {"", "", served}, true), "tolvane-selfcheck keyless");
    EXPECT_EQ(SelfCheckAnswer(kSampleSigned, build, true),
              "tolvane-selfcheck refused: The update list is not signed by the studio");
}

// The end of the process waits for a switch of the folder that runs, and a switch asked for
// once the end has begun waits until it is called off: whichever comes first, the other waits.
TEST(FolderSwitch, TheEndWaitsForARunningSwitchAndNoSwitchStartsAfterIt) {
    for (const bool switchFirst : {true, false}) {
        SCOPED_TRACE(switchFirst);
        std::atomic<bool> release{false};
        auto runSwitch = [&] {
            const FolderSwitch switching;
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        };
        std::future<void> first, second;
        if (switchFirst) {
            first = std::async(std::launch::async, runSwitch);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            second = std::async(std::launch::async, HoldOffFolderSwitches);
        } else {
            first = std::async(std::launch::async, HoldOffFolderSwitches);
            first.wait();
            second = std::async(std::launch::async, runSwitch);
        }
        EXPECT_EQ(second.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
        release = true;
        if (!switchFirst)
            AllowFolderSwitches();
        EXPECT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        AllowFolderSwitches();
    }
}

} // namespace
