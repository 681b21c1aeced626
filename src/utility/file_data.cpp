#include "utility/file_data.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace File {
namespace Data {

namespace {

// Fields are stored in their in-memory form, which on this target is the little-endian file
// format.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the file format is little-endian");

template <typename Stream, typename Use>
bool WithFile(const std::wstring& path, std::ios::openmode mode, Use use) {
    Stream file(path.c_str(), mode | std::ios::binary);
    if (!file.is_open()) {
        MessageBoxW(nullptr, L"No Write File", L"Message", MB_ICONWARNING);
        return false;
    }
    if (use != nullptr)
        use(&file);
    return true;
}

// Bytes that do not arrive keep what the value held before.
template <typename T> void ReadInto(std::ifstream* stream, T& value) {
    if (stream != nullptr)
        stream->read(reinterpret_cast<char*>(&value), sizeof value);
}

template <typename T> T ReadValue(std::ifstream* stream) {
    T value{};
    ReadInto(stream, value);
    return value;
}

template <typename T> void WriteValue(std::ofstream* stream, const T& value) {
    if (stream != nullptr)
        stream->write(reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

bool FileLoad(std::wstring path, Reader reader) {
    return WithFile<std::ifstream>(path, std::ios::in, reader);
}

bool FileSave(std::wstring path, Writer writer) {
    return WithFile<std::ofstream>(path, std::ios::out, writer);
}

float ReadSingle(std::ifstream* stream) {
    return ReadValue<float>(stream);
}

void ReadVector2(std::ifstream* stream, float& x, float& y) {
    ReadInto(stream, x);
    ReadInto(stream, y);
}

void ReadVector3(std::ifstream* stream, float& x, float& y, float& z) {
    ReadVector2(stream, x, y);
    ReadInto(stream, z);
}

void ReadVector4(std::ifstream* stream, float& x, float& y, float& z, float& w) {
    ReadVector3(stream, x, y, z);
    ReadInto(stream, w);
}

unsigned short ReadInt16(std::ifstream* stream) {
    return ReadValue<std::uint16_t>(stream);
}

int ReadInt32(std::ifstream* stream) {
    return ReadValue<std::int32_t>(stream);
}

unsigned char ReadByte(std::ifstream* stream) {
    return ReadValue<unsigned char>(stream);
}

std::string ReadString(std::ifstream* stream) {
    const std::int32_t length = ReadValue<std::int32_t>(stream);
    std::string text;
    if (length < 1 || stream == nullptr)
        return text;
    // Read in pieces and stop at the end of the file, so a length far beyond the data costs
    // no more memory than the file holds.
    constexpr std::size_t kPiece = 64 * 1024;
    std::size_t remaining = static_cast<std::size_t>(length);
    while (remaining > 0) {
        const std::size_t want = std::min(remaining, kPiece);
        const std::size_t had = text.size();
        text.resize(had + want);
        stream->read(&text[had], static_cast<std::streamsize>(want));
        const std::size_t got = static_cast<std::size_t>(stream->gcount());
        text.resize(had + got);
        if (got < want)
            break;
        remaining -= got;
    }
    return text;
}

std::wstring ReadString2(std::ifstream* stream) {
    // The count is unsigned: 128-255 are counts like any other.
    const unsigned char count = ReadByte(stream);
    std::wstring text;
    for (unsigned i = 0; i < count; ++i)
        text.push_back(static_cast<wchar_t>(ReadByte(stream)));
    return text;
}

void Write(std::ofstream* stream, unsigned short value) {
    WriteValue<std::uint16_t>(stream, value);
}

void Write(std::ofstream* stream, int value) {
    WriteValue<std::int32_t>(stream, value);
}

void Write(std::ofstream* stream, float x, float y) {
    WriteValue(stream, x);
    WriteValue(stream, y);
}

void Write(std::ofstream* stream, float x, float y, float z) {
    Write(stream, x, y);
    WriteValue(stream, z);
}

void Write(std::ofstream* stream, float x, float y, float z, float w) {
    Write(stream, x, y, z);
    WriteValue(stream, w);
}

void Write(std::ofstream* stream, const char* data, int length) {
    if (data == nullptr)
        length = 0;
    WriteValue<std::int32_t>(stream, length);
    if (length > 0 && stream != nullptr)
        stream->write(data, length);
}

} // namespace Data
} // namespace File
