#pragma once
// The steps of a commit, planned from the release and the shape of the folder before any is
// journalled: which current copies go aside, which folders go or are made so that a file may
// become a folder and a folder a file, several levels deep, and which staged copies move in.
// Pure but for DiskView: the folder is seen through a view, so the plan is checked without
// files.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "update/install/commit_journal.h"
#include "update/install/release.h"

enum class Shape { None, File, Folder };

struct FolderView {
    // What a relative path of the folder is now.
    std::function<Shape(const std::string& relativePath)> shapeOf;
    // What a folder holds at every depth, by relative path, each folder before what it holds;
    // a linked folder is listed but not entered.
    std::function<std::vector<std::pair<std::string, Shape>>(const std::string& relativePath)>
        below;
};

// The view of the launcher folder (ending in a backslash) as it is on the disk.
FolderView DiskView(const std::wstring& setupFolder);

// The error-log line that holds back a release listing a file under a path it also lists as a
// file, in any spelling: no folder holds both. Empty when the release has no such pair.
std::wstring ShapeConflict(const Release& release);

struct CommitPlan {
    std::vector<JournalStep> steps; // in the order they are taken, without the version step
    std::wstring refusal;           // why the release cannot be committed; no steps then
};

// The steps that move the folder to the release: Aside for each current copy the release
// replaces or removes, Unmake for each folder where a file goes (deepest first), Make for each
// folder the files need where none is (topmost first), Place for each staged copy, then Own for
// the running launcher's file. Refused, with nothing to do: a folder where a file goes that
// holds a file the release does not remove (or anything named as no list may name), and a file
// where a folder is needed that the release does not remove.
CommitPlan PlanCommit(const Release& release, const FolderView& view);
