// The C runtime locale is process-wide, so this program is the only place that watches a
// listing switch it: no other test may have changed it first.
#include <gtest/gtest.h>

#include <thread>

#include "support/test_files.h"
#include "utility/convert.h"
#include "utility/path.h"

TEST(ListingLocale, FirstListingTurnsTheDecimalSeparatorIntoACommaEverywhere) {
    EXPECT_EQ(Convert::Double("1.5"), 1.5);
    EXPECT_EQ(Convert::Float("1.5"), 1.0f);
    testing_support::ScratchFolder folder;
    EXPECT_TRUE(Path::GetListFiles(folder / L"missing").empty());
    EXPECT_EQ(Convert::Double("1.5"), 1.0);
    EXPECT_EQ(Convert::Float("1.5"), 1.5f);
    // Another thread sees the switched locale too.
    std::thread([] { EXPECT_EQ(Convert::Double("2,5"), 2.5); }).join();
}
