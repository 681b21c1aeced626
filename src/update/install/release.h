#pragma once
// A release as the install wing handles it: what a signed list asks of the folder, reduced to
// the files whose local copy differs, the files it removes, and the version line that records
// it. The pass builds it from the list's lines; staging and the commit carry it out.
#include <set>
#include <string>
#include <vector>

#include "update/trust/list_fields.h"

struct ReleaseFile {
    std::string relativePath;   // as the list names it
    std::wstring target;        // where it lives in the launcher folder
    std::wstring url;           // where it is fetched from; empty for a removal
    ListFields fields;          // the size and hash the list pins
    bool launcher = false;      // the running launcher's executable: replaced once proven
    bool staged = false;        // a verified copy lies under its stage name
    bool reused = false;        // that copy was left by an earlier pass
    std::string sha256;         // the verified hash, once staged
    std::string previousSha256; // the hash of the copy in the folder now, when one was told
};

struct Release {
    std::string versionLine;           // written to the version record once installed
    std::vector<ReleaseFile> files;    // to stage, then move in
    std::vector<ReleaseFile> removals; // present now, gone once installed
    std::vector<ReleaseFile> present;  // listed and in place already: may hold a moved file
};

// A target of the launcher folder (ending in a backslash) from a list's relative path, exactly
// as the pass places a line's target.
std::wstring TargetIn(const std::wstring& setupFolder, const std::string& relativePath);

// The launcher's own places under update\ for the files of a release: the stage area holds
// each verified copy until the commit moves it in, the aside area each previous copy until the
// commit is done. A file keeps its relative path in them, so neither depends on the shape of
// the folder (a file there may become a folder, and the reverse).
enum class Area { Stage, Aside };
std::wstring AreaPath(const std::wstring& setupFolder, Area area);
std::wstring PathInArea(const std::wstring& setupFolder, Area area,
                        const std::string& relativePath);

// Makes the folders of the area that the relative path needs; false when one cannot be made.
bool MakeAreaFolders(const std::wstring& setupFolder, Area area, const std::string& relativePath);

// Deletes what lies in the area but the files whose resolved relative paths (see ResolvedPath)
// are kept, and every folder it empties; a file another program holds stays for a later start.
// It never goes through a link: a linked folder is removed as a name, not entered.
void ClearArea(const std::wstring& setupFolder, Area area, const std::set<std::wstring>& kept = {});

// The names earlier launchers gave their temporaries, beside the target: a verified copy, and
// the previous copy during a commit. Their journals and records are still finished here.
std::wstring StageBeside(const std::wstring& target);
std::wstring AsideBeside(const std::wstring& target);

// The relative paths of a record an earlier launcher kept under update\ (record names it, as
// "update\\staged"), one a line, read back like list lines: a name no list may hold is
// dropped with one error-log line, never followed.
std::vector<std::string> NamesInRecord(const std::wstring& setupFolder, const wchar_t* record);

// Writes the names back into the record, one a line, or deletes it when none is left.
void KeepInRecord(const std::wstring& setupFolder, const wchar_t* record,
                  const std::vector<std::string>& names);
