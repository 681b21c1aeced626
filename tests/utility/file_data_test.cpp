#include <gtest/gtest.h>

#include <sstream>

#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "utility/file_data.h"
#include "utility/string_helpers.h"

using namespace testing_support;
using namespace File::Data;

static const ScratchFolder Folder;
static const std::wstring Path = Folder / L"data.bin";
static std::wostringstream Got; // what the running reader found, in order

static std::wstring Loaded(const std::string& bytes, Reader reader) {
    WriteBytes(Path, bytes);
    Got.str(L"");
    EXPECT_TRUE(FileLoad(Path, reader));
    return Got.str();
}

TEST(BinaryFiles, FieldsAreStoredLittleEndianAndReadBackAsFarAsTheFileGoes) {
    EXPECT_TRUE(FileSave(Path, [](std::ofstream* s) {
        Write(s, "abc", 3);
        Write(s, 1.0f, 2.0f);
        Write(s, static_cast<unsigned short>(0x1234));
        Write(s, -2);
        Write(s, 3.0f, 4.0f, 5.0f);
        Write(s, 6.0f, 7.0f, 8.0f, 1e-30f);
        Write(s, "\xE9\0\n\x1A", 4); // no line-end translation, no end-of-text byte
        Write(s, 0.75f, 0.0f);       // read back as two singles
        Write(s, "", 0);
    }));
    const std::string bytes = ReadBytes(Path);
    EXPECT_EQ(bytes.substr(0, 21),
              std::string("\3\0\0\0abc\0\0\x80\x3F\0\0\0\x40\x34\x12\xFE\xFF\xFF\xFF", 21));
    // Then a byte, a short wide string with an unsigned count (200, not -56), a negative
    // length that consumes only its own 4 bytes, and a length far beyond the end of the file.
    const std::string odd =
        "\x7F\xC8" + std::string(200, '\xE9') + "\xFB\xFF\xFF\xFF" + "\xFF\xFF\xFF\x7F" + "abc";
    const Reader read = [](std::ifstream* s) {
        float v[9] = {};
        Got << String::ToWstring(ReadString(s));
        ReadVector2(s, v[0], v[1]);
        Got << ' ' << ReadInt16(s) << ' ' << ReadInt32(s);
        ReadVector3(s, v[2], v[3], v[4]);
        ReadVector4(s, v[5], v[6], v[7], v[8]);
        for (float f : v)
            Got << ' ' << f;
        Got << ' ' << String::ToWstring(ReadString(s)) << ' ' << ReadSingle(s) << ' '
            << ReadSingle(s) << ' ' << ReadString(s).size() << ' ' << +ReadByte(s) << ' '
            << ReadString2(s) << ' ' << ReadString(s).size() << ' '
            << String::ToWstring(ReadString(s)) << ' ' << ReadInt32(s) << ReadString2(s).size();
    };
    EXPECT_EQ(Loaded(bytes + odd, read),
              L"abc 4660 -2 1 2 3 4 5 6 7 8 1e-30 " + std::wstring(L"\xFFE9\0\n\x1A", 4) +
                  L" 0.75 0 0 127 " + std::wstring(200, L'\xE9') + L" 0 abc 00");
    EXPECT_EQ(Loaded("\x05\x41\x42", [](std::ifstream* s) { Got << ReadString2(s); }),
              std::wstring(L"AB\0\0\0", 5))
        << "bytes that do not arrive are zero";
    EXPECT_EQ(Loaded("old", nullptr), L"");
    EXPECT_TRUE(FileSave(Path, nullptr));
    EXPECT_EQ(ReadBytes(Path), "") << "a null writer leaves an empty file";
}

TEST(BinaryFiles, FilesThatDoNotOpenShowTheNoWriteFileBox) {
    const std::wstring missing = Folder / L"missing\\data.bin";
    for (bool load : {true, false}) {
        DialogAnswerer answer(IDOK);
        EXPECT_FALSE(load ? FileLoad(missing, [](std::ifstream*) { ADD_FAILURE(); })
                          : FileSave(missing, [](std::ofstream*) { ADD_FAILURE(); }));
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(std::make_tuple(box.caption, box.text, box.icon),
                  std::make_tuple(L"Message", L"No Write File", SystemIconFor(MB_ICONWARNING)));
    }
}
