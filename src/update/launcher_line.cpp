#include "update/launcher_line.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

#include "update/install/release.h"
#include "utility/string_helpers.h"

namespace {

bool Holds(const std::string& line, const char* marker) {
    return line.find(marker) != std::string::npos;
}

std::vector<std::string> Levels(const std::string& path) {
    std::vector<std::string> levels(1);
    for (char c : path) {
        if (c == '\\' || c == '/')
            levels.emplace_back();
        else
            levels.back().push_back(c);
    }
    return levels;
}

// The platform drops trailing dots and blanks from a level, so ".. " and "..." can act as "..".
bool IsParentLevel(const std::string& level) {
    const bool onlyDotsAndBlanks =
        std::all_of(level.begin(), level.end(), [](char c) { return c == '.' || c == ' '; });
    return onlyDotsAndBlanks && std::count(level.begin(), level.end(), '.') >= 2;
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and LPT1-9 name devices in any folder, with any
// extension.
bool IsDeviceName(const std::string& level) {
    std::string stem = level.substr(0, level.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
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
    const std::string& path = line.relativePath;
    if (!path.empty() && (path[0] == '\\' || path[0] == '/'))
        return false;
    // A colon makes a drive-relative or absolute path, or names a stream of another file.
    if (path.find(':') != std::string::npos)
        return false;
    // The platform ends a name at a NUL, so "a.bin<NUL>" would be "a.bin" and its temporary
    // the same file; no control byte belongs in a name.
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    for (const std::string& level : Levels(path))
        if (IsParentLevel(level) || IsDeviceName(level))
            return false;
    return true;
}

std::vector<std::string> FoldersOfLines(const std::vector<std::string>& lines) {
    std::vector<std::string> folders;
    std::set<std::string> seen;
    for (const std::string& text : lines) {
        const LauncherLine line = ParseLauncherLine(text);
        if (line.comment || !StaysInsideLauncherFolder(line))
            continue;
        const std::size_t last = line.relativePath.find_last_of("\\/");
        const std::string folder =
            last == std::string::npos ? "" : line.relativePath.substr(0, last);
        if (seen.insert(folder).second)
            folders.push_back(folder);
    }
    return folders;
}

void PlaceLine(LauncherLine& line, const ServerSettings& settings) {
    line.target = TargetIn(settings.setupFolder, line.relativePath);
    line.url = settings.serverUrl + settings.uploadFolder + L"/" + line.path;
}
