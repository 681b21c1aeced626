#pragma once
// Staged rollouts: a signed list's release line and who takes the release it names. Pure but
// for the hash. A release rolled out to P % is taken by the installs whose id, hashed with the
// release's own salt, falls under P, so that each release has other installs go first and
// raising P only ever lets more in.
#include <optional>
#include <string>

// What a release line says: "'tolvane-release rollout=P salt=S".
struct ReleaseLine {
    unsigned percent = 100; // 0 to 100
    std::string salt;       // 32 lowercase hex digits
};

// The start of a release line: a line of the signed part so starting is one, or is malformed.
extern const char kReleasePrefix[];

// Parses one line without its line end: kReleasePrefix and exactly the fields "rollout=P" (P a
// whole number 0 to 100 in decimal, no sign, no leading zero) and "salt=S" (IsInstallId's shape),
// each after exactly one blank, in any order, each once. False for anything else.
bool ParseReleaseLine(const std::string& line, ReleaseLine& release);

// True for 32 lowercase hex digits: the shape of an install id and of a salt.
bool IsInstallId(const std::string& text);

// True when the install takes the release: U * 100 < percent * 2^32, U the first 4 bytes (big
// endian) of SHA-256 of "SALT:ID".
bool InRollout(const std::string& installId, const std::string& salt, unsigned percent);

// Whether a pass installs a list's release: always without a release line or in a folder with
// no installed release, otherwise as InRollout says.
bool TakesRelease(const std::optional<ReleaseLine>& release, const std::string& installId,
                  bool releaseInstalled);

// The trace line of a pass that keeps the installed release because this install is not in the
// rollout yet.
std::string OutsideRolloutTrace(unsigned percent);
