#include "update/trust/rollout.h"

#include <cstdint>
#include <vector>

#include "update/base/field_text.h"
#include "update/trust/comment_fields.h"
#include "update/trust/sha256.h"

const char kReleasePrefix[] = "'tolvane-release";

namespace {

// 0 to 100 in decimal digits, without a sign or a leading zero.
bool ParsePercent(const std::string& text, unsigned& percent) {
    std::uint64_t value = 0;
    if (text.size() > 3 || (text.size() > 1 && text[0] == '0') || !ParseDecimal(text, value) ||
        value > 100)
        return false;
    percent = static_cast<unsigned>(value);
    return true;
}

} // namespace

bool ParseReleaseLine(const std::string& line, ReleaseLine& release) {
    release = ReleaseLine();
    std::vector<CommentField> fields;
    if (!SplitCommentFields(line, kReleasePrefix, fields))
        return false;
    bool hasPercent = false, hasSalt = false;
    for (const auto& [name, value] : fields) {
        if (name == "rollout" && !hasPercent) {
            if (!ParsePercent(value, release.percent))
                return false;
            hasPercent = true;
        } else if (name == "salt" && !hasSalt) {
            if (!IsInstallId(value))
                return false;
            release.salt = value;
            hasSalt = true;
        } else {
            return false; // unknown, or given twice
        }
    }
    return hasPercent && hasSalt;
}

bool IsInstallId(const std::string& text) {
    return IsLowerHex(text, 32);
}

bool InRollout(const std::string& installId, const std::string& salt, unsigned percent) {
    Sha256 hash;
    hash.Add(salt + ":" + installId);
    const std::string digest = hash.FinishBytes();
    if (digest.size() < 4)
        return false; // the platform failed: the installed release stays
    std::uint64_t u = 0;
    for (int i = 0; i < 4; ++i)
        u = u << 8 | static_cast<unsigned char>(digest[i]);
    return u * 100 < static_cast<std::uint64_t>(percent) << 32;
}

bool TakesRelease(const std::optional<ReleaseLine>& release, const std::string& installId,
                  bool releaseInstalled) {
    // Without an id, an installed release stays rather than have every such install move at once.
    return !release || !releaseInstalled ||
           (IsInstallId(installId) && InRollout(installId, release->salt, release->percent));
}

std::string OutsideRolloutTrace(unsigned percent) {
    return "the release is being rolled out to " + std::to_string(percent) +
           " % of players and this install is not in it yet; the installed release stays";
}
