#pragma once
// The hashes of files the launcher has checked, kept with the size and last-write time they
// were taken at, so that a pass re-hashes only files that changed since. Pure: the text form
// is read and written by the caller. Losing the text only costs a re-hash.
#include <cstdint>
#include <map>
#include <string>

struct StatEntry {
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0; // the file's last-write time, as the platform's 100 ns count
    std::string sha256;          // 64 lowercase hex digits
};

class StatCache {
  public:
    // Reads the text form; lines that are not well formed are skipped.
    static StatCache Parse(const std::string& text);
    // The text form: a header line, then one line per entry, "sha256 size time path".
    std::string Text() const;

    // The hash recorded for path when it was taken at this size and time; empty otherwise.
    std::string Lookup(const std::string& path, std::uint64_t size, std::uint64_t writeTime);
    void Put(const std::string& path, const StatEntry& entry);
    // Keeps only the entries of paths that were looked up or put since Parse, so the cache
    // never outgrows the list.
    void KeepOnlyUsed();

    std::size_t size() const { return entries_.size(); }

  private:
    std::map<std::string, StatEntry> entries_;
    std::map<std::string, bool> used_;
};
