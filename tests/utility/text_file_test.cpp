#include <gtest/gtest.h>

#include <thread>

#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

static const ScratchFolder Folder;
static std::vector<std::wstring> Seen; // lines handed to the callbacks

// Lines torn apart by other threads would come out shorter or longer; lost ones are missing.
TEST(TextFiles, ErrorLogTakesWholeLinesFromManyThreads) {
    ClearErrorLog();
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t)
        writers.emplace_back([] {
            for (int i = 0; i < 150; ++i)
                File::WriteError(std::wstring(60, L'.'));
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(ErrorLogLines(), Lines(8 * 150, std::string(60, '.')));
}

TEST(TextFiles, WritersStoreCrLfAndAllReadersGiveTextModeLinesWithTheByteOrderMark) {
    const std::wstring path = Folder / L"lines.txt";
    WriteBytes(path, "old contents that go away");
    EXPECT_TRUE(File::WriteText("\xEF\xBB\xBFVersion = 1;\n", path));
    EXPECT_TRUE(File::AddWriteText("\nla", path));
    File::AddWriteEnd("st", path);
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBFVersion = 1;\r\n\r\nlast\r\n");
    Lines lines{"kept"};
    ASSERT_TRUE(File::ReadTXT(path, lines));
    EXPECT_EQ(lines, (Lines{"kept", "\xEF\xBB\xBFVersion = 1;", "", "last"}));
    ASSERT_TRUE(File::ReadTXT(path, [](std::wstring line) { Seen.push_back(line); }));
    ASSERT_TRUE(File::ReadTXT(
        path, [](std::wstring line, void*) { Seen.push_back(line); }, nullptr));
    const std::wstring first = String::ToWstring(lines[1]);
    EXPECT_EQ(Seen, (std::vector<std::wstring>{first, L"", L"last", first, L"", L"last"}));
}

TEST(TextFiles, MissingFilesFoldersAndNullCallbacksAreReported) {
    ClearErrorLog();
    const std::wstring missing = Folder / L"caf\xFFE9.txt", present = Folder / L"present.txt";
    const std::string base = String::ToString(Folder.path()), narrow = base + "caf\xE9.txt";
    WriteBytes(present, "line\n");
    Lines lines;
    EXPECT_FALSE(File::ReadTXT(missing, lines));
    EXPECT_FALSE(File::ReadTXT(missing, [](std::wstring) {}));
    EXPECT_FALSE(File::ReadTXT(Folder.path(), [](std::wstring) {})) << "a folder is no text file";
    EXPECT_FALSE(File::ReadTXT(present, File::LineCallback(nullptr)));
    EXPECT_TRUE(File::ReadTXTListString(missing).empty());
    EXPECT_FALSE(File::WriteText("x", Folder / L"none\\file.txt"));
    File::Delete(missing);
    EXPECT_EQ(
        ErrorLogLines(),
        (Lines{"No find file:" + narrow, "error: No find file:" + narrow,
               "error: No find file:" + base, "error: Function callback: pointer = null",
               "error: No find file:" + narrow, "error : read File " + narrow,
               "error: No write file: " + base + "none\\file.txt", "No delete file " + narrow}));
    // The form with a context reports in boxes instead.
    DialogAnswerer missingBox(IDOK);
    EXPECT_FALSE(File::ReadTXT(
        missing, [](std::wstring, void*) {}, nullptr));
    EXPECT_EQ(missingBox.Wait().text, L"No find file:" + missing);
    DialogAnswerer nullBox(IDOK);
    EXPECT_FALSE(File::ReadTXT(present, File::LineContextCallback(nullptr), nullptr));
    EXPECT_EQ(nullBox.Wait().text, L"Function callback: pointer = null");
}
