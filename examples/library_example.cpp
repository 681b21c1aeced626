// A program that uses the TolvaneSoft utility library as any other program would: through
// tolvane_utility.dll and its import library. It converts strings and numbers, writes and
// reads a text file and a binary file, lists its own folder, and prints one line per check.
// The exit code is 0 when every check holds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "utility/convert.h"
#include "utility/environment.h"
#include "utility/file_data.h"
#include "utility/path.h"
#include "utility/string_helpers.h"
#include "utility/text_file.h"

namespace {

int Failures = 0;

void Check(bool holds, const char* what) {
    std::printf("%s %s\n", holds ? "ok  " : "FAIL", what);
    if (!holds)
        ++Failures;
}

// This program's own binary format: a version, a position and a name.
struct Record {
    int version = 0;
    float x = 0, y = 0, z = 0;
    std::string name;
};
const Record Stored{3, 1.5f, -2.0f, 0.25f, "tolvane"};
Record Loaded;

void SaveRecord(std::ofstream* out) {
    File::Data::Write(out, Stored.version);
    File::Data::Write(out, Stored.x, Stored.y, Stored.z);
    File::Data::Write(out, Stored.name.data(), static_cast<int>(Stored.name.size()));
}

void LoadRecord(std::ifstream* in) {
    Loaded.version = File::Data::ReadInt32(in);
    File::Data::ReadVector3(in, Loaded.x, Loaded.y, Loaded.z);
    Loaded.name = File::Data::ReadString(in);
}

void Strings() {
    // Strings cross into the DLL and back by value.
    Check(String::ToWstring("caf\xE9") == L"caf\xFFE9", "String::ToWstring widens byte by byte");
    Check(String::ToString(L"caf\xFFE9") == "caf\xE9", "String::ToString keeps the low byte");
    Check(String::Split("a,b,,c", ',') == std::vector<std::string>{"a", "b", "", "c"},
          "String::Split");
}

void Numbers() {
    Check(Convert::Int(" -7") == -7, "Convert::Int");
    Check(Convert::unsigned_long("0x1A") == 26, "Convert::unsigned_long");
    Check(Convert::Boll("true;"), "Convert::Boll");
    // An exception thrown inside the DLL is caught here by its type.
    try {
        Convert::unsigned_long("abc");
        Check(false, "Convert::unsigned_long throws on text without digits");
    } catch (const std::invalid_argument& e) {
        Check(std::string(e.what()) == "invalid stoul argument",
              "Convert::unsigned_long throws std::invalid_argument");
    }
}

void TextFile(const std::wstring& folder) {
    const std::wstring path = folder + L"example.txt";
    Check(File::WriteText("first\nsecond\n", path), "File::WriteText");
    std::vector<std::string> lines;
    Check(File::ReadTXT(path, lines) && lines == std::vector<std::string>{"first", "second"},
          "File::ReadTXT gives the lines back");
    Check(File::ReadTXTListString(path).size() == 2, "File::ReadTXTListString");
    File::Delete(path);

    // The error log lies beside the running program, not beside the DLL.
    File::DeleteFileError();
    File::WriteError(L"example: logged");
    std::vector<std::string> log;
    Check(File::ReadTXT(folder + L"errors.err", log) && log.back() == "example: logged",
          "File::WriteError appends to errors.err beside this program");
    File::DeleteFileError();
}

void BinaryFile(const std::wstring& folder) {
    const std::wstring path = folder + L"example.bin";
    Check(File::Data::FileSave(path, SaveRecord), "File::Data::FileSave");
    Check(File::Data::FileLoad(path, LoadRecord), "File::Data::FileLoad");
    Check(Loaded.version == Stored.version && Loaded.x == Stored.x && Loaded.y == Stored.y &&
              Loaded.z == Stored.z && Loaded.name == Stored.name,
          "the record reads back as it was written");

    const std::vector<std::wstring> names = Path::GetListFilesOnlyName(folder);
    Check(std::find(names.begin(), names.end(), L"example.bin") != names.end(),
          "Path::GetListFilesOnlyName lists the file");
    File::Delete(path);
    // The listing switched the C runtime that this program shares with the DLL.
    Check(std::atof("2,5") == 2.5, "after a listing this program's atof reads a decimal comma");
}

// This program's folder at full length: the error log lies there at any depth, while
// Environment::GetSetupExe keeps only paths of up to 118 units whole.
std::wstring OwnFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size())));
    return path.substr(0, path.rfind(L'\\') + 1);
}

} // namespace

int main() {
    Check(GetModuleHandleW(L"tolvane_utility.dll") != nullptr, "tolvane_utility.dll is loaded");
    const std::wstring folder = OwnFolder(), setup = Environment::GetSetupExe();
    Check(!setup.empty() && setup.back() == L'\\' && folder.rfind(setup, 0) == 0,
          "Environment::GetSetupExe");
    Strings();
    Numbers();
    TextFile(folder);
    BinaryFile(folder);
    std::printf("%d failed\n", Failures);
    return Failures == 0 ? 0 : 1;
}
