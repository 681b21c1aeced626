#include "update/launcher_line.h"

#include <set>

#include "update/base/path_rules.h"
#include "update/install/release.h"
#include "utility/string_helpers.h"

namespace {

bool Holds(const std::string& line, const char* marker) {
    return line.find(marker) != std::string::npos;
}

} // namespace

LauncherLine ParseLauncherLine(const std::string& line) {
    LauncherLine parsed;
    parsed.comment = !line.empty() && line[0] == '\'';
    parsed.version = Holds(line, "Version");
    parsed.deletion = Holds(line, "{d}");
    parsed.rewrite = Holds(line, "{rw}");
    parsed.relativePath = line.substr(0, line.find(';'));
    parsed.path = String::ToWstring(parsed.relativePath);
    parsed.fields = ParseListFields(line);
    return parsed;
}

std::vector<std::string> SplitListLines(const std::string& bytes) {
    std::vector<std::string> lines;
    const std::string text = bytes.substr(0, bytes.find('\x1A'));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r' && end < text.size())
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string ValueAfterEquals(std::string line) {
    const std::size_t equals = line.find('=');
    std::string value;
    if (equals == std::string::npos)
        return value;
    for (std::size_t i = equals + 1; i < line.size(); ++i)
        if (line[i] != ';' && line[i] != ' ')
            value.push_back(line[i]);
    return value;
}

bool StaysInsideLauncherFolder(const LauncherLine& line) {
    return StaysInsideFolder(line.relativePath);
}

std::vector<std::string> FoldersOfLines(const std::vector<std::string>& lines) {
    std::vector<std::string> folders;
    std::set<std::string> seen;
    for (const std::string& text : lines) {
        const LauncherLine line = ParseLauncherLine(text);
        if (line.comment || !StaysInsideLauncherFolder(line))
            continue;
        const std::size_t cut = line.path.size() - LastLevel(line.path).size();
        const std::string folder = line.relativePath.substr(0, cut == 0 ? 0 : cut - 1);
        if (seen.insert(folder).second)
            folders.push_back(folder);
    }
    return folders;
}

void PlaceLine(LauncherLine& line, const ServerSettings& settings) {
    line.target = TargetIn(settings.setupFolder, line.relativePath);
    line.url = settings.serverUrl + settings.uploadFolder + L"/" + line.path;
}
