#pragma once
// The bind-status callback of every download.
#include <windows.h>
#include <urlmon.h>

namespace Network {

// The one bind-status callback object. It is never freed, so it counts no references; it
// offers IBindCallbackRedirect besides. It tells the current download's BindingWatch what
// happens; OnProgress traces each report and forwards it to DownloadProgressCallback, then
// pauses for ProgressPauseMs. It asks the platform to stop when the watch has cut the download
// short. GetBindInfo asks for an asynchronous binding whose body is pulled, never a cached
// copy nor a file of the platform's, and no automatic redirect: OnDataAvailable hands the body to
// the watch, Redirect hands each Location to it and cancels the redirect.
class DownloadProgress : public IBindStatusCallback, public IBindCallbackRedirect {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override;
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override;
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                         LPCWSTR statusText) override;
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE Redirect(LPCWSTR url, VARIANT_BOOL* cancel) override;
};

extern DownloadProgress DownloadProgressInstance;

} // namespace Network
