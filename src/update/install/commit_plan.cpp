#include "update/install/commit_plan.h"

#include <windows.h>

#include <set>

#include "update/base/path_rules.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

namespace {

std::wstring Resolved(const std::string& relativePath) {
    return ResolvedPath(String::ToWstring(relativePath));
}

// The folders above a relative path, topmost first, as the path spells them.
std::vector<std::string> FoldersAbove(const std::string& relativePath) {
    std::vector<std::string> folders;
    for (std::size_t at = 0; (at = relativePath.find_first_of("\\/", at)) != std::string::npos;
         ++at)
        folders.push_back(relativePath.substr(0, at));
    return folders;
}

Shape ShapeAt(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Shape::None;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? Shape::Folder : Shape::File;
}

void ListBelow(const std::wstring& folder, const std::string& relativePath,
               std::vector<std::pair<std::string, Shape>>& found) {
    WIN32_FIND_DATAW entry;
    const ScopedFind find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0));
    if (!find.valid())
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::string inner = relativePath + "\\" + String::ToString(name);
        const bool isFolder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        found.push_back({inner, isFolder ? Shape::Folder : Shape::File});
        if (isFolder && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListBelow(folder + L"\\" + name, inner, found);
    } while (FindNextFileW(find.get(), &entry));
}

} // namespace

FolderView DiskView(const std::wstring& setupFolder) {
    return {[setupFolder](const std::string& relativePath) {
                return ShapeAt(TargetIn(setupFolder, relativePath));
            },
            [setupFolder](const std::string& relativePath) {
                std::vector<std::pair<std::string, Shape>> found;
                ListBelow(TargetIn(setupFolder, relativePath), relativePath, found);
                return found;
            }};
}

std::wstring ShapeConflict(const Release& release) {
    std::set<std::wstring> files;
    for (const ReleaseFile& file : release.files)
        files.insert(Resolved(file.relativePath));
    for (const ReleaseFile& file : release.files)
        for (const std::string& folder : FoldersAbove(file.relativePath))
            if (files.count(Resolved(folder)))
                return L"error : The release was not installed: it lists " +
                       String::ToWstring(folder) + L" as a file and as the folder of " +
                       String::ToWstring(file.relativePath);
    return std::wstring();
}

CommitPlan PlanCommit(const Release& release, const FolderView& view) {
    const std::wstring refused = L"error : The release was not installed: ";
    std::set<std::wstring> removed, made;
    for (const ReleaseFile& file : release.removals)
        removed.insert(Resolved(file.relativePath));
    std::vector<JournalStep> asides, unmakes, makes, places, own;
    for (const ReleaseFile& file : release.files) {
        const std::string& path = file.relativePath;
        for (const std::string& folder : FoldersAbove(path)) {
            const Shape shape = view.shapeOf(folder);
            if (shape == Shape::File && !removed.count(Resolved(folder)))
                return {{},
                        refused + String::ToWstring(folder) +
                            L" is a file the release keeps, where its files need a folder"};
            if (shape != Shape::Folder && made.insert(Resolved(folder)).second)
                makes.push_back({StepKind::Make, folder});
        }
        const Shape shape = view.shapeOf(path);
        if (shape == Shape::Folder) {
            std::vector<JournalStep> inner;
            for (const auto& [below, belowShape] : view.below(path)) {
                // A name no list may hold is never journalled: it would stop the recovery.
                if ((belowShape == Shape::File && !removed.count(Resolved(below))) ||
                    !PathRefusal(below).empty())
                    return {{},
                            refused + L"the folder " + String::ToWstring(path) +
                                L", which becomes a file, holds a file the release does not "
                                L"remove: " +
                                String::ToWstring(below)};
                if (belowShape == Shape::Folder)
                    inner.push_back({StepKind::Unmake, below});
            }
            unmakes.insert(unmakes.end(), inner.rbegin(), inner.rend());
            unmakes.push_back({StepKind::Unmake, path});
        }
        if (shape == Shape::File && file.launcher)
            own.push_back({StepKind::Own, path});
        else if (shape == Shape::File)
            asides.push_back({StepKind::Aside, path});
        if (shape != Shape::File || !file.launcher)
            places.push_back({StepKind::Place, path});
    }
    for (const ReleaseFile& file : release.removals)
        asides.push_back({StepKind::Aside, file.relativePath});
    CommitPlan plan;
    for (const auto* part : {&asides, &unmakes, &makes, &places, &own})
        plan.steps.insert(plan.steps.end(), part->begin(), part->end());
    return plan;
}
