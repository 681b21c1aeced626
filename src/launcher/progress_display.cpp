#include "launcher/progress_display.h"

#include "utility/file_query.h"

namespace Application {

ProgressBarLayout LayOutProgressBar(int clientWidth, int clientHeight, int progress) {
    ProgressBarLayout bar;
    bar.length = clientWidth / 2;
    const int top = clientHeight - 80;
    const int left = clientWidth / 4;
    bar.frameShown = progress <= bar.length;
    bar.frame = {left, top, bar.length + 3 + left, top + 11};
    bar.fill = {left + 2, top + 3, progress + left, top + 8};
    // Below 3 the fill's right edge does not pass its left edge: nothing to fill. Some
    // platforms would fill such a turned-round rectangle, so it is not handed on.
    bar.fillShown = progress < bar.length && bar.fill.right > bar.fill.left;
    return bar;
}

int ProgressStep(int barLength, std::uint64_t entryCount) {
    if (entryCount < 2)
        return 0;
    return static_cast<int>(static_cast<std::uint32_t>(barLength) / (entryCount - 1));
}

bool ReportAdvancesBar(const wchar_t* statusText) {
    if (statusText == nullptr)
        return false;
    const std::wstring name = File::GetName(std::wstring(statusText));
    return name.rfind(L'.') != std::wstring::npos && name.size() > 1;
}

std::wstring ComposeProgressStatus(std::uint32_t progress, std::uint32_t progressMax,
                                   const wchar_t* statusText) {
    std::wstring status;
    if (statusText != nullptr)
        status = std::to_wstring(progress) + L" of " + std::to_wstring(progressMax) +
                 L" download : " + File::GetName(std::wstring(statusText));
    return status + L"\n";
}

const wchar_t kPassEndStatus[] = L"End Process Download.";

std::wstring StatusAfterNote(const std::wstring& status, const wchar_t* note) {
    if (note == nullptr || status == kPassEndStatus)
        return status;
    return note;
}

} // namespace Application
