#pragma once
// Trust: what decides whether bytes are the studio's, from the signature of a whole list down
// to the size and SHA-256 of one file. The pass's door to the wing.
#include "update/trust/content_check.h"
#include "update/trust/list_acceptance.h"
#include "update/trust/list_fields.h"
#include "update/trust/rollout.h"
