#pragma once
// The bind-status callback of every download, and what it learns about the download running
// on the current thread.
#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "update/com_ref.h"

namespace Network {

// The one bind-status callback object. It is never freed, so it counts no references, and it
// offers no other interface. OnProgress traces each report and forwards it to
// DownloadProgressCallback, then pauses for ProgressPauseMs.
class DownloadProgress : public IBindStatusCallback {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                         LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override;
};

extern DownloadProgress DownloadProgressInstance;

// How long a download may go without any report from the platform before it is aborted
// (120 s). Wine's urlmon waits forever on a connection that is reset in the middle of a body.
extern std::uint32_t DownloadStallLimitMs;

// What the server answered, read from the binding before the platform lets it go.
struct BindingAnswer {
    unsigned long httpStatus = 0; // 0 when never seen
    std::wstring contentLength;
    std::wstring contentEncoding;
};

// Watches the one download that the current thread runs while it exists: the callback keeps
// that download's binding and fills in the answer. The platform calls the callback on the
// thread that started the download, so the watch lives in thread-local storage. A timer aborts
// the binding when reports stop for DownloadStallLimitMs.
class BindingWatch {
  public:
    explicit BindingWatch(bool showProgress);
    ~BindingWatch();
    BindingWatch(const BindingWatch&) = delete;
    BindingWatch& operator=(const BindingWatch&) = delete;

    const BindingAnswer& answer() const { return answer_; }
    bool stalled() const { return stalled_; }

  private:
    friend class DownloadProgress;
    static void CALLBACK CheckStall(PVOID watch, BOOLEAN);
    void Heard() { lastReport_ = GetTickCount(); }

    bool showProgress_;
    std::mutex lock_; // guards binding_ between the downloading thread and the timer
    ComRef<IBinding> binding_;
    BindingAnswer answer_;
    std::atomic<DWORD> lastReport_;
    std::atomic<bool> stalled_{false};
    HANDLE timer_ = nullptr;
    BindingWatch* outer_;
};

} // namespace Network
