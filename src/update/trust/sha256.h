#pragma once
// SHA-256 through the platform's CNG (bcrypt), for the content hashes of list lines and the
// digest that list signatures cover.
#include <cstddef>
#include <cstdint>
#include <string>

// An incremental SHA-256. All instances share one algorithm provider, opened on first use and
// kept for the whole process (opening it is costly, and a worker may still hash while the
// process ends). Each instance owns its hash handle. Not copyable; one thread at a time per
// instance, any number of instances on any threads.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Hashes more bytes. Does nothing after Finish or a platform failure.
    void Add(const void* data, std::size_t size);
    void Add(const std::string& bytes) { Add(bytes.data(), bytes.size()); }

    // The 32-byte digest of everything added; ends this hasher. Empty when the platform
    // failed at any step (a provider or hash that could not be made, or a second call).
    std::string FinishBytes();
    // The digest as 64 lowercase hex digits; empty as FinishBytes.
    std::string Finish();

  private:
    void* hash_ = nullptr; // BCRYPT_HASH_HANDLE; null once finished or failed
};

// The lowercase hex of bytes ("\x01\xab" gives "01ab").
std::string LowerHex(const std::string& bytes);
