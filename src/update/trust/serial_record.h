#pragma once
// The rollback record: the highest list serial this folder's launcher accepted, kept twice, in
// update\list.serial and in a value for the folder under the key
// HKEY_CURRENT_USER\Software\TolvaneSoft\Launcher, so that one copy deleted or damaged does
// not let an older list in again. The value is named by the folder's one canonical spelling,
// whichever spelling the launcher was started from (an 8.3 one, a subst drive); launchers before
// that named it by the spelling itself, and a value so named still counts.
// Each channel other than stable has a record of its own, update\list-CHANNEL.serial and a value
// "list serial CHANNEL " and the spelling, so that a move between channels never looks like a
// rollback; stable's is the record launchers before channels kept.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "update/base/channel_name.h"

struct SerialCopy {
    enum class State { Missing, Damaged, Present };
    State state = State::Missing;
    std::uint64_t serial = 0; // meaningful only when Present
};

// What the record holds: the higher serial of the copies that are present, or none. A copy
// that is there but unreadable while no copy is present makes the record damaged: it never
// counts as a first run.
struct RecordedSerial {
    std::optional<std::uint64_t> serial;
    bool damaged = false;
};
RecordedSerial CombineSerialCopies(const std::vector<SerialCopy>& copies);

// The name of the value for a folder spelt so: "list serial " (for another channel than stable,
// "list serial CHANNEL ") and the spelling in lower case, or, for a spelling too long for a value
// name, "list serial sha256 " and the hash of that name.
std::wstring SerialValueName(const std::wstring& spelling,
                             const std::string& channel = kStableChannel);

// The folder's canonical spelling, ending in a backslash: the platform's final path of the
// folder (long names, the drive a subst stands for), without the "\\?\" prefix; the spelling
// given when the platform cannot tell.
std::wstring CanonicalFolder(const std::wstring& setupFolder);

// The channel's record file in the folder, as SerialCopy.
SerialCopy ReadSerialFile(const std::wstring& setupFolder,
                          const std::string& channel = kStableChannel);
// The channel's registry values for the folder, as SerialCopy each: the one under its canonical
// spelling, and, when the spelling given differs, the one under that.
std::vector<SerialCopy> ReadSerialValues(const std::wstring& setupFolder,
                                         const std::string& channel = kStableChannel);
// All of them, combined.
RecordedSerial ReadSerialRecord(const std::wstring& setupFolder,
                                const std::string& channel = kStableChannel);

// Writes serial into both copies of the channel's record: the file through a temporary file, a
// flush and a rename, the value, under the canonical spelling, as a REG_QWORD. An error-log line
// for each copy that could not be written; false then.
bool WriteSerialRecord(const std::wstring& setupFolder, std::uint64_t serial,
                       const std::string& channel = kStableChannel);

// The channel's record file: update\list.serial for stable, update\list-CHANNEL.serial for
// another.
std::wstring SerialFilePath(const std::wstring& setupFolder,
                            const std::string& channel = kStableChannel);
