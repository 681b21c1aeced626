#pragma once
// What the status line and the progress bar show, decided without drawing anything.
#include <cstdint>
#include <string>

#include <windows.h>

namespace Application {

struct ProgressBarLayout {
    int length = 0;          // the bar's full length: half the client width
    bool frameShown = false; // progress has not passed the length
    RECT frame = {};         // 11 pixels high, H - 80 from the top, starting at a quarter of W
    bool fillShown = false;  // progress is below the length and the fill is not empty
    RECT fill = {};          // 5 pixels high, 2 inside the frame, up to progress + W / 4
};

// The bar for a client area of width x height and the filled length progress.
ProgressBarLayout LayOutProgressBar(int clientWidth, int clientHeight, int progress);

// How far one report moves the bar: the full length shared among the counted entries less
// one; 0 while fewer than two entries are counted.
int ProgressStep(int barLength, std::uint64_t entryCount);

// True when the report names a file: the part after the last backslash holds a full stop
// and is longer than one character.
bool ReportAdvancesBar(const wchar_t* statusText);

// "<progress> of <max> download : <name>" and a line feed; the line feed alone without a
// status text.
std::wstring ComposeProgressStatus(std::uint32_t progress, std::uint32_t progressMax,
                                   const wchar_t* statusText);

// The status line once a pass has ended.
extern const wchar_t kPassEndStatus[];

// The status line after the engine's note (a retry, a move to another update server): the
// note, unless the line already says that the pass has ended, which it keeps. A null note
// changes nothing.
std::wstring StatusAfterNote(const std::wstring& status, const wchar_t* note);

} // namespace Application
