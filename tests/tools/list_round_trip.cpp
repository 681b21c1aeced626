// Reads a published list through the launcher's own line parsing, then runs one update pass
// against the server that holds it, as a launcher built with the given list key would.
//   list_round_trip LIST_FILE SERVER_URL SETUP_FOLDER [KEY]
// KEY is the studio's public key as 128 hex digits (X then Y); without it, the pass takes the
// list unsigned. Prints one line per list line:
// "parsed <comment><version><deletion><rewrite><inside> <size> <sha256> <path>", each flag 0
// or 1, size and sha256 "-" when the line does not pin them (or pins them unreadably).
//   list_round_trip --indexes LIST_FILE INDEX_FOLDER
// Judges the chunk index of each file the list pins above the largest chunk, as the launcher
// reads it from INDEX_FOLDER\<sha256>: "index taken <path>", "index none <path>" without one,
// or "index refused <path>: <why>".
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "update/chunks/chunks.h"
#include "update/launcher_line.h"
#include "update/update_worker.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

namespace {

int JudgeIndexes(const std::vector<std::string>& lines, const std::wstring& folder) {
    for (const std::string& text : lines) {
        const LauncherLine line = ParseLauncherLine(text);
        if (!line.fields.hasSize || line.fields.size <= kChunkSizes.max)
            continue;
        std::vector<std::string> index;
        if (!File::ReadTXT(folder + L"\\" + String::ToWstring(line.fields.sha256), index)) {
            std::printf("index none %s\n", line.relativePath.c_str());
            continue;
        }
        ChunkIndexReader reader(line.fields.size, line.fields.sha256);
        ChunkEntry entry;
        bool taken = true;
        for (std::size_t at = 0; taken && at < index.size(); ++at)
            taken = reader.Take(index[at], entry);
        taken = taken && reader.Finish();
        std::printf("index %s %s%s%s\n", taken ? "taken" : "refused", line.relativePath.c_str(),
                    taken ? "" : ": ", reader.Error().c_str());
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--indexes") {
        std::vector<std::string> lines;
        return File::ReadTXT(argv[2], lines) ? JudgeIndexes(lines, argv[3]) : 1;
    }
    if (argc != 4 && argc != 5)
        return 2;
    const std::string key = argc == 5 ? testing_support::FromHex(String::ToString(argv[4])) : "";
    std::vector<std::string> lines;
    if (!File::ReadTXT(argv[1], lines))
        return 1;
    for (const std::string& text : lines) {
        const LauncherLine line = ParseLauncherLine(text);
        const ListFields& fields = line.fields;
        std::printf("parsed %d%d%d%d%d %s %s %s\n", line.comment, line.version, line.deletion,
                    line.rewrite, StaysInsideLauncherFolder(line),
                    fields.hasSize ? std::to_string(fields.size).c_str() : "-",
                    fields.sha256.empty() ? "-" : fields.sha256.c_str(), line.relativePath.c_str());
    }
    UpdateServerSettings = ServerSettings{argv[2], argv[3], L"uploadfile.uda", L"AppGameUpload"};
    UpdatePassOptions = PassOptions{false, key, "", {}};
    UpdateWorker();
    return 0;
}
