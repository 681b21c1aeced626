#include <gtest/gtest.h>

#include <functional>

#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "utility/file_data.h"

using namespace testing_support;
using namespace File::Data;

namespace {

// FileLoad and FileSave take plain function pointers; these hand the stream on to the
// test's own function.
std::function<void(std::ifstream*)> PendingReader;
std::function<void(std::ofstream*)> PendingWriter;
void RunReader(std::ifstream* stream) {
    PendingReader(stream);
}
void RunWriter(std::ofstream* stream) {
    PendingWriter(stream);
}

class BinaryFiles : public ::testing::Test {
  protected:
    std::string Saved(std::function<void(std::ofstream*)> writer) {
        PendingWriter = std::move(writer);
        EXPECT_TRUE(FileSave(path, RunWriter));
        return ReadBytes(path);
    }
    void Load(const std::string& bytes, std::function<void(std::ifstream*)> reader) {
        WriteBytes(path, bytes);
        PendingReader = std::move(reader);
        EXPECT_TRUE(FileLoad(path, RunReader));
    }
    ScratchFolder folder;
    const std::wstring path = folder / L"data.bin";
};

TEST_F(BinaryFiles, WritersStoreLittleEndianFieldsByteExact) {
    EXPECT_EQ(Saved([](std::ofstream* s) { Write(s, "abc", 3); }), std::string("\x03\x00\x00\x00"
                                                                               "abc",
                                                                               7));
    EXPECT_EQ(Saved([](std::ofstream* s) { Write(s, 1.0f, 2.0f); }),
              std::string("\x00\x00\x80\x3F\x00\x00\x00\x40", 8));
    EXPECT_EQ(Saved([](std::ofstream* s) { Write(s, -2); }), "\xFE\xFF\xFF\xFF");
    EXPECT_EQ(Saved([](std::ofstream* s) { Write(s, static_cast<unsigned short>(0x1234)); }),
              "\x34\x12");
    EXPECT_EQ(Saved([](std::ofstream* s) { Write(s, "\n\r\x1A", 3); }),
              std::string("\x03\x00\x00\x00\n\r\x1A", 7))
        << "binary mode: no line-end translation";
    EXPECT_EQ(Saved([](std::ofstream* s) {
                  Write(s, "unread", -4);
                  Write(s, nullptr, 5);
              }),
              std::string("\xFC\xFF\xFF\xFF\x00\x00\x00\x00", 8));
}

TEST_F(BinaryFiles, EveryFieldReadsBackWhatWasWritten) {
    Saved([](std::ofstream* s) {
        Write(s, static_cast<unsigned short>(0xBEEF));
        Write(s, -123456789);
        Write(s, 1.5f, -2.25f);
        Write(s, 3.0f, 4.0f, 5.0f);
        Write(s, 6.0f, 7.0f, 8.0f, 1e-30f);
        Write(s, "caf\xE9\0z", 6);
        Write(s, 0.75f, 0.0f); // read back as two singles
    });
    // Fields without a writer of their own: a byte, and a short wide string of 200 bytes,
    // whose count is above 127.
    const std::string tail = "\x7F\xC8" + std::string(200, '\xE9');
    WriteBytes(path, ReadBytes(path) + tail);
    PendingReader = [](std::ifstream* s) {
        EXPECT_EQ(ReadInt16(s), 0xBEEF);
        EXPECT_EQ(ReadInt32(s), -123456789);
        float v[4] = {};
        ReadVector2(s, v[0], v[1]);
        EXPECT_EQ(v[0], 1.5f);
        EXPECT_EQ(v[1], -2.25f);
        ReadVector3(s, v[0], v[1], v[2]);
        EXPECT_EQ(v[2], 5.0f);
        ReadVector4(s, v[0], v[1], v[2], v[3]);
        EXPECT_EQ(v[0], 6.0f);
        EXPECT_EQ(v[3], 1e-30f);
        EXPECT_EQ(ReadString(s), std::string("caf\xE9\0z", 6));
        EXPECT_EQ(ReadSingle(s), 0.75f);
        EXPECT_EQ(ReadSingle(s), 0.0f);
        EXPECT_EQ(ReadByte(s), 0x7F);
        EXPECT_EQ(ReadString2(s), std::wstring(200, wchar_t(0xE9))) << "no sign extension";
        EXPECT_EQ(ReadInt32(s), 0) << "at the end of the file";
    };
    EXPECT_TRUE(FileLoad(path, RunReader));
}

TEST_F(BinaryFiles, ShortAndOddFilesReadAsFarAsTheyGo) {
    Load("\x02\x41\xE9", [](std::ifstream* s) { EXPECT_EQ(ReadString2(s), L"A\xE9"); });
    Load(std::string("\x00\x00\x00\x00\x05\xFB\xFF\xFF\xFF\x06", 10), [](std::ifstream* s) {
        EXPECT_EQ(ReadString(s), "");
        EXPECT_EQ(ReadByte(s), 5) << "a zero length consumes only its own 4 bytes";
        EXPECT_EQ(ReadString(s), "");
        EXPECT_EQ(ReadByte(s), 6) << "so does a negative one";
    });
    // A length far beyond the data stops at the end of the file instead of allocating it.
    Load("\xFF\xFF\xFF\x7F"
         "abc",
         [](std::ifstream* s) { EXPECT_EQ(ReadString(s), "abc"); });
    Load("\x05"
         "AB",
         [](std::ifstream* s) {
             EXPECT_EQ(ReadString2(s), std::wstring(L"AB\0\0\0", 5)) << "missing bytes are zero";
         });
    Load("\x34\x12\x56", [](std::ifstream* s) {
        EXPECT_EQ(ReadInt32(s), 0x561234) << "the bytes that arrived, the rest zero";
        EXPECT_EQ(ReadInt16(s), 0);
        EXPECT_EQ(ReadByte(s), 0);
        EXPECT_EQ(ReadSingle(s), 0.0f);
        EXPECT_EQ(ReadString(s), "");
        EXPECT_EQ(ReadString2(s), L"");
        float x = 9.0f, y = 8.0f;
        ReadVector2(s, x, y);
        EXPECT_EQ(x, 9.0f) << "a float that gets no bytes keeps its value";
        EXPECT_EQ(y, 8.0f);
    });
    Load("", [](std::ifstream* s) { EXPECT_EQ(ReadInt32(s), 0); });
}

TEST_F(BinaryFiles, NullFunctionsReadAndWriteNothing) {
    WriteBytes(path, "old");
    EXPECT_TRUE(FileLoad(path, nullptr));
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_TRUE(FileSave(path, nullptr));
    EXPECT_EQ(ReadBytes(path), "") << "saving empties the file";
}

TEST_F(BinaryFiles, FilesThatDoNotOpenShowTheNoWriteFileBox) {
    bool called = false;
    PendingReader = [&](std::ifstream*) { called = true; };
    PendingWriter = [&](std::ofstream*) { called = true; };
    const std::wstring missing = folder / L"missing\\data.bin";
    for (bool load : {true, false}) {
        DialogAnswerer answer(IDOK);
        EXPECT_FALSE(load ? FileLoad(missing, RunReader) : FileSave(missing, RunWriter));
        const SeenDialog box = answer.Wait();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.caption, L"Message");
        EXPECT_EQ(box.text, L"No Write File");
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.icon, SystemIconFor(MB_ICONWARNING));
    }
    EXPECT_FALSE(called);
}

} // namespace
