#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>
#include <vector>

#include "pass_check.h"
#include "update/install/install.h"
#include "support/test_files.h"
#include "utility/string_helpers.h"

// Lists signed with the engine's key (the fault server signs those of "sign-N" sites, and nginx
// serves them): only a whole, current list signed with that key is acted on; a refused one
// touches nothing, asks for nothing but the list, and still ends the pass.
using namespace pass_check;
using testing_support::ScratchFolder;

namespace {

using SignedList = PassTest;

constexpr const char* kList = "uploadfile.uda:Version = 1;{d}\r\nnew.txt;{pin:new}\r\nold.txt;{d}"
                              "\r\n|new.txt:new";
constexpr const char* kBefore = "old.txt:old";
constexpr const char* kNotSigned = "error : The update list is not signed by the studio";
constexpr const char* kInstalled =
    "new.txt:new|update\\update.info:Version = 1;{d}|update\\list.serial:5|update\\hashes.cache:*";

// clang-format off
const PassCase Signed[] = {
    {.site = "sign-5", .served = kList, .before = kBefore, .after = kInstalled, .count = 5 - 3,
     .progress = true, .requested = "uploadfile.uda|new.txt", .keys = 1},
    {.site = "sign-5-otherkey", .served = kList, .before = kBefore, .after = kBefore,
     .errors = kNotSigned, .requested = "uploadfile.uda", .keys = 1},
    {.site = "sign-5-expired", .served = kList, .before = kBefore, .after = kBefore,
     .errors = "error : The update list has expired", .requested = "uploadfile.uda", .keys = 1},
    // A launcher built for one product takes its lists and refuses others' (and, as the verdict's
    // table shows, lists for none: the same refusal).
    {.site = "sign-5-game", .served = kList, .before = kBefore, .after = kInstalled, .count = 5 - 3,
     .progress = true, .requested = "uploadfile.uda|new.txt", .keys = 1, .product = "game"},
    {.site = "sign-5-cad", .served = kList, .before = kBefore, .after = kBefore,
     .errors = "error : The update list is for another product", .requested = "uploadfile.uda",
     .keys = 1, .product = "game"},
    // A signed list is taken whole or not at all: one line the launcher refuses (unpinned, its
    // own state, a misspelt field) and nothing is fetched, deleted or recorded.
    {.site = "sign-5",
     .served = "uploadfile.uda:Version = 1;{d}\r\nnew.txt;{pin:new}\r\nold.txt;{d}\r\n"
         "plain.txt;{rw}\r\nupdate\\list.serial;{d}\r\nerrors.err;{d}\r\nx.txt;{pin:x};SHA256=0"
         "|new.txt:new|plain.txt:p", .before = kBefore, .after = kBefore,
     .errors = "error : List line refused, a signed list pins every file with size= and sha256=:"
         " plain.txt|error : List line refused, it names the launcher's own files:"
         " update\\list.serial|error : List line refused, it names the launcher's own files:"
         " errors.err|error : List line refused, unknown field SHA256=0: x.txt",
     .requested = "uploadfile.uda", .keys = 1},
    // An unsigned list is refused by a build with a key (the pinned passes use one without).
    {.site = "unsigned", .served = kList, .before = kBefore, .after = kBefore, .errors = kNotSigned,
     .requested = "uploadfile.uda", .keys = 1},
};
// clang-format on

TEST_F(SignedList, OnlyAWholeCurrentListSignedWithTheKeyIsActedOn) {
    for (const PassCase& pass : Signed)
        CheckPass(pass, ScratchFolder().path());
}

TEST_F(SignedList, AnOlderListIsRefusedOnceANewerOneWasInstalled) {
    const ScratchFolder folder;
    const char* seven = "uploadfile.uda:Version = 7;{d}\r\nseven.txt;{pin:7}\r\n|seven.txt:7";
    const char* kept = "seven.txt:7|update\\update.info:Version = 7;{d}|update\\list.serial:7"
                       "|update\\hashes.cache:*";
    // clang-format off
    const PassCase steps[] = {
        {.site = "sign-7", .served = seven, .after = kept, .count = 3 - 2, .progress = true,
         .requested = "uploadfile.uda|seven.txt", .keys = 1},
        // The same publication again passes; an older one does not.
        {.site = "sign-7", .served = seven, .after = kept, .count = 3 - 1,
         .requested = "uploadfile.uda", .keys = 1},
        {.site = "sign-6",
         .served = "uploadfile.uda:Version = 6;{d}\r\nsix.txt;{pin:6}\r\n|six.txt:6", .after = kept,
         .errors = "error : The update list is older than the one installed",
         .requested = "uploadfile.uda", .keys = 1},
    };
    // clang-format on
    for (const PassCase& step : steps)
        CheckPass(step, folder.path());
    // The registry's copy of the record still refuses it once the file is gone, and the next
    // accepted list writes the file again.
    ASSERT_TRUE(DeleteFileW((folder.path() + L"update\\list.serial").c_str()));
    PassCase refused = steps[2];
    refused.after = "seven.txt:7|update\\update.info:Version = 7;{d}|update\\hashes.cache:*";
    CheckPass(refused, folder.path());
    CheckPass(steps[1], folder.path());
}

// Channels and staged rollouts. A beta list lives in TolvaneChannels/beta/ and names its channel
// ("sign-N-beta"); a launcher takes only its own channel's lists, each channel against its own
// rollback record. A release rolled out to 10 % (the salt below) is taken by the install ids
// in it and by a folder with no installed release; one outside keeps its release as at an
// unchanged version, the serial recorded and the game started.
constexpr const char* kOtherChannel = "error : The update list is for another channel";
constexpr const char* kBetaInstalled = "new.txt:new|update\\update.info:Version = 1;{d}"
                                       "|update\\list-beta.serial:5|update\\hashes.cache:*";
constexpr const char* kRollout = "uploadfile.uda:Version = 2;{d}\r\n'tolvane-release rollout=10 "
                                 "salt=0123456789abcdef0123456789ab"
                                 "cdef\r\nnew.txt;{pin:new}\r\n|new.txt:new";
constexpr const char* kHalted =
    "uploadfile.uda:Version = 2;{d}\r\n'tolvane-release rollout=0 salt=0123456789abcdef0123456789ab"
    "cdef\r\nnew.txt;{pin:new}\r\n|new.txt:new";
// Installs in the rollout (6 % under the salt) and outside it (54 %), with release 1 in place,
// and the same once they recorded the list's serial.
const std::string kReleaseOne =
                      "old.txt:old|update\\update.info:Version = 1;{d}|update\\install.id:",
                  kIn = kReleaseOne + "4a44dc15364204a80fe80e9039455cc1",
                  kOut = kReleaseOne + "6b86b273ff34fce19d6b804eff5a3f57",
                  kInKept = kIn + "|update\\list.serial:5",
                  kOutKept = kOut + "|update\\list.serial:5";

// clang-format off
const PassCase Channels[] = {
    {.site = "sign-5-beta", .served = kList, .before = kBefore, .after = kBetaInstalled,
     .count = 5 - 3, .progress = true, .requested = "uploadfile.uda|new.txt", .keys = 1,
     .channel = "beta"},
    {.site = "sign-5-beta", .served = kList, .before = kBefore, .after = kBefore,
     .errors = kOtherChannel, .requested = "uploadfile.uda", .keys = 1},
    {.site = "sign-5", .served = kList, .before = kBefore, .after = kBefore,
     .errors = kOtherChannel, .requested = "uploadfile.uda", .keys = 1, .channel = "beta"},
    // A move from stable (serial 9 on record) to beta's serial 5 is no rollback.
    {.site = "sign-5-beta", .served = kList, .before = "old.txt:old|update\\list.serial:9",
     .after = "update\\list.serial:9|new.txt:new|update\\update.info:Version = 1;{d}"
         "|update\\list-beta.serial:5|update\\hashes.cache:*", .count = 5 - 3, .progress = true,
     .requested = "uploadfile.uda|new.txt", .keys = 1, .channel = "beta"},
    {.site = "sign-5", .served = kRollout, .before = kOut.c_str(),
     .after = kOutKept.c_str(), .count = 4 - 1, .requested = "uploadfile.uda", .keys = 1},
    {.site = "sign-5", .served = kRollout, .before = kIn.c_str(),
     .after = "old.txt:old|new.txt:new|update\\update.info:Version = 2;{d}|update\\install.id:"
         "4a44dc15364204a80fe80e9039455cc1|update\\list.serial:5|update\\hashes.cache:*",
     .count = 4 - 3, .progress = true, .requested = "uploadfile.uda|new.txt", .keys = 1},
    {.site = "sign-5", .served = kHalted, .before = kIn.c_str(),
     .after = kInKept.c_str(), .count = 4 - 1, .requested = "uploadfile.uda", .keys = 1},
    {.site = "sign-5", .served = kHalted,
     .after = "new.txt:new|update\\update.info:Version = 2;{d}|update\\install.id:*"
         "|update\\list.serial:5|update\\hashes.cache:*",
     .count = 4 - 3, .progress = true, .requested = "uploadfile.uda|new.txt", .keys = 1},
};
// clang-format on

TEST_F(SignedList, EachLauncherTakesItsChannelsListsAndARolloutTakesOnlyThoseInIt) {
    for (const PassCase& pass : Channels)
        CheckPass(pass, ScratchFolder().path());
}

constexpr const char* kRecords = "|update\\list.serial:5|update\\hashes.cache:*";

// A release may carry the next launcher (here the test program stands for the running one). It
// replaces the running one only once it has taken the list that brought it with its own keys:
// not a program that is no launcher, nor one with another key or none, nor one built for
// another update server than the one that served the list. Row by row, a key
// change: a launcher with the list key takes one with both keys, which takes lists signed with
// the other key and one with that key alone.
TEST_F(SignedList, ANewLauncherReplacesThisOneOnlyOnceItProvesItself) {
    // The site, the program offered, the running launcher's keys, why it fails ("": installed),
    // and the moment a kill stops the commit (-1: none). The launcher's file takes its staged
    // copy in one rename after the version line: a kill before that line (1) leaves the previous
    // release, one after it (2) the new one, once the start has finished the commit.
    const std::tuple<const char*, std::string, int, std::string, int> offers[] = {
        {"sign-5", "launcher_both.exe", 1, "", -1},
        {"sign-5-otherkey", "launcher_other.exe", 2, "", -1},
        {"sign-5", "record_run.exe", 1, "it gave no answer", -1},
        {"sign-5", "launcher_other.exe", 1, "The update list is not signed by the studio", -1},
        {"sign-5", "launcher_none.exe", 1, "it was built without a list key", -1},
        {"sign-5", "launcher_elsewhere.exe", 1, "it fetches from another update server: *", -1},
        {"sign-5", "launcher_list.exe", 1, "", 1},
        {"sign-5", "launcher_list.exe", 1, "", 2},
    };
    const std::string exe = "update_server_tests.exe",
                      before = exe + ":old|update\\update.info:Version = 1;{d}";
    for (const auto& [site, program, keys, failure, kill] : offers) {
        SCOPED_TRACE(program);
        const ScratchFolder folder;
        const std::string served = "uploadfile.uda:Version = 2;{d}\r\n" + exe + ";{pin:@" +
                                   program + "}|" + exe + ":@" + program;
        const bool installed = failure.empty() && kill != 1;
        const std::string after =
            installed ? exe + ":*|update\\update.info:Version = 2;{d}" + kRecords
                      : before + "|update\\stage\\" + exe + ":*" + kRecords +
                            (program == "record_run.exe" ? "|update\\stage\\" + exe + ".ran:" : "");
        const std::string error =
            failure.empty() ? "" : "error : The new launcher failed its check: " + failure;
        // clang-format off
        CheckPass({.site = site, .served = served.c_str(), .before = before.c_str(),
                   .after = after.c_str(), .errors = error.c_str(), .count = 1, .progress = true,
                   .keys = keys, .killAt = kill}, folder.path());
        // clang-format on
        EXPECT_EQ(testing_support::ReadBytes(folder.path() + String::ToWstring(exe)),
                  installed ? testing_support::ReadBytes(Here + String::ToWstring(program))
                            : "old");
    }
}

} // namespace
