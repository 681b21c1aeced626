#include "update/transfer/download_progress.h"

#include "update/transfer/binding_watch.h"
#include "update/base/trace.h"
#include "update/base/update_settings.h"

namespace Network {

DownloadProgress DownloadProgressInstance;

HRESULT DownloadProgress::QueryInterface(REFIID, void** object) {
    if (object)
        *object = nullptr;
    return E_NOINTERFACE;
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
    return E_NOTIMPL;
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
    if (watch && !watch->Reported(progress, statusCode, statusText))
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

HRESULT DownloadProgress::OnStopBinding(HRESULT, LPCWSTR) {
    if (BindingWatch* watch = CurrentBindingWatch())
        watch->Stopped();
    return E_NOTIMPL;
}

HRESULT DownloadProgress::GetBindInfo(DWORD*, BINDINFO*) {
    return E_NOTIMPL;
}

HRESULT DownloadProgress::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT DownloadProgress::OnObjectAvailable(REFIID, IUnknown*) {
    return E_NOTIMPL;
}

} // namespace Network
