#include <gtest/gtest.h>

#include "update/launcher_line.h"

namespace {

TEST(LauncherLine, ParsesMarkersAnywhereAndThePathBeforeTheFirstSemicolon) {
    // The line, the markers found (comment, version, deletion, rewrite) and the path.
    const char* cases[][3] = {
        {"Version = 3;", "v", "Version = 3"},
        {"bin\\game.dll;{rw}", "r", "bin\\game.dll"},
        {"'comment {d} {rw} Version", "cvdr", "'comment {d} {rw} Version"},
        {" 'not a comment", "", " 'not a comment"},
        {"{d}docs\\Version.txt;", "vd", "{d}docs\\Version.txt"},
        {"version.txt;{D}{RW}", "", "version.txt"},
        {"a;b;c", "", "a"},
    };
    for (const auto& c : cases) {
        const LauncherLine line = ParseLauncherLine(c[0]);
        const std::string markers = std::string(line.comment ? "c" : "") +
                                    (line.version ? "v" : "") + (line.deletion ? "d" : "") +
                                    (line.rewrite ? "r" : "");
        EXPECT_EQ(markers + " " + line.relativePath, std::string(c[1]) + " " + c[2]) << c[0];
    }
}

TEST(LauncherLine, ValueAfterEqualsDropsSemicolonsAndBlanksOnly) {
    const char* cases[][2] = {{"Version = 3;", "3"},     {"Version = 1.2; beta", "1.2beta"},
                              {"a = b\t= c;;", "b\t=c"}, {"\xEF\xBB\xBFVersion = 3;", "3"},
                              {"Version 3", ""},         {"Version =", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(ValueAfterEquals(c[0]), c[1]) << c[0];
}

TEST(LauncherLine, PathsThatCouldLeaveTheFolderAreRefused) {
    for (const char* path :
         {"\\x.txt", "/x.txt", "C:\\x.txt", "c:x.txt", "\\\\server\\s\\x", "\\\\?\\C:\\x",
          "\\\\.\\pipe\\x", "..", "..\\x", "../x", "a\\..\\..\\x", "a/../x", "a\\..", "a\\.. \\x",
          "a\\...\\x", "file.txt:stream", "CON", "data\\nul.txt", "aux .txt"})
        EXPECT_FALSE(StaysInsideLauncherFolder(ParseLauncherLine(std::string(path) + ";{d}")))
            << path;
    for (const char* path :
         {"a.txt", "data\\textures\\a.png", "a/b.txt", "..a", "a..\\b", ".\\x", "x.", "CONSOLE.txt",
          "com0", "com10", "Version = 4", "d\\\xE9t\xE9.txt"})
        EXPECT_TRUE(StaysInsideLauncherFolder(ParseLauncherLine(path))) << path;
}

} // namespace
