#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

class TextFiles : public ::testing::Test {
  protected:
    void SetUp() override { ClearErrorLog(); }
    void TearDown() override { ClearErrorLog(); }
    ScratchFolder folder;
};

static std::vector<std::wstring> Seen; // lines handed to the plain callback

TEST_F(TextFiles, ErrorLogAppendsNarrowedLinesWithCrLfFromManyThreads) {
    File::WriteError(std::wstring{L'A', wchar_t(0x0439)});
    EXPECT_EQ(ErrorLogBytes(), "\x41\x39\x0D\x0A");
    ClearErrorLog();
    constexpr int kThreads = 8, kLines = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                File::WriteError(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) +
                                 std::wstring(40, L'.'));
        });
    for (auto& writer : writers)
        writer.join();
    const Lines lines = ErrorLogLines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines)) << "no line lost";
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        int t = 0, i = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
        ASSERT_EQ(line.size(), line.find('.') + 40) << line;
        EXPECT_EQ(i, next[t]++) << "each thread's lines stay in their order";
    }
}

TEST_F(TextFiles, AllThreeReadersGiveTextModeLinesWithTheByteOrderMarkKept) {
    const std::wstring path = folder / L"lines.txt";
    WriteBytes(path, "\xEF\xBB\xBFVersion = 1;\r\n\r\nlast\n");
    Lines lines{"kept"};
    ASSERT_TRUE(File::ReadTXT(path, lines));
    EXPECT_EQ(lines, (Lines{"kept", "\xEF\xBB\xBFVersion = 1;", "", "last"}));
    const std::vector<std::wstring> wide{String::ToWstring(lines[1]), L"", L"last"};
    Seen.clear();
    ASSERT_TRUE(File::ReadTXT(path, [](std::wstring line) { Seen.push_back(line); }));
    EXPECT_EQ(Seen, wide);
    std::vector<std::wstring> context;
    ASSERT_TRUE(File::ReadTXT(
        path, [](std::wstring line, void* c) { static_cast<decltype(Seen)*>(c)->push_back(line); },
        &context));
    EXPECT_EQ(context, wide);
    EXPECT_FALSE(FileExists(ErrorLogPath()));
}

TEST_F(TextFiles, MissingFilesFoldersAndNullCallbacksAreReported) {
    const std::wstring missing = folder / L"caf\xFFE9.txt", present = folder / L"present.txt";
    WriteBytes(present, "line\n");
    const std::string narrow = String::ToString(missing);
    ASSERT_EQ(narrow.substr(narrow.size() - 8), "caf\xE9.txt");
    Lines lines;
    EXPECT_FALSE(File::ReadTXT(missing, lines));
    EXPECT_FALSE(File::ReadTXT(missing, [](std::wstring) {}));
    EXPECT_FALSE(File::ReadTXT(folder.path(), [](std::wstring) {})) << "a folder is no text file";
    EXPECT_FALSE(File::ReadTXT(present, File::LineCallback(nullptr)));
    EXPECT_TRUE(File::ReadTXTListString(missing).empty());
    EXPECT_FALSE(File::WriteText("x", folder / L"no-folder\\file.txt"));
    EXPECT_FALSE(File::AddWriteText("x", folder.path()));
    File::AddWriteEnd("x", folder / L"no-folder\\file.txt"); // left alone silently
    File::Delete(missing);
    const std::string base = String::ToString(folder.path());
    EXPECT_EQ(ErrorLogLines(),
              (Lines{"No find file:" + narrow, "error: No find file:" + narrow,
                     "error: No find file:" + base, "error: Function callback: pointer = null",
                     "error: No find file:" + narrow, "error : read File " + narrow,
                     "error: No write file: " + base + "no-folder\\file.txt",
                     "error: No write file: " + base, "No delete file " + narrow}));
    // The form with a context shows its reports in boxes instead.
    const std::pair<std::wstring, File::LineContextCallback> boxed[] = {
        {missing, [](std::wstring, void*) {}}, {present, nullptr}};
    const std::wstring texts[] = {L"No find file:" + missing, L"Function callback: pointer = null"};
    for (int i = 0; i < 2; ++i) {
        DialogAnswerer answer(IDOK);
        EXPECT_FALSE(File::ReadTXT(boxed[i].first, boxed[i].second, nullptr));
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(std::make_tuple(box.caption, box.text, box.buttons),
                  std::make_tuple(L"Message", texts[i], std::vector<int>{IDOK}));
    }
}

TEST_F(TextFiles, WritersStoreLineFeedsAsCrLf) {
    const std::wstring path = folder / L"out.txt";
    WriteBytes(path, "old contents that go away");
    EXPECT_TRUE(File::WriteText("a\nb", path));
    EXPECT_EQ(ReadBytes(path), "a\r\nb");
    EXPECT_TRUE(File::AddWriteText("\nc", path));
    File::AddWriteEnd("d", path);
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\ncd\r\n");
    const std::wstring doomed = folder / L"doomed.txt";
    WriteBytes(doomed, "x");
    File::Delete(doomed);
    EXPECT_FALSE(FileExists(doomed));
    EXPECT_FALSE(FileExists(ErrorLogPath()));
}
