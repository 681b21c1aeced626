#include "update/trust/stat_cache.h"

#include <sstream>

#include "update/trust/list_fields.h"

namespace {

const char kHeader[] = "tolvane-stat-cache 1";

} // namespace

StatCache StatCache::Parse(const std::string& text) {
    StatCache cache;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return cache;
    while (std::getline(in, line)) {
        // The path is last and may hold blanks; the three fields before it never do.
        std::size_t first = line.find(' '), second = line.find(' ', first + 1),
                    third = line.find(' ', second + 1);
        if (third == std::string::npos || third + 1 >= line.size())
            continue;
        StatEntry entry;
        entry.sha256 = line.substr(0, first);
        if (!IsSha256Hex(entry.sha256) ||
            !ParseDecimal(line.substr(first + 1, second - first - 1), entry.size) ||
            !ParseDecimal(line.substr(second + 1, third - second - 1), entry.writeTime))
            continue;
        cache.entries_[line.substr(third + 1)] = entry;
    }
    return cache;
}

std::string StatCache::Text() const {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [path, entry] : entries_)
        text += entry.sha256 + " " + std::to_string(entry.size) + " " +
                std::to_string(entry.writeTime) + " " + path + "\n";
    return text;
}

std::string StatCache::Lookup(const std::string& path, std::uint64_t size,
                              std::uint64_t writeTime) {
    used_[path] = true;
    const auto found = entries_.find(path);
    if (found == entries_.end() || found->second.size != size ||
        found->second.writeTime != writeTime)
        return std::string();
    return found->second.sha256;
}

void StatCache::Put(const std::string& path, const StatEntry& entry) {
    used_[path] = true;
    entries_[path] = entry;
}

void StatCache::KeepOnlyUsed() {
    for (auto entry = entries_.begin(); entry != entries_.end();)
        entry = used_.count(entry->first) ? std::next(entry) : entries_.erase(entry);
}
