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

TEST(BinaryFiles, FieldsAreStoredLittleEndianAndReadBack) {
    EXPECT_TRUE(FileSave(Path, [](std::ofstream* s) {
        Write(s, "abc", 3);
        Write(s, 1.0f, 2.0f);
        Write(s, static_cast<unsigned short>(0x1234));
        Write(s, -2);
        Write(s, 3.0f, 4.0f, 5.0f);
        Write(s, 6.0f, 7.0f, 8.0f, 1e-30f);
        Write(s, "\xE9\0\n\x1A", 4); // no line-end translation, no end-of-text byte
        Write(s, 0.75f, 0.0f);       // read back as two singles
    }));
    const std::string bytes = ReadBytes(Path);
    EXPECT_EQ(bytes.substr(0, 21), std::string("\3\0\0\0abc\0\0\x80\x3F\0\0\0\x40\x34\x12"
                                               "\xFE\xFF\xFF\xFF",
                                               21));
    // A byte and a short wide string, which have no writer of their own, follow.
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
            << ReadSingle(s) << ' ' << +ReadByte(s) << ' ' << ReadString2(s);
    };
    EXPECT_EQ(Loaded(bytes + "\x7F\x02\x41\xE9", read), L"abc 4660 -2 1 2 3 4 5 6 7 8 1e-30 " +
                                                            std::wstring(L"\xFFE9\0\n\x1A", 4) +
                                                            L" 0.75 0 127 A\xE9");
    EXPECT_EQ(Loaded("old", nullptr), L"");
    EXPECT_TRUE(FileSave(Path, nullptr));
    EXPECT_EQ(ReadBytes(Path), "") << "a null writer leaves an empty file";
}

TEST(BinaryFiles, ShortAndOddFilesReadAsFarAsTheyGoWithoutHanging) {
    // Lengths 0 and -5 consume only their own 4 bytes; the count byte of the short wide string
    // is unsigned (200, not -56); a huge length stops at the end of the file.
    const Reader read = [](std::ifstream* s) {
        Got << ReadString(s).size() << ReadString(s).size() << +ReadByte(s) << ReadString2(s)
            << String::ToWstring(ReadString(s));
    };
    EXPECT_EQ(Loaded(std::string("\0\0\0\0\xFB\xFF\xFF\xFF\x06\xC8", 10) +
                         std::string(200, '\xE9') + "\xFF\xFF\xFF\x7F" + "abc",
                     read),
              L"006" + std::wstring(200, L'\xE9') + L"abc");
    // Bytes that do not arrive are zero.
    EXPECT_EQ(Loaded("\x34\x12\x56", [](std::ifstream* s) { Got << ReadInt32(s) << ReadInt16(s); }),
              L"56407560");
    EXPECT_EQ(Loaded("\x05\x41\x42", [](std::ifstream* s) { Got << ReadString2(s); }),
              std::wstring(L"AB\0\0\0", 5));
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
