#pragma once
// A release as the install wing handles it: what a signed list asks of the folder, reduced to
// the files whose local copy differs, the files it removes, and the version line that records
// it. The pass builds it from the list's lines; staging and the commit carry it out.
#include <string>
#include <vector>

#include "update/trust/list_fields.h"

struct ReleaseFile {
    std::string relativePath; // as the list names it
    std::wstring target;      // where it lives in the launcher folder
    std::wstring url;         // where it is fetched from; empty for a removal
    ListFields fields;        // the size and hash the list pins
    bool launcher = false;    // the running launcher's executable: replaced once proven
    bool staged = false;      // a verified copy lies under its stage name
    bool reused = false;      // that copy was left by an earlier pass
    std::string sha256;       // the verified hash, once staged
};

struct Release {
    std::string versionLine;           // written to the version record once installed
    std::vector<ReleaseFile> files;    // to stage, then move in
    std::vector<ReleaseFile> removals; // present now, gone once installed
};

// The temporary names of the launcher's own files beside a target: a verified copy waiting for
// the commit, and the previous copy moved aside by it until the commit is done (their endings
// are the base's, see TemporaryEnding).
std::wstring StageName(const std::wstring& target);
std::wstring AsideName(const std::wstring& target);

// A target of the launcher folder (ending in a backslash) from a list's relative path, exactly
// as the pass places a line's target.
std::wstring TargetIn(const std::wstring& setupFolder, const std::string& relativePath);
