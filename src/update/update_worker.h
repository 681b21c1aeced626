#pragma once
// The parts of the update pass behind StartUpdate, for the engine and its tests.
#include <string>
#include <thread>
#include <vector>

#include "update/update_pass.h"

// The thread object that receives each worker thread and detaches it at once.
extern std::thread UpdateThread;

// The update server's base URLs, fixed when the engine library is built (built_in_server.cpp):
// the first, then its mirrors in the order they are asked.
std::vector<std::wstring> BuiltInServerUrls();

// The first of BuiltInServerUrls.
std::wstring BuiltInServerUrl();

// The studio's list-signing public keys fixed when the engine library is built: 64 bytes each,
// the ECDSA P-256 point's X then Y, one after another (two while the studio changes its key);
// empty when the build has no key (lists are used unsigned).
std::string BuiltInListKey();

// The product the engine library was built for (TOLVANE_PRODUCT); empty when the build names
// none, and lists of any product are then taken.
std::string BuiltInProduct();

// The settings StartUpdate uses: the base URLs fixed at build time, the executable's folder,
// "uploadfile.uda", and the followed channel (FollowedChannel) and its folder.
ServerSettings DefaultServerSettings();

// The options StartUpdate uses: the key and product fixed at build time, and a repair when the
// launcher's switch asked for one.
PassOptions DefaultPassOptions();

// StartUpdate with the given settings and options. Anything but Started leaves everything as
// it was.
PassRequest RequestPass(const ServerSettings& settings, const PassOptions& options);

// RequestPass; false unless the pass was started.
bool BeginUpdatePass(const ServerSettings& settings, const PassOptions& options = PassOptions());

// True while a pass started by BeginUpdatePass has not finished.
bool UpdatePassRunning();

// serverUrl + uploadFolder + "/" + listFileName.
std::wstring ListUrl(const ServerSettings& settings);

// One pass with UpdateServerSettings: connection check (passed when any base URL answers; the
// first that does is the mirror in use), the launcher data, the end callback.
void UpdateWorker();

// Downloads the list file to update\cash-of-programm.tmp, reads it, handles its lines and
// records the version. The list comes from the first mirror whose list is accepted: a mirror
// whose list is refused (logged once) is passed over for the rest of the pass.
void FetchLauncherData(std::wstring url);

namespace Network {

// True when a connection to the URL's server can be made.
bool CheckConnection(std::wstring url);

} // namespace Network
