#pragma once
// Whether a downloaded list may be acted on. A build with the studio's key takes only a list
// that its signature, product, serial and expiry vouch for; a build without one takes every list.
#include <cstdint>
#include <optional>
#include <string>

#include "update/trust/list_signature.h"

// A list that may be acted on.
struct AcceptedList {
    bool accepted = false;
    // The bytes to act on: of a signed list the signed part alone, without its signature line;
    // of a list taken without a key, all of it.
    std::string bytes;
    std::optional<std::uint64_t> serial; // a signed list's serial
    std::string channel;                 // the channel whose rollback record holds it
    std::optional<ReleaseLine> release;  // a signed list's release line, if it has one
};

// Judges the list's bytes with the keys (64 bytes each, X then Y; none: every list passes),
// the product the launcher was built for (empty: any) and the channel it follows, against that
// channel's rollback record; a signature by any of the keys counts. A refused list, or a
// damaged rollback record, gets one error-log line and is not accepted. Nothing is written:
// the serial is recorded by RecordAcceptedSerial once the lines are known to be taken.
AcceptedList AcceptList(const std::string& listBytes, const std::string& keys,
                        const std::string& product, const std::string& channel,
                        const std::wstring& setupFolder);

// Raises the folder's rollback record of the list's channel (both copies) to an accepted signed
// list's serial, before any of its lines is handled; nothing for a list taken without a key.
// False, logged, when a copy could not be written: the list is then not acted on.
bool RecordAcceptedSerial(const AcceptedList& list, const std::wstring& setupFolder);

// The verdict on a list's bytes from its signature (by any of the keys), product, release line
// and expiry, for any channel and with no serial on record: what a new launcher says of the list
// that brought it. Nothing is logged or written.
ListVerdict JudgeListBytes(const std::string& listBytes, const std::string& keys,
                           const std::string& product);
