// The publisher's native helper, built for the studio's machine from the launcher's own chunk
// sources (src/update/chunks), so that the site and the launcher cut and read alike. SHA-256
// comes from the host's libcrypto, which uses the processor's SHA instructions where it has them.
//   chunk_tool sizes                        prints "MIN AVERAGE MAX", the chunker's sizes
//   chunk_tool scan [MIN AVERAGE MAX] FILE  reads FILE once and prints its chunk index (which
//                                           names its size and SHA-256), after the launcher's
//                                           reader took it
//   chunk_tool check SIZE SHA256 INDEX      judges INDEX as the launcher does, for a file of
//                                           that size and hash: "taken" or the refusal
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <openssl/evp.h>

#include "update/chunks/chunks.h"

namespace {

// One SHA-256 in progress.
class Sha256 {
  public:
    Sha256() : context_(EVP_MD_CTX_new()) { Restart(); }
    ~Sha256() { EVP_MD_CTX_free(context_); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Restart() { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    void Add(const unsigned char* data, std::size_t size) {
        EVP_DigestUpdate(context_, data, size);
    }
    // The digest in lowercase hex; the hash starts over.
    std::string Hex() {
        unsigned char digest[32];
        EVP_DigestFinal_ex(context_, digest, nullptr);
        Restart();
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char byte : digest)
            hex += {kDigits[byte >> 4], kDigits[byte & 15]};
        return hex;
    }

  private:
    EVP_MD_CTX* context_;
};

bool Judged(ChunkIndexReader& reader, std::istream& index) {
    ChunkEntry entry;
    bool taken = true;
    for (std::string line; taken && std::getline(index, line);)
        taken = reader.Take(line, entry);
    return taken && reader.Finish();
}

// Chunks and hashes the file in one pass; the chunk lines wait in memory (about 90 bytes per
// chunk) until the header, which counts them, can go first.
int Scan(const char* path, ChunkSizes sizes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::perror(path);
        return 1;
    }
    Chunker chunker(sizes);
    Sha256 whole, chunk;
    std::vector<unsigned char> buffer(8 << 20);
    std::vector<std::uint64_t> ends;
    std::string lines;
    std::uint64_t start = 0, read = 0, count = 0;
    auto take = [&](std::size_t got) {
        // Hash up to each cut inside this buffer, then the rest into the next chunk.
        std::uint64_t from = read;
        for (std::uint64_t end : ends) {
            chunk.Add(buffer.data() + (from - read), end - from);
            lines += std::to_string(start) + " " + std::to_string(end - start) + " " + chunk.Hex() +
                     "\n";
            ++count;
            start = from = end;
        }
        chunk.Add(buffer.data() + (from - read), read + got - from);
        ends.clear();
    };
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        whole.Add(buffer.data(), got);
        chunker.Feed(buffer.data(), got, ends);
        take(got);
        read += got;
    }
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        std::perror(path);
        return 1;
    }
    chunker.Finish(ends);
    take(0);
    const std::string sha256 = whole.Hex();
    const std::string index = "tolvane-chunk-index 1 size=" + std::to_string(read) +
                              " sha256=" + sha256 + " chunks=" + std::to_string(count) + "\n" +
                              lines;
    // What a launcher would refuse never leaves here.
    ChunkIndexReader reader(read, sha256, sizes);
    std::istringstream judged(index);
    if (!Judged(reader, judged)) {
        std::fprintf(stderr, "%s: %s\n", path, reader.Error().c_str());
        return 3;
    }
    return std::fwrite(index.data(), 1, index.size(), stdout) == index.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}

int Check(const char* size, const char* sha256, const char* path) {
    std::ifstream index(path, std::ios::binary);
    if (!index) {
        std::perror(path);
        return 1;
    }
    ChunkIndexReader reader(std::strtoull(size, nullptr, 10), sha256);
    const bool taken = Judged(reader, index);
    std::printf("%s\n", taken ? "taken" : reader.Error().c_str());
    return taken ? 0 : 3;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sizes" && argc == 2)
        return std::printf("%llu %llu %llu\n", static_cast<unsigned long long>(kChunkSizes.min),
                           static_cast<unsigned long long>(kChunkSizes.average),
                           static_cast<unsigned long long>(kChunkSizes.max)) > 0
                   ? 0
                   : 1;
    if (mode == "scan" && argc == 3)
        return Scan(argv[2], kChunkSizes);
    if (mode == "scan" && argc == 6)
        return Scan(argv[5],
                    {std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                     std::strtoull(argv[4], nullptr, 10)});
    if (mode == "check" && argc == 5)
        return Check(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: chunk_tool sizes | scan [MIN AVERAGE MAX] FILE | check SIZE "
                         "SHA256 INDEX\n");
    return 2;
}
