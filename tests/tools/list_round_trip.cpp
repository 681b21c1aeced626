// Reads a published list through the launcher's own line parsing, then runs one update pass
// against the server that holds it.
//   list_round_trip LIST_FILE SERVER_URL SETUP_FOLDER
// Prints one line per list line: "parsed <comment><version><deletion><rewrite><inside> <path>",
// each flag 0 or 1.
#include <cstdio>
#include <string>
#include <vector>

#include "update/launcher_line.h"
#include "update/update_worker.h"
#include "utility/text_file.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    std::vector<std::string> lines;
    if (!File::ReadTXT(argv[1], lines))
        return 1;
    for (const std::string& text : lines) {
        const LauncherLine line = ParseLauncherLine(text);
        std::printf("parsed %d%d%d%d%d %s\n", line.comment, line.version, line.deletion,
                    line.rewrite, StaysInsideLauncherFolder(line), line.relativePath.c_str());
    }
    UpdateServerSettings = ServerSettings{argv[2], argv[3], L"uploadfile.uda", L"AppGameUpload"};
    UpdateWorker();
    return 0;
}
