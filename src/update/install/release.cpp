#include "update/install/release.h"

#include "update/base/path_rules.h"
#include "utility/string_helpers.h"

std::wstring StageName(const std::wstring& target) {
    return target + TemporaryEnding(Temporary::Stage);
}

std::wstring AsideName(const std::wstring& target) {
    return target + TemporaryEnding(Temporary::Aside);
}

std::wstring TargetIn(const std::wstring& setupFolder, const std::string& relativePath) {
    return setupFolder + L"/" + String::ToWstring(relativePath);
}
