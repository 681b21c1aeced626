#include "update/transfer/connection_breaker.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wininet.h>

#include <vector>

namespace {

// The addresses the URL's host and port resolve to.
std::vector<sockaddr_storage> Peers(const std::wstring& url) {
    std::vector<sockaddr_storage> peers;
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 255;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts))
        return peers;
    const std::wstring port = std::to_wstring(parts.nPort);
    ADDRINFOW hints = {};
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(host, port.c_str(), &hints, &found) != 0)
        return peers;
    for (ADDRINFOW* at = found; at; at = at->ai_next) {
        sockaddr_storage peer = {};
        memcpy(&peer, at->ai_addr, at->ai_addrlen);
        peers.push_back(peer);
    }
    FreeAddrInfoW(found);
    return peers;
}

bool SamePeer(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET) {
        const auto &x = reinterpret_cast<const sockaddr_in&>(a),
                   &y = reinterpret_cast<const sockaddr_in&>(b);
        return x.sin_port == y.sin_port && x.sin_addr.s_addr == y.sin_addr.s_addr;
    }
    const auto &x = reinterpret_cast<const sockaddr_in6&>(a),
               &y = reinterpret_cast<const sockaddr_in6&>(b);
    return x.sin6_port == y.sin6_port && memcmp(&x.sin6_addr, &y.sin6_addr, 16) == 0;
}

} // namespace

int ShutDownConnectionsTo(const std::wstring& url) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 0;
    const std::vector<sockaddr_storage> peers = Peers(url);
    int shut = 0;
    // Sockets are handles: the process's open ones are among the first handle values.
    for (UINT_PTR value = 4; value < 0x10000 && !peers.empty(); value += 4) {
        const SOCKET socket = static_cast<SOCKET>(value);
        int type = 0, length = sizeof type;
        if (getsockopt(socket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) != 0 ||
            type != SOCK_STREAM)
            continue;
        sockaddr_storage peer = {};
        int size = sizeof peer;
        if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0)
            continue;
        for (const sockaddr_storage& wanted : peers)
            if (SamePeer(peer, wanted) && shutdown(socket, SD_BOTH) == 0) {
                ++shut;
                break;
            }
    }
    WSACleanup();
    return shut;
}
