#include <gtest/gtest.h>

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
        {"sign-7", L"NGINX", seven, "", kept, "", 4 - 1, true, false, "uploadfile.uda", false, -1,
         1},
        {"sign-6", L"NGINX", "uploadfile.uda:Version = 6;{d}\r\nsix.txt;{pin:6}\r\n|six.txt:6", "",
         kept, "error : The update list is older than the one installed", 0, true, false,
         "uploadfile.uda", false, -1, 1},
    };
    for (const PassCase& step : steps)
        CheckPass(step, folder.path());
}

} // namespace
