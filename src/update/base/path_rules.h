#pragma once
// The launcher's rules for the relative paths a list names, in one place: how a path splits
// into levels, how case is folded, and which paths the launcher never acts on. Pure: no file
// is touched. The reserved names come from reserved_names.inc, which tolvane-publish reads too.
#include <string>
#include <vector>

// The one case rule: ASCII letters folded to lowercase, every other unit kept. List paths hold
// ASCII alone, and two spellings of one name compare equal once folded.
wchar_t FoldedCase(wchar_t unit);
std::wstring FoldedCase(std::wstring text);

// The one path splitter: the levels of a path as written, split at either separator (backslash
// or slash), empty levels kept ("a\\" gives "a" and "").
std::vector<std::wstring> PathLevels(const std::wstring& path);

// The part of a path after its last separator; the whole path without one.
std::wstring LastLevel(const std::wstring& path);

// The file a relative path names as the platform resolves it (either separator, trailing dots
// and blanks dropped, empty and "." levels dropped, case folded), so that two spellings of one
// file compare equal.
std::wstring ResolvedPath(const std::wstring& path);

// The launcher's temporaries beside a target, by kind, and the ending each kind adds to the
// target's name.
enum class Temporary { Download, Stage, Aside };
const std::wstring& TemporaryEnding(Temporary kind);

// True when the name (a path, or one level of it) ends like a temporary of that kind, in any
// case; IsOwnTemporaryName: like any of the launcher's temporaries.
bool HasTemporaryEnding(const std::wstring& name, Temporary kind);
bool IsOwnTemporaryName(const std::wstring& name);

// True when the relative path stays inside the folder it is taken in: it is not absolute, has
// no leading slash or backslash (which also covers UNC and \\?\ or \\.\ device paths), no drive
// letter or other colon, no control byte (NUL included), no ".." level behind either separator
// (trailing dots and blanks count as dropped), and no device name such as CON, CONIN$ or COM1
// as a level, with any extension.
bool StaysInsideFolder(const std::string& relativePath);

// The error-log line that refuses a list line's relative path, or empty when the path is fine.
// In any list: a path outside the launcher folder (see StaysInsideFolder), one holding "%",
// "#" or "?" (its URL would name another file), and one that names the launcher's own state
// whatever its case or the separators, blanks and dots the platform ignores: anything under
// update\, errors.err or update.info at the top, a temporary of the launcher's (*.tolvane-part,
// *.tolvane-stage, *.tolvane-old), or an 8.3 short-name alias ("~" in a level of 8.3 shape),
// which could name any of those. For a launcher with a key (keyed), whose lists only the
// publisher writes, also one holding a byte outside ASCII (the list carries bytes, not an
// encoding) and one that names the list file (uploadfile.uda at the top, in any spelling);
// an unsigned list keeps the rules it always had.
std::wstring PathRefusal(const std::string& relativePath, bool keyed = true);

// The error-log line that refuses a relative path as the name of a file the launcher makes, or
// empty when it can make it under exactly that name: refused are an apostrophe in a path with
// folders (no folder is made for it), a character Windows forbids in a name (<>"|*), and an
// empty level or one ending in a dot or blank (the platform drops them), "." and the empty
// path (the folder itself) included. A line that only deletes needs no such name.
std::wstring FileRefusal(const std::string& relativePath);
