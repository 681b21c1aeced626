#include "update/base/failure_log.h"

#include "utility/text_file.h"

std::wstring EscapeControlUnits(const std::wstring& text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring escaped;
    for (wchar_t unit : text) {
        if (unit < 0x20 || unit == 0x7F)
            escaped += {L'<', kHex[unit >> 4], kHex[unit & 15], L'>'};
        else
            escaped += unit;
    }
    return escaped;
}

void LogFailure(const std::wstring& message) {
    File::WriteError(EscapeControlUnits(message));
}
