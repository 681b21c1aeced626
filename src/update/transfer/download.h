#pragma once
// File downloads of the update pass. A download is written under a temporary name beside its
// target and replaces the target only when it is a whole 200 answer over https (and, for a
// pinned file, has the listed size and hash), so a failed or interrupted download leaves the
// previous copy, or no file, under the target's name. No copy stays in the internet cache.
#include <cstdint>
#include <functional>
#include <string>

#include "update/transfer/download_verdict.h"

namespace Network {

// Whether a whole body, still under its temporary name, is the one the list pins. The caller
// brings the check, so that judging content stays with those who know the pins.
using BodyCheck = std::function<bool(const std::wstring& partial)>;

// Downloads url into target, reporting progress to DownloadProgressCallback. True on success,
// leaving *message alone. False on failure, with *message (when not null) set to " Start
// progress download: " and the reason, such as "URL is invalid" or "download error:
// -2146697211" (not found, which a 404 answer also gives). A download that receives nothing for
// two minutes is aborted.
bool DownloadFile(std::wstring target, std::wstring url, std::wstring* message);

// DownloadFile for a file whose content the list pins: a body longer than listedSize (or
// kNoSizeLimit) is cut off as it arrives, and one that check refuses fails with "download
// error: content does not match the list".
bool DownloadPinnedFile(const std::wstring& target, const std::wstring& url,
                        std::uint64_t listedSize, const BodyCheck& check, std::wstring* message);

// A piece of a file the caller builds (a chunk, a chunk index): DownloadPinnedFile's checks
// and replace, cut off past sizeLimit, with a body of listedSize bytes (or kNoSizeLimit: any)
// and nothing reported to the progress display, since the caller reports the file it builds.
bool DownloadPiece(const std::wstring& target, const std::wstring& url, std::uint64_t sizeLimit,
                   std::uint64_t listedSize, const BodyCheck& check, std::wstring* message);

// The list file's download: the same checks and the same replace, with nothing reported to the
// progress display. A list that grows past 64 MiB is cut off.
bool DownloadListFile(const std::wstring& target, const std::wstring& url, std::wstring* message);

} // namespace Network
