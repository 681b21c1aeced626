#pragma once
// The content fields a file line may carry after its relative path, each after a ";":
// "size=" with decimal bytes and "sha256=" with 64 lowercase hex digits, in any order, beside
// the markers. They pin the file's content; a line without them is handled as it always was.
#include <cstdint>
#include <string>

#include "update/base/field_text.h"

struct ListFields {
    bool hasSize = false;
    std::uint64_t size = 0;
    std::string sha256; // 64 lowercase hex digits, or empty when the line names no hash
    std::string error;  // why a known field is unusable; the line is then refused whole
    // The first item after the path that is neither empty, a marker ({d}, {rw}) nor a known
    // field, such as a misspelt "SHA256="; a signed list refuses such a line.
    std::string unknown;
};

// The fields of one list line. Items that are not "name=value", and unknown names, are
// ignored but for the note in unknown. A malformed or repeated size or sha256 field gives an error,
// so that a pinned line is never quietly handled as an unpinned one.
ListFields ParseListFields(const std::string& line);
