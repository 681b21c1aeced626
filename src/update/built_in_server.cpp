#include "update/update_worker.h"

// The one place the build's server URL enters the engine, so that an engine for another server
// differs from this one only in this file.
std::wstring BuiltInServerUrl() {
    return L"" TOLVANE_UPDATE_URL;
}
