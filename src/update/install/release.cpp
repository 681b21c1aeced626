#include "update/install/release.h"

#include <windows.h>

#include "update/transfer/partial_files.h"
#include "utility/string_helpers.h"

namespace {

const wchar_t kStage[] = L".tolvane-stage";
const wchar_t kAside[] = L".tolvane-old";

template <std::size_t N> bool EndsWith(const std::wstring& name, const wchar_t (&ending)[N]) {
    const std::size_t size = N - 1;
    return name.size() >= size &&
           CompareStringOrdinal(name.c_str() + name.size() - size, static_cast<int>(size), ending,
                                static_cast<int>(size), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring StageName(const std::wstring& target) {
    return target + kStage;
}

std::wstring AsideName(const std::wstring& target) {
    return target + kAside;
}

bool IsOwnTemporaryName(const std::wstring& name) {
    return IsPartialName(name) || EndsWith(name, kStage) || EndsWith(name, kAside);
}

std::wstring TargetIn(const std::wstring& setupFolder, const std::string& relativePath) {
    return setupFolder + L"/" + String::ToWstring(relativePath);
}
