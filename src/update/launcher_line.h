#pragma once
// One line of the launcher data, taken apart without touching anything. Everything here is
// pure, so the decisions of the line handling can be checked without files or a network.
#include <string>
#include <vector>

#include "update/base/update_settings.h"
#include "update/trust/list_fields.h"

// What a list line asks for. The markers are searched anywhere in the whole line,
// case-sensitively, the relative path included.
struct LauncherLine {
    bool comment = false;     // the first character is an apostrophe
    bool version = false;     // holds "Version"
    bool deletion = false;    // holds "{d}"
    bool rewrite = false;     // holds "{rw}"
    std::string relativePath; // everything before the first ";", unchanged
    std::wstring path;        // relativePath widened byte by byte
    ListFields fields;        // size and hash, when the line pins its content
    // Where the line acts, filled in by PlaceLine, so that each is made once per line.
    std::wstring target; // setupFolder + "/" + path
    std::wstring url;    // serverUrl + uploadFolder + "/" + path
};

LauncherLine ParseLauncherLine(const std::string& line);

// Fills in the line's target and URL for the folder and server of settings.
void PlaceLine(LauncherLine& line, const ServerSettings& settings);

// The lines of a list file as a text-mode read gives them: a CR LF pair is a line end as a LF
// alone is, a byte 0x1A ends the text, and a last line without a line end is still a line.
std::vector<std::string> SplitListLines(const std::string& bytes);

// The characters after the first "=", without any ";" or blank; empty without an "=".
std::string ValueAfterEquals(std::string line);

// False when the line's relative path could reach outside the launcher folder: an absolute
// path, a leading slash or backslash (which also covers UNC and \\?\ or \\.\ device paths), a
// drive letter or any other colon, a control byte (NUL included), a ".." level behind either
// separator, or a device name such as CON, CONIN$ or COM1 as a level. Such a line is refused
// whole.
bool StaysInsideLauncherFolder(const LauncherLine& line);

// The folder parts (before the last slash or backslash) of the relative paths of the lines
// that name files inside the launcher folder, each once, in the order met; "" for the folder
// itself.
std::vector<std::string> FoldersOfLines(const std::vector<std::string>& lines);
