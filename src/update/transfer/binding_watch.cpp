#include "update/transfer/binding_watch.h"

#include <wininet.h>

#include <algorithm>

#include "update/base/update_settings.h"
#include "update/transfer/binding_queries.h"
#include "update/transfer/cache_owner.h"
#include "update/transfer/connection_breaker.h"
#include "update/transfer/rate_limit.h"

namespace Network {

std::uint32_t DownloadStallLimitMs = 120000;

namespace {

// How often a download's watch looks at it: a body that outgrows its listed size keeps
// streaming into the cache at the network's speed until it is aborted.
constexpr DWORD kCheckMs = 100;
// How long an aborted download may go on before its connections are shut down.
constexpr DWORD kCloseAfterMs = 500;
// How long a download held back by the bandwidth limit sleeps before it looks for a cut again.
constexpr ULONGLONG kHoldSliceMs = 10;

thread_local BindingWatch* CurrentWatch = nullptr;
// The bandwidth limit of the pass this thread runs: a pass runs on a thread of its own and its
// downloads one after another, so one bucket serves them all.
thread_local RateLimit PassRate;

bool Is(ULONG statusCode, BINDSTATUS status) {
    return statusCode == static_cast<ULONG>(status);
}

} // namespace

BindingWatch* CurrentBindingWatch() {
    return CurrentWatch;
}

BindingWatch::BindingWatch(const std::wstring& url, bool showProgress, std::uint64_t sizeLimit,
                           const std::wstring& bodyPath)
    : url_(url), showProgress_(showProgress), sizeLimit_(sizeLimit), body_(bodyPath),
      lastReport_(GetTickCount()), outer_(CurrentWatch) {
    reached_.insert(UrlAuthority(url));
    facts_.stallLimitMs = DownloadStallLimitMs;
    // The worker reads the pass's options; they never change under it.
    if (PassRate.kibs() != UpdatePassOptions.limitKiBs)
        PassRate.Reset(UpdatePassOptions.limitKiBs, GetTickCount64());
    CurrentWatch = this;
    CreateTimerQueueTimer(&timer_, nullptr, Check, this, kCheckMs, kCheckMs, WT_EXECUTEDEFAULT);
}

BindingWatch::~BindingWatch() {
    // Waits for a running check, so the timer never sees a watch that has gone.
    if (timer_)
        DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    CurrentWatch = outer_;
}

void BindingWatch::Started(IBinding* binding) {
    bool made = false;
    {
        // The platform reports success for every HTTP answer, an error page included; only the
        // binding knows the status, so it is kept until the download stops.
        std::lock_guard<std::mutex> hold(lock_);
        if (!binding_)
            binding_.keep(binding);
        began_ = true;
        // The body is the last request's: a redirect's is not the download.
        made = body_.Restart();
        Heard();
    }
    if (!made)
        Abort(DownloadCut::NotWritten);
}

bool BindingWatch::Received(IStream* stream) {
    // The platform hands the body over in pieces and says more only once all that waits has
    // been read: to the end of the stream, or until it has no more for now.
    char buffer[64 * 1024];
    const ULONG want = static_cast<ULONG>(PassRate.ReadSize(sizeof buffer));
    for (;;) {
        ULONG read = 0;
        const HRESULT result = stream ? stream->Read(buffer, want, &read) : S_FALSE;
        if (read > 0) {
            Heard();
            DownloadCut cut = DownloadCut::None;
            if (cut_ != static_cast<int>(DownloadCut::None))
                return false;
            if (body_.size() + read > sizeLimit_)
                cut = DownloadCut::TooLong;
            else if (!body_.Append(buffer, read))
                cut = DownloadCut::NotWritten;
            if (cut != DownloadCut::None) {
                Abort(cut);
                return false;
            }
            // A pulled body is read from the connection only as it is taken from the stream, so
            // a hold here keeps the network itself to the limit.
            if (!Hold(PassRate.Take(read, GetTickCount64())))
                return false;
        }
        if (result != S_OK || read == 0)
            return true;
    }
}

bool BindingWatch::Hold(std::uint32_t ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        // Held on purpose: never a stall.
        Heard();
        if (cut_ != static_cast<int>(DownloadCut::None))
            return false;
        const ULONGLONG now = GetTickCount64();
        if (now >= until)
            return true;
        Sleep(static_cast<DWORD>(std::min(until - now, kHoldSliceMs)));
    }
}

void BindingWatch::NoteUrl(IBinding* binding) {
    const std::wstring authority = UrlAuthority(ReachedUrl(binding));
    if (!authority.empty())
        reached_.insert(authority);
}

bool BindingWatch::Reported(ULONG progress, ULONG statusCode) {
    Heard();
    DownloadCut cut = DownloadCut::None;
    {
        std::lock_guard<std::mutex> hold(lock_);
        // Redirects are followed one binding each (see url_binding.h); this holds should the
        // platform ever follow one by itself.
        if (Is(statusCode, BINDSTATUS_SENDINGREQUEST) && ++facts_.requests > kMaxRequests)
            cut = DownloadCut::TooManyRedirects;
        if (binding_ && (Is(statusCode, BINDSTATUS_SENDINGREQUEST) ||
                         Is(statusCode, BINDSTATUS_BEGINDOWNLOADDATA)))
            NoteUrl(binding_.get());
        if (Is(statusCode, BINDSTATUS_DOWNLOADINGDATA) ||
            Is(statusCode, BINDSTATUS_ENDDOWNLOADDATA))
            facts_.reportedBytes = progress;
        if (Is(statusCode, BINDSTATUS_BEGINDOWNLOADDATA)) {
            // Judged before a byte of the body is kept.
            if (binding_)
                ReadAnswer(binding_.get(), facts_);
            cut = AnswerCut(facts_, sizeLimit_);
        }
        if (sizeLimit_ != kNoSizeLimit && facts_.reportedBytes > sizeLimit_)
            cut = DownloadCut::TooLong;
    }
    if (cut != DownloadCut::None)
        Abort(cut);
    return cut_ == static_cast<int>(DownloadCut::None);
}

void BindingWatch::Redirected(LPCWSTR location) {
    Heard();
    std::lock_guard<std::mutex> hold(lock_);
    redirect_ = location ? location : L"";
}

std::wstring BindingWatch::TakeRedirect() {
    std::lock_guard<std::mutex> hold(lock_);
    std::wstring location;
    location.swap(redirect_);
    return location;
}

void BindingWatch::Stopped(HRESULT result) {
    std::lock_guard<std::mutex> hold(lock_);
    // The last moment the binding still holds the server's answer.
    if (cut_ == static_cast<int>(DownloadCut::None) && binding_)
        ReadAnswer(binding_.get(), facts_);
    if (binding_)
        NoteUrl(binding_.get());
    binding_.reset();
    body_.Close();
    endResult_ = result;
    ended_ = true;
}

void BindingWatch::Abort(DownloadCut reason) {
    int none = static_cast<int>(DownloadCut::None);
    if (!cut_.compare_exchange_strong(none, static_cast<int>(reason)))
        return;
    ComRef<IBinding> binding;
    {
        std::lock_guard<std::mutex> hold(lock_);
        binding.keep(binding_.get());
    }
    abortedAt_ = GetTickCount();
    // Abort may report the end of the binding at once; the lock is not held then.
    if (binding)
        binding->Abort();
}

void BindingWatch::ShutDownReached() {
    for (const std::wstring& authority : ReachedHosts())
        ShutDownConnectionsTo(L"https://" + authority + L"/");
}

void CALLBACK BindingWatch::Check(PVOID context, BOOLEAN) {
    auto* watch = static_cast<BindingWatch*>(context);
    if (watch->cut_ != static_cast<int>(DownloadCut::None)) {
        // The platform goes on reading a body after an abort until the body ends, which an
        // endless one never does; the connections to every host it reached are then shut down
        // under it. Never for too many redirects: that cut comes once the last binding has
        // ended, and shut down under a binding that follows redirects, Wine's urlmon was seen to
        // reconnect for minutes without ever ending the download.
        if (watch->cut_ != static_cast<int>(DownloadCut::TooManyRedirects) &&
            GetTickCount() - watch->abortedAt_ >= kCloseAfterMs)
            watch->ShutDownReached();
        return;
    }
    // Every piece of the body counts as a report.
    if (GetTickCount() - watch->lastReport_ >= DownloadStallLimitMs)
        watch->Abort(DownloadCut::Stalled);
}

DownloadFacts BindingWatch::Facts() const {
    std::lock_guard<std::mutex> hold(lock_);
    DownloadFacts facts = facts_;
    facts.cut = static_cast<DownloadCut>(cut_.load());
    facts.writeError = body_.error();
    return facts;
}

std::set<std::wstring> BindingWatch::ReachedHosts() const {
    std::lock_guard<std::mutex> hold(lock_);
    return reached_;
}

} // namespace Network
