#include "update/trust/serial_record.h"

#include <windows.h>

#include <algorithm>

#include "update/base/failure_log.h"
#include "update/base/file_bytes.h"
#include "update/trust/list_fields.h"
#include "update/trust/sha256.h"
#include "utility/scoped_handle.h"
#include "utility/string_helpers.h"

namespace {

const wchar_t kKey[] = L"Software\\TolvaneSoft\\Launcher";

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

SerialCopy ReadSerialValue(const std::wstring& name) {
    SerialCopy copy;
    const RegistryKey key(KEY_QUERY_VALUE, false);
    if (!key.get())
        return copy;
    DWORD type = 0, size = sizeof copy.serial;
    const LSTATUS status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(&copy.serial), &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return copy;
    copy.state = status == ERROR_SUCCESS && type == REG_QWORD && size == sizeof copy.serial
                     ? SerialCopy::State::Present
                     : SerialCopy::State::Damaged;
    return copy;
}

} // namespace

RecordedSerial CombineSerialCopies(const std::vector<SerialCopy>& copies) {
    RecordedSerial record;
    bool damaged = false;
    for (const SerialCopy& copy : copies) {
        if (copy.state == SerialCopy::State::Present)
            record.serial = std::max(record.serial.value_or(0), copy.serial);
        damaged = damaged || copy.state == SerialCopy::State::Damaged;
    }
    record.damaged = !record.serial && damaged;
    return record;
}

// The platform ignores case in value names, and so the name is in lower case.
std::wstring SerialValueName(const std::wstring& spelling, const std::string& channel) {
    std::wstring name = L"list serial ";
    if (channel != kStableChannel)
        name += String::ToWstring(channel) + L" ";
    for (wchar_t c : spelling)
        name.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c);
    if (name.size() < 16000)
        return name;
    Sha256 hash;
    hash.Add(name.data(), name.size() * sizeof(wchar_t));
    const std::string hex = LowerHex(hash.FinishBytes());
    return L"list serial sha256 " + std::wstring(hex.begin(), hex.end());
}

std::wstring CanonicalFolder(const std::wstring& setupFolder) {
    const ScopedFile folder(CreateFileW(setupFolder.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    if (!folder.valid())
        return setupFolder;
    std::wstring path(GetFinalPathNameByHandleW(folder.get(), nullptr, 0, FILE_NAME_NORMALIZED),
                      L'\0');
    path.resize(GetFinalPathNameByHandleW(folder.get(), path.data(),
                                          static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED));
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path.replace(0, 8, L"\\\\");
    else if (path.rfind(L"\\\\?\\", 0) == 0)
        path.erase(0, 4);
    if (path.empty())
        return setupFolder;
    return path.back() == L'\\' ? path : path + L'\\';
}

std::wstring SerialFilePath(const std::wstring& setupFolder, const std::string& channel) {
    const std::wstring file =
        channel == kStableChannel ? L"list" : L"list-" + String::ToWstring(channel);
    return setupFolder + L"update\\" + file + L".serial";
}

SerialCopy ReadSerialFile(const std::wstring& setupFolder, const std::string& channel) {
    const std::wstring path = SerialFilePath(setupFolder, channel);
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

std::vector<SerialCopy> ReadSerialValues(const std::wstring& setupFolder,
                                         const std::string& channel) {
    const std::wstring canonical = SerialValueName(CanonicalFolder(setupFolder), channel),
                       spelt = SerialValueName(setupFolder, channel);
    std::vector<SerialCopy> copies{ReadSerialValue(canonical)};
    if (spelt != canonical)
        copies.push_back(ReadSerialValue(spelt));
    return copies;
}

RecordedSerial ReadSerialRecord(const std::wstring& setupFolder, const std::string& channel) {
    std::vector<SerialCopy> copies = ReadSerialValues(setupFolder, channel);
    copies.push_back(ReadSerialFile(setupFolder, channel));
    return CombineSerialCopies(copies);
}

bool WriteSerialRecord(const std::wstring& setupFolder, std::uint64_t serial,
                       const std::string& channel) {
    const bool file =
        ReplaceFileBytes(SerialFilePath(setupFolder, channel), std::to_string(serial));
    const RegistryKey key(KEY_SET_VALUE, true);
    const std::wstring name = SerialValueName(CanonicalFolder(setupFolder), channel);
    const bool value = key.get() && RegSetValueExW(key.get(), name.c_str(), 0, REG_QWORD,
                                                   reinterpret_cast<const BYTE*>(&serial),
                                                   sizeof serial) == ERROR_SUCCESS;
    if (!value)
        LogFailure(L"error : No write registry value HKEY_CURRENT_USER\\" + std::wstring(kKey) +
                   L"\\" + name);
    return file && value;
}
