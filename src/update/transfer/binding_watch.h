#pragma once
// What one download learns from its binding while it runs, and the reasons it is cut short.
// The platform calls the bind-status callback on the thread that started the download, so the
// watch of the current download lives in thread-local storage (CurrentBindingWatch).
#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "update/transfer/body_file.h"
#include "update/transfer/com_ref.h"
#include "update/transfer/download_verdict.h"

namespace Network {

// How long a download may go without any report from the platform, and without its body's
// file growing, before it is aborted (120 s). Wine's urlmon waits forever on a connection that
// is reset in the middle of a body.
extern std::uint32_t DownloadStallLimitMs;

class BindingWatch {
  public:
    // sizeLimit: the most bytes the body may have, or kNoSizeLimit; a body that grows past it
    // is aborted as it arrives. The body is written to bodyPath, which is closed when the watch
    // goes.
    BindingWatch(const std::wstring& url, bool showProgress, std::uint64_t sizeLimit,
                 const std::wstring& bodyPath);
    ~BindingWatch();
    BindingWatch(const BindingWatch&) = delete;
    BindingWatch& operator=(const BindingWatch&) = delete;

    bool showProgress() const { return showProgress_; }

    // The callback's events, on the downloading thread. Each request of the download, a
    // redirect's included, is a binding of its own, from Started to Stopped.
    void Started(IBinding* binding);
    // False when the download must stop (it has then been aborted).
    bool Reported(ULONG progress, ULONG statusCode);
    // Body bytes are waiting in the stream: all of them are read and written, no faster than
    // the pass's bandwidth limit (PassOptions::limitKiBs) lets them. False when the download
    // must stop (it has then been aborted).
    bool Received(IStream* stream);
    // The Location of a redirect the platform was told not to follow.
    void Redirected(LPCWSTR location);
    void Stopped(HRESULT result);

    // Before each request: it has neither begun nor ended.
    void PrepareRequest() { began_ = ended_ = false; }
    // True once the current request's binding has started, has stopped, and its result.
    bool Began() const { return began_; }
    bool Ended() const { return ended_; }
    HRESULT EndResult() const { return endResult_; }

    // The Location last reported by Redirected, which it forgets.
    std::wstring TakeRedirect();
    // Cuts the download short for reason, aborting its binding if one runs. The first reason
    // given is the one that stays.
    void Abort(DownloadCut reason);

    // What is known once the platform call has returned: the answer, the counts and why the
    // download was cut short, for DownloadFailure. result and receivedBytes are the caller's.
    DownloadFacts Facts() const;
    // The authorities ("host:port") of the URL asked for and of every URL its redirects were
    // seen to reach.
    std::set<std::wstring> ReachedHosts() const;

  private:
    static void CALLBACK Check(PVOID watch, BOOLEAN);
    // Sleeps ms while the pass's bandwidth limit holds the download back; false, at once, when
    // the download is cut meanwhile (an abort, the size limit, the stall watch).
    bool Hold(std::uint32_t ms);
    void NoteUrl(IBinding* binding);
    void ShutDownReached();
    void Heard() { lastReport_ = GetTickCount(); }

    const std::wstring url_;
    const bool showProgress_;
    const std::uint64_t sizeLimit_;
    mutable std::mutex lock_; // guards everything below but the atomics
    ComRef<IBinding> binding_;
    DownloadFacts facts_;
    BodyFile body_; // written on the downloading thread only
    std::set<std::wstring> reached_;
    std::wstring redirect_;
    std::atomic<DWORD> lastReport_;
    std::atomic<bool> began_{false}, ended_{false};
    std::atomic<HRESULT> endResult_{S_OK};
    std::atomic<int> cut_{static_cast<int>(DownloadCut::None)};
    std::atomic<DWORD> abortedAt_{0};
    HANDLE timer_ = nullptr;
    BindingWatch* outer_;
};

// The watch of the download the current thread runs, or null.
BindingWatch* CurrentBindingWatch();

} // namespace Network
