#pragma once
// Which list lines the launcher takes at all, decided before any line is acted on. Pure: the
// rules can be checked without files or a network.
#include <string>

#include "update/launcher_line.h"

// The error-log line that refuses the line, or empty when the launcher takes it. Comment lines
// are always taken. Refused in every list: a path that PathRefusal refuses (outside the folder,
// a URL escape, the launcher's own state; in a signed list also a byte outside ASCII and the
// list file), the executable itself (launcherName) but in a signed list that fetches it (the
// launcher's own line, see NamesLauncher), and a malformed size or sha256 field. Refused in a
// signed list besides: a line that makes a file under a name FileRefusal refuses, a line that
// fetches a file without both size= and sha256=, and an item after the path that is neither a
// marker nor a known field. The publisher refuses what a signed list may not hold.
std::wstring LineRefusal(const LauncherLine& line, const std::wstring& launcherName,
                         bool signedList);

// True when the path names the running launcher's executable (launcherName, a file name)
// beside it, in any spelling: the launcher's own line of a signed release.
bool NamesLauncher(const std::wstring& path, const std::wstring& launcherName);
