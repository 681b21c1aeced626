#pragma once
// The update pass: one run from the server settings to a folder in step with the server.
// StartUpdate runs the pass on a detached worker thread; the worker reports progress through
// DownloadProgressCallback and its end through UpdateEndCallback, both on the worker thread.
#include "update/base/update_settings.h"
#include "update/install/start_recovery.h"

// Fills UpdateServerSettings and starts a pass on a detached worker thread; returns at once.
// A call while a pass runs is refused, so the running worker's settings never change.
void StartUpdate();

// What became of a request for a pass.
enum class PassRequest {
    Started,    // the pass runs on its worker thread
    FolderBusy, // another process runs a pass in the same folder (logged): see pass_wait.h
    Refused     // a pass runs in this process already, or no thread could be started
};

// StartUpdate, telling what became of the request.
PassRequest RequestUpdate();
