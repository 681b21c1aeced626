#include "update/install/self_check.h"

#include <windows.h>
#include <shellapi.h>

#include "update/base/base.h"

bool AnswerSelfCheckRequest(const wchar_t* commandLine, const LauncherBuild& build) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return false;
    const bool asked = count == 4 && lstrcmpiW(arguments[1], kSelfCheckSwitch) == 0;
    if (asked) {
        const bool hostsAsked = ReadFileBytes(arguments[3]) == kHostsQuestion;
        ReplaceFileBytes(arguments[3],
                         SelfCheckAnswer(ReadFileBytes(arguments[2]), build, hostsAsked));
    }
    LocalFree(arguments);
    return asked;
}
