#include <gtest/gtest.h>
#include <windows.h>

#include "pass_check.h"
#include "support/test_files.h"

// Lists signed with the engine's key (the fault server signs those of "sign-N" sites, and nginx
// serves them): only a whole, current list signed with that key is acted on; a refused one
// touches nothing, asks for nothing but the list, and still ends the pass.
using namespace pass_check;
using testing_support::ScratchFolder;

namespace {

constexpr const char* kList = "uploadfile.uda:Version = 1;{d}\r\nnew.txt;{pin:new}\r\nold.txt;{d}"
                              "\r\n|new.txt:new";
constexpr const char* kBefore = "old.txt:old";
constexpr const char* kNotSigned = "error : The update list is not signed by the studio";
constexpr const char* kOtherProduct = "error : The update list is for another product";
constexpr const char* kInstalled =
    "new.txt:new|update\\update.info:Version = 1;{d}|update\\list.serial:5|update\\hashes.cache:*";

const PassCase Signed[] = {
    {"sign-5", L"NGINX", kList, kBefore, kInstalled, "", 5 - 3, true, true,
     "uploadfile.uda|new.txt", false, -1, 1},
    {"sign-5-otherkey", L"NGINX", kList, kBefore, kBefore, kNotSigned, 0, true, false,
     "uploadfile.uda", false, -1, 1},
    {"sign-5-expired", L"NGINX", kList, kBefore, kBefore, "error : The update list has expired", 0,
     true, false, "uploadfile.uda", false, -1, 1},
    // A launcher that holds the new key beside the old one takes lists signed with either.
    {"sign-5-otherkey", L"NGINX", kList, kBefore, kInstalled, "", 5 - 3, true, true,
     "uploadfile.uda|new.txt", false, -1, 2},
    // A list for another product, or for none, is refused by a launcher built for one.
    {"sign-5-game", L"NGINX", kList, kBefore, kInstalled, "", 5 - 3, true, true,
     "uploadfile.uda|new.txt", false, -1, 1, "game"},
    {"sign-5-cad", L"NGINX", kList, kBefore, kBefore, kOtherProduct, 0, true, false,
     "uploadfile.uda", false, -1, 1, "game"},
    {"sign-5", L"NGINX", kList, kBefore, kBefore, kOtherProduct, 0, true, false, "uploadfile.uda",
     false, -1, 1, "game"},
    // A signed list is taken whole or not at all: one line the launcher refuses (unpinned, its
    // own state, a misspelt field) and nothing is fetched, deleted or recorded.
    {"sign-5", L"NGINX",
     "uploadfile.uda:Version = 1;{d}\r\nnew.txt;{pin:new}\r\nold.txt;{d}\r\nplain.txt;{rw}\r\n"
     "update\\list.serial;{d}\r\nerrors.err;{d}\r\nx.txt;{pin:x};SHA256=0|new.txt:new|plain.txt:p",
     kBefore, kBefore,
     "error : List line refused, a signed list pins every file with size= and sha256=: plain.txt|"
     "error : List line refused, it names the launcher's own files: update\\list.serial|"
     "error : List line refused, it names the launcher's own files: errors.err|"
     "error : List line refused, unknown field SHA256=0: x.txt",
     0, true, false, "uploadfile.uda", false, -1, 1},
    // An unsigned list: refused by a build with a key, used by one without.
    {"unsigned", L"NGINX", kList, kBefore, kBefore, kNotSigned, 0, true, false, "uploadfile.uda",
     false, -1, 1},
    {"unsigned", L"NGINX", kList, kBefore,
     "new.txt:new|update\\update.info:Version = 1;{d}|update\\hashes.cache:*", "", 3 - 1, true,
     true, "uploadfile.uda|new.txt"},
};

TEST(SignedList, OnlyAWholeCurrentListSignedWithTheKeyIsActedOn) {
    for (const PassCase& pass : Signed)
        CheckPass(pass, ScratchFolder().path());
}

TEST(SignedList, AnOlderListIsRefusedOnceANewerOneWasInstalled) {
    const ScratchFolder folder;
    const char* seven = "uploadfile.uda:Version = 7;{d}\r\nseven.txt;{pin:7}\r\n|seven.txt:7";
    const char* kept = "seven.txt:7|update\\update.info:Version = 7;{d}|update\\list.serial:7"
                       "|update\\hashes.cache:*";
    const PassCase steps[] = {
        {"sign-7", L"NGINX", seven, "", kept, "", 4 - 3, true, true, "uploadfile.uda|seven.txt",
         false, -1, 1},
        // The same publication again passes; an older one does not.
        {"sign-7", L"NGINX", seven, "", kept, "", 3 - 1, true, false, "uploadfile.uda", false, -1,
         1},
        {"sign-6", L"NGINX", "uploadfile.uda:Version = 6;{d}\r\nsix.txt;{pin:6}\r\n|six.txt:6", "",
         kept, "error : The update list is older than the one installed", 0, true, false,
         "uploadfile.uda", false, -1, 1},
    };
    for (const PassCase& step : steps)
        CheckPass(step, folder.path());
    // The registry's copy of the record still refuses it once the file is gone, and the next
    // accepted list writes the file again.
    ASSERT_TRUE(DeleteFileW((folder.path() + L"update\\list.serial").c_str()));
    const char* withoutFile = "seven.txt:7|update\\update.info:Version = 7;{d}"
                              "|update\\hashes.cache:*";
    CheckPass({steps[2].site, L"NGINX", steps[2].served, "", withoutFile, steps[2].errors, 0, true,
               false, "uploadfile.uda", false, -1, 1},
              folder.path());
    CheckPass(steps[1], folder.path());
}

} // namespace
