#include "update/base/trace.h"

#include <iostream>

namespace Trace {

void Narrow(const std::string& line) {
    std::cout << line << std::endl;
}

void Wide(const std::wstring& line) {
    std::wcout << line << std::endl;
    // A unit the C locale cannot write sets the stream's fail bit, which would silence every
    // later trace line; a diagnostic must never do that.
    std::wcout.clear();
}

} // namespace Trace
