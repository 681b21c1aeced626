#include <gtest/gtest.h>

#include <thread>

#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

using namespace testing_support;

namespace {

class TextFiles : public ::testing::Test {
  protected:
    void SetUp() override { ClearErrorLog(); }
    void TearDown() override { ClearErrorLog(); }
    static std::string Narrow(const std::wstring& path) { return String::ToString(path); }
    ScratchFolder folder;
};

std::vector<std::wstring> Collected;
void Collect(std::wstring line) {
    Collected.push_back(line);
}
void CollectWithContext(std::wstring line, void* context) {
    static_cast<std::vector<std::wstring>*>(context)->push_back(line);
}

TEST_F(TextFiles, ErrorLogStoresNarrowedLinesWithCrLf) {
    ASSERT_FALSE(FileExists(ErrorLogPath()));
    File::WriteError(std::wstring{L'A', wchar_t(0x0439)});
    EXPECT_EQ(ErrorLogBytes(), "\x41\x39\x0D\x0A");
    File::WriteError(L"two\nlines");
    EXPECT_EQ(ErrorLogLines(), (std::vector<std::string>{"A9", "two", "lines"}));
}

TEST_F(TextFiles, DeletingTheLogReportsAMissingLogInANewLog) {
    File::WriteError(L"something");
    File::DeleteFileError();
    EXPECT_FALSE(FileExists(ErrorLogPath()));
    File::DeleteFileError();
    EXPECT_EQ(ErrorLogBytes(), "No delete file errors.err\r\n");
}

TEST_F(TextFiles, ConcurrentAppendsNeitherTearNorVanish) {
    constexpr int kThreads = 8, kLines = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                File::WriteError(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) +
                                 std::wstring(40, L'.'));
        });
    for (auto& w : writers)
        w.join();
    const auto lines = ErrorLogLines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &i), 2) << line;
        ASSERT_EQ(line.size(), line.find('.') + 40) << line;
        EXPECT_EQ(i, next[t]++) << "each thread's lines stay in its own order";
    }
}

TEST_F(TextFiles, VectorFormAppendsLinesAsTextModeDeliversThem) {
    const std::wstring path = folder / L"lines.txt";
    WriteBytes(path, "a\r\nb");
    std::vector<std::string> lines{"kept"};
    ASSERT_TRUE(File::ReadTXT(path, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"kept", "a", "b"}));

    WriteBytes(path, "x\n\ny\rz\n");
    lines.clear();
    ASSERT_TRUE(File::ReadTXT(path, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"x", "", "y\rz"})) << "no empty last line";

    WriteBytes(path, "before\x1A"
                     "after\n");
    lines.clear();
    ASSERT_TRUE(File::ReadTXT(path, lines));
    EXPECT_EQ(lines, std::vector<std::string>{"before"}) << "0x1A ends text-mode input";

    WriteBytes(path, "");
    lines.clear();
    EXPECT_TRUE(File::ReadTXT(path, lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(FileExists(ErrorLogPath()));
}

TEST_F(TextFiles, ByteOrderMarkStaysAtStartOfFirstLine) {
    const std::wstring path = folder / L"bom.txt";
    WriteBytes(path, "\xEF\xBB\xBFVersion = 1;\r\nnext");
    std::vector<std::string> lines;
    ASSERT_TRUE(File::ReadTXT(path, lines));
    EXPECT_EQ(lines.at(0), "\xEF\xBB\xBFVersion = 1;");
    Collected.clear();
    ASSERT_TRUE(File::ReadTXT(path, Collect));
    ASSERT_EQ(Collected.size(), 2u);
    EXPECT_EQ(Collected[0].substr(0, 3),
              (std::wstring{wchar_t(0xFFEF), wchar_t(0xFFBB), wchar_t(0xFFBF)}));
}

TEST_F(TextFiles, MissingFilesAndNullCallbacksAreLoggedOnce) {
    const std::wstring missing = folder / L"caf\xFFE9.txt";
    std::vector<std::string> lines;
    EXPECT_FALSE(File::ReadTXT(missing, lines));
    EXPECT_FALSE(File::ReadTXT(missing, File::LineCallback(nullptr)));
    EXPECT_FALSE(File::ReadTXT(folder.path(), Collect)) << "a folder is not a text file";
    const std::wstring present = folder / L"present.txt";
    WriteBytes(present, "line\n");
    EXPECT_FALSE(File::ReadTXT(present, File::LineCallback(nullptr)));
    EXPECT_EQ(ErrorLogLines(),
              (std::vector<std::string>{"No find file:" + Narrow(missing),
                                        "error: No find file:" + Narrow(missing),
                                        "error: No find file:" + Narrow(folder.path()),
                                        "error: Function callback: pointer = null"}));
    EXPECT_NE(ErrorLogLines()[0].find("caf\xE9.txt"), std::string::npos);
}

TEST_F(TextFiles, ContextFormHandsContextAndReportsInBoxes) {
    const std::wstring path = folder / L"ctx.txt";
    WriteBytes(path, "one\r\ntwo\r\n");
    std::vector<std::wstring> got;
    ASSERT_TRUE(File::ReadTXT(path, CollectWithContext, &got));
    EXPECT_EQ(got, (std::vector<std::wstring>{L"one", L"two"}));

    {
        DialogAnswerer answer(IDOK);
        EXPECT_FALSE(File::ReadTXT(folder / L"none.txt", CollectWithContext, &got));
        const SeenDialog box = answer.Wait();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.caption, L"Message");
        EXPECT_EQ(box.text, L"No find file:" + folder / L"none.txt");
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    }
    {
        DialogAnswerer answer(IDOK);
        EXPECT_FALSE(File::ReadTXT(path, File::LineContextCallback(nullptr), &got));
        const SeenDialog box = answer.Wait();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.caption, L"Message");
        EXPECT_EQ(box.text, L"Function callback: pointer = null");
    }
    EXPECT_FALSE(FileExists(ErrorLogPath()));
}

TEST_F(TextFiles, ListStringKeepsOnlyTheLatestFilesLines) {
    const std::wstring missing = folder / L"missing.txt";
    EXPECT_TRUE(File::ReadTXTListString(missing).empty());
    EXPECT_EQ(ErrorLogLines(), (std::vector<std::string>{"error: No find file:" + Narrow(missing),
                                                         "error : read File " + Narrow(missing)}));
    const std::wstring first = folder / L"first.txt", second = folder / L"second.txt";
    WriteBytes(first, "1\n2\n3\n");
    WriteBytes(second, "Version = 2;");
    EXPECT_EQ(File::ReadTXTListString(first).size(), 3u);
    EXPECT_EQ(File::ReadTXTListString(second), std::vector<std::wstring>{L"Version = 2;"});
}

TEST_F(TextFiles, WritersStoreLineFeedsAsCrLf) {
    const std::wstring path = folder / L"out.txt";
    WriteBytes(path, "old contents that go away");
    EXPECT_TRUE(File::WriteText("a\nb", path));
    EXPECT_EQ(ReadBytes(path), "a\r\nb");
    EXPECT_TRUE(File::AddWriteText("\nc", path));
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\nc");

    const std::wstring fresh = folder / L"fresh.txt";
    File::AddWriteEnd("one", fresh);
    File::AddWriteEnd("two", fresh);
    EXPECT_EQ(ReadBytes(fresh), "one\r\ntwo\r\n");
    EXPECT_TRUE(File::WriteText("\xEF\xBB\xBF"
                                "x",
                                fresh));
    EXPECT_EQ(ReadBytes(fresh), "\xEF\xBB\xBF"
                                "x");
    EXPECT_FALSE(FileExists(ErrorLogPath()));
}

TEST_F(TextFiles, UnwritableTargetsAreReported) {
    const std::wstring nowhere = folder / L"no-folder\\file.txt";
    EXPECT_FALSE(File::WriteText("x", nowhere));
    EXPECT_FALSE(File::AddWriteText("x", folder.path()));
    File::AddWriteEnd("x", nowhere); // silently left alone
    File::Delete(folder / L"gone.txt");
    EXPECT_EQ(ErrorLogLines(),
              (std::vector<std::string>{"error: No write file: " + Narrow(nowhere),
                                        "error: No write file: " + Narrow(folder.path()),
                                        "No delete file " + Narrow(folder / L"gone.txt")}));
    const std::wstring doomed = folder / L"doomed.txt";
    WriteBytes(doomed, "x");
    File::Delete(doomed);
    EXPECT_FALSE(FileExists(doomed));
}

} // namespace
