#pragma once
// The running launcher's own file. Its image can be renamed but not replaced or deleted while
// it runs, and moving it aside first would leave the name empty for a moment: the launcher's
// file is replaced only by one rename of its staged copy over it, by a process other than the
// one it runs in.
#include <string>

enum class OwnReplacement {
    Replaced, // the staged launcher holds the name
    Running,  // the name holds this process's own image: its staged successor must replace it
    Failed    // the rename failed (another program runs or holds the file); logged
};

// Renames the staged copy of the launcher's file (relativePath, in the stage area) over the
// file in the folder (ending in a backslash), with the rename written through.
OwnReplacement ReplaceOwnFile(const std::wstring& setupFolder, const std::string& relativePath);
