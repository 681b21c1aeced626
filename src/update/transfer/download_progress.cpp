#include "update/transfer/download_progress.h"

#include "update/transfer/binding_watch.h"
#include "update/base/trace.h"
#include "update/base/update_settings.h"

namespace Network {

DownloadProgress DownloadProgressInstance;

HRESULT DownloadProgress::QueryInterface(REFIID id, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (id == IID_IUnknown || id == IID_IBindStatusCallback)
        *object = static_cast<IBindStatusCallback*>(this);
    else if (id == IID_IBindCallbackRedirect)
        *object = static_cast<IBindCallbackRedirect*>(this);
    return *object ? S_OK : E_NOINTERFACE;
}

ULONG DownloadProgress::AddRef() {
    return 1;
}

ULONG DownloadProgress::Release() {
    return 1;
}

HRESULT DownloadProgress::OnStartBinding(DWORD, IBinding* binding) {
    if (BindingWatch* watch = CurrentBindingWatch())
        watch->Started(binding);
    // Any failure here would end the binding before it began.
    return S_OK;
}

HRESULT DownloadProgress::GetPriority(LONG*) {
    return E_NOTIMPL;
}

HRESULT DownloadProgress::OnLowResource(DWORD) {
    return S_OK;
}

HRESULT DownloadProgress::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                     LPCWSTR statusText) {
    BindingWatch* watch = CurrentBindingWatch();
    if (watch && !watch->Reported(progress, statusCode))
        return E_ABORT;
    if (watch && !watch->showProgress())
        return S_OK;
    std::wstring line = std::to_wstring(progress) + L" of " + std::to_wstring(progressMax);
    if (statusText)
        line += std::wstring(L" <-- Status download file: ") + statusText;
    Trace::Wide(line);
    if (DownloadProgressCallback) {
        DownloadProgressCallback(progress, progressMax, statusCode, statusText);
        Sleep(ProgressPauseMs);
    }
    return S_OK;
}

HRESULT DownloadProgress::OnStopBinding(HRESULT result, LPCWSTR) {
    if (BindingWatch* watch = CurrentBindingWatch())
        watch->Stopped(result);
    return S_OK;
}

HRESULT DownloadProgress::GetBindInfo(DWORD* flags, BINDINFO* info) {
    if (!flags || !info || info->cbSize < sizeof(BINDINFO))
        return E_INVALIDARG;
    // Asynchronous, pulled and without a file of the platform's: a synchronous binding, or one
    // that asks for a file, has the platform write the body into its internet cache whatever
    // NOWRITECACHE says, and a kill leaves that copy there with no entry to find it by.
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_NOWRITECACHE |
             BINDF_GETNEWESTVERSION;
    const ULONG size = info->cbSize;
    ZeroMemory(info, sizeof(BINDINFO));
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    info->dwOptions = BINDINFO_OPTIONS_DISABLEAUTOREDIRECTS;
    return S_OK;
}

HRESULT DownloadProgress::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) {
    BindingWatch* watch = CurrentBindingWatch();
    IStream* stream = medium && medium->tymed == TYMED_ISTREAM ? medium->pstm : nullptr;
    return !watch || watch->Received(stream) ? S_OK : E_ABORT;
}

HRESULT DownloadProgress::OnObjectAvailable(REFIID, IUnknown*) {
    return S_OK;
}

HRESULT DownloadProgress::Redirect(LPCWSTR url, VARIANT_BOOL* cancel) {
    if (BindingWatch* watch = CurrentBindingWatch())
        watch->Redirected(url);
    // Followed, or refused, by the download itself (see url_binding.h).
    if (cancel)
        *cancel = VARIANT_TRUE;
    return S_OK;
}

} // namespace Network
