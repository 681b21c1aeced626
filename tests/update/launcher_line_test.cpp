#include <gtest/gtest.h>
#include <tuple>

#include "support/table_file.h"
#include "update/base/channel_name.h"
#include "update/base/path_rules.h"
#include "update/launcher_line.h"
#include "update/line_gate.h"
#include "utility/string_helpers.h"

namespace {

// What a line is, as "markers path | fields": the markers found (comment, version, deletion,
// rewrite), the path, then "size/sha256" or why the fields are unusable.
std::string Describe(const std::string& text) {
    const LauncherLine line = ParseLauncherLine(text);
    const ListFields& f = line.fields;
    return std::string(line.comment ? "c" : "") + (line.version ? "v" : "") +
           (line.deletion ? "d" : "") + (line.rewrite ? "r" : "") + " " + line.relativePath +
           " | " +
           (!f.error.empty() ? f.error
                             : (f.hasSize ? std::to_string(f.size) : "-") + "/" + f.sha256);
}

TEST(LauncherLine, MarkersAnywherePathBeforeTheFirstSemicolonAndFieldsThatOnlyPin) {
    const std::string hash(64, 'a'), decimal = " a | size is not a decimal byte count",
                                     hex = " a | sha256 is not 64 lowercase hex digits";
    // clang-format off
    const std::string cases[][2] = {
        {"Version = 3;", "v Version = 3 | -/"}, {"bin\\game.dll;{rw}", "r bin\\game.dll | -/"},
        {"'comment {d} {rw} Version", "cvdr 'comment {d} {rw} Version | -/"},
        {" 'not a comment", "  'not a comment | -/"},
        {"{d}docs\\Version.txt;", "vd {d}docs\\Version.txt | -/"},
        {"version.txt;{D}{RW}", " version.txt | -/"},
        // Fields never make a line another kind of line.
        {"a.bin;size=5;sha256=" + hash, " a.bin | 5/" + hash},
        {"a.bin;sha256=" + hash + ";{rw};size=0;note=x=y", "r a.bin | 0/" + hash},
        {"size=5;sha256=" + hash, " size=5 | -/" + hash}, // before the first ";": the path
        {"a;size=18446744073709551615", " a | 18446744073709551615/"},
        {"a;size=18446744073709551616", decimal}, {"a;size=-1", decimal}, {"a;size=", decimal},
        {"a;size=1;size=1", " a | size given twice"}, {"a;sha256=" + std::string(64, 'A'), hex},
        {"a;sha256=" + hash + "0", hex},
        {"a;sha256=" + hash + ";sha256=" + hash, " a | sha256 given twice"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(Describe(c[0]), c[1]) << c[0];
}

TEST(LauncherLine, ListFilesSplitIntoLinesAsATextModeReadGivesThem) {
    // clang-format off
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}}, {"a", {"a"}}, {"a\r\nb\nc", {"a", "b", "c"}}, {"a\r\n\r\n", {"a", ""}},
        {"a\rb\r\n", {"a\rb"}}, {"a\r", {"a\r"}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}}, {"a\nb\x1A\nc\n", {"a", "b"}},
    };
    // clang-format on
    for (const auto& [bytes, lines] : cases)
        EXPECT_EQ(SplitListLines(bytes), lines) << bytes;
}

TEST(LauncherLine, ValueAfterEqualsDropsSemicolonsAndBlanksOnly) {
    const char* cases[][2] = {{"Version = 3;", "3"},     {"Version = 1.2; beta", "1.2beta"},
                              {"a = b\t= c;;", "b\t=c"}, {"\xEF\xBB\xBFVersion = 3;", "3"},
                              {"Version 3", ""},         {"Version =", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(ValueAfterEquals(c[0]), c[1]) << c[0];
}

// A row of the table of names and version texts that the publisher's test reads too.
struct NameRow {
    std::string what, verdict, text;
};

std::vector<NameRow> NameTable() {
    std::vector<NameRow> rows;
    for (const std::vector<std::string>& row : testing_support::ReadTable(TOLVANE_NAME_TABLE))
        rows.push_back({row.at(0), row.at(1), row.size() > 2 ? row[2] : ""});
    return rows;
}

// The table's word for a refusal.
std::string ReasonOf(const std::wstring& refusal) {
    const std::wstring refused = L"error : List line refused, ";
    const std::pair<std::wstring, const char*> reasons[] = {
        {L"error : Path outside the launcher folder refused: ", "outside"},
        {refused + L"a byte outside ASCII", "ascii"},
        {refused + L"\"%\"", "url"},
        {refused + L"it names the launcher's own", "own"},
        {refused + L"it names the list", "list"},
        {refused + L"an apostrophe", "apostrophe"},
        {refused + L"a character Windows", "windows"},
        {refused + L"an empty level", "level"},
        {refused, "field"}};
    for (const auto& [start, reason] : reasons)
        if (refusal.compare(0, start.size(), start) == 0)
            return reason;
    return "unknown refusal";
}

// What a launcher with a key makes of the list line that the publisher writes for the row.
std::string Verdict(const NameRow& row) {
    const bool version = row.what == "version";
    const std::string path = version ? "Version = " + row.text : row.text,
                      written =
                          path + (version ? ";{d}" : ";size=1;sha256=" + std::string(64, 'a'));
    const std::vector<std::string> lines = SplitListLines(written + "\r\n");
    for (const std::string& text : lines)
        if (const std::wstring refusal =
                LineRefusal(ParseLauncherLine(text), L"TolvaneLauncher.exe", true);
            !refusal.empty())
            return ReasonOf(refusal);
    const LauncherLine line = ParseLauncherLine(lines.front());
    const bool asWritten = lines.size() == 1 && !line.comment && line.relativePath == path &&
                           line.version == version && line.deletion == version &&
                           (version || !line.rewrite);
    return asWritten ? "taken" : "marker";
}

TEST(PathRules, TheLauncherJudgesTheSharedNameTableAsItSays) {
    const std::vector<NameRow> rows = NameTable();
    EXPECT_GT(rows.size(), 100u) << TOLVANE_NAME_TABLE;
    for (const NameRow& row : rows)
        EXPECT_EQ(Verdict(row), row.verdict) << row.what << " " << row.text;
}

// The channel names of the shared table, as the build option, the /channel= switch (wide) and
// the publisher take them, and the site folder of each channel.
TEST(ChannelName, TheLauncherJudgesTheSharedChannelTableAsItSays) {
    const auto rows = testing_support::ReadTable(TOLVANE_CHANNEL_TABLE);
    EXPECT_GT(rows.size(), 10u) << TOLVANE_CHANNEL_TABLE;
    for (const std::vector<std::string>& row : rows) {
        ASSERT_EQ(row.size(), 3u) << row.at(0);
        const std::optional<std::string> name = ChannelName(row[0]);
        EXPECT_EQ(name.value_or("refused"), row[1]) << row[0];
        EXPECT_EQ(ChannelName(String::ToWstring(row[0])), name) << row[0];
        EXPECT_EQ(name ? ChannelFolder(*name) : "", row[2]) << row[0];
    }
    // No unit beyond ASCII passes for the letter its low byte is.
    EXPECT_EQ(ChannelName(std::wstring(L"b\u0165ta")), std::nullopt);
    EXPECT_EQ(ChannelName(std::wstring(L"be\0ta", 5)), std::nullopt);
}

TEST(PathRules, OnePathSplitterAndOneCaseRule) {
    // The path, its resolved spelling, its last level.
    const wchar_t* cases[][3] = {
        {L"Data\\Textures/A.PNG", L"data\\textures\\a.png", L"A.PNG"},
        {L".\\update. \\\\x.", L"update\\x", L"x."},
        {L"a\\", L"a", L""},
        {L"", L"", L""},
        {L"\u00C9T\u00C9.TXT", L"\u00C9t\u00C9.txt", L"\u00C9T\u00C9.TXT"}, // ASCII alone folds
        {L"Z:\\Folder/sub", L"z:\\folder\\sub", L"sub"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvedPath(c[0]), c[1]) << c[0];
        EXPECT_EQ(LastLevel(c[0]), c[2]) << c[0];
    }
}

TEST(LineGate, TheLaunchersOwnFilesAndUnpinnedSignedLinesAreRefused) {
    const std::string pin = ";size=3;sha256=" + std::string(64, 'a'),
                      own = "it names the launcher's own";
    // The line, whether the list is signed, and the refusal: "" when taken, else the reason's
    // start after "error : List line refused, " ("outside" for a path outside the folder).
    // clang-format off
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"data\\a.pak" + pin, true, ""}, {"old.txt;{d}", true, ""}, {"Version = 3;{d}", true, ""},
        {"'comment;size=1", true, ""}, {"data\\a.pak;{rw}", false, ""},
        {"data\\a.pak;{rw}", true, "a signed list pins"}, {"Version = 3;", true, "a signed list"},
        {"data\\a.pak;size=3", true, "a signed list pins"},
        {"data\\a.pak;sha256=" + std::string(64, 'a'), true, "a signed list pins"},
        {"data\\a.pak" + pin + ";SHA256=x", true, "unknown field SHA256=x"},
        {"data\\a.pak" + pin + ";{RW}", true, "unknown field {RW}"},
        {"data\\a.pak" + pin + ";SHA256=x", false, ""}, {"data\\a.pak;size=x", false, "size is"},
        // The launcher's own state, in any spelling the platform takes for it.
        {"update\\list.serial;{d}", false, own}, {".\\update. \\update.info;{d}", false, own},
        {"update;{d}", false, own}, {"errors.err;{d}", false, own},
        {"Errors.Err .;{rw}", false, own}, {"update.info;{d}", false, own},
        {"data\\a.pak.tolvane-part;{d}", false, own}, {"data\\a.pak.tolvane-old;{d}", false, own},
        {"TOLVAN~1.EXE;{d}", false, own}, {"UPDA~T25\\list.serial;{d}", false, own},
        {"data\\errors.err;{d}", false, ""}, {"updates\\a.txt;{d}", false, ""},
        {"tilde~name.longext;{d}", false, ""},
        // The launcher itself: replaced only by a signed list's pinned line, never deleted.
        {"TolvaneLauncher.exe. " + pin, false, own}, {"TolvaneLauncher.exe;{d}", true, own},
        // A URL escape, fragment or query would fetch another file than the one named.
        {"%2e%2e\\canary.txt;{rw}", false, "\"%\""}, {"a#b.txt;{rw}", false, "\"%\""},
        {"a.txt?x=1;{rw}", false, "\"%\""},
        // Out of the folder for any list, beyond the shared table's rows; a NUL ends the name
        // for the platform, so "COM1<NUL>.txt" is the device.
        {"../x;{d}", false, "outside"}, {"a\\..;{d}", false, "outside"},
        {"CON;{d}", false, "outside"}, {"conin$;{d}", false, "outside"},
        {"a\\CONOUT$.txt;{d}", false, "outside"}, {"esc\x1B;{d}", false, "outside"},
        {std::string("COM1\0.txt;{rw}", 14), false, "outside"},
    };
    // clang-format on
    for (const auto& [text, signedList, reason] : cases) {
        const std::wstring got =
            LineRefusal(ParseLauncherLine(text), L"TolvaneLauncher.exe", signedList);
        const std::wstring start = reason.empty() ? L""
                                   : reason == "outside"
                                       ? L"error : Path outside the launcher folder refused: "
                                       : L"error : List line refused, " + String::ToWstring(reason);
        EXPECT_EQ(reason.empty() ? got : got.substr(0, start.size()), start) << text;
    }
}

} // namespace
