#include <gtest/gtest.h>

#include <tuple>

#include "pass_check.h"
#include "support/test_files.h"
#include "update/transfer/binding_watch.h"

// Files whose list lines pin their content: fetched exactly when the local copy differs, never
// installed when the body differs, hashed again only when changed.
using namespace pass_check;
using testing_support::ScratchFolder;

namespace {

using PinnedContent = PassTest;

// clang-format off
const PassCase Pinned[] = {
    // "{rw}" no longer matters: what counts is whether the local copy is the listed one.
    {.site = "pinned", .served = "uploadfile.uda:Version = 2;{d}\nsame.bin;{rw};{pin:same}\n"
         "damaged.bin;{pin:good}\nnew\\new.bin;{pin:new}\nwrong.bin;{rw};{pin:expected}\n"
         "longer.bin;{pin:twelve bytes}\n|same.bin:same|damaged.bin:good|new\\new.bin:new"
         "|wrong.bin:EXPECTED|longer.bin:twelve bytes and more",
     .before = "same.bin:same|damaged.bin:bad|wrong.bin:previous|longer.bin:old",
     .after = "same.bin:same|damaged.bin:good|new\\new.bin:new|wrong.bin:previous|longer.bin:old"
         "|update\\update.info:Version = 2;{d}|update\\hashes.cache:*",
     .errors = "{dl}wrong.bin{fail}content does not match the list"
         "|{dl}longer.bin{fail}content does not match the list", .count = 6 - 1, .progress = true,
     .requested = "uploadfile.uda|damaged.bin|new/new.bin|wrong.bin|longer.bin", .hashed = 2},
    // Bodies far longer than listed, endless or cut between chunks never reach the target, and
    // the pass goes on; a body cut short is asked for again (four times in all), one of the
    // wrong length is not; a stat cache that cannot be written (a folder in the way, as a full
    // disk) is one error-log line.
    {.site = "pinned-faults", .server = L"FAULT",
     .served = "uploadfile.uda:longer\\a.bin;{rw};{pin:small}\nendless\\a.bin;{pin:small}\n"
         "endless\\b.bin;size=1000000;sha256="
         "0000000000000000000000000000000000000000000000000000000000000000\n"
         "chunkend\\a.bin;{rw}{wrong}\ngzipcut\\a.bin{wrong}\nafter.bin;{pin:fine}\n"
         "|after.bin:fine|a.bin:zipped",
     .before = "longer\\a.bin:1|endless\\a.bin:2|endless\\b.bin:3|chunkend\\a.bin:4"
         "|gzipcut\\a.bin:5|update\\hashes.cache.new\\x:in the way",
     .after = "longer\\a.bin:1|endless\\a.bin:2|endless\\b.bin:3|chunkend\\a.bin:4"
         "|gzipcut\\a.bin:5|after.bin:fine|update\\update.info:longer\\a.bin;{rw};{pin:small}"
         "|update\\hashes.cache.new\\x:in the way",
     .errors = "{dl}longer\\a.bin{fail}content does not match the list"
         "|{dl}endless\\a.bin{fail}content does not match the list"
         "|{dl}endless\\b.bin{fail}content does not match the list"
         "|{dl}chunkend\\a.bin{fail}content does not match the list"
         "|{dl}gzipcut\\a.bin{fail}the body arrived empty"
         "|error : No write file {folder}update\\hashes.cache", .count = 6, .progress = true,
     .requested = "uploadfile.uda|longer/a.bin|endless/a.bin|endless/b.bin|chunkend/a.bin"
         "|gzipcut/a.bin|gzipcut/a.bin|gzipcut/a.bin|gzipcut/a.bin|after.bin"},
};
// clang-format on

TEST_F(PinnedContent, OnlyTheListedBytesAreInstalledAndOnlyDifferingFilesFetched) {
    Network::DownloadStallLimitMs = 10000;
    for (const PassCase& pass : Pinned)
        CheckPass(pass, ScratchFolder().path());
}

// Four passes in one folder: a first install, an unchanged folder under a new version, a
// damaged file, a repair.
TEST_F(PinnedContent, TheStatCacheSparesHashingUnchangedFilesAndARepairHashesAll) {
    const ScratchFolder folder;
    // The version, the folder's damage before the pass, the requests, a repair, files hashed.
    // clang-format off
    const std::tuple<std::string, const char*, std::string, bool, int> steps[] = {
        {"1", "", "uploadfile.uda|a.bin|b/b.bin", false, 0}, {"2", "", "uploadfile.uda", false, 0},
        {"3", "a.bin:AAA", "uploadfile.uda|a.bin", false, 1}, {"3", "", "uploadfile.uda", true, 2},
    };
    // clang-format on
    for (const auto& [version, before, requested, repair, hashed] : steps) {
        const std::string line = "Version = " + version + ";{d}", files = "a.bin:aaa|b\\b.bin:bbb";
        const std::string list =
            "uploadfile.uda:" + line + "\na.bin;{pin:aaa}\nb\\b.bin;{rw};{pin:bbb}\n|" + files;
        const std::string after = files + "|update\\hashes.cache:*|update\\update.info:" + line;
        // clang-format off
        CheckPass({.site = "stat-cache", .served = list.c_str(), .before = before,
                   .after = after.c_str(), .count = 2, .progress = requested != "uploadfile.uda",
                   .requested = requested.c_str(), .repair = repair, .hashed = hashed},
                  folder.path());
        // clang-format on
    }
}

} // namespace
