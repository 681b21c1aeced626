#pragma once
// The folder's install id: 32 lowercase hex digits drawn once from the system's random
// generator and kept in update\install.id, so that a staged rollout takes the same installs
// at every pass (rollout.h).
#include <string>

// The id kept in the folder; a missing or malformed one is drawn anew and written through a
// temporary file (a failed write is logged, and the id drawn still serves this pass). Empty,
// logged, when the system gives no random bytes.
std::string InstallId(const std::wstring& setupFolder);
