#include <gtest/gtest.h>

#include "update/update_worker.h"
#include "utility/environment.h"

namespace {

TEST(UpdateSettings, StartUpdateUsesTheBuiltInServerAndTheExecutablesFolder) {
    const ServerSettings settings = DefaultServerSettings();
    EXPECT_EQ(settings.serverUrl, L"" TOLVANE_UPDATE_URL);
    EXPECT_EQ(settings.setupFolder, Environment::GetSetupExe());
    EXPECT_EQ(settings.listFileName, L"uploadfile.uda");
    EXPECT_EQ(settings.uploadFolder, L"AppGameUpload");
    EXPECT_EQ(ListUrl(settings), L"" TOLVANE_UPDATE_URL L"AppGameUpload/uploadfile.uda");
}

} // namespace
