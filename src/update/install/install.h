#pragma once
// Installing a release into the player's folder: the folder's pass lock, the check that it fits
// on the volume, staging every file it needs, the proof a new launcher gives, and the journalled
// commit that switches the folder to it whole (with the start-up recovery of a commit a kill cut
// short). The pass's door to the wing.
#include "update/install/commit.h"
#include "update/install/commit_plan.h"
#include "update/install/folder_switch.h"
#include "update/install/launcher_check.h"
#include "update/install/launcher_handover.h"
#include "update/install/pass_lock.h"
#include "update/install/self_check_answer.h"
#include "update/install/release.h"
#include "update/install/room.h"
#include "update/install/staging.h"
#include "update/install/start_recovery.h"
#include "update/install/install_id.h"
