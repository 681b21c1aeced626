#include "update/self_check.h"

#include <windows.h>
#include <shellapi.h>

#include "update/base/base.h"
#include "update/install/install.h"
#include "update/update_worker.h"

bool AnswerSelfCheckRequest(const wchar_t* commandLine) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return false;
    const bool asked = count == 4 && lstrcmpiW(arguments[1], kSelfCheckSwitch) == 0;
    if (asked)
        ReplaceFileBytes(arguments[3], SelfCheckAnswer(ReadFileBytes(arguments[2]),
                                                       BuiltInListKey(), BuiltInProduct()));
    LocalFree(arguments);
    return asked;
}
