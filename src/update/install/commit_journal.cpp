#include "update/install/commit_journal.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "utility/scoped_handle.h"

namespace {

struct StepName {
    StepKind kind;
    const char* name; // with its separating blank
};

constexpr StepName kNames[] = {{StepKind::Replace, "replace "},
                               {StepKind::In, "in "},
                               {StepKind::Remove, "remove "},
                               {StepKind::Version, "version "},
                               {StepKind::Done, "done "}};

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

std::wstring JournalPath(const std::wstring& setupFolder) {
    return setupFolder + L"update\\release.journal";
}

bool AppendSteps(const std::wstring& journal, const std::vector<JournalStep>& steps) {
    const ScopedFile file(CreateFileW(journal.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string line;
    for (const JournalStep& step : steps)
        line += JournalLine(step);
    DWORD written = 0;
    return file.valid() &&
           WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size() && FlushFileBuffers(file.get());
}
