#include "update/update_worker.h"

#include <algorithm>

// The one place the build's server URL, list key and product enter the engine, so that an engine
// for another server or key differs from this one only in this file.
std::vector<std::wstring> BuiltInServerUrls() {
    // The build gives the base URLs separated by blanks, which none of them holds.
    const std::wstring all = L"" TOLVANE_UPDATE_URL;
    std::vector<std::wstring> urls;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = std::min(all.find(L' ', at), all.size());
        if (end > at)
            urls.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    return urls;
}

std::wstring BuiltInServerUrl() {
    return BuiltInServerUrls().front();
}

std::string BuiltInListKey() {
    // 128 hex digits from the key file given to the build, or none.
    static const char kHex[] = TOLVANE_LIST_KEY;
    std::string key;
    for (std::size_t i = 0; i + 1 < sizeof kHex - 1; i += 2) {
        auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        key.push_back(static_cast<char>(nibble(kHex[i]) << 4 | nibble(kHex[i + 1])));
    }
    return key;
}

std::string BuiltInProduct() {
    return TOLVANE_PRODUCT;
}
