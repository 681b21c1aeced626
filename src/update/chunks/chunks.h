#pragma once
// Big files as chunks: where a file is cut (the chunker) and how a site describes the cuts of
// one file (the chunk index). The install wing's door to the wing.
#include "update/chunks/chunk_index.h"
#include "update/chunks/chunk_plan.h"
#include "update/chunks/chunker.h"
