#include "update/install/self_check_answer.h"

#include "update/base/base.h"
#include "update/transfer/cache_owner.h"
#include "update/trust/list_acceptance.h"
#include "utility/string_helpers.h"

const wchar_t kSelfCheckSwitch[] = L"/selfcheck";
const char kHostsQuestion[] = "tolvane-selfcheck hosts?";

namespace {

const char kAnswer[] = "tolvane-selfcheck ";
const char kHostsLine[] = "\nhosts=";

// The part of a URL after its authority: the path, and what follows it.
std::wstring AfterAuthority(const std::wstring& url) {
    const std::size_t end = url.find_first_of(L"/\\?#", url.find(L"://") + 3);
    return end == std::wstring::npos ? std::wstring() : url.substr(end);
}

// UrlAuthority knows only http and https, whose "://" stand at 4 and 5: where it stands tells
// the scheme.
bool SameServer(const std::wstring& a, const std::wstring& b) {
    const std::wstring authority = UrlAuthority(a);
    return !authority.empty() && authority == UrlAuthority(b) && a.find(L"://") == b.find(L"://") &&
           AfterAuthority(a) == AfterAuthority(b);
}

} // namespace

bool AmongHosts(const std::wstring& hosts, const std::wstring& servedUrl) {
    for (std::size_t start = 0; start <= hosts.size();) {
        const std::size_t end = std::min(hosts.find(L';', start), hosts.size());
        if (SameServer(hosts.substr(start, end - start), servedUrl))
            return true;
        start = end + 1;
    }
    return false;
}

std::string SelfCheckAnswer(const std::string& listBytes, const LauncherBuild& build,
                            bool hostsAsked) {
    if (build.keys.empty())
        return std::string(kAnswer) + "keyless";
    const ListVerdict verdict = JudgeListBytes(listBytes, build.keys, build.product);
    if (verdict != ListVerdict::Accepted) {
        const std::string text = String::ToString(ListRefusalText(verdict));
        return std::string(kAnswer) + "refused: " + text.substr(text.find(" : ") + 3);
    }
    const std::string serial = std::string(kAnswer) + "serial=" +
                               std::to_string(SplitSignedList(listBytes).serial->serial);
    return hostsAsked ? serial + kHostsLine + String::ToString(build.hosts) : serial;
}

std::wstring AnswerFailure(const std::string& answer, std::uint64_t serial,
                           const std::wstring& servedUrl) {
    // A program that is no launcher leaves the question as it found it.
    if (answer.empty() || answer == kHostsQuestion)
        return L"it gave no answer";
    if (answer.rfind(kAnswer, 0) != 0)
        return L"its answer is not a launcher's";
    const std::string said = answer.substr(sizeof kAnswer - 1);
    const std::string vouched = "serial=" + std::to_string(serial);
    if (said == vouched)
        return L"it does not say which update server it fetches from";
    if (said.rfind(vouched + kHostsLine, 0) == 0) {
        // Lines a later launcher may add after it are not this one's to judge.
        const std::size_t start = vouched.size() + sizeof kHostsLine - 1;
        const std::wstring hosts =
            String::ToWstring(said.substr(start, said.find('\n', start) - start));
        if (AmongHosts(hosts, servedUrl))
            return std::wstring();
        return L"it fetches from another update server: " + EscapeControlUnits(hosts);
    }
    if (said == "keyless")
        return L"it was built without a list key";
    if (said.rfind("refused: ", 0) == 0)
        return EscapeControlUnits(String::ToWstring(said.substr(9)));
    return L"it answered for another list";
}
