#include "update/update_worker.h"

// The one place the build's server URL, list key and product enter the engine, so that an engine
// for another server or key differs from this one only in this file.
std::wstring BuiltInServerUrl() {
    return L"" TOLVANE_UPDATE_URL;
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
