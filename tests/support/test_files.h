#pragma once
// Files for tests: a scratch folder beside the test program, raw bytes, the error log.
#include <string>
#include <vector>

namespace testing_support {

// A fresh empty folder beside the test executable, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    // The folder, ending in a backslash.
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

  private:
    std::wstring path_;
};

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// The bytes that hex digits ("0a1B...", two a byte) spell.
std::string FromHex(const std::string& hex);

// errors.err beside the test executable.
std::wstring ErrorLogPath();
void ClearErrorLog();
// The log's lines split at CR LF.
std::vector<std::string> ErrorLogLines();

} // namespace testing_support
