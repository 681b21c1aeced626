#include <gtest/gtest.h>

#include "pass_check.h"
#include "support/test_files.h"
#include "update/binding_watch.h"

// Files whose list lines pin their content: fetched exactly when the local copy differs, never
// installed when the body differs, hashed again only when changed.
using namespace pass_check;
using testing_support::ScratchFolder;

namespace {

const PassCase Pinned[] = {
    // "{rw}" no longer matters: what counts is whether the local copy is the listed one.
    {"pinned", L"NGINX",
     "uploadfile.uda:Version = 2;{d}\nsame.bin;{rw};{pin:same}\ndamaged.bin;{pin:good}\n"
     "new\\new.bin;{pin:new}\nwrong.bin;{rw};{pin:expected}\nlonger.bin;{pin:twelve bytes}\n"
     "|same.bin:same|damaged.bin:good|new\\new.bin:new|wrong.bin:EXPECTED"
     "|longer.bin:twelve bytes and more",
     "same.bin:same|damaged.bin:bad|wrong.bin:previous|longer.bin:old",
     "same.bin:same|damaged.bin:good|new\\new.bin:new|wrong.bin:previous|longer.bin:old"
     "|update\\update.info:Version = 2;{d}|update\\hashes.cache:*",
     "{dl}wrong.bin{fail}content does not match the list"
     "|{dl}longer.bin{fail}content does not match the list",
     6 - 1, true, true, "uploadfile.uda|damaged.bin|new/new.bin|wrong.bin|longer.bin", false, 2},
    // Bodies far longer than listed, endless or cut between chunks never reach the target, and
    // the pass goes on.
    {"pinned-faults", L"FAULT",
     "uploadfile.uda:longer\\a.bin;{rw};{pin:small}\nendless\\a.bin;{pin:small}\n"
     "endless\\b.bin;size=1000000;sha256="
     "0000000000000000000000000000000000000000000000000000000000000000\n"
     "chunkend\\a.bin;{rw}{wrong}\ngzipcut\\a.bin{wrong}\nafter.bin;{pin:fine}\n|after.bin:fine"
     "|a.bin:zipped",
     "longer\\a.bin:1|endless\\a.bin:2|endless\\b.bin:3|chunkend\\a.bin:4|gzipcut\\a.bin:5",
     "longer\\a.bin:1|endless\\a.bin:2|endless\\b.bin:3|chunkend\\a.bin:4|gzipcut\\a.bin:5"
     "|after.bin:fine|update\\update.info:longer\\a.bin;{rw};{pin:small}|update\\hashes.cache:*",
     "{dl}longer\\a.bin{fail}content does not match the list"
     "|{dl}endless\\a.bin{fail}content does not match the list"
     "|{dl}endless\\b.bin{fail}content does not match the list"
     "|{dl}chunkend\\a.bin{fail}content does not match the list"
     "|{dl}gzipcut\\a.bin{fail}the body arrived empty",
     6, true, true,
     "uploadfile.uda|longer/a.bin|endless/a.bin|endless/b.bin|chunkend/a.bin|gzipcut/a.bin"
     "|after.bin"},
};

TEST(PinnedContent, OnlyTheListedBytesAreInstalledAndOnlyDifferingFilesFetched) {
    Network::DownloadStallLimitMs = 10000;
    for (const PassCase& pass : Pinned)
        CheckPass(pass, ScratchFolder().path());
}

// Four passes in one folder: a first install, an unchanged folder under a new version, a
// damaged file, a repair.
TEST(PinnedContent, TheStatCacheSparesHashingUnchangedFilesAndARepairHashesAll) {
    const ScratchFolder folder;
    const std::string files = "\na.bin;{pin:aaa}\nb\\b.bin;{rw};{pin:bbb}\n|a.bin:aaa|b\\b.bin:bbb";
    auto list = [&](const char* version) {
        return "uploadfile.uda:Version = " + std::string(version) + ";{d}" + files;
    };
    auto after = [](const char* version) {
        return "a.bin:aaa|b\\b.bin:bbb|update\\hashes.cache:*|update\\update.info:Version = " +
               std::string(version) + ";{d}";
    };
    const std::string served[] = {list("1"), list("2"), list("3"), list("3")};
    const std::string kept[] = {after("1"), after("2"), after("3"), after("3")};
    const PassCase steps[] = {
        {"stat-cache", L"NGINX", served[0].c_str(), "", kept[0].c_str(), "", 2, true, true,
         "uploadfile.uda|a.bin|b/b.bin", false, 0},
        {"stat-cache", L"NGINX", served[1].c_str(), "", kept[1].c_str(), "", 2, true, false,
         "uploadfile.uda", false, 0},
        {"stat-cache", L"NGINX", served[2].c_str(), "a.bin:AAA", kept[2].c_str(), "", 2, true, true,
         "uploadfile.uda|a.bin", false, 1},
        {"stat-cache", L"NGINX", served[3].c_str(), "", kept[3].c_str(), "", 2, true, false,
         "uploadfile.uda", true, 2},
    };
    for (const PassCase& step : steps)
        CheckPass(step, folder.path());
}

} // namespace
