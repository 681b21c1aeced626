#pragma once
// The engine's base: the process-wide settings, trace lines, the failure log, whole-file
// writes, folder creation and the rules for list paths. Every wing may use it; it uses nothing
// of the engine above it.

#include "update/base/channel_name.h"
#include "update/base/failure_log.h"
#include "update/base/field_text.h"
#include "update/base/file_bytes.h"
#include "update/base/folders.h"
#include "update/base/path_rules.h"
#include "update/base/trace.h"
#include "update/base/update_settings.h"
