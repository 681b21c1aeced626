#pragma once
// What a launcher does at its start, before its window and before any pass, about an update
// that a kill cut short.
#include "update/base/update_settings.h"

// In the launcher's folder, under its pass lock: completes or undoes the commit of a release
// that a kill cut short, deletes the previous copies an earlier commit could not, and removes
// the internet-cache entries of the update server that a killed pass left. A folder another
// launcher is updating is left to that launcher.
void RecoverInterruptedUpdate(const ServerSettings& settings);
