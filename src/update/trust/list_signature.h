#pragma once
// Signed list files, taken apart without touching anything. A signed list ends in the line
// "'signature ecdsa-p256-sha256 " + base64 of the 64-byte r||s ECDSA P-256 signature over
// SHA-256 of every byte before that line; the signed part holds exactly one line
// "'tolvane-list serial=N" (N decimal), optionally with " expires=YYYY-MM-DDTHH:MM:SSZ",
// " product=NAME" and, for a channel other than stable, " channel=NAME", the fields in any
// order, and at most one release line (rollout.h).
// All are comment lines, so a launcher built without a key reads a signed list as before.
#include <cstdint>
#include <optional>
#include <string>

#include "update/trust/rollout.h"
#include "update/trust/utc_time.h"

// What the serial line says.
struct ListSerial {
    std::uint64_t serial = 0;
    bool expires = false;
    std::int64_t expiry = 0; // Unix seconds; meaningful only with expires
    std::string product;     // the product the list is for; empty when it names none
    std::string channel;     // the channel the list is for; empty for stable, which names none
};

// A list split at its signature line.
struct SignedList {
    // Every byte before the signature line (the CR LF ending the line before it included);
    // the whole list when it has no good signature line. The only bytes to act on once the
    // signature verified.
    std::string signedBytes;
    // The 64 decoded bytes r||s; empty when the last line is not a good signature line.
    std::string signature;
    // The serial line of signedBytes; empty unless there is exactly one and it is well formed.
    std::optional<ListSerial> serial;
    // The release line of signedBytes, if it has one; releaseMalformed when it has one that is
    // not well formed, or more than one.
    std::optional<ReleaseLine> release;
    bool releaseMalformed = false;
};

// Splits a list file. The signature line must be the last line, start the file or follow a
// CR LF, hold exactly 64 bytes in strict base64 (standard alphabet, padding, no other
// characters, unused bits zero) and be followed by one CR LF or nothing.
SignedList SplitSignedList(const std::string& list);

// Decodes strict base64 as above; false on any stray or misplaced character or padding.
bool DecodeBase64(const std::string& text, std::string& bytes);

// Parses one line without its line end: "'tolvane-list" and fields, each after exactly one
// blank, in any order and each at most once: "serial=N" (required) with N in 1 to 20 decimal
// digits, no sign, no leading zero, at most 2^64-1; "expires=" with a time as UtcToUnixSeconds
// reads it; "product=" with 1 to 64 letters, digits, "-", "." or "_"; "channel=" with a channel's
// one spelling (ChannelName), stable excepted, which a list names by naming none. False for
// anything else, an unknown field included, so that a misspelt field never passes for an absent
// one.
bool ParseSerialLine(const std::string& line, ListSerial& serial);

// True for 1 to 64 ASCII letters, digits, "-", "." or "_": the names a product may have.
bool IsProductName(const std::string& name);

enum class ListVerdict {
    Accepted,
    NotSigned,
    BadRelease,
    OtherProduct,
    OtherChannel,
    Older,
    Expired
};

// The list's channel: the serial line's, stable when it names none.
std::string ListChannel(const ListSerial& serial);

// Whether a list can be acted on, given whether its signature verified against the built-in
// key, the product the launcher was built for (empty: any), the channel it follows (empty:
// any), the highest serial of that channel accepted before (none on a first run) and the
// current Unix time, in this order: NotSigned without a good signature line, a verified
// signature or a good serial line; BadRelease with a malformed or second release line;
// OtherProduct when the launcher has a product and the list names another or none;
// OtherChannel when the list's channel (ListChannel) is not the launcher's; Older below the
// stored serial (the same serial passes); Expired with an expiry at or before now.
ListVerdict JudgeList(const SignedList& list, bool signatureVerified, const std::string& product,
                      const std::string& channel, std::optional<std::uint64_t> storedSerial,
                      std::int64_t now);

// The error-log line for a refusal ("error : The update list ..."); empty for Accepted.
std::wstring ListRefusalText(ListVerdict verdict);
