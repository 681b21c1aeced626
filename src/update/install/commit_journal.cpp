#include "update/install/commit_journal.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "update/base/path_rules.h"
#include "utility/string_helpers.h"

namespace {

struct StepName {
    StepKind kind;
    const char* name; // with its separating blank
};

constexpr StepName kNames[] = {{StepKind::Replace, "replace "}, {StepKind::In, "in "},
                               {StepKind::Remove, "remove "},   {StepKind::Done, "done "},
                               {StepKind::Aside, "aside "},     {StepKind::Unmake, "unmake "},
                               {StepKind::Make, "make "},       {StepKind::Place, "place "},
                               {StepKind::Own, "own "},         {StepKind::Version, "version "}};

} // namespace

std::string JournalLine(const JournalStep& step) {
    for (const StepName& name : kNames)
        if (name.kind == step.kind)
            return name.name + step.text + "\n";
    return std::string();
}

std::vector<JournalStep> ParseJournal(const std::string& bytes) {
    std::vector<JournalStep> steps;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = bytes.substr(start, end - start);
        const auto known = std::find_if(std::begin(kNames), std::end(kNames),
                                        [&](auto& name) { return line.rfind(name.name, 0) == 0; });
        if (known == std::end(kNames))
            break;
        steps.push_back({known->kind, line.substr(std::string(known->name).size())});
    }
    return steps;
}

Recovery RecoveryFor(const std::vector<JournalStep>& steps) {
    if (steps.empty())
        return Recovery::Nothing;
    for (const JournalStep& step : steps)
        if (step.kind == StepKind::Version || step.kind == StepKind::Done)
            return Recovery::Complete;
    return Recovery::Undo;
}

std::wstring JournalRefusal(const std::vector<JournalStep>& steps) {
    for (const JournalStep& step : steps)
        if (step.kind != StepKind::Version && step.kind != StepKind::Done &&
            !PathRefusal(step.text).empty())
            return L"error : The journal update\\release.journal is left as it is: it names a "
                   L"path no list may name: " +
                   String::ToWstring(step.text);
    return std::wstring();
}

std::wstring JournalPath(const std::wstring& setupFolder) {
    return setupFolder + L"update\\release.journal";
}

JournalFile::JournalFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)),
      error_(file_.valid() ? 0 : GetLastError()) {}

bool JournalFile::Append(const std::vector<JournalStep>& steps) {
    std::string lines;
    for (const JournalStep& step : steps)
        lines += JournalLine(step);
    DWORD written = 0;
    const bool whole =
        WriteFile(file_.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
        written == lines.size() && FlushFileBuffers(file_.get());
    error_ = whole ? 0 : GetLastError();
    return whole;
}
