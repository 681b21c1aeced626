#include "update/trust/serial_record.h"

#include <windows.h>

#include <algorithm>

#include "update/base/failure_log.h"
#include "update/base/file_bytes.h"
#include "update/trust/list_fields.h"
#include "update/trust/sha256.h"

namespace {

const wchar_t kKey[] = L"Software\\TolvaneSoft\\Launcher";

// One value per launcher folder, named by the folder in lower case (the platform ignores
// case); a folder too long for a value name is named by its hash instead.
std::wstring ValueName(const std::wstring& setupFolder) {
    std::wstring name = L"list serial ";
    for (wchar_t c : setupFolder)
        name.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c);
    if (name.size() < 16000)
        return name;
    Sha256 hash;
    hash.Add(name.data(), name.size() * sizeof(wchar_t));
    const std::string hex = LowerHex(hash.FinishBytes());
    return L"list serial sha256 " + std::wstring(hex.begin(), hex.end());
}

class RegistryKey {
  public:
    RegistryKey(REGSAM access, bool create) {
        const LSTATUS status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0,
                                                        access, nullptr, &key_, nullptr)
                                      : RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, access, &key_);
        if (status != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

} // namespace

RecordedSerial CombineSerialCopies(const SerialCopy& file, const SerialCopy& value) {
    RecordedSerial record;
    for (const SerialCopy* copy : {&file, &value})
        if (copy->state == SerialCopy::State::Present)
            record.serial = std::max(record.serial.value_or(0), copy->serial);
    record.damaged = !record.serial && (file.state == SerialCopy::State::Damaged ||
                                        value.state == SerialCopy::State::Damaged);
    return record;
}

std::wstring SerialFilePath(const std::wstring& setupFolder) {
    return setupFolder + L"update\\list.serial";
}

SerialCopy ReadSerialFile(const std::wstring& setupFolder) {
    const std::wstring path = SerialFilePath(setupFolder);
    SerialCopy copy;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            copy.state = SerialCopy::State::Damaged;
        return copy;
    }
    copy.state = ParseDecimal(ReadFileBytes(path), copy.serial) ? SerialCopy::State::Present
                                                                : SerialCopy::State::Damaged;
    return copy;
}

SerialCopy ReadSerialValue(const std::wstring& setupFolder) {
    SerialCopy copy;
    const RegistryKey key(KEY_QUERY_VALUE, false);
    if (!key.get())
        return copy;
    DWORD type = 0, size = sizeof copy.serial;
    const LSTATUS status = RegQueryValueExW(key.get(), ValueName(setupFolder).c_str(), nullptr,
                                            &type, reinterpret_cast<BYTE*>(&copy.serial), &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return copy;
    copy.state = status == ERROR_SUCCESS && type == REG_QWORD && size == sizeof copy.serial
                     ? SerialCopy::State::Present
                     : SerialCopy::State::Damaged;
    return copy;
}

RecordedSerial ReadSerialRecord(const std::wstring& setupFolder) {
    return CombineSerialCopies(ReadSerialFile(setupFolder), ReadSerialValue(setupFolder));
}

bool WriteSerialRecord(const std::wstring& setupFolder, std::uint64_t serial) {
    const bool file = ReplaceFileBytes(SerialFilePath(setupFolder), std::to_string(serial));
    const RegistryKey key(KEY_SET_VALUE, true);
    const bool value =
        key.get() &&
        RegSetValueExW(key.get(), ValueName(setupFolder).c_str(), 0, REG_QWORD,
                       reinterpret_cast<const BYTE*>(&serial), sizeof serial) == ERROR_SUCCESS;
    if (!value)
        LogFailure(L"error : No write registry value HKEY_CURRENT_USER\\" + std::wstring(kKey) +
                   L"\\" + ValueName(setupFolder));
    return file && value;
}
