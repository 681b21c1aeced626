#include "update/transfer/url_binding.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include "update/transfer/com_ref.h"
#include "update/transfer/download_progress.h"

namespace Network {

namespace {

// Balances a CoInitializeEx of the downloading thread: an asynchronous binding talks to its
// thread through a window of the platform's, in a single-threaded apartment.
struct Apartment {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Apartment() {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
};

// Runs this thread's messages, by which the platform reports, until the binding has stopped.
void PumpUntilEnded(const BindingWatch& watch) {
    while (!watch.Ended()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// One request: the callback asks for no automatic redirect, so a redirect ends the binding
// with INET_E_REDIRECT_FAILED after the callback has been told its Location.
HRESULT BindOnce(const std::wstring& url, BindingWatch& watch) {
    ComRef<IMoniker> moniker;
    ComRef<IBindCtx> context;
    HRESULT result = CreateURLMonikerEx(
        nullptr, url.c_str(), reinterpret_cast<IMoniker**>(moniker.put()), URL_MK_UNIFORM);
    if (result == S_OK)
        result = CreateBindCtx(0, reinterpret_cast<IBindCtx**>(context.put()));
    if (result != S_OK)
        return result;
    IBindStatusCallback* previous = nullptr;
    result = RegisterBindStatusCallback(context.get(), &DownloadProgressInstance, &previous, 0);
    if (result != S_OK)
        return result;
    ComRef<IStream> stream; // unread: the callback takes the body as it comes
    watch.PrepareRequest();
    result = moniker->BindToStorage(context.get(), nullptr, IID_IStream, stream.put());
    // A binding that began reports its end; one refused at once may not.
    if (SUCCEEDED(result) || watch.Began())
        PumpUntilEnded(watch);
    RevokeBindStatusCallback(context.get(), &DownloadProgressInstance);
    return watch.Ended() ? watch.EndResult() : result;
}

// The absolute URL a Location names, relative to the URL that answered with it; empty when it
// names none.
std::wstring Resolved(const std::wstring& base, const std::wstring& location) {
    wchar_t url[INTERNET_MAX_URL_LENGTH + 1] = {};
    DWORD size = INTERNET_MAX_URL_LENGTH;
    if (!InternetCombineUrlW(base.c_str(), location.c_str(), url, &size, ICU_NO_ENCODE))
        return std::wstring();
    return url;
}

} // namespace

long BindFollowingRedirects(std::wstring url, BindingWatch& watch) {
    const Apartment apartment;
    for (unsigned followed = 0;; ++followed) {
        const HRESULT result = BindOnce(url, watch);
        const std::wstring location = watch.TakeRedirect();
        if (result != INET_E_REDIRECT_FAILED || location.empty() ||
            watch.Facts().cut != DownloadCut::None)
            return result;
        const std::wstring next = Resolved(url, location);
        const DownloadCut cut = RedirectCut(followed, next);
        if (cut != DownloadCut::None) {
            watch.Abort(cut);
            return result;
        }
        url = next;
    }
}

} // namespace Network
