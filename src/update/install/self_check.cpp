#include "update/install/self_check.h"

#include "update/base/base.h"
#include "update/install/program_start.h"

bool AnswerSelfCheckRequest(const wchar_t* commandLine, const LauncherBuild& build) {
    const std::vector<std::wstring> words = CommandWords(commandLine);
    const bool asked = words.size() == 4 && lstrcmpiW(words[1].c_str(), kSelfCheckSwitch) == 0;
    if (asked) {
        const bool hostsAsked = ReadFileBytes(words[3]) == kHostsQuestion;
        ReplaceFileBytes(words[3], SelfCheckAnswer(ReadFileBytes(words[2]), build, hostsAsked));
    }
    return asked;
}
