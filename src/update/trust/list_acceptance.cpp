#include "update/trust/list_acceptance.h"

#include <windows.h>

#include "update/base/failure_log.h"
#include "update/trust/list_signature.h"
#include "update/trust/serial_record.h"
#include "update/trust/signature_check.h"

namespace {

std::int64_t UnixNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

// True when any of the keys signed the list.
bool SignedByAnyKey(const SignedList& list, const std::string& keys) {
    bool verified = false;
    for (std::size_t at = 0; at + 64 <= keys.size() && !list.signature.empty() && !verified;
         at += 64)
        verified = VerifyListSignature(keys.substr(at, 64), list.signedBytes, list.signature);
    return verified;
}

} // namespace

ListVerdict JudgeListBytes(const std::string& listBytes, const std::string& keys,
                           const std::string& product) {
    const SignedList list = SplitSignedList(listBytes);
    return JudgeList(list, SignedByAnyKey(list, keys), product, "", std::nullopt, UnixNow());
}

AcceptedList AcceptList(const std::string& listBytes, const std::string& keys,
                        const std::string& product, const std::string& channel,
                        const std::wstring& setupFolder) {
    AcceptedList accepted;
    accepted.channel = channel;
    if (keys.empty()) {
        accepted.accepted = true;
        accepted.bytes = listBytes;
        return accepted;
    }
    const SignedList list = SplitSignedList(listBytes);
    const RecordedSerial recorded = ReadSerialRecord(setupFolder, channel);
    ListVerdict verdict =
        JudgeList(list, SignedByAnyKey(list, keys), product, channel, recorded.serial, UnixNow());
    if (verdict == ListVerdict::Accepted && recorded.damaged) {
        // Never a first run by accident: the record is put right by hand, or by a new install.
        LogFailure(L"error : The record of installed lists cannot be read: " +
                   SerialFilePath(setupFolder, channel));
        return accepted;
    }
    if (verdict != ListVerdict::Accepted) {
        LogFailure(ListRefusalText(verdict));
        return accepted;
    }
    accepted.accepted = true;
    accepted.bytes = list.signedBytes;
    accepted.serial = list.serial->serial;
    accepted.release = list.release;
    return accepted;
}

bool RecordAcceptedSerial(const AcceptedList& list, const std::wstring& setupFolder) {
    if (!list.accepted || !list.serial)
        return list.accepted;
    // Both copies are brought up to the serial, also when only one of them fell behind. The
    // value written is the one under the canonical spelling, which comes first.
    const SerialCopy file = ReadSerialFile(setupFolder, list.channel),
                     value = ReadSerialValues(setupFolder, list.channel).front();
    const bool current = file.state == SerialCopy::State::Present && file.serial == *list.serial &&
                         value.state == SerialCopy::State::Present && value.serial == *list.serial;
    return current || WriteSerialRecord(setupFolder, *list.serial, list.channel);
}
