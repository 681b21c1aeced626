#include "update/transfer/mirror_failover.h"

#include <windows.h>

#include <algorithm>

#include "update/base/trace.h"
#include "update/base/update_settings.h"

namespace Network {

namespace {

thread_local PassMirrors* Current = nullptr;

// Tells the status line, if the launcher listens.
void Note(const std::wstring& text) {
    Trace::Wide(text);
    if (PassNoteCallback)
        PassNoteCallback(text.c_str());
}

std::wstring NameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L"/\\") + 1);
}

} // namespace

PassMirrors* CurrentPassMirrors() {
    return Current;
}

PassMirrors::PassMirrors(std::vector<std::wstring> bases, std::size_t first)
    : bases_(std::move(bases)), outer_(Current) {
    state_.banned.assign(bases_.size(), false);
    state_.inUse = first < bases_.size() ? first : 0;
    Current = this;
}

PassMirrors::~PassMirrors() {
    Current = outer_;
}

bool PassMirrors::Fetch(const std::wstring& url,
                        const std::function<DownloadAttempt(const std::wstring&)>& fetch,
                        std::wstring* failure) {
    std::size_t under = bases_.size();
    for (std::size_t mirror = 0; mirror < bases_.size() && under == bases_.size(); ++mirror)
        if (url.compare(0, bases_[mirror].size(), bases_[mirror]) == 0)
            under = mirror;
    if (under == bases_.size()) {
        const DownloadAttempt attempt = fetch(url);
        if (failure && !attempt.failure.empty())
            *failure = attempt.failure;
        return attempt.failure.empty();
    }
    const std::wstring path = url.substr(bases_[under].size());
    ItemState item(bases_.size());
    std::size_t at = 0;
    std::wstring last = L"download error: every mirror served wrong bytes earlier in this pass";
    std::vector<std::size_t> tried;
    for (bool more = FirstMirror(state_, at); more;) {
        if (std::find(tried.begin(), tried.end(), at) == tried.end())
            tried.push_back(at);
        const DownloadAttempt attempt = fetch(bases_[at] + path);
        if (attempt.failure.empty()) {
            state_.inUse = at;
            return true;
        }
        last = attempt.failure;
        Trace::Wide(bases_[at] + path + L" -> " + last);
        NextTry next;
        more = PlanNextTry(PassRetryPolicy, state_, item, at, attempt.kind, attempt.retryAfterMs,
                           next);
        if (!more)
            break;
        if (next.mirror != at)
            Note(L"Trying update server " + std::to_wstring(next.mirror + 1) + L" of " +
                 std::to_wstring(bases_.size()) + L" for " + NameOf(path));
        if (next.waitMs) {
            Note(L"Retrying " + NameOf(path) + L" in " +
                 std::to_wstring((next.waitMs + 999) / 1000) + L" s");
            Sleep(next.waitMs);
        }
        at = next.mirror;
    }
    if (bases_.size() > 1) {
        last += L" (mirrors tried:";
        for (std::size_t mirror : tried)
            last += L" " + bases_[mirror];
        last += L")";
    }
    if (failure)
        *failure = last;
    return false;
}

} // namespace Network
