#include "update/trust/sha256.h"

#include <memory>
#include <new>

#include <windows.h>
#include <bcrypt.h>

namespace {

constexpr std::size_t kDigestBytes = 32;
constexpr DWORD kChunkBytes = 1 << 20;

// The process's one SHA-256 provider; null when CNG has none. Never closed: hashes may still
// be made from it while the process ends.
BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            handle = nullptr;
        return handle;
    }();
    return provider;
}

} // namespace

Sha256::Sha256() {
    BCRYPT_ALG_HANDLE provider = Provider();
    BCRYPT_HASH_HANDLE hash = nullptr;
    // No hash object buffer: CNG allocates and frees it with the handle.
    if (provider && BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0)))
        hash_ = hash;
}

Sha256::~Sha256() {
    if (hash_)
        BCryptDestroyHash(hash_);
}

void Sha256::Add(const void* data, std::size_t size) {
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
    while (hash_ && size > 0) {
        // BCryptHashData takes a 32-bit length.
        const ULONG part = size > kChunkBytes ? kChunkBytes : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptHashData(hash_, bytes, part, 0))) {
            BCryptDestroyHash(hash_);
            hash_ = nullptr;
        }
        bytes += part;
        size -= part;
    }
}

std::string Sha256::FinishBytes() {
    if (!hash_)
        return std::string();
    UCHAR digest[kDigestBytes];
    const bool done = BCRYPT_SUCCESS(BCryptFinishHash(hash_, digest, kDigestBytes, 0));
    BCryptDestroyHash(hash_);
    hash_ = nullptr;
    return done ? std::string(reinterpret_cast<char*>(digest), kDigestBytes) : std::string();
}

std::string Sha256::Finish() {
    return LowerHex(FinishBytes());
}

std::string LowerHex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}
