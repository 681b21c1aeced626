#pragma once
// Which list lines the launcher takes at all, decided before any line is acted on. Pure: the
// rules can be checked without files or a network.
#include <string>

#include "update/launcher_line.h"

// The error-log line that refuses the line, or empty when the launcher takes it. Comment lines
// are always taken. Refused in every list: a path that could reach outside the launcher folder,
// a path holding "%", "#" or "?" (its URL would name another file), a malformed size or sha256
// field, and a path that names the launcher's own state whatever its case or the separators,
// blanks and dots the platform ignores: anything under update\, errors.err or update.info beside
// the executable, the executable itself (launcherName) but in a signed list that fetches it
// (the launcher's own line, see NamesLauncher), a temporary of the launcher's
// (*.tolvane-part, *.tolvane-stage, *.tolvane-old), or an 8.3 short-name alias ("~" in a level
// of 8.3 shape), which could name any of those. Refused in a signed list besides: a line that
// fetches a file without both size= and sha256=, and an item after the path that is neither a
// marker nor a known field.
std::wstring LineRefusal(const LauncherLine& line, const std::wstring& launcherName,
                         bool signedList);

// The file a relative path names as the platform resolves it (either separator, trailing dots
// and blanks dropped, ASCII case folded), so that two spellings of one file compare equal.
std::wstring ResolvedPath(const std::wstring& path);

// True when the path names the running launcher's executable (launcherName, a file name)
// beside it, in any spelling: the launcher's own line of a signed release.
bool NamesLauncher(const std::wstring& path, const std::wstring& launcherName);
