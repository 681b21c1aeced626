#pragma once
// The rollback record: the highest list serial this folder's launcher accepted, kept twice, in
// update\list.serial and in a value for the folder under the key
// HKEY_CURRENT_USER\Software\TolvaneSoft\Launcher, so that one copy deleted or damaged does
// not let an older list in again.
#include <cstdint>
#include <optional>
#include <string>

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
RecordedSerial CombineSerialCopies(const SerialCopy& file, const SerialCopy& value);

// The folder's record file, as SerialCopy.
SerialCopy ReadSerialFile(const std::wstring& setupFolder);
// The folder's registry value, as SerialCopy.
SerialCopy ReadSerialValue(const std::wstring& setupFolder);
// Both, combined.
RecordedSerial ReadSerialRecord(const std::wstring& setupFolder);

// Writes serial into both copies: the file through a temporary file, a flush and a rename, the
// value as a REG_QWORD. An error-log line for each copy that could not be written; false then.
bool WriteSerialRecord(const std::wstring& setupFolder, std::uint64_t serial);

// The file's path, for messages.
std::wstring SerialFilePath(const std::wstring& setupFolder);
