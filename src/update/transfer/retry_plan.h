#pragma once
// What a pass does after one download of an item failed: ask the same mirror again after a
// wait, move to another mirror, or give the item up. Every mirror serves the same files, which
// the list pins, so a mirror needs no trust: one that serves wrong bytes is only passed over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "update/transfer/download_verdict.h"

// How a failed download reflects on the mirror that answered.
enum class FailureKind {
    Transient,  // a cut, a stall, a 5xx, 408 or 429, no answer at all: worth asking again
    Refused,    // a 404 or another answer that asking again would only repeat
    WrongBytes, // bytes that are not the listed ones: the mirror is not asked again this pass
    Local,      // this machine could not keep the file (a full disk): no mirror helps
};

// The kind of a failed download from what DownloadFailure judged; contentRefused when the
// body's check refused it, local when the copy could not be written or put in place.
FailureKind ClassifyFailure(const DownloadFacts& facts, bool contentRefused, bool local);

// A Retry-After header given in seconds, in milliseconds up to capMs; 0 without one (or for
// the date form, which then waits as any other retry does).
std::uint32_t RetryAfterMs(const std::wstring& header, std::uint32_t capMs);

struct RetryPolicy {
    unsigned attempts = 4; // downloads of one item, across the mirrors (at least one each)
    std::uint32_t firstWaitMs = 1000; // before the first retry on a mirror already tried; doubles
    std::uint32_t retryAfterCapMs = 30000; // the most a 503's Retry-After is waited for
    std::uint32_t passWaitMs = 60000;      // the most a whole pass waits for retries
};

// The pass's policy; tests shorten its waits.
extern RetryPolicy PassRetryPolicy;

// What a pass knows of its mirrors.
struct MirrorState {
    std::vector<bool> banned; // served wrong bytes (or a refused list): not asked again
    std::size_t inUse = 0;    // where the next item starts
    std::uint32_t waitedMs = 0;
};

// What one item's downloads have met, mirror by mirror.
struct ItemState {
    explicit ItemState(std::size_t mirrors) : failed(mirrors, false), refused(mirrors, false) {}
    std::vector<bool> failed;  // tried and failed
    std::vector<bool> refused; // refused it or served wrong bytes: not asked again for it
    unsigned attempts = 0;
    unsigned retries = 0; // downloads from a mirror that had failed already
};

// The mirror an item starts at: the one in use, or the next that is not banned; false when
// every mirror is banned.
bool FirstMirror(const MirrorState& pass, std::size_t& mirror);

struct NextTry {
    std::size_t mirror = 0;
    std::uint32_t waitMs = 0; // before asking it
};

// After the download of an item from mirror `at` failed as kind (retryAfterMs from a 503, or
// 0): a mirror not yet tried for the item is asked at once; once all were, a transient failure
// is tried again on the next that may be asked, after a wait that doubles each time (or the
// Retry-After), while the item's attempts and the pass's total wait last. False when the item
// has failed for good. Updates both states: a mirror that served wrong bytes is banned, unless
// it is the last one left.
bool PlanNextTry(const RetryPolicy& policy, MirrorState& pass, ItemState& item, std::size_t at,
                 FailureKind kind, std::uint32_t retryAfterMs, NextTry& next);

// The outcome of one download: an empty failure when it stands.
struct DownloadAttempt {
    std::wstring failure;
    FailureKind kind = FailureKind::Transient;
    std::uint32_t retryAfterMs = 0;
};
