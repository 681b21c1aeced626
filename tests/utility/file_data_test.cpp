#include <gtest/gtest.h>

#include <sstream>

#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "utility/file_data.h"
#include "utility/string_helpers.h"

using namespace testing_support;
using namespace File::Data;

static std::wostringstream Got; // what the running reader found, in order

class BinaryFiles : public ::testing::Test {
  protected:
    std::string Saved(Writer writer) {
        EXPECT_TRUE(FileSave(path, writer));
        return ReadBytes(path);
    }
    std::wstring Loaded(const std::string& bytes, Reader reader) {
        WriteBytes(path, bytes);
        Got.str(L"");
        EXPECT_TRUE(FileLoad(path, reader));
        return Got.str();
    }
    ScratchFolder folder;
    const std::wstring path = folder / L"data.bin";
};

TEST_F(BinaryFiles, WritersStoreLittleEndianFieldsByteExact) {
    const std::pair<Writer, std::string> cases[] = {
        {[](std::ofstream* s) { Write(s, "abc", 3); }, {"\x03\0\0\0abc", 7}},
        {[](std::ofstream* s) { Write(s, 1.0f, 2.0f); }, {"\0\0\x80\x3F\0\0\0\x40", 8}},
        {[](std::ofstream* s) { Write(s, -2); }, "\xFE\xFF\xFF\xFF"},
        {[](std::ofstream* s) { Write(s, static_cast<unsigned short>(0x1234)); }, "\x34\x12"},
        {[](std::ofstream* s) { Write(s, "\n\r\x1A", 3); }, {"\x03\0\0\0\n\r\x1A", 7}},
        {[](std::ofstream* s) { Write(s, "unread", -4), Write(s, nullptr, 5); },
         {"\xFC\xFF\xFF\xFF\0\0\0\0", 8}},
        {nullptr, ""},
    };
    for (const auto& [writer, bytes] : cases) {
        WriteBytes(path, "old");
        EXPECT_EQ(Saved(writer), bytes);
    }
}

TEST_F(BinaryFiles, EveryFieldReadsBackWhatWasWritten) {
    const std::string bytes = Saved([](std::ofstream* s) {
        Write(s, static_cast<unsigned short>(0xBEEF));
        Write(s, -123456789);
        Write(s, 1.5f, -2.25f);
        Write(s, 3.0f, 4.0f, 5.0f);
        Write(s, 6.0f, 7.0f, 8.0f, 1e-30f);
        Write(s, "caf\xE9\0z", 6);
        Write(s, 0.75f, 0.0f); // read back as two singles
    });
    // A byte, and a short wide string, which have no writer of their own.
    const std::wstring seen = Loaded(bytes + "\x7F\x02\x41\xE9", [](std::ifstream* s) {
        float v[9] = {};
        Got << ReadInt16(s) << ' ' << ReadInt32(s);
        ReadVector2(s, v[0], v[1]);
        ReadVector3(s, v[2], v[3], v[4]);
        ReadVector4(s, v[5], v[6], v[7], v[8]);
        for (float f : v)
            Got << ' ' << f;
        Got << ' ' << String::ToWstring(ReadString(s)) << ' ' << ReadSingle(s) << ' '
            << ReadSingle(s) << ' ' << +ReadByte(s) << ' ' << ReadString2(s);
    });
    EXPECT_EQ(seen, L"48879 -123456789 1.5 -2.25 3 4 5 6 7 8 1e-30 caf\xFFE9" +
                        std::wstring(1, L'\0') + L"z 0.75 0 127 A\xE9");
}

TEST_F(BinaryFiles, ShortAndOddFilesReadAsFarAsTheyGoWithoutHanging) {
    const struct {
        std::string bytes;
        Reader read;
        std::wstring seen;
    } cases[] = {
        // Lengths below 1 consume only their own 4 bytes.
        {{"\0\0\0\0\x05\xFB\xFF\xFF\xFF\x06", 10},
         [](std::ifstream* s) {
             Got << ReadString(s).size() << +ReadByte(s) << ReadString(s).size() << +ReadByte(s);
         },
         L"0506"},
        // A huge length stops at the end of the file instead of allocating it.
        {"\xFF\xFF\xFF\x7F"
         "abc",
         [](std::ifstream* s) { Got << String::ToWstring(ReadString(s)); }, L"abc"},
        // The count byte of the short wide string is unsigned: 200 characters, not -56.
        {"\xC8" + std::string(200, '\xE9'), [](std::ifstream* s) { Got << ReadString2(s); },
         std::wstring(200, L'\xE9')},
        {"\x05"
         "AB",
         [](std::ifstream* s) { Got << ReadString2(s); },
         {L"AB\0\0\0", 5}},
        // Missing bytes are zero; a float that gets none keeps its value.
        {"\x34\x12\x56",
         [](std::ifstream* s) {
             float x = 9, y = 8;
             Got << ReadInt32(s) << ' ' << ReadInt16(s) << +ReadByte(s) << ReadSingle(s)
                 << ReadString(s).size() << ReadString2(s).size();
             ReadVector2(s, x, y);
             Got << ' ' << x << y;
         },
         L"5640756 00000 98"},
        {"old", nullptr, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Loaded(c.bytes, c.read), c.seen);
}

TEST_F(BinaryFiles, FilesThatDoNotOpenShowTheNoWriteFileBox) {
    const std::wstring missing = folder / L"missing\\data.bin";
    for (bool load : {true, false}) {
        DialogAnswerer answer(IDOK);
        EXPECT_FALSE(load ? FileLoad(missing, [](std::ifstream*) { ADD_FAILURE(); })
                          : FileSave(missing, [](std::ofstream*) { ADD_FAILURE(); }));
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(std::make_tuple(box.caption, box.text, box.buttons, box.icon),
                  std::make_tuple(L"Message", L"No Write File", std::vector<int>{IDOK},
                                  SystemIconFor(MB_ICONWARNING)));
    }
}
