#include "update/download_progress.h"

#include <wininet.h>

#include <cwchar>

#include "update/trace.h"
#include "update/update_settings.h"

namespace Network {

DownloadProgress DownloadProgressInstance;
std::uint32_t DownloadStallLimitMs = 120000;

namespace {

thread_local BindingWatch* CurrentWatch = nullptr;

std::wstring QueryText(IWinInetHttpInfo* info, DWORD what) {
    // The interface answers in narrow text; header values are ASCII.
    char narrow[64] = {};
    DWORD size = sizeof narrow - 1;
    DWORD flags = 0;
    if (info->QueryInfo(what, narrow, &size, &flags, nullptr) != S_OK)
        return std::wstring();
    std::wstring text;
    for (DWORD i = 0; i < size && narrow[i] != '\0'; ++i)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(narrow[i])));
    return text;
}

void ReadAnswer(IBinding* binding, BindingAnswer& answer) {
    ComRef<IWinInetHttpInfo> info;
    if (binding == nullptr || binding->QueryInterface(IID_IWinInetHttpInfo, info.put()) != S_OK)
        return;
    DWORD status = 0, size = sizeof status, flags = 0;
    if (info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &flags,
                        nullptr) == S_OK)
        answer.httpStatus = status;
    answer.contentLength = QueryText(info.get(), HTTP_QUERY_CONTENT_LENGTH);
    answer.contentEncoding = QueryText(info.get(), HTTP_QUERY_CONTENT_ENCODING);
}

} // namespace

BindingWatch::BindingWatch(bool showProgress)
    : showProgress_(showProgress), lastReport_(GetTickCount()), outer_(CurrentWatch) {
    CurrentWatch = this;
    CreateTimerQueueTimer(&timer_, nullptr, CheckStall, this, 500, 500, WT_EXECUTEDEFAULT);
}

BindingWatch::~BindingWatch() {
    // Waits for a running check, so the timer never sees a watch that has gone.
    if (timer_)
        DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    CurrentWatch = outer_;
}

void CALLBACK BindingWatch::CheckStall(PVOID context, BOOLEAN) {
    auto* watch = static_cast<BindingWatch*>(context);
    if (GetTickCount() - watch->lastReport_ < DownloadStallLimitMs || watch->stalled_)
        return;
    ComRef<IBinding> binding;
    {
        std::lock_guard<std::mutex> hold(watch->lock_);
        binding.keep(watch->binding_.get());
    }
    if (!binding)
        return;
    // Abort may report the end of the binding on this thread; the lock is not held then.
    watch->stalled_ = true;
    binding->Abort();
}

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
    // The platform reports success for every HTTP answer, an error page included; only the
    // binding knows the status. It cannot tell it yet (no request has gone out), so the
    // binding is kept until OnStopBinding.
    if (CurrentWatch) {
        std::lock_guard<std::mutex> hold(CurrentWatch->lock_);
        if (!CurrentWatch->binding_)
            CurrentWatch->binding_.keep(binding);
        CurrentWatch->Heard();
    }
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
    if (CurrentWatch) {
        CurrentWatch->Heard();
        if (!CurrentWatch->showProgress_)
            return S_OK;
    }
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
    // The last moment the binding still holds the server's answer: after this the platform
    // closes the request.
    if (CurrentWatch) {
        std::lock_guard<std::mutex> hold(CurrentWatch->lock_);
        ReadAnswer(CurrentWatch->binding_.get(), CurrentWatch->answer_);
        CurrentWatch->binding_.reset();
    }
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
