#pragma once
// File downloads of the update pass. A download is written under a temporary name beside its
// target and replaces the target only when it is complete and the server answered 2xx, so a
// failed or interrupted download leaves the previous copy, or no file, under the target's name.
#include <string>

namespace Network {

// Downloads url into target, reporting progress to DownloadProgressCallback. True on success,
// leaving *message alone. False on failure, with *message (when not null) set to " Start
// progress download: " and the reason, such as "URL is invalid" or "download error:
// -2146697211" (not found, which a 404 answer also gives). A download that receives nothing for
// two minutes is aborted.
bool DownloadFile(std::wstring target, std::wstring url, std::wstring* message);

// The list file's download: the same checks and the same replace, into a narrow file name
// (the URL is narrowed by String::ToString), with nothing reported to the progress display.
bool DownloadListFile(const std::string& target, const std::wstring& url, std::wstring* message);

} // namespace Network
