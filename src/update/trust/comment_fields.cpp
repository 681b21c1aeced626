#include "update/trust/comment_fields.h"

#include <algorithm>

bool SplitCommentFields(const std::string& line, const std::string& prefix,
                        std::vector<CommentField>& fields) {
    fields.clear();
    if (line.compare(0, prefix.size(), prefix) != 0 || line.size() == prefix.size())
        return false;
    for (std::size_t at = prefix.size(); at < line.size();) {
        if (line[at] != ' ')
            return false;
        const std::size_t end = std::min(line.find(' ', at + 1), line.size());
        const std::string field = line.substr(at + 1, end - at - 1);
        at = end;
        const std::size_t equals = field.find('=');
        if (equals == std::string::npos)
            return false;
        fields.emplace_back(field.substr(0, equals), field.substr(equals + 1));
    }
    return true;
}
