#include "update/trust/list_fields.h"

ListFields ParseListFields(const std::string& line) {
    ListFields fields;
    std::size_t start = line.find(';');
    while (start != std::string::npos && fields.error.empty()) {
        const std::size_t end = line.find(';', start + 1);
        const std::string item =
            line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        start = end;
        const std::size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        if (equals == std::string::npos || (name != "size" && name != "sha256")) {
            if (fields.unknown.empty() && !item.empty() && item != "{d}" && item != "{rw}")
                fields.unknown = item;
        } else if (name == "size") {
            if (fields.hasSize)
                fields.error = "size given twice";
            else if (!ParseDecimal(value, fields.size))
                fields.error = "size is not a decimal byte count";
            fields.hasSize = true;
        } else if (name == "sha256") {
            if (!fields.sha256.empty())
                fields.error = "sha256 given twice";
            else if (!IsSha256Hex(value))
                fields.error = "sha256 is not 64 lowercase hex digits";
            fields.sha256 = value;
        }
    }
    if (!fields.error.empty())
        fields = ListFields{false, 0, std::string(), fields.error, fields.unknown};
    return fields;
}
