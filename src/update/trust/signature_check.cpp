#include "update/trust/signature_check.h"

#include <cstring>
#include <memory>

#include <windows.h>
#include <bcrypt.h>

#include "update/trust/sha256.h"

namespace {

constexpr ULONG kCoordinateBytes = 32;

struct CloseAlgorithm {
    void operator()(void* algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
using AlgorithmHandle = std::unique_ptr<void, CloseAlgorithm>;

struct DestroyKey {
    void operator()(void* key) const { BCryptDestroyKey(key); }
};
using KeyHandle = std::unique_ptr<void, DestroyKey>;

} // namespace

bool VerifyListSignature(const std::string& publicKeyXY, const std::string& signedBytes,
                         const std::string& signature) {
    if (publicKeyXY.size() != 2 * kCoordinateBytes || signature.size() != 2 * kCoordinateBytes)
        return false;
    Sha256 hash;
    hash.Add(signedBytes);
    std::string digest = hash.FinishBytes();
    if (digest.empty())
        return false;

    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&opened, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
        return false;
    const AlgorithmHandle algorithm(opened);

    // BCRYPT_ECCKEY_BLOB header, then X, then Y.
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes];
    const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, publicKeyXY.data(), publicKeyXY.size());
    BCRYPT_KEY_HANDLE imported = nullptr;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                            &imported, blob, sizeof blob, 0)))
        return false;
    const KeyHandle key(imported);

    // Only STATUS_SUCCESS is a valid signature.
    std::string rs = signature;
    return BCryptVerifySignature(key.get(), nullptr, reinterpret_cast<UCHAR*>(&digest[0]),
                                 static_cast<ULONG>(digest.size()),
                                 reinterpret_cast<UCHAR*>(&rs[0]), static_cast<ULONG>(rs.size()),
                                 0) == 0;
}
