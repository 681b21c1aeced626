#include "update/base/path_rules.h"

#include <algorithm>

#include "utility/string_helpers.h"

namespace {

enum class NameKind {
    device,
    state_folder,
    state_file,
    list_file,
    part_ending,
    stage_ending,
    aside_ending,
    url_characters,
    forbidden_characters,
};

struct ReservedName {
    NameKind kind;
    const wchar_t* text;
};

const ReservedName kReserved[] = {
#define NAME(kind, text) {NameKind::kind, L"" text},
#include "update/base/reserved_names.inc"
#undef NAME
};

// The first entry of a kind: the one text of an ending or a character set.
std::wstring Entry(NameKind kind) {
    for (const ReservedName& name : kReserved)
        if (name.kind == kind)
            return name.text;
    return std::wstring();
}

// True when the folded text is an entry of that kind, in any case.
bool IsReserved(NameKind kind, const std::wstring& folded) {
    for (const ReservedName& name : kReserved)
        if (name.kind == kind && FoldedCase(name.text) == folded)
            return true;
    return false;
}

// The levels of a path as the platform resolves them: trailing dots and blanks cut, empty and
// "." levels dropped, case folded.
std::vector<std::wstring> ResolvedLevels(const std::wstring& path) {
    std::vector<std::wstring> levels;
    for (std::wstring level : PathLevels(path)) {
        while (!level.empty() && (level.back() == L'.' || level.back() == L' '))
            level.pop_back();
        if (!level.empty())
            levels.push_back(FoldedCase(level));
    }
    return levels;
}

// The platform drops trailing dots and blanks from a level, so ".. " and "..." can act as "..".
bool IsParentLevel(const std::wstring& level) {
    const bool onlyDotsAndBlanks =
        std::all_of(level.begin(), level.end(), [](wchar_t c) { return c == L'.' || c == L' '; });
    return onlyDotsAndBlanks && std::count(level.begin(), level.end(), L'.') >= 2;
}

bool IsDeviceName(const std::wstring& level) {
    std::wstring stem = level.substr(0, level.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    return IsReserved(NameKind::device, FoldedCase(stem));
}

// "NAME~X.EXT" with at most 8 units before the dot and 3 after: the shape of a short name.
bool ShortNameAlias(const std::wstring& level) {
    const std::size_t tilde = level.find(L'~');
    if (tilde == std::wstring::npos)
        return false;
    const std::size_t dot = level.find(L'.');
    const std::size_t stem = dot == std::wstring::npos ? level.size() : dot;
    return stem <= 8 && (dot == std::wstring::npos || level.size() - dot - 1 <= 3);
}

bool NamesLauncherState(const std::wstring& path) {
    const std::vector<std::wstring> levels = ResolvedLevels(path);
    if (levels.empty())
        return false;
    if (IsReserved(NameKind::state_folder, levels.front()) ||
        (levels.size() == 1 && IsReserved(NameKind::state_file, levels.front())))
        return true;
    return std::any_of(levels.begin(), levels.end(), [](const std::wstring& level) {
        return IsOwnTemporaryName(level) || ShortNameAlias(level);
    });
}

} // namespace

wchar_t FoldedCase(wchar_t unit) {
    return unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}

std::wstring FoldedCase(std::wstring text) {
    for (wchar_t& unit : text)
        unit = FoldedCase(unit);
    return text;
}

std::vector<std::wstring> PathLevels(const std::wstring& path) {
    std::vector<std::wstring> levels(1);
    for (wchar_t unit : path) {
        if (unit == L'\\' || unit == L'/')
            levels.emplace_back();
        else
            levels.back().push_back(unit);
    }
    return levels;
}

std::wstring LastLevel(const std::wstring& path) {
    return PathLevels(path).back();
}

std::wstring ResolvedPath(const std::wstring& path) {
    std::wstring resolved;
    for (const std::wstring& level : ResolvedLevels(path))
        resolved += (resolved.empty() ? L"" : L"\\") + level;
    return resolved;
}

const std::wstring& TemporaryEnding(Temporary kind) {
    static const std::wstring endings[] = {
        Entry(NameKind::part_ending), Entry(NameKind::stage_ending), Entry(NameKind::aside_ending)};
    return endings[static_cast<int>(kind)];
}

bool HasTemporaryEnding(const std::wstring& name, Temporary kind) {
    const std::wstring& ending = TemporaryEnding(kind);
    return name.size() >= ending.size() &&
           FoldedCase(name.substr(name.size() - ending.size())) == FoldedCase(ending);
}

bool IsOwnTemporaryName(const std::wstring& name) {
    return HasTemporaryEnding(name, Temporary::Download) ||
           HasTemporaryEnding(name, Temporary::Stage) || HasTemporaryEnding(name, Temporary::Aside);
}

bool StaysInsideFolder(const std::string& relativePath) {
    if (!relativePath.empty() && (relativePath[0] == '\\' || relativePath[0] == '/'))
        return false;
    // A colon makes a drive-relative or absolute path, or names a stream of another file.
    if (relativePath.find(':') != std::string::npos)
        return false;
    // The platform ends a name at a NUL, so "a.bin<NUL>" would be "a.bin" and its temporary
    // the same file; no control byte belongs in a name.
    for (char c : relativePath)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    for (const std::wstring& level : PathLevels(String::ToWstring(relativePath)))
        if (IsParentLevel(level) || IsDeviceName(level))
            return false;
    return true;
}

std::wstring PathRefusal(const std::string& relativePath, bool keyed) {
    const std::wstring path = String::ToWstring(relativePath);
    if (!StaysInsideFolder(relativePath))
        return L"error : Path outside the launcher folder refused: " + path;
    const std::wstring refused = L"error : List line refused, ";
    // The list carries bytes, not an encoding: such a name would be another on the host.
    for (char c : relativePath)
        if (keyed && static_cast<unsigned char>(c) > 0x7F)
            return refused + L"a byte outside ASCII in the path: " + path;
    if (path.find_first_of(Entry(NameKind::url_characters)) != std::wstring::npos)
        return refused + L"\"%\", \"#\" or \"?\" in the path: " + path;
    if (NamesLauncherState(path))
        return refused + L"it names the launcher's own files: " + path;
    const std::vector<std::wstring> levels = ResolvedLevels(path);
    if (keyed && levels.size() == 1 && IsReserved(NameKind::list_file, levels.front()))
        return refused + L"it names the list file: " + path;
    return std::wstring();
}

std::wstring FileRefusal(const std::string& relativePath) {
    const std::wstring path = String::ToWstring(relativePath);
    const std::vector<std::wstring> levels = PathLevels(path);
    const std::wstring refused = L"error : List line refused, ";
    // Path::CreateFolders makes no folder for a path with an apostrophe.
    if (levels.size() > 1 && path.find(L'\'') != std::wstring::npos)
        return refused + L"an apostrophe in a path with folders: " + path;
    if (path.find_first_of(Entry(NameKind::forbidden_characters)) != std::wstring::npos)
        return refused + L"a character Windows forbids in a name: " + path;
    // The platform would store such a level under another name, or none; an empty path names
    // the folder itself.
    for (const std::wstring& level : levels)
        if (level.empty() || level.back() == L'.' || level.back() == L' ')
            return refused + L"an empty level or one ending in a dot or blank: " + path;
    return std::wstring();
}
