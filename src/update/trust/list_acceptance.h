#pragma once
// Whether a downloaded list may be acted on. A build with the studio's key takes only a list
// that its signature, serial and expiry vouch for; a build without one takes every list.
#include <string>

// Judges the list's bytes with the keys (64 bytes each, X then Y; none: every list passes); a
// signature by any of them counts. A refused list gets one
// error-log line and false. An accepted signed list's serial becomes the highest one kept in
// the folder's update\list.serial, so an older list is refused from then on.
bool AcceptList(const std::string& listBytes, const std::string& keys,
                const std::wstring& setupFolder);
