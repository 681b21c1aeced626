#include "update/trust/list_acceptance.h"

#include <windows.h>

#include <optional>

#include "update/base/failure_log.h"
#include "update/base/file_bytes.h"
#include "update/trust/list_fields.h"
#include "update/trust/list_signature.h"
#include "update/trust/signature_check.h"

namespace {

std::wstring SerialPath(const std::wstring& setupFolder) {
    return setupFolder + L"update\\list.serial";
}

// The highest serial accepted before; none on a first run. A record that cannot be read
// counts as none: it only ever holds what this launcher wrote.
std::optional<std::uint64_t> StoredSerial(const std::wstring& setupFolder) {
    std::uint64_t serial = 0;
    if (!ParseDecimal(ReadFileBytes(SerialPath(setupFolder)), serial))
        return std::nullopt;
    return serial;
}

std::int64_t UnixNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

} // namespace

bool AcceptList(const std::string& listBytes, const std::string& keys,
                const std::wstring& setupFolder) {
    if (keys.empty())
        return true;
    const SignedList list = SplitSignedList(listBytes);
    bool verified = false;
    for (std::size_t at = 0; at + 64 <= keys.size() && !list.signature.empty() && !verified;
         at += 64)
        verified = VerifyListSignature(keys.substr(at, 64), list.signedBytes, list.signature);
    const std::optional<std::uint64_t> stored = StoredSerial(setupFolder);
    const ListVerdict verdict = JudgeList(list, verified, stored, UnixNow());
    if (verdict != ListVerdict::Accepted) {
        LogFailure(ListRefusalText(verdict));
        return false;
    }
    if (!stored || list.serial->serial > *stored)
        ReplaceFileBytes(SerialPath(setupFolder), std::to_string(list.serial->serial));
    return true;
}
