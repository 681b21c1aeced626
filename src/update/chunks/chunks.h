#pragma once
// Big files as chunks: where a file is cut (the chunker), how a site describes the cuts of one
// file (the chunk index), what a launcher takes from where (the plan) and the stage copy built
// from them (the assembly). The install wing's door to the wing.
#include "update/chunks/chunk_assembly.h"
#include "update/chunks/chunk_files.h"
#include "update/chunks/chunk_index.h"
#include "update/chunks/chunk_plan.h"
#include "update/chunks/chunker.h"
