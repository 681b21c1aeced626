// The publisher's native helper, built for the studio's machine from the launcher's own chunk
// sources (src/update/chunks), so that the site and the launcher cut and read alike.
//   chunk_tool cut [MIN AVERAGE MAX] FILE   prints "offset length" for each chunk of FILE
//   chunk_tool check SIZE SHA256 INDEX      judges INDEX as the launcher does, for a file of
//                                           that size and hash: "taken" or the refusal
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "update/chunks/chunks.h"

namespace {

int Cut(const char* path, ChunkSizes sizes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        std::perror(path);
        return 1;
    }
    Chunker chunker(sizes);
    std::vector<unsigned char> buffer(8 << 20);
    std::vector<std::uint64_t> ends;
    std::uint64_t start = 0;
    auto print = [&] {
        for (std::uint64_t end : ends) {
            std::printf("%llu %llu\n", static_cast<unsigned long long>(start),
                        static_cast<unsigned long long>(end - start));
            start = end;
        }
        ends.clear();
    };
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) {
        chunker.Feed(buffer.data(), got, ends);
        print();
    }
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        std::perror(path);
        return 1;
    }
    chunker.Finish(ends);
    print();
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Check(const char* size, const char* sha256, const char* path) {
    std::ifstream index(path, std::ios::binary);
    if (!index) {
        std::perror(path);
        return 1;
    }
    ChunkIndexReader reader(std::strtoull(size, nullptr, 10), sha256);
    ChunkEntry entry;
    bool taken = true;
    for (std::string line; taken && std::getline(index, line);)
        taken = reader.Take(line, entry);
    taken = taken && reader.Finish();
    std::printf("%s\n", taken ? "taken" : reader.Error().c_str());
    return taken ? 0 : 3;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "cut" && argc == 3)
        return Cut(argv[2], kChunkSizes);
    if (mode == "cut" && argc == 6)
        return Cut(argv[5],
                   {std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                    std::strtoull(argv[4], nullptr, 10)});
    if (mode == "check" && argc == 5)
        return Check(argv[2], argv[3], argv[4]);
    std::fprintf(stderr,
                 "usage: chunk_tool cut [MIN AVERAGE MAX] FILE | check SIZE SHA256 INDEX\n");
    return 2;
}
