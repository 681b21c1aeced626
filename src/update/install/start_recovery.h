#pragma once
// What a launcher does at its start, before its window and before any pass, about an update
// that a kill cut short.
#include "update/base/update_settings.h"

// In the launcher's folder, under its pass lock: completes or undoes the commit of a release
// that a kill cut short, deletes the previous copies an earlier commit could not, and removes
// the internet-cache entries of the update server that a killed pass left. A folder another
// launcher is updating is left to that launcher. False when the commit is done but for the
// running launcher's own file, handed over to its staged successor (launcher_handover.h): the
// launcher then ends at once, and its successor starts it again.
bool RecoverInterruptedUpdate(const ServerSettings& settings);
