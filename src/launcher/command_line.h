#pragma once
// The launcher's command line, decided without the platform.
#include <string>
#include <vector>

namespace Application {

// The arguments after the program's name, split as the C runtime splits them: at blanks and
// tabs outside double quotes; the quotes group and go; a backslash escapes a quote only.
std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine);

// True when one whole argument is "/repair" in any letter case; every other argument is
// ignored. False for a null command line.
bool AsksForRepair(const wchar_t* commandLine);

} // namespace Application
