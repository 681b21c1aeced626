#pragma once
// The fields of the comment lines a signed list carries for the launcher (the serial line, the
// release line): a fixed start, then "name=value" fields, each after exactly one blank.
#include <string>
#include <utility>
#include <vector>

using CommentField = std::pair<std::string, std::string>; // name, value

// The fields of a line that starts with prefix, in order; false when it does not start so, has
// no field, or has anything else after the prefix (a blank too many, a field without "=").
bool SplitCommentFields(const std::string& line, const std::string& prefix,
                        std::vector<CommentField>& fields);
