#pragma once
// Installing a release into the player's folder: today the check that it fits on the volume
// before anything is fetched. The pass's door to the wing.
#include "update/install/room.h"
