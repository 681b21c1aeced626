#include "update/install/install_id.h"

#include <windows.h>
#include <bcrypt.h>

#include "update/base/failure_log.h"
#include "update/base/file_bytes.h"
#include "update/trust/rollout.h"
#include "update/trust/sha256.h"

std::string InstallId(const std::wstring& setupFolder) {
    const std::wstring folder = setupFolder + L"update", path = folder + L"\\install.id";
    const std::string kept = ReadFileBytes(path);
    if (IsInstallId(kept))
        return kept;
    std::string bytes(16, '\0');
    const NTSTATUS status =
        BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()),
                        static_cast<ULONG>(bytes.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status != 0) {
        LogFailure(L"error : No random install id (status " +
                   std::to_wstring(static_cast<unsigned long>(status)) + L")");
        return std::string();
    }
    const std::string id = LowerHex(bytes);
    CreateDirectoryW(folder.c_str(), nullptr);
    ReplaceFileBytes(path, id);
    return id;
}
