#pragma once
// Binary files read and written field by field. FileLoad and FileSave open the file as a
// binary stream and hand it to the caller's function, which calls the readers or writers
// below in the order of the file's fields. Numbers are stored little-endian, floats as IEEE
// 754 single precision; no header, alignment or padding is added.
//
// Reading past the end of the file never fails loudly: bytes that do not arrive are zero in
// the single-value readers, and leave a float of the vector readers as it was. A null stream
// reads nothing and writes nothing.
#include <fstream>
#include <string>

#include "utility/api.h"

namespace File {
namespace Data {

using Reader = void (*)(std::ifstream* stream);
using Writer = void (*)(std::ofstream* stream);

// Opens the file for binary reading and calls the reader with the stream (a null reader reads
// nothing). A file that does not open shows the box "No Write File" (caption "Message",
// warning icon) and gives false without calling the reader; otherwise true, whatever the
// reader met.
TOLVANE_API bool FileLoad(std::wstring path, Reader reader);
// Creates or empties the file for binary writing and calls the writer with the stream.
// Failure to open: the same box and false.
TOLVANE_API bool FileSave(std::wstring path, Writer writer);

// 4 bytes as a float.
TOLVANE_API float ReadSingle(std::ifstream* stream);
// 4 bytes into each float in argument order.
TOLVANE_API void ReadVector2(std::ifstream* stream, float& x, float& y);
TOLVANE_API void ReadVector3(std::ifstream* stream, float& x, float& y, float& z);
TOLVANE_API void ReadVector4(std::ifstream* stream, float& x, float& y, float& z, float& w);
// 2 bytes, unsigned.
TOLVANE_API unsigned short ReadInt16(std::ifstream* stream);
// 4 bytes, signed.
TOLVANE_API int ReadInt32(std::ifstream* stream);
// 1 byte.
TOLVANE_API unsigned char ReadByte(std::ifstream* stream);
// A signed 4-byte length n, then n bytes. A length below 1 gives the empty string; a length
// beyond the end of the file gives the bytes up to the end.
TOLVANE_API std::string ReadString(std::ifstream* stream);
// An unsigned count byte n (0-255), then n bytes, each one wide character of the byte's value
// (no code page). Bytes past the end of the file give the character 0.
TOLVANE_API std::wstring ReadString2(std::ifstream* stream);

// 2 bytes.
TOLVANE_API void Write(std::ofstream* stream, unsigned short value);
// 4 bytes.
TOLVANE_API void Write(std::ofstream* stream, int value);
// 4 bytes per float, in argument order.
TOLVANE_API void Write(std::ofstream* stream, float x, float y);
TOLVANE_API void Write(std::ofstream* stream, float x, float y, float z);
TOLVANE_API void Write(std::ofstream* stream, float x, float y, float z, float w);
// The length as 4 bytes, then the first length bytes of data; read back by ReadString. With
// a length of 0 or less only the 4 length bytes are written and data is not read. Null data
// is written as the empty string (length 0).
TOLVANE_API void Write(std::ofstream* stream, const char* data, int length);

} // namespace Data
} // namespace File
