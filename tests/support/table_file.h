#pragma once
// The tables of rules that the launcher's tests and the publisher's read alike (tests/update/
// *_table.txt): one row a line, columns split by tabs, "#" lines and empty lines skipped, and
// {xNN} standing for the byte NN.
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::vector<std::string>> ReadTable(const std::string& path) {
    // The tests run under Wine, which gives the build machine's files drive Z:.
    std::ifstream file("Z:" + path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> columns(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            const bool byte =
                line.compare(i, 2, "{x") == 0 && line.size() > i + 4 && line[i + 4] == '}';
            if (line[i] == '\t')
                columns.emplace_back();
            else
                columns.back().push_back(
                    byte ? static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16))
                         : line[i]);
            i += byte ? 4 : 0;
        }
        rows.push_back(columns);
    }
    return rows;
}

} // namespace testing_support
