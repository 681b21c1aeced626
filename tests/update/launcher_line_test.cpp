#include <gtest/gtest.h>

#include "update/launcher_line.h"

namespace {

struct ParseCase {
    const char* line;
    bool comment, version, deletion, rewrite;
    const char* relativePath;
};

TEST(LauncherLine, ParsesMarkersAnywhereAndThePathBeforeTheFirstSemicolon) {
    const ParseCase cases[] = {
        {"Version = 3;", false, true, false, false, "Version = 3"},
        {"data\\textures\\a.png;", false, false, false, false, "data\\textures\\a.png"},
        {"bin\\game.dll;{rw}", false, false, false, true, "bin\\game.dll"},
        {"data\\old.pak;{d}", false, false, true, false, "data\\old.pak"},
        {"x;{d}{rw}", false, false, true, true, "x"},
        {"'comment {d} {rw} Version", true, true, true, true, "'comment {d} {rw} Version"},
        {" 'not a comment", false, false, false, false, " 'not a comment"},
        {"{d}name;", false, false, true, false, "{d}name"},
        {"docs\\Version.txt;", false, true, false, false, "docs\\Version.txt"},
        {"version.txt;{D}{RW}", false, false, false, false, "version.txt"},
        {"no semicolon", false, false, false, false, "no semicolon"},
        {"a;b;c", false, false, false, false, "a"},
        {"", false, false, false, false, ""},
    };
    for (const ParseCase& c : cases) {
        const LauncherLine parsed = ParseLauncherLine(c.line);
        EXPECT_EQ(parsed.comment, c.comment) << c.line;
        EXPECT_EQ(parsed.version, c.version) << c.line;
        EXPECT_EQ(parsed.deletion, c.deletion) << c.line;
        EXPECT_EQ(parsed.rewrite, c.rewrite) << c.line;
        EXPECT_EQ(parsed.relativePath, c.relativePath) << c.line;
    }
}

TEST(LauncherLine, ValueAfterEqualsDropsSemicolonsAndBlanksOnly) {
    EXPECT_EQ(ValueAfterEquals("Version = 3;"), "3");
    EXPECT_EQ(ValueAfterEquals("Version=3"), "3");
    EXPECT_EQ(ValueAfterEquals("Version = 1.2; beta"), "1.2beta");
    EXPECT_EQ(ValueAfterEquals("a = b\t= c;;"), "b\t=c");
    EXPECT_EQ(ValueAfterEquals("\xEF\xBB\xBFVersion = 3;"), "3");
    EXPECT_EQ(ValueAfterEquals("Version 3"), "");
    EXPECT_EQ(ValueAfterEquals("Version ="), "");
    EXPECT_EQ(ValueAfterEquals(""), "");
}

TEST(LauncherLine, PathsThatCouldLeaveTheFolderAreRefused) {
    const char* outside[] = {
        "\\x.txt",
        "/x.txt",
        "C:\\x.txt",
        "c:x.txt",
        "C:/x",
        "\\\\server\\share\\x",
        "//server/share/x",
        "\\\\?\\C:\\x",
        "\\\\.\\pipe\\x",
        "..",
        "..\\x",
        "../x",
        "a\\..\\..\\x",
        "a/../x",
        "a\\..",
        "a\\.. \\x",
        "a\\...\\x",
        "file.txt:stream",
        "CON",
        "data\\nul.txt",
        "com1",
        "LPT9.log",
        "aux .txt",
    };
    for (const char* path : outside)
        EXPECT_FALSE(StaysInsideLauncherFolder(ParseLauncherLine(std::string(path) + ";{d}")))
            << path;
    const char* inside[] = {
        "",
        "a.txt",
        "data\\textures\\a.png",
        "a/b.txt",
        "..a",
        "a..\\b",
        "file..txt",
        ".\\x",
        "x.",
        "a\\\\b",
        "CONSOLE.txt",
        "com0",
        "com10",
        "lpt.txt",
        "Version = 4",
        "data\\\xE9t\xE9.txt",
    };
    for (const char* path : inside)
        EXPECT_TRUE(StaysInsideLauncherFolder(ParseLauncherLine(path))) << path;
}

TEST(LauncherLine, FoldersOfLinesAreTheListedInsideFoldersOnce) {
    EXPECT_EQ(FoldersOfLines({"Version = 3;", "data\\a.png;", "data\\b.png;{rw}", "x/y/c.txt;{d}",
                              "'skip\\me.txt", "..\\out\\f.txt;", "top.txt;"}),
              (std::vector<std::string>{"", "data", "x/y"}));
}

TEST(LauncherLine, TargetsAndUrlsJoinTheRelativePathUnchanged) {
    EXPECT_EQ(LocalTarget(L"C:\\Games\\L\\", "data\\a.png"), L"C:\\Games\\L\\/data\\a.png");
    EXPECT_EQ(LocalTarget(L"C:\\L\\", ""), L"C:\\L\\/");
    EXPECT_EQ(DownloadUrl(L"https://h/", L"AppGameUpload", "data\\a b.png"),
              L"https://h/AppGameUpload/data\\a b.png");
    EXPECT_EQ(LocalTarget(L"C:\\L\\", "\xE9"),
              (std::wstring{L'C', L':', L'\\', L'L', L'\\', L'/', wchar_t(0xFFE9)}));
}

} // namespace
