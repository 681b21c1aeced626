#pragma once
// The bind-status callback of every download, and what it learns about the download running
// on the current thread.
#include <windows.h>
#include <urlmon.h>

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

// What the server answered, read from the binding before the platform lets it go.
struct BindingAnswer {
    unsigned long httpStatus = 0; // 0 when never seen
    std::wstring contentLength;
    std::wstring contentEncoding;
};

// Watches the one download that the current thread runs while it exists: the callback keeps
// that download's binding and fills in the answer. The platform calls the callback on the
// thread that started the download, so the watch lives in thread-local storage.
class BindingWatch {
  public:
    explicit BindingWatch(bool showProgress);
    ~BindingWatch();
    BindingWatch(const BindingWatch&) = delete;
    BindingWatch& operator=(const BindingWatch&) = delete;

    const BindingAnswer& answer() const { return answer_; }

  private:
    friend class DownloadProgress;
    bool showProgress_;
    ComRef<IBinding> binding_;
    BindingAnswer answer_;
    BindingWatch* outer_;
};

} // namespace Network
