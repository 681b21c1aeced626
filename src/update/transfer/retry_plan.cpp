#include "update/transfer/retry_plan.h"

#include <algorithm>

RetryPolicy PassRetryPolicy;

namespace {

bool TransientStatus(unsigned long status) {
    return status == 0 || status >= 500 || status == 408 || status == 429;
}

} // namespace

FailureKind ClassifyFailure(const DownloadFacts& facts, bool contentRefused, bool local) {
    // A body that could not be written is this machine's disk, not the server's fault.
    if (local || facts.writeError != 0)
        return FailureKind::Local;
    if (contentRefused || facts.cut == DownloadCut::TooLong)
        return FailureKind::WrongBytes;
    switch (facts.cut) {
    case DownloadCut::Stalled:
        return FailureKind::Transient;
    case DownloadCut::TooManyRedirects:
    case DownloadCut::NotHttps:
        return FailureKind::Refused;
    case DownloadCut::BadStatus:
        return TransientStatus(facts.httpStatus) ? FailureKind::Transient : FailureKind::Refused;
    default:
        break;
    }
    // The platform failed (refused, reset, cut, a TLS failure): the server's answer is unknown.
    if (facts.result != 0 || facts.httpStatus == 0)
        return FailureKind::Transient;
    if (facts.httpStatus != 200 || !facts.secure || facts.requests > kMaxRequests)
        return TransientStatus(facts.httpStatus) ? FailureKind::Transient : FailureKind::Refused;
    // A whole 200 of the wrong length for its line is the wrong file; a short one was cut.
    if (DownloadFailure(facts) == kContentMismatch)
        return FailureKind::WrongBytes;
    return FailureKind::Transient;
}

std::uint32_t RetryAfterMs(const std::wstring& header, std::uint32_t capMs) {
    if (header.empty() || header.size() > 9)
        return 0;
    std::uint64_t seconds = 0;
    for (wchar_t unit : header) {
        if (unit < L'0' || unit > L'9')
            return 0;
        seconds = seconds * 10 + static_cast<std::uint64_t>(unit - L'0');
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds * 1000, capMs));
}

bool FirstMirror(const MirrorState& pass, std::size_t& mirror) {
    const std::size_t count = pass.banned.size();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t at = (pass.inUse + step) % count;
        if (!pass.banned[at]) {
            mirror = at;
            return true;
        }
    }
    return false;
}

bool PlanNextTry(const RetryPolicy& policy, MirrorState& pass, ItemState& item, std::size_t at,
                 FailureKind kind, std::uint32_t retryAfterMs, NextTry& next) {
    const std::size_t count = pass.banned.size();
    ++item.attempts;
    item.failed[at] = true;
    if (kind == FailureKind::Local)
        return false;
    // Never the last mirror left: when every mirror serves the same wrong bytes, the list is
    // what is wrong, and the other items may still come.
    if (kind == FailureKind::WrongBytes &&
        std::count(pass.banned.begin(), pass.banned.end(), false) > 1)
        pass.banned[at] = true;
    if (kind != FailureKind::Transient)
        item.refused[at] = true;
    if (item.attempts >= std::max<std::size_t>(policy.attempts, count))
        return false;
    auto askable = [&](std::size_t mirror) {
        return !pass.banned[mirror] && !item.refused[mirror];
    };
    // The mirrors after this one, in order, then this one last.
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t mirror = (at + step) % count;
        if (askable(mirror) && !item.failed[mirror]) {
            next = NextTry{mirror, 0};
            return true;
        }
    }
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t mirror = (at + step) % count;
        if (!askable(mirror))
            continue;
        const std::uint32_t doubled = policy.firstWaitMs << std::min(item.retries, 16u);
        const std::uint32_t wait =
            retryAfterMs ? std::min(retryAfterMs, policy.retryAfterCapMs) : doubled;
        if (pass.waitedMs + static_cast<std::uint64_t>(wait) > policy.passWaitMs)
            return false;
        pass.waitedMs += wait;
        ++item.retries;
        next = NextTry{mirror, wait};
        return true;
    }
    return false;
}
